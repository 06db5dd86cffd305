#!/usr/bin/python3
"""Writes data/added_stacks: the stacks that the font kit's source fonts draw as glyphs of their own, most
common first, for make-key-tables to add to the key-font table as far as its places allow.

Every stack of the corpus is listed; besides, a source font names each glyph that draws a stack (alone or with a vowel) by its code points
("uni0F620FB1", "uni0F690F72"): every such name whose code points begin with a letter and one or more
letters under it counts for that stack. The stacks are ranked by how often a Unicode text holds them
(--corpus, any number of files), then whether other texts are known to hold them (--known), then by how
many glyphs the two fonts give them (a font draws more
forms of the stacks that text uses more), then by fewer letters, then by code points.

    /usr/bin/python3 fonts/list_stacks.py --corpus ../shared/corpus/kangyur-035.bo.txt \
        --known རྱ,རྵ,ཪྡྷ,རྞྞ,ཊྭ > data/added_stacks

(the known stacks are those that four other volumes of the Kangyur hold and the tables lacked).
"""
import argparse
import collections
import re
import sys
import unicodedata

from fontTools.ttLib import TTFont

SOURCES = ("/usr/share/fonts/truetype/tibetan-machine/TibetanMachineUni.ttf",
           "/usr/share/fonts/truetype/tibetan/DDC_Uchen.ttf")


def is_letter(c):
    return 0x0F40 <= ord(c) <= 0x0F6C


def is_subjoined(c):
    return 0x0F90 <= ord(c) <= 0x0FBC


def leading_stack(text):
    """The stack that `text` (decomposed) begins with, or '' when it begins with no stack of two letters."""
    if not text or not is_letter(text[0]):
        return ""
    end = 1
    while end < len(text) and is_subjoined(text[end]):
        end += 1
    return text[:end] if end > 1 else ""


def font_stacks(path):
    """How many glyph names of the font begin with each stack."""
    counts = collections.Counter()
    for name in TTFont(path).getGlyphOrder():
        m = re.fullmatch(r"uni((?:[0-9A-F]{4})+)(?:\..*)?", name)
        if not m:
            continue
        text = "".join(chr(int(m.group(1)[i:i + 4], 16)) for i in range(0, len(m.group(1)), 4))
        stack = leading_stack(unicodedata.normalize("NFD", text))
        if stack:
            counts[stack] += 1
    return counts


def corpus_stacks(paths):
    counts = collections.Counter()
    for path in paths:
        with open(path, encoding="utf-8") as f:
            text = unicodedata.normalize("NFD", f.read())
        for i, c in enumerate(text):
            if is_letter(c):
                stack = leading_stack(text[i:i + 8])
                if stack:
                    counts[stack] += 1
    return counts


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--corpus", nargs="*", default=[], help="Unicode Tibetan texts that rank the stacks")
    parser.add_argument("--known", default="", help="stacks that other texts hold, in UTF-8, comma-separated")
    args = parser.parse_args(argv)
    glyphs = collections.Counter()
    for path in SOURCES:
        glyphs.update(font_stacks(path))
    used = corpus_stacks(args.corpus)
    known = {unicodedata.normalize("NFD", s) for s in args.known.split(",") if s}
    ranked = sorted(set(glyphs) | set(used) | known,
                    key=lambda s: (-used[s], s not in known, -glyphs[s], len(s), s))
    out = sys.stdout
    out.write("# Stacks that the source fonts of the font kit draw as glyphs of their own, most common first:\n"
              "# the stack, how often the corpus holds it, how many glyphs the two fonts give it, its code\n"
              "# points. Written by fonts/list_stacks.py; make-key-tables adds those the tables lack, in this\n"
              "# order, while the key-font table has places.\n")
    for s in ranked:
        out.write("%s %d %d %s\n" % (s, used[s], glyphs[s], " ".join("U+%04X" % ord(c) for c in s)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
