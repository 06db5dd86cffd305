"""Draws glyphs as ink with FreeType, and measures how far two drawings agree. Reads font files; writes
nothing. Used by the kit's drawing tests and by the pictures of its documentation."""
import freetype
from PIL import Image, ImageChops, ImageFilter

THRESHOLD = 128  # grey level from which a pixel counts as ink


class Raster:
    """One font file drawn at a fixed number of pixels per em, without hinting, glyphs cached."""

    def __init__(self, path, px_per_em):
        self.face = freetype.Face(path)
        self.face.set_char_size(0, int(px_per_em * 64), 72, 72)
        self.px_per_em = px_per_em
        self.scale = px_per_em / self.face.units_per_EM  # pixels per font unit
        self._glyphs = {}

    def gid_of(self, code):
        return self.face.get_char_index(code)

    def glyph(self, gid, dx=0, dy=0):
        """(image, left, top, advance in font units) of a glyph with its origin dx, dy 64ths of a pixel
        right of and above a pixel corner; image is None for a glyph without ink."""
        key = (gid, dx, dy)
        if key not in self._glyphs:
            self.face.set_transform(freetype.Matrix(0x10000, 0, 0, 0x10000), freetype.Vector(dx, dy))
            self.face.load_glyph(gid, freetype.FT_LOAD_NO_HINTING | freetype.FT_LOAD_RENDER)
            slot = self.face.glyph
            bm = slot.bitmap
            image = None
            if bm.width > 0 and bm.rows > 0:
                image = Image.frombytes("L", (bm.width, bm.rows), bytes(bm.buffer), "raw", "L", bm.pitch)
            advance = slot.linearHoriAdvance / 65536.0 / self.scale
            self._glyphs[key] = (image, slot.bitmap_left, slot.bitmap_top, advance)
        return self._glyphs[key]

    def ink(self, gid):
        """Number of ink pixels of a glyph."""
        image = self.glyph(gid)[0]
        return 0 if image is None else sum(image.point(lambda v: 255 if v >= THRESHOLD else 0).histogram()[255:])


def draw(placed, px_per_em, width_em=12):
    """Draws (raster, gid, x, y) glyphs, x and y in font units from the start of the line on its baseline,
    on one line; returns a black-and-white image (mode "1"). Each glyph is drawn where it lies to a 64th of
    a pixel: a kit glyph joins source glyphs at their exact places, so rounding each origin to a whole
    pixel would move the same outline by up to a pixel between the two drawings being compared."""
    height = int(px_per_em * 3)
    baseline = int(px_per_em * 2)
    canvas = Image.new("L", (int(px_per_em * width_em), height), 0)
    margin = int(px_per_em)
    for raster, gid, x, y in placed:
        fx, fy = int(round(x * raster.scale * 64)), int(round(y * raster.scale * 64))
        image, left, top, _ = raster.glyph(gid, fx % 64, fy % 64)
        if image is None:
            continue
        px = margin + fx // 64 + left
        py = baseline - fy // 64 - top
        canvas.paste(255, (px, py), mask=image)
    return canvas.point(lambda v: 255 if v >= THRESHOLD else 0).convert("1")


def thicken(image):
    """The drawing with every stroke one pixel wider on each side."""
    return image.convert("L").filter(ImageFilter.MaxFilter(3)).convert("1")


def thin(image):
    """The drawing without the slivers of one or two pixels that differences of drawings leave."""
    return image.convert("L").filter(ImageFilter.MinFilter(3)).convert("1")


def ink_count(image):
    return image.convert("L").histogram()[255]


def overlap(a, b):
    """How far two drawings set from the same start agree: the ink they share over the ink of the larger
    one (1.0 for two empty drawings)."""
    larger = max(ink_count(a), ink_count(b))
    if larger == 0:
        return 1.0
    return ink_count(ImageChops.logical_and(a, b)) / larger
