#!/usr/bin/env python3
"""Redraws Hostwend's icons, the VSAT picture and the About-box logo.

Run by hand: python3 res/images/generate.py
Standard library only; the files are written next to this script and are
checked in, so the build never needs Python.
"""
import math
import os
import struct

OUT = os.path.dirname(os.path.abspath(__file__))

# The standard 16-colour Windows palette, in the order icon editors use.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (128, 128, 128),
    (192, 192, 192), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
(BLACK, MAROON, GREEN, OLIVE, NAVY, PURPLE, TEAL, GRAY,
 SILVER, RED, LIME, YELLOW, BLUE, FUCHSIA, AQUA, WHITE) = range(16)


# ---------------------------------------------------------------- shapes
# Shapes are predicates over continuous coordinates, so the same drawing
# can be sampled at 32x32 or 16x16.

def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x < x1 and y0 <= y < y1


def ellipse(cx, cy, rx, ry=None):
    ry = ry or rx
    return lambda x, y: ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0


def polygon(pts):
    def inside(x, y):
        hit = False
        for (ax, ay), (bx, by) in zip(pts, pts[1:] + pts[:1]):
            if (ay > y) != (by > y) and x < ax + (y - ay) * (bx - ax) / (by - ay):
                hit = not hit
        return hit
    return inside


def union(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)


def clip(shape, mask):
    return lambda x, y: shape(x, y) and mask(x, y)


def minus(shape, hole):
    return lambda x, y: shape(x, y) and not hole(x, y)


class Canvas:
    """Indexed-colour icon image; None is a transparent pixel.

    Drawing coordinates are always on a 32-unit grid."""

    def __init__(self, size):
        self.size = size
        self.k = size / 32.0
        self.small = size < 32
        self.px = [[None] * size for _ in range(size)]

    def fill(self, shape, colour, edge=None):
        """Paint pixels whose centre lies in shape; edge colours its rim.
        A colour of None leaves those pixels alone (e.g. outline only)."""
        n, k = self.size, self.k
        hit = [[shape((x + 0.5) / k, (y + 0.5) / k) for x in range(n)]
               for y in range(n)]
        for y in range(n):
            for x in range(n):
                if not hit[y][x]:
                    continue
                border = any(not (0 <= x + dx < n and 0 <= y + dy < n
                                  and hit[y + dy][x + dx])
                             for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))
                pick = edge if border and edge is not None else colour
                if pick is not None:
                    self.px[y][x] = pick

    def line(self, x0, y0, x1, y1, colour):
        # Always one pixel wide, whatever the scale.
        k = self.k
        x0, y0, x1, y1 = (int(v * k) for v in (x0, y0, x1, y1))
        dx, dy = abs(x1 - x0), -abs(y1 - y0)
        sx, sy = (1 if x1 > x0 else -1), (1 if y1 > y0 else -1)
        err = dx + dy
        while True:
            if 0 <= x0 < self.size and 0 <= y0 < self.size:
                self.px[y0][x0] = colour
            if (x0, y0) == (x1, y1):
                return
            e2 = 2 * err
            if e2 >= dy:
                err, x0 = err + dy, x0 + sx
            if e2 <= dx:
                err, y0 = err + dx, y0 + sy


# -------------------------------------------------------------- pictures

def monitor(c, x0, y0, x1, y1, screen=BLUE):
    """A monitor whose case spans x0..x1 and y0..y1, with its stand below."""
    p = 1 / c.k                     # one pixel, so the frame stays visible small
    mx = (x0 + x1) / 2
    c.fill(rect(mx - 2, y1 - 1, mx + 2, y1 + 3), GRAY, BLACK)
    c.fill(rect(mx - 6, y1 + 2, mx + 6, y1 + 4), SILVER, BLACK)
    c.fill(rect(x0, y0, x1, y1), SILVER, BLACK)
    c.fill(rect(x0 + 2 * p, y0 + 2 * p, x1 - 2 * p, y1 - 2 * p - (0 if c.small else 1)),
           screen, None if c.small else NAVY)
    if not c.small:  # a highlight on the glass
        c.line(x0 + 4, y0 + 4, x0 + 7, y0 + 4, AQUA)


