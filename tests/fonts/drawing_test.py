"""Words drawn through the kit, as the glyph codes the converter writes for them (font switches and codes),
look like their Unicode shaped by HarfBuzz in the kit's source font, both drawn from the same start: ink
overlap of at least 90% for nearly every real syllable and never below 85%, for real syllables and for
every vowel sign on a narrow, a wide and a deep stack. The kit draws each form once, so where the source
font shapes a letter or a sign differently in context (the i on the apostrophe's letter after a stack
with o, a stack before e) or inside a ligature, the two drawings may differ by a pixel or two."""
import os
import re
import unittest

import kit_support as ks
import ink

PX_PER_EM = 64
MIN_OVERLAP = 0.90  # for all but MAX_BELOW of the syllables
MAX_BELOW = 0.01
MIN_OVERLAP_EACH = 0.85  # for every syllable and every vowel on every stack
CORPUS = os.path.join(ks.SOURCE_DIR, "..", "shared", "corpus")
MAX_SYLLABLES = 3000
# Separators of the Unicode text (tsheg, shad and the like, spaces) and of the Wylie.
UNICODE_BREAKS = re.compile("[\u0f0b\u0f0c\u0f0d\u0f0e\u0f11\u0f14 \t]+")
WYLIE_BREAKS = re.compile(r"[ /_\t]+")
# Syllables that Extended Wylie writes in ways our Wylie does not read (Sanskrit joins, long vowels,
# the diphthongs "ai" and "au", marks and numbers).
NOT_OUR_WYLIE = re.compile(r"[+A-Z_@#$%&*()\[\]{}<>=!|\\:;?0-9^~`-]|\.|a[iu]")


class Family:
    """The kit fonts of a family and its source font, each drawn at PX_PER_EM."""

    def __init__(self, name):
        self.name = name
        self.source = ks.make_kit.SOURCES[name]
        self.source_raster = ink.Raster(self.source.path, PX_PER_EM)
        self.kit = {}

    def kit_raster(self, number):
        if number not in self.kit:
            self.kit[number] = ink.Raster(ks.kit_path(ks.make_kit.font_name(self.name, number)), PX_PER_EM)
        return self.kit[number]

    def draw_codes(self, codes):
        """Glyph codes as the RTF shows them: bytes 129.. select a font of the family, others are characters."""
        placed, font, pen = [], 0, 0.0
        for b in codes:
            if b >= 129:
                font = b - 129
                continue
            raster = self.kit_raster(font)
            gid = raster.gid_of(b)
            placed.append((raster, gid, pen, 0))
            pen += raster.glyph(gid)[3]
        return ink.draw(placed, PX_PER_EM)

    def draw_unicode(self, shaped):
        return ink.draw([(self.source_raster, gid, x, y) for gid, x, y, _ in shaped], PX_PER_EM)


def corpus_syllables():
    """Distinct (Wylie, Unicode) syllable pairs of the corpus, from lines that split into as many syllables
    in both writings, in the order they first occur."""
    with open(os.path.join(CORPUS, "kangyur-035.wylie.txt"), encoding="utf-8") as w, \
            open(os.path.join(CORPUS, "kangyur-035.bo.txt"), encoding="utf-8") as u:
        pairs, seen = [], set()
        for wline, uline in zip(w, u):
            ws = [s for s in WYLIE_BREAKS.split(wline.strip()) if s]
            us = [s for s in UNICODE_BREAKS.split(uline.strip()) if s]
            if len(ws) != len(us):
                continue
            for wy, uni in zip(ws, us):
                if wy in seen or NOT_OUR_WYLIE.search(wy):
                    continue
                seen.add(wy)
                pairs.append((wy, uni))
                if len(pairs) == MAX_SYLLABLES:
                    return pairs
        return pairs


