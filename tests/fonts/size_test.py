"""End to end: LibreOffice shows the Tibetan of a Unicode RTF at the size asked for, as it shows the
Tsendrel RTF of the same text. Both are rendered to a page and the height of the Tibetan's ink is
measured: the Unicode font and the kit's Korlam are drawn from the same outlines, so at one point size
their ink is about as tall, and it grows with the size."""
import os
import re
import shutil
import subprocess
import tempfile
import unittest

import kit_support as ks
import office_test

UNICODE_FONT = "Tibetan Machine Uni"
DPI = 72  # a pixel of the page is a point
# One line at every size below, with letters above and below the line (i and e, a subjoined ra).
WYLIE = "bkra shis bde legs"
# (name, options, text): the normal size at two sizes, and a small passage at half the normal size.
DOCUMENTS = (
    ("normal-28", ["--size", "28"], WYLIE),
    ("normal-40", ["--size", "40"], WYLIE),
    ("small-20", ["--size", "40", "--small-size", "20"], "(%s)" % WYLIE),
)
# The Unicode RTF's ink height over the Tsendrel RTF's: 12 points where 28 were asked for is 0.43.
SAME_SIZE = (0.8, 1.25)


def ink_rows(pdf, tmp):
    """The first and last rows with ink of the PDF's first page, rendered in grey."""
    base = os.path.join(tmp, "page")
    subprocess.run(["pdftoppm", "-gray", "-r", str(DPI), "-f", "1", "-l", "1", "-singlefile", pdf, base],
                   check=True, capture_output=True)
    with open(base + ".pgm", "rb") as f:
        data = f.read()
    # Binary PGM: "P5", width, height and the largest value, then one white space byte and the pixels.
    header = re.match(rb"P5\s+(\d+)\s+(\d+)\s+255\s", data)
    if not header:
        raise ValueError("not an 8-bit PGM from pdftoppm")
    width, height = int(header[1]), int(header[2])
    pixels = data[header.end():]
    rows = [y for y in range(height) if min(pixels[y * width:(y + 1) * width]) < 128]
    if not rows:
        raise ValueError("no ink on %s" % pdf)
    return rows[0], rows[-1]


def has_unicode_font():
    listed = subprocess.run(["fc-list", UNICODE_FONT, "family"], capture_output=True, text=True).stdout
    return UNICODE_FONT in listed


class SizeTest(unittest.TestCase):
    def setUp(self):
        if office_test.soffice() is None or shutil.which("pdftoppm") is None:
            self.skipTest("LibreOffice (soffice) or pdftoppm is not installed")
        if shutil.which("fc-list") is None or not has_unicode_font():
            self.skipTest("the font %r is not installed (fonts-tibetan-machine)" % UNICODE_FONT)
        if not os.path.exists(ks.kit_path("Korlam-a")):
            self.skipTest("the font kit is not built in %s" % ks.KIT_DIR)
        ks.need(self, ks.TARVEX_CLI)

    def test_size_of_unicode_rtf_tibetan_matches_the_tsendrel_rtf_and_follows_the_size(self):
        with tempfile.TemporaryDirectory() as tmp:
            rtf_files = []
            for name, options, text in DOCUMENTS:
                for kind, extra in (("unicode", ["-t", "wylie-unicode-rtf"]), ("tsendrel", [])):
                    path = os.path.join(tmp, "%s-%s.rtf" % (kind, name))
                    with open(path, "wb") as f:
                        f.write(ks.convert(text, "Korlam", extra + options))
                    rtf_files.append(path)
            heights = {}
            for rtf, pdf in zip(rtf_files, office_test.to_pdf(rtf_files, tmp)):
                top, bottom = ink_rows(pdf, tmp)
                heights[os.path.splitext(os.path.basename(rtf))[0]] = bottom - top + 1
        for name, _, _ in DOCUMENTS:
            with self.subTest(document=name):
                ratio = heights["unicode-" + name] / heights["tsendrel-" + name]
                self.assertTrue(SAME_SIZE[0] <= ratio <= SAME_SIZE[1], "%s: ink heights %s" % (name, heights))
        # 40 points against 28, and the small passage's 20 against its document's 40.
        for larger, smaller, expected in (("normal-40", "normal-28", 40 / 28), ("normal-40", "small-20", 2)):
            for kind in ("unicode", "tsendrel"):
                with self.subTest(kind=kind, sizes=(larger, smaller)):
                    grown = heights["%s-%s" % (kind, larger)] / heights["%s-%s" % (kind, smaller)]
                    self.assertAlmostEqual(grown, expected, delta=expected * 0.15, msg=str(heights))


if __name__ == "__main__":
    ks.main()
