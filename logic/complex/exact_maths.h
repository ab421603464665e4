// The maths functions of the built-ins and of the complex arithmetic, correctly rounded:
// the exact value rounded to the nearest double, ties to even. Computed in integers, so
// every platform gives the same bits whatever its maths library (the libraries differ in
// the last bit, even one library between processors with and without fused
// multiply-add). Failures as the libraries give them: NaN outside the domain (ASin(2),
// Log(-1)), an infinity at a pole or beyond the range (Log(0), Exp(1000)), 0 below it.
#pragma once

namespace ombrix::exact {

double Sin(double x);
double Cos(double x);
double Tan(double x);
double ASin(double x);
double ACos(double x);
double ATan(double x);
double Exp(double x);
double Log(double x);
double Log10(double x);

}  // namespace ombrix::exact