def glyph_codes_of_lines(wylie_lines, family):
    """The converter's glyph codes of each line (every line end kept), or None for a line that did not
    convert (it holds a raw passage)."""
    codes = ks.convert("\n".join(wylie_lines) + "\n", family, extra=["--keep-cr"], stage="glyphs")
    lines = codes.split(b"\n")
    if len(lines) != len(wylie_lines) + 1:
        raise AssertionError("%d glyph-code lines for %d syllables" % (len(lines) - 1, len(wylie_lines)))
    return [None if 19 in line or not line else line for line in lines[:-1]]


class DrawingTest(unittest.TestCase):
    def compare(self, family, codes, shaped):
        return ink.overlap(family.draw_codes(codes), family.draw_unicode(shaped))

    def test_drawing_real_syllables_look_like_their_unicode(self):
        ks.need(self, ks.TARVEX_CLI)
        if not os.path.isdir(CORPUS):
            self.skipTest("no corpus at %s" % os.path.normpath(CORPUS))
        pairs = corpus_syllables()
        self.assertGreater(len(pairs), 1000)
        below = {}
        for name in ks.FAMILIES:
            family = Family(name)
            codes = glyph_codes_of_lines([w for w, _ in pairs], name)
            shaped = ks.make_kit.shape_all(family.source.path, [u for _, u in pairs])
            scores, failures = [], []
            for (wylie, uni), c, s in zip(pairs, codes, shaped):
                if c is None:
                    continue
                score = self.compare(family, c, s)
                scores.append(score)
                if score < MIN_OVERLAP:
                    failures.append((round(score, 3), wylie))
            print("%s: %d syllables drawn, %d not converted, overlap min %.3f mean %.3f" % (
                name, len(scores), len(pairs) - len(scores), min(scores), sum(scores) / len(scores)))
            self.assertGreater(len(scores), len(pairs) * 0.95)
            below[name] = (sorted(failures), len(scores))
        for name, (failures, drawn) in below.items():
            self.assertLessEqual(len(failures), drawn * MAX_BELOW, "%s: %d syllables below %.2f: %s" % (
                name, len(failures), MIN_OVERLAP, failures[:20]))
            self.assertEqual([f for f in failures if f[0] < MIN_OVERLAP_EACH], [], name)

    def test_drawing_every_vowel_sign_sits_on_narrow_wide_and_deep_stacks(self):
        ks.need(self, ks.FORMS_TOOL)
        forms = ks.read_forms()
        base = {f.entry: f for f in forms if f.form == 0 and f.kind == "base"}
        letters = {f.entry for f in forms if f.form == 1 and f.kind == "mark"}
        for name in ks.FAMILIES:
            family = Family(name)
            stacks = sorted(e for e in letters if e in base)
            widths = dict(zip(stacks, (ks.make_kit.advance_of(s) for s in ks.make_kit.shape_all(
                family.source.path, [base[e].text for e in stacks]))))
            singles = [e for e in stacks if len(base[e].string) == 1 and base[e].text]
            chosen = {"narrow": min(singles, key=lambda e: (widths[e], e)),
                      "wide": max(stacks, key=lambda e: (widths[e], -e)),
                      "deep": max(stacks, key=lambda e: (len(base[e].text), widths[e], -e))}
            cases = [(label, entry, f) for label, entry in chosen.items() for f in forms
                     if f.entry == entry and f.kind != "-" and f.form not in (0, 16)]
            shaped = ks.make_kit.shape_all(family.source.path, [f.text for _, _, f in cases])
            for (label, entry, f), s in zip(cases, shaped):
                codes = bytes(switch(base[entry]) + switch(f)) if f.kind == "mark" else bytes(switch(f))
                with self.subTest(family=name, stack=label, entry=base[entry].string, form=f.form):
                    self.assertGreaterEqual(round(self.compare(family, codes, s), 3), MIN_OVERLAP_EACH)


def switch(form):
    """A form's glyph codes as the composer writes them: the code, in its font, back to font 0."""
    return [form.code] if form.font == 0 else [129 + form.font, form.code, 129]


if __name__ == "__main__":
    ks.main()
