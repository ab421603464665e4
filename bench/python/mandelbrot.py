# The Mandelbrot projects' algorithm in bench/ as plain CPython loops: a frame of the
# complex plane on a 400 x 400 picture, every `step`-th pixel in each direction, at most
# `iterations` iterations, the points that stay drawn.
# Usage: mandelbrot.py [RE_MIN RE_MAX IM_MIN IM_MAX STEP ITERATIONS]
#   (default: -2 1 -1.5 1.5 1 50, as bench/mandelbrot.omp)
import sys
from fractions import Fraction

args = sys.argv[1:] or ["-2", "1", "-3/2", "3/2", "1", "50"]
re_min, re_max, im_min, im_max = (float(Fraction(a)) for a in args[:4])
step, iterations = int(args[4]), int(args[5])
pixels = bytearray(400 * 400)
delta_re = (re_max - re_min) / 400
delta_im = (im_max - im_min) / 400
for y in range(0, 400, step):
    for x in range(0, 400, step):
        c = re_min + x * delta_re + (im_max - y * delta_im) * 1j
        z = 0
        n = 0
        while abs(z) < 2 and n < iterations:
            z = z ** 2 + c
            n = n + 1
        if n == iterations:
            pixels[y * 400 + x] = 1
print(sum(pixels))
