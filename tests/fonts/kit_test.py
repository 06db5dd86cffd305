"""The kit holds a glyph with ink at every place the key-font table names, nothing at any other code, the
names that the RTF writes, zero advances for vowel signs and the licence of its source fonts."""
import os
import unittest

from fontTools.ttLib import TTFont

import kit_support as ks


def has_ink(font, glyph_name):
    glyph = font["glyf"][glyph_name]
    return glyph.numberOfContours != 0 and len(glyph.getCoordinates(font["glyf"])[0]) > 0


class KitTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.places = ks.keyfont_places()
        # The composer raises the i sign of the apostrophe's entry by two codes after "o" and an apostrophe.
        i_sign = next(p for p, owners in cls.places.items() if ("'", 1) in owners)
        cls.places.setdefault((i_sign[0], i_sign[1] + 2), {("'", 1)})
        cls.fonts = {}

    def font(self, family, number):
        name = ks.make_kit.font_name(family, number)
        if name not in self.fonts:
            path = ks.kit_path(name)
            if not os.path.exists(path):
                self.fail("the kit has no font %s (%s)" % (name, path))
            self.fonts[name] = TTFont(path)
        return self.fonts[name]

    def test_kit_every_named_place_has_a_glyph_with_ink(self):
        for family in ks.FAMILIES:
            for (number, code), owners in sorted(self.places.items()):
                with self.subTest(family=family, font=number, code=code):
                    font = self.font(family, number)
                    glyph = font.getBestCmap().get(code)
                    self.assertIsNotNone(glyph, "no glyph; named by %s" % sorted(owners)[:3])
                    self.assertTrue(has_ink(font, glyph), "glyph without ink; named by %s" % sorted(owners)[:3])

    def test_kit_maps_no_code_that_the_table_does_not_name(self):
        for family in ks.FAMILIES:
            for number in range(len(ks.make_kit.SUFFIXES)):
                with self.subTest(family=family, font=number):
                    named = {code for (f, code) in self.places if f == number}
                    extra = set(self.font(family, number).getBestCmap()) - named - {ks.make_kit.BLANK}
                    self.assertEqual(extra, set())

    def test_kit_fonts_carry_the_names_the_rtf_writes(self):
        ks.need(self, ks.TARVEX_CLI)
        for family in ks.FAMILIES:
            names = [n for n in ks.rtf_font_names(ks.convert("ka\n", family)) if n != "Courier"]
            self.assertEqual(len(names), 68)
            for name in names:
                with self.subTest(name=name):
                    family_of, _, suffix = name.partition("-")
                    font = self.font(family_of, ks.make_kit.SUFFIXES.index(suffix))
                    table = font["name"]
                    for name_id in (1, 4, 6):
                        self.assertEqual(table.getDebugName(name_id), name, "name %d" % name_id)

    def test_kit_vowel_signs_have_no_advance_and_whole_forms_have_one(self):
        ks.need(self, ks.FORMS_TOOL)
        for form in ks.read_forms():
            if form.kind == "-":
                continue
            for family in ks.FAMILIES:
                font = self.font(family, form.font)
                advance = font["hmtx"][font.getBestCmap()[form.code]][0]
                with self.subTest(family=family, entry=form.string, form=form.form):
                    if form.kind == "mark":
                        self.assertEqual(advance, 0)
                    else:
                        self.assertGreater(advance, 0)

    def test_kit_fonts_carry_their_source_and_licence(self):
        cases = [("Ekorlam", "SIL Open Font License", "Dzongkha Development Commission", "DDC Uchen"),
                 ("Korlam", "GNU General Public License", "Tibetan and Himalayan Digital Library",
                  "Tibetan Machine Uni")]
        for family, licence, holder, source_name in cases:
            for number in range(len(ks.make_kit.SUFFIXES)):
                with self.subTest(family=family, font=number):
                    table = self.font(family, number)["name"]
                    self.assertIn(licence, table.getDebugName(13))
                    self.assertIn(holder, table.getDebugName(0))
                    self.assertIn(source_name, table.getDebugName(10))
                    # A modified version never takes the source's (reserved) name as its own.
                    for name_id in (1, 4, 6, 16):
                        self.assertNotIn(source_name, table.getDebugName(name_id) or "")


if __name__ == "__main__":
    ks.main()