def draw_host(c):
    """This utility: a computer sending to a server."""
    c.fill(polygon([(0, 4), (12, 4), (12, 0), (20, 7), (12, 14), (12, 10), (0, 10)]),
           GREEN if c.small else LIME, None if c.small else BLACK)
    monitor(c, 0, 14, 20, 28)
    c.fill(rect(22, 2, 32, 30), SILVER, BLACK)           # server tower
    if c.small:
        c.fill(union(rect(24, 6, 30, 8), rect(24, 10, 30, 12)), GRAY)
        c.fill(rect(24, 24, 26, 26), LIME)
    else:
        for y in (5, 10, 15):
            c.fill(rect(24, y, 30, y + 3), GRAY, BLACK)
            c.line(25, y + 1, 27, y + 1, WHITE)
        c.fill(rect(24, 24, 27, 27), LIME, GREEN)


def draw_info(c):
    """About box: an information badge."""
    c.fill(ellipse(16, 16, 15.5), BLUE, NAVY)
    c.fill(ellipse(16, 8.5, 2.6), WHITE)
    c.fill(union(rect(13, 13, 19, 16), rect(15, 13, 19, 24),
                 rect(12, 23, 21, 26)), WHITE)


def draw_network(c):
    """LAN / Dial-up: two computers joined by a cable."""
    cable = union(rect(6, 16, 10, 31), rect(6, 27, 20, 31))
    c.fill(cable, YELLOW, None if c.small else BLACK)
    monitor(c, 0, 1, 16, 13)
    monitor(c, 16, 13, 32, 25)


def draw_lock(c):
    """VPN: a padlock."""
    shackle = minus(union(clip(ellipse(16, 12, 9.5), rect(0, 0, 32, 12)),
                          rect(6.5, 11, 25.5, 18)),
                    union(clip(ellipse(16, 12, 5.5), rect(0, 0, 32, 12)),
                          rect(10.5, 11, 21.5, 18)))
    c.fill(shackle, GRAY if c.small else SILVER, None if c.small else BLACK)
    if not c.small:
        c.line(8, 12, 8, 15, WHITE)
        c.line(24, 12, 24, 15, GRAY)
    c.fill(rect(3, 15, 29, 32), YELLOW, BLACK)
    if not c.small:
        c.fill(rect(5, 29, 28, 31), OLIVE)
        c.line(5, 17, 5, 28, WHITE)
    c.fill(union(ellipse(16, 21.5, 3), rect(14.5, 21, 17.5, 28)), BLACK)


def draw_globe(c):
    """Others: a globe."""
    earth = ellipse(16, 16, 15.5)
    c.fill(earth, BLUE)
    if not c.small:  # meridian and parallels, under the land
        c.fill(minus(ellipse(16, 16, 7, 15.5), ellipse(16, 16, 6, 14.5)), AQUA)
        for y in (8, 16, 24):
            c.fill(clip(rect(0, y, 32, y + 1), earth), AQUA)
    lands = [
        [(5, 6), (12, 3), (16, 6), (13, 9), (14, 13), (10, 16), (9, 22),
         (6, 19), (4, 13)],
        [(18, 5), (25, 4), (29, 9), (26, 12), (27, 17), (22, 14), (19, 11)],
        [(15, 18), (22, 18), (25, 22), (20, 30), (16, 26)],
    ]
    for pts in lands:
        c.fill(clip(polygon(pts), earth), GREEN, None if c.small else GREEN)
        if not c.small:
            c.fill(clip(polygon([(x + 0.8, y + 0.8) for x, y in pts]), earth), LIME)
    c.fill(earth, None, NAVY)


# ------------------------------------------------------------ ICO writer

def pack_row(values, bpp):
    per = 8 // bpp
    out = bytearray()
    for i in range(0, len(values), per):
        chunk = values[i:i + per]
        b = 0
        for v in chunk:
            b = (b << bpp) | v
        out.append(b << (bpp * (per - len(chunk))))
    while len(out) % 4:
        out.append(0)
    return bytes(out)


