"""Pictures for the end-to-end tests, with the standard library only: screenshots in the X
window dump format (`xwd -root`), the program's 24-bit BMP pictures, and PNG output so that a
developer can look at what a test saw."""

import struct
import zlib


class Image:
    """An RGB picture: width, height and a bytearray of width * height * 3 bytes, row by row."""

    def __init__(self, width, height, rgb=None):
        self.width, self.height = width, height
        self.rgb = rgb if rgb is not None else bytearray(width * height * 3)

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.rgb[i:i + 3])

    def crop(self, x, y, width, height):
        """The part at (x, y) of the given size; parts that lie off the picture stay black."""
        out = Image(width, height)
        for row in range(height):
            sy = y + row
            if not 0 <= sy < self.height:
                continue
            x0, x1 = max(x, 0), min(x + width, self.width)
            if x0 >= x1:
                continue
            src = (sy * self.width + x0) * 3
            dst = (row * width + (x0 - x)) * 3
            out.rgb[dst:dst + (x1 - x0) * 3] = self.rgb[src:src + (x1 - x0) * 3]
        return out

    def colours(self):
        """The set of distinct colours in the picture."""
        return {bytes(self.rgb[i:i + 3]) for i in range(0, len(self.rgb), 3)}


def read_xwd(data):
    """Decodes an X window dump of a TrueColor ZPixmap with 24 or 32 bits per pixel."""
    if len(data) < 100:
        raise ValueError("not an XWD file: too short")
    # The header is 25 CARD32 in the byte order of the machine that wrote it; file_version 7
    # tells which order that was.
    for endian in (">", "<"):
        fields = struct.unpack(endian + "25I", data[:100])
        if fields[1] == 7:
            break
    else:
        raise ValueError("not an XWD file: no version 7 header")
    (header_size, _version, pixmap_format, depth, width, height, _xoffset, byte_order,
     _bitmap_unit, _bit_order, _bitmap_pad, bits_per_pixel, bytes_per_line, visual_class,
     red_mask, green_mask, blue_mask, _bits_per_rgb, _colormap_entries, ncolors,
     *_window) = fields
    if pixmap_format != 2:
        raise ValueError(f"XWD pixmap format {pixmap_format}, expected 2 (ZPixmap)")
    if bits_per_pixel not in (24, 32) or visual_class not in (4, 5):  # TrueColor, DirectColor
        raise ValueError(f"XWD with {bits_per_pixel} bits per pixel, visual class {visual_class}")
    offset = header_size + ncolors * 12  # XWDColor entries: pixel, r, g, b, flags, pad
    need = offset + bytes_per_line * height
    if len(data) < need:
        raise ValueError(f"XWD file is short: {len(data)} bytes of {need}")
    step = bits_per_pixel // 8

    def shift_of(mask):
        return (mask & -mask).bit_length() - 1

    shifts = [(mask, shift_of(mask), mask >> shift_of(mask)) for mask in (red_mask, green_mask, blue_mask)]
    order = "little" if byte_order == 0 else "big"
    img = Image(width, height)
    out = img.rgb
    fast = (step == 4 and order == "little" and red_mask == 0xFF0000 and green_mask == 0xFF00
            and blue_mask == 0xFF)
    o = 0
    for y in range(height):
        row = data[offset + y * bytes_per_line: offset + y * bytes_per_line + width * step]
        if fast:  # B G R x in memory
            out[o:o + width * 3:3] = row[2::4]
            out[o + 1:o + width * 3:3] = row[1::4]
            out[o + 2:o + width * 3:3] = row[0::4]
            o += width * 3
            continue
        for x in range(width):
            value = int.from_bytes(row[x * step:(x + 1) * step], order)
            for mask, shift, top in shifts:
                channel = (value & mask) >> shift
                out[o] = channel * 255 // top if top else 0
                o += 1
    return img


def read_bmp(data):
    """Decodes an uncompressed 24-bit Windows BMP (bottom-up or top-down)."""
    if data[:2] != b"BM":
        raise ValueError("not a BMP file")
    pixel_offset = struct.unpack_from("<I", data, 10)[0]
    width, height, _planes, bits, compression = struct.unpack_from("<iiHHI", data, 18)
    if bits != 24 or compression != 0:
        raise ValueError(f"BMP with {bits} bits per pixel, compression {compression}")
    bottom_up = height > 0
    height = abs(height)
    stride = (width * 3 + 3) & ~3
    img = Image(width, height)
    for row in range(height):
        src_row = height - 1 - row if bottom_up else row
        line = data[pixel_offset + src_row * stride: pixel_offset + src_row * stride + width * 3]
        o = row * width * 3
        img.rgb[o:o + width * 3:3] = line[2::3]
        img.rgb[o + 1:o + width * 3:3] = line[1::3]
        img.rgb[o + 2:o + width * 3:3] = line[0::3]
    return img


def png_bytes(img):
    """Encodes an Image as an 8-bit RGB PNG."""
    def chunk(kind, payload):
        return (struct.pack(">I", len(payload)) + kind + payload
                + struct.pack(">I", zlib.crc32(kind + payload) & 0xFFFFFFFF))

    stride = img.width * 3
    raw = bytearray()
    for y in range(img.height):
        raw.append(0)  # filter: none
        raw += img.rgb[y * stride:(y + 1) * stride]
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", img.width, img.height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(bytes(raw), 6))
            + chunk(b"IEND", b""))


def read_png(data):
    """Decodes the 8-bit RGB PNGs that png_bytes writes (filters 0 to 4, no interlace)."""
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG file")
    pos, idat, width = 8, bytearray(), None
    while pos < len(data):
        length, kind = struct.unpack_from(">I4s", data, pos)
        payload = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour, _c, _f, interlace = struct.unpack(">IIBBBBB", payload)
            if depth != 8 or colour != 2 or interlace != 0:
                raise ValueError("only 8-bit RGB PNGs without interlace are read")
        elif kind == b"IDAT":
            idat += payload
        pos += 12 + length
    raw = zlib.decompress(bytes(idat))
    stride = width * 3
    img = Image(width, height)
    prev = bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - 3] if i >= 3 else 0
            b = prev[i]
            c = prev[i - 3] if i >= 3 else 0
            if kind == 1:
                line[i] = (line[i] + a) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + b) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 0xFF
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 0xFF
        img.rgb[y * stride:(y + 1) * stride] = line
        prev = line
    return img


def write_png(img, path):
    with open(path, "wb") as f:
        f.write(png_bytes(img))
