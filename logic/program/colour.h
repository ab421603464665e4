// The colour of a complex number, as phase portraits show it: the hue from its argument
// (0 red, 2π/3 green, 4π/3 blue, continuous between), the lightness from its modulus,
// L = (2/π)·atan(|w|), at full saturation in the HSL model. 0 is black, |w| = 1 the pure
// hue, large moduli come near white.
#pragma once

#include "logic/complex/complex.h"
#include "logic/program/canvas.h"

namespace ombrix {

// Each channel is its HSL value v times 255, rounded first to the nearest 1/256 and then
// to the nearest integer, halves up: an exact half such as the green of i (127.5) gives 128
// however the last digits of v fall. v is reckoned in integers alone (tables made by CORDIC
// when compiling, read between their nodes, to within 2E-7 of 255 · v, far inside the
// 1/256), so every platform, WebAssembly included, gives the same bytes whatever its maths
// library. A part that is not a number gives black.
Colour ComplexColour(TComplex w);

}  // namespace ombrix