def icon_image(c, bpp):
    if bpp == 4:
        pal, index = PALETTE, (lambda i: i)
    else:  # monochrome: light colours go white, dark ones black
        pal = [(0, 0, 0), (255, 255, 255)]
        index = lambda i: int(sum(w * v for w, v in zip((.299, .587, .114), PALETTE[i])) >= 128)
    xor, mask = bytearray(), bytearray()
    for row in reversed(c.px):  # bottom-up
        xor += pack_row([0 if i is None else index(i) for i in row], bpp)
        mask += pack_row([1 if i is None else 0 for i in row], 1)
    header = struct.pack('<IiiHHIIiiII', 40, c.size, 2 * c.size, 1, bpp, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    return header + b''.join(bytes((b, g, r, 0)) for r, g, b in pal) + xor + mask


def write_ico(name, images):
    """images: list of (draw function, size, bits per pixel)."""
    entries, blobs = [], []
    offset = 6 + 16 * len(images)
    for draw, size, bpp in images:
        c = Canvas(size)
        draw(c)
        blob = icon_image(c, bpp)
        entries.append(struct.pack('<BBBBHHII', size, size, 1 << bpp, 0, 1, bpp,
                                   len(blob), offset))
        blobs.append(blob)
        offset += len(blob)
    with open(os.path.join(OUT, name), 'wb') as f:
        f.write(struct.pack('<HHH', 0, 1, len(images)) + b''.join(entries + blobs))


# ------------------------------------------------- true-colour pictures

def render(w, h, colour_at, ss=4):
    """Anti-aliased rendering: average ss*ss samples per pixel."""
    img = []
    for y in range(h):
        row = []
        for x in range(w):
            acc = [0, 0, 0]
            for j in range(ss):
                for i in range(ss):
                    for n, v in enumerate(colour_at(x + (i + .5) / ss, y + (j + .5) / ss)):
                        acc[n] += v
            row.append(tuple(min(255, round(v / (ss * ss))) for v in acc))
        img.append(row)
    return img


def seg_dist(x, y, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(x - ax - t * dx, y - ay - t * dy)


def dish_at(x, y):
    """VSAT: a dish on a pole, facing up and to the right.

    Everything that matters stays inside 47x36: the viewer crops the rest."""
    cx, cy, a, b = 19.0, 17.0, 16.0, 7.0
    co = si = math.sqrt(0.5)        # major axis runs top-left to bottom-right
    nx, ny = co, -si                # the way the dish faces
    fx, fy = cx + 12 * nx, cy + 12 * ny

    def rim(px, py):
        u = (px - cx) * co + (py - cy) * si
        v = -(px - cx) * si + (py - cy) * co
        return math.sqrt((u / a) ** 2 + (v / b) ** 2), u, v

    colour = (255, 255, 255)
    for r in (9.0, 13.0):           # signal arcs from the sky
        d = math.hypot(x - 44, y - 0)
        if abs(d - r) < 0.7 and x < 44 and y > 0 and (44 - x) < 1.6 * y:
            colour = (40, 110, 220)
    if polygon([(10, 36), (12, 32), (24, 32), (26, 36)])(x, y):
        colour = (90, 90, 100)                       # base
    if rect(16, 22, 20, 33)(x, y):
        colour = (120, 120, 130)                     # pole
    back, _, _ = rim(x + 1.6, y - 1.6)
    if back <= 1:
        colour = (70, 75, 85)                        # back of the dish
    d, u, v = rim(x, y)
    if d <= 1:
        if d > 0.88:
            colour = (60, 65, 75)
        else:                                        # lit from the top right
            light = 0.5 + 0.5 * (-u / a * 0.3 - v / b * 0.7)
            g = int(150 + 100 * max(0.0, min(1.0, 1 - light)))
            colour = (g, g, min(255, g + 8))
    for ex, ey in ((cx - 9.5 * co, cy - 9.5 * si), (cx + 9.5 * co, cy + 9.5 * si)):
        if seg_dist(x, y, ex, ey, fx, fy) < 0.7:
            colour = (50, 50, 60)                    # feed arms
    if ellipse(fx, fy, 2.6)(x, y):
        colour = (200, 40, 30) if ellipse(fx, fy, 1.8)(x, y) else (60, 20, 20)
    return colour


def logo_at(x, y):
    """Three interlocking rings on white."""
    # Centres 34 apart so the rings cross nearly square, and the middle of
    # the triangle stays clear of all three bands.
    rings = [((52, 37.8), (0, 90, 170)), ((35, 67.2), (0, 150, 120)),
             ((69, 67.2), (235, 125, 0))]
    radius, half, gap = 26.0, 3.8, 1.5

    def over(i, j):  # at one crossing ring i lies on top, at the other ring j
        (ax, ay), (bx, by) = rings[i][0], rings[j][0]
        return i if (bx - ax) * (y - ay) - (by - ay) * (x - ax) > 0 else j

    near = [i for i, ((cx, cy), _) in enumerate(rings)
            if abs(math.hypot(x - cx, y - cy) - radius) <= half + gap]
    if not near:
        return (255, 255, 255)
    top = near[0]
    for i in near[1:]:
        top = over(min(top, i), max(top, i))
    (cx, cy), colour = rings[top]
    if abs(math.hypot(x - cx, y - cy) - radius) <= half:
        return colour
    return (255, 255, 255)  # the white gap that makes the other ring pass under


def write_bmp(name, img):
    h, w = len(img), len(img[0])
    stride = (w * 3 + 3) & ~3
    pixels = bytearray()
    for row in reversed(img):
        line = b''.join(bytes((b, g, r)) for r, g, b in row)
        pixels += line + bytes(stride - len(line))
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(pixels),
                       3780, 3780, 0, 0)
    head = struct.pack('<2sIHHI', b'BM', 14 + len(info) + len(pixels), 0, 0,
                       14 + len(info))
    with open(os.path.join(OUT, name), 'wb') as f:
        f.write(head + info + pixels)


# ---------------------------------------------------- baseline JPEG writer

LUMA_Q = [16, 11, 10, 16, 24, 40, 51, 61, 12, 12, 14, 19, 26, 58, 60, 55,
          14, 13, 16, 24, 40, 57, 69, 56, 14, 17, 22, 29, 51, 87, 80, 62,
          18, 22, 37, 56, 68, 109, 103, 77, 24, 35, 55, 64, 81, 104, 113, 92,
          49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99]
CHROMA_Q = [17, 18, 24, 47] + [99] * 4 + [18, 21, 26, 66] + [99] * 4 + \
           [24, 26, 56] + [99] * 5 + [47, 66] + [99] * 38

# (code-length counts, symbols) for DC luma, AC luma, DC chroma, AC chroma.
DC_LUMA = ([0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0], list(range(12)))
DC_CHROMA = ([0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0], list(range(12)))
AC_LUMA = ([0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7d], list(bytes.fromhex(
    '01020300041105122131410613516107227114328191a1082342b1c11552d1f0'
    '2433627282090a161718191a25262728292a3435363738393a434445464748494a'
    '535455565758595a636465666768696a737475767778797a838485868788898a'
    '92939495969798999aa2a3a4a5a6a7a8a9aab2b3b4b5b6b7b8b9bac2c3c4c5c6'
    'c7c8c9cad2d3d4d5d6d7d8d9dae1e2e3e4e5e6e7e8e9eaf1f2f3f4f5f6f7f8f9fa')))
AC_CHROMA = ([0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77], list(bytes.fromhex(
    '000102031104052131061241510761711322328108144291a1b1c109233352f0'
    '156272d10a162434e125f11718191a262728292a35363738393a434445464748'
    '494a535455565758595a636465666768696a737475767778797a828384858687'
    '88898a92939495969798999aa2a3a4a5a6a7a8a9aab2b3b4b5b6b7b8b9bac2c3'
    'c4c5c6c7c8c9cad2d3d4d5d6d7d8d9dae2e3e4e5e6e7e8e9eaf2f3f4f5f6f7f8f9fa')))

ZIGZAG = sorted(range(64), key=lambda i: (i // 8 + i % 8,
                                          i // 8 if (i // 8 + i % 8) % 2 else -(i // 8)))
COS = [[(math.sqrt(0.5) if u == 0 else 1.0) * math.cos((2 * x + 1) * u * math.pi / 16) / 2
        for x in range(8)] for u in range(8)]


def huffman_codes(table):
    counts, symbols = table
    assert sum(counts) == len(symbols)
    codes, code, k = {}, 0, 0
    for length, n in enumerate(counts, 1):
        for _ in range(n):
            codes[symbols[k]] = (code, length)
            code, k = code + 1, k + 1
        code <<= 1
    return codes


class BitWriter:
    def __init__(self):
        self.out, self.acc, self.n = bytearray(), 0, 0

    def put(self, value, length):
        self.acc, self.n = (self.acc << length) | (value & ((1 << length) - 1)), self.n + length
        while self.n >= 8:
            self.n -= 8
            byte = (self.acc >> self.n) & 0xFF
            self.out.append(byte)
            if byte == 0xFF:        # stuffed so it is not read as a marker
                self.out.append(0)

    def flush(self):
        if self.n:
            self.put(0x7F, 8 - self.n)  # pad with one-bits
        return bytes(self.out)


def write_jpeg(name, img, quality):
    h, w = len(img), len(img[0])
    scale = 5000 // quality if quality < 50 else 200 - 2 * quality
    qt = [[max(1, min(255, (q * scale + 50) // 100)) for q in base]
          for base in (LUMA_Q, CHROMA_Q)]
    tables = [(huffman_codes(DC_LUMA), huffman_codes(AC_LUMA)),
              (huffman_codes(DC_CHROMA), huffman_codes(AC_CHROMA))]

    def planes_at(x, y):  # edge pixels repeat to fill the last partial blocks
        r, g, b = img[min(y, h - 1)][min(x, w - 1)]
        return (0.299 * r + 0.587 * g + 0.114 * b - 128,
                -0.168736 * r - 0.331264 * g + 0.5 * b,
                0.5 * r - 0.418688 * g - 0.081312 * b)

    bits, last_dc = BitWriter(), [0, 0, 0]

    def encode_block(block, comp):
        t = 0 if comp == 0 else 1
        dc_codes, ac_codes = tables[t]
        coef = []
        for u in range(8):          # straight 2-D DCT; u is the vertical frequency
            for v in range(8):
                s = sum(COS[u][y] * COS[v][x] * block[y * 8 + x]
                        for y in range(8) for x in range(8))
                coef.append(s)
        zz = [round(coef[i] / qt[t][i]) for i in ZIGZAG]

        def emit(codes, symbol, value, size):
            code, length = codes[symbol]
            bits.put(code, length)
            if size:
                bits.put(value if value >= 0 else value + (1 << size) - 1, size)

        diff = zz[0] - last_dc[comp]
        last_dc[comp] = zz[0]
        emit(dc_codes, abs(diff).bit_length(), diff, abs(diff).bit_length())
        run = 0
        for c in zz[1:]:
            if c == 0:
                run += 1
                continue
            while run > 15:
                emit(ac_codes, 0xF0, 0, 0)
                run -= 16
            size = abs(c).bit_length()
            emit(ac_codes, (run << 4) | size, c, size)
            run = 0
        if run:
            emit(ac_codes, 0x00, 0, 0)

    for by in range(0, h, 8):       # 4:4:4, one block per component per MCU
        for bx in range(0, w, 8):
            samples = [planes_at(bx + i % 8, by + i // 8) for i in range(64)]
            for comp in range(3):
                encode_block([s[comp] for s in samples], comp)

    def segment(marker, payload):
        return struct.pack('>BBH', 0xFF, marker, len(payload) + 2) + payload

    dqt = b''.join(bytes([t]) + bytes(qt[t][i] for i in ZIGZAG) for t in (0, 1))
    dht = b''
    for cls_id, (counts, symbols) in ((0x00, DC_LUMA), (0x10, AC_LUMA),
                                      (0x01, DC_CHROMA), (0x11, AC_CHROMA)):
        dht += bytes([cls_id] + counts + symbols)
    sof = struct.pack('>BHHB', 8, h, w, 3) + bytes([1, 0x11, 0, 2, 0x11, 1, 3, 0x11, 1])
    sos = bytes([3, 1, 0x00, 2, 0x11, 3, 0x11, 0, 63, 0])
    data = (b'\xFF\xD8'
            + segment(0xE0, b'JFIF\x00' + struct.pack('>BBBHHBB', 1, 1, 0, 1, 1, 0, 0))
            + segment(0xDB, dqt) + segment(0xC0, sof) + segment(0xC4, dht)
            + segment(0xDA, sos) + bits.flush() + b'\xFF\xD9')
    with open(os.path.join(OUT, name), 'wb') as f:
        f.write(data)


# ------------------------------------------------------------------ main

def main():
    write_ico('hostwend.ico', [(draw_host, 32, 4), (draw_host, 32, 1), (draw_host, 32, 4)])
    write_ico('about.ico', [(draw_info, 32, 4), (draw_info, 16, 4)])
    for name, draw in (('image-a.ico', draw_host), ('image-b.ico', draw_network),
                       ('image-c.ico', draw_lock), ('image-d.ico', draw_globe)):
        write_ico(name, [(draw, 32, 4), (draw, 16, 4)])
    write_jpeg('image-e.jpg', render(51, 39, dish_at), quality=80)
    write_bmp('logo.bmp', render(104, 105, logo_at))


if __name__ == '__main__':
    main()
