# bench/mandelbrot200.omp's algorithm as plain CPython loops: every second pixel of the
# 400 x 400 picture of -2..1 by -1.5..1.5 in each direction (200 x 200 points), at most
# 50 iterations, the points that stay drawn.
pixels = bytearray(400 * 400)
re_min, re_max, im_min, im_max = -2, 1, -3 / 2, 3 / 2
delta_re = (re_max - re_min) / 400
delta_im = (im_max - im_min) / 400
for y in range(0, 400, 2):
    for x in range(0, 400, 2):
        c = re_min + x * delta_re + (im_max - y * delta_im) * 1j
        z = 0
        n = 0
        while abs(z) < 2 and n < 50:
            z = z ** 2 + c
            n = n + 1
        if n == 50:
            pixels[y * 400 + x] = 1
print(sum(pixels))
