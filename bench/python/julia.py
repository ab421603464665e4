# The Julia example's algorithm as plain CPython loops: the same scale, the same
# 400 x 400 points, the same iteration and the same choice of the points drawn.
pixels = bytearray(400 * 400)
re_min, re_max, im_min, im_max = -8 / 5, 8 / 5, -8 / 5, 8 / 5
delta_re = (re_max - re_min) / 400
delta_im = (im_max - im_min) / 400
c = -4 / 5 + 156 / 1000 * 1j
for y in range(400):
    for x in range(400):
        p = re_min + x * delta_re + (im_max - y * delta_im) * 1j
        z = p
        n = 0
        while abs(z) < 2 and n < 30:
            z = z ** 2 + c
            n = n + 1
        if n == 30 or (n % 2 and n > 3):
            pixels[y * 400 + x] = 1
print(sum(pixels))
