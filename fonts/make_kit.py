#!/usr/bin/python3
"""Makes the font kit: one TrueType font per font name of the Korlam and Ekorlam families, with the glyph
of every form of every key-font entry at the character code that the table gives it in the font it names.

Reads the forms list that tsendrel-unicode-forms prints (entry, form, font, code, kind, code points) and a
free Unicode Tibetan font per family; shapes every form's code points with HarfBuzz (hb-shape) and writes
DIR/<Family>-<suffix>.ttf for all 68 fonts, plus the licence of each family's source font.

Whole forms (kind "base") are drawn as the shaped glyphs side by side, with their advance. A vowel sign
(kind "mark") has one code in "vowa" per group of letters and stacks that carry it alike (the groups of
data/vowel_classes, which this program writes with --write-vowel-classes and make-key-tables reads), so
each is drawn once, with no advance, where the source font puts that sign on the letters of its group
that weigh most (see choose_mark); inside a ligature, where the sign's ink is found by drawing.
"""
import argparse
import collections
import json
import os
import shutil
import subprocess
import sys
import tempfile

from fontTools.fontBuilder import FontBuilder
from fontTools.pens.boundsPen import BoundsPen
from fontTools.pens.recordingPen import DecomposingRecordingPen
from fontTools.pens.transformPen import TransformPen
from fontTools.pens.ttGlyphPen import TTGlyphPen
from fontTools.ttLib import TTFont
from PIL import ImageChops

import ink

SUFFIXES = [s + n for n in ("", "1", "2", "3") for s in ("a", "b", "c", "d", "e", "f", "g", "big")] + [
    "vowa",
    "syma",
]
VOWEL_FONT = 32
FORM_I = 1
FORM_O = 4
MAX_VOWEL_CLASSES = 10  # groups per vowel sign; all of them share the free codes of "vowa"
VOWEL_CLASS_TOLERANCE = 16  # font units a sign may sit from where the source font puts it
WHOLE_FORMS = (0, 2, 16, 17)  # the letter or stack alone, with u joined, and both after an apostrophe
# The composer writes the i sign of the apostrophe's entry two codes higher after "o" and an apostrophe.
RAISED_I_STEP = 2
BLANK = 32  # the converter writes the blank between words in the font in force
ZWNJ = "\u200c"
DOTTED_CIRCLE = "\u25cc"
PLACING_PX_PER_EM = 128  # drawing size at which a sign is found inside a ligature

OFL_URL = "https://openfontlicense.org"
GPL_URL = "https://www.gnu.org/licenses/old-licenses/gpl-1.0.html"


class Source:
    def __init__(self, family, path, package, licence_name, licence_url):
        self.family = family
        self.path = path
        self.package = package
        self.licence_name = licence_name
        self.licence_url = licence_url

    def copyright_file(self):
        return "/usr/share/doc/%s/copyright" % self.package


SOURCES = {
    "Ekorlam": Source("Ekorlam", "/usr/share/fonts/truetype/tibetan/DDC_Uchen.ttf", "fonts-ddc-uchen",
                      "SIL Open Font License, Version 1.1", OFL_URL),
    "Korlam": Source("Korlam", "/usr/share/fonts/truetype/tibetan-machine/TibetanMachineUni.ttf",
                     "fonts-tibetan-machine", "GNU General Public License, version 1 or later", GPL_URL),
}


def font_name(family, font):
    return "%s-%s" % (family, SUFFIXES[font])


class Form:
    """One line of the forms list."""

    def __init__(self, entry, string, form, font, code, kind, text):
        self.entry = entry
        self.string = string
        self.form = form
        self.font = font
        self.code = code
        self.kind = kind
        self.text = text


def read_forms(lines):
    """Parses the forms list: `<entry> <string> <form> <font> <code> <kind> <U+XXXX ...>`, where "-" for the
    code points stands for a form that means nothing (its kind is then taken as "-")."""
    forms = []
    for number, line in enumerate(lines, 1):
        fields = line.split()
        if not fields:
            continue
        if len(fields) < 6:
            raise ValueError("forms line %d: expected at least 6 fields: %r" % (number, line))
        cps = fields[6:]
        kind = fields[5]
        if cps == ["-"]:  # a form that means nothing in Unicode
            cps, kind = [], "-"
        if any(not cp.startswith("U+") for cp in cps):
            raise ValueError("forms line %d: code points are written U+XXXX: %r" % (number, line))
        text = "".join(chr(int(cp[2:], 16)) for cp in cps)
        if kind not in ("base", "mark", "-"):
            raise ValueError("forms line %d: unknown kind %r" % (number, kind))
        forms.append(Form(int(fields[0]), fields[1], int(fields[2]), int(fields[3]), int(fields[4]), kind, text))
    return forms


def shape_all(font_path, texts):
    """Shapes each text with hb-shape; returns, per text, a list of (glyph id, x, y, advance) in font units,
    x and y being where the glyph's origin lies from the start of the text."""
    if not texts:
        return []
    with tempfile.NamedTemporaryFile("w", encoding="utf-8", suffix=".txt", delete=False) as f:
        f.write("\n".join(texts) + "\n")
        name = f.name
    try:
        out = subprocess.run(["hb-shape", "--font-file", font_path, "--text-file", name, "--output-format=json",
                              "--no-glyph-names"], check=True, capture_output=True, text=True).stdout
    finally:
        os.unlink(name)
    lines = out.splitlines()
    if len(lines) != len(texts):
        raise RuntimeError("hb-shape gave %d results for %d texts" % (len(lines), len(texts)))
    results = []
    for line in lines:
        pen = 0
        glyphs = []
        for g in json.loads(line):
            glyphs.append((g["g"], pen + g["dx"], g["dy"], g["ax"]))
            pen += g["ax"]
        results.append(glyphs)
    return results


def advance_of(glyphs):
    return sum(g[3] for g in glyphs)


def sign_glyphs(cluster, full, ignored=()):
    """The glyphs that a vowel sign adds to its cluster: those of the cluster with its sign that are not
    among the cluster's own glyphs (nor among the ignored ones), placed from where the cluster ends. Empty
    when the source font draws the sign in a ligature with a glyph of the cluster."""
    own = collections.Counter(g[0] for g in cluster)
    added = []
    for g in full:
        if own[g[0]] > 0:
            own[g[0]] -= 1
        elif g[0] not in ignored:
            added.append(g)
    if not added or sum(own.values()) > 0:  # some glyph of the cluster went into a ligature
        return ()
    end = advance_of(full) - advance_of(added)
    return tuple((gid, x - end, y, adv) for gid, x, y, adv in added)


def choose_mark(samples):
    """One drawing for a vowel sign that every letter and stack shares: the glyphs the source font uses for
    it most often, at the median of their places (from the end of the letter) on the letters that use them.
    Samples are (weight, glyphs) with glyphs as sign_glyphs gives them."""
    by_ids = collections.defaultdict(list)
    for weight, glyphs in samples:
        if glyphs:
            by_ids[tuple(g[0] for g in glyphs)].append((weight, glyphs))
    if not by_ids:
        return None
    ids, chosen = max(by_ids.items(), key=lambda kv: (sum(w for w, _ in kv[1]), kv[0]))
    placed = []
    for i, gid in enumerate(ids):
        xs = sorted(x for w, gl in chosen for x in [gl[i][1]] * w)
        ys = sorted(y for w, gl in chosen for y in [gl[i][2]] * w)
        placed.append((gid, xs[len(xs) // 2], ys[len(ys) // 2], chosen[0][1][i][3]))
    return tuple(placed)


def mark_weight(string):
    """Plain letters weigh most in the choice of a shared vowel sign: they carry most vowels in real text."""
    return 8 if len(string) == 1 else 1


class Kit:
    """Every (font, code) of one family: its glyphs (gid, x, y) and advance, in the source's units."""

    def __init__(self):
        self.glyphs = {}  # (font, code) -> (tuple of (gid, x, y, adv), advance)

    def put(self, font, code, glyphs, advance, what):
        key = (font, code)
        if key in self.glyphs and self.glyphs[key] != (glyphs, advance):
            raise ValueError("%s: font %d code %d already holds another glyph" % (what, font, code))
        self.glyphs[key] = (glyphs, advance)


def plan_family(forms, font_path):
    """Decides what every (font, code) of a family draws."""
    base_text = {}
    for f in forms:
        if f.form == 0 and f.kind == "base":
            base_text[f.entry] = f.text
    whole = [f for f in forms if f.kind == "base"]
    marks = [f for f in forms if f.kind == "mark"]
    # Where the font joins a letter and its sign into one ligature, the sign's own glyph and place are
    # those it takes when a zero-width non-joiner keeps the two apart.
    apart = {f.text: base_text.get(f.entry, "") + ZWNJ + f.text[len(base_text.get(f.entry, "")):] for f in marks}
    texts = sorted({f.text for f in whole} | {f.text for f in marks} | set(base_text.values())
                   | set(apart.values()) | {ZWNJ, DOTTED_CIRCLE})
    shaped = dict(zip(texts, shape_all(font_path, texts)))
    zwnj_glyphs = {g[0] for g in shaped[ZWNJ]}

    kit = Kit()
    for f in whole:
        glyphs = shaped[f.text]
        kit.put(f.font, f.code, tuple(glyphs), advance_of(glyphs), "entry %s form %d" % (f.string, f.form))

    samples = collections.defaultdict(list)  # (font, code) -> samples of the sign
    raster = ink.Raster(font_path, PLACING_PX_PER_EM)
    own_sign = {}  # (entry, form) -> the sign's glyphs as they sit on that entry
    for f in marks:
        cluster = shaped.get(base_text.get(f.entry, ""), [])
        glyphs = sign_glyphs(cluster, shaped[f.text])
        if not glyphs:
            glyphs = sign_glyphs(cluster, shaped[apart[f.text]], zwnj_glyphs)
            glyphs = place_in_ligature(raster, cluster, shaped[f.text], glyphs)
        own_sign[(f.entry, f.form)] = glyphs
        samples[(f.font, f.code)].append((mark_weight(f.string), glyphs))
    for (font, code), s in sorted(samples.items()):
        glyphs = choose_mark(s)
        if glyphs is None:
            raise ValueError("font %d code %d: the source font draws this sign only in ligatures" % (font, code))
        # A combining sign has no advance; a spacing one (such as the visarga) keeps its own.
        kit.put(font, code, glyphs, advance_of(glyphs), "vowel sign at font %d code %d" % (font, code))

    # A whole form with no meaning of its own still draws something at its place: the entry's own letter.
    for f in forms:
        if (f.kind == "-" and f.form in WHOLE_FORMS and (f.font, f.code) not in kit.glyphs
                and f.entry in base_text):
            glyphs = shaped[base_text[f.entry]]
            kit.put(f.font, f.code, tuple(glyphs), advance_of(glyphs), "entry %s form %d" % (f.string, f.form))

    # Every other place the table names but that means nothing shows the dotted circle that shaping
    # engines draw for a sign without its letter: over the letter before it at a vowel sign's place.
    circle = tuple(shaped[DOTTED_CIRCLE])
    width = advance_of(circle)
    for f in forms:
        if f.kind == "-" and (f.font, f.code) not in kit.glyphs:
            if f.form in WHOLE_FORMS:
                kit.put(f.font, f.code, circle, width, "placeholder")
            else:
                kit.put(f.font, f.code, tuple((g, x - width, y, 0) for g, x, y, _ in circle), 0, "placeholder")

    # The raised i follows a letter with the o sign and the apostrophe's letter ("po'i"), so it sits where
    # the source font puts the i on the apostrophe's letter after each letter with o.
    achung_i = [f for f in marks if f.string == "'" and f.form == FORM_I]
    if achung_i:
        f = achung_i[0]
        contexts = [g.text for g in marks if g.form == FORM_O and len(g.string) == 1]
        before = shape_all(font_path, [c + base_text[f.entry] for c in contexts])
        after = shape_all(font_path, [c + f.text for c in contexts])
        glyphs = choose_mark([(1, sign_glyphs(b, a) or place_in_ligature(raster, b, a, own_sign[(f.entry, f.form)]))
                              for b, a in zip(before, after)]) or own_sign[(f.entry, f.form)]
        kit.put(f.font, f.code + RAISED_I_STEP, glyphs, advance_of(glyphs), "raised i sign")
    kit.own_sign = own_sign
    return kit


def sign_centre(source_font, glyphs):
    """The centre of the box around a sign's glyphs, from where its letter ends, in font units."""
    glyph_set = source_font.getGlyphSet()
    order = source_font.getGlyphOrder()
    boxes = []
    for gid, x, y, _ in glyphs:
        pen = BoundsPen(glyph_set)
        glyph_set[order[gid]].draw(pen)
        if pen.bounds:
            x0, y0, x1, y1 = pen.bounds
            boxes.append((x0 + x, y0 + y, x1 + x, y1 + y))
    if not boxes:
        return (0.0, 0.0)
    return ((min(b[0] for b in boxes) + max(b[2] for b in boxes)) / 2,
            (min(b[1] for b in boxes) + max(b[3] for b in boxes)) / 2)


def vowel_classes(forms, families, max_classes=MAX_VOWEL_CLASSES, tolerance=VOWEL_CLASS_TOLERANCE):
    """Groups the letters and stacks by where each vowel sign sits on them in every family, so that one
    sign per group sits right on all of its members: {(entry string, form): group}, group 0 (the one of
    most weight, which keeps the vowel's own code) left out. A group gathers the entries whose sign
    centres lie near each other; groups are added, up to max_classes, while some entry lies farther than
    tolerance (font units) from every group's centre."""
    placed = {}
    for family in families:
        source = SOURCES[family]
        font = TTFont(source.path)
        for key, glyphs in plan_family(forms, source.path).own_sign.items():
            placed.setdefault(key, []).extend(sign_centre(font, glyphs))
    strings = {f.entry: f.string for f in forms}
    classes = {}
    for form in sorted({f.form for f in forms if f.kind == "mark"}):
        members = sorted(e for (e, fm) in placed if fm == form)
        points = [placed[(e, form)] for e in members]
        weights = [mark_weight(strings[e]) for e in members]
        groups = group_points(points, weights, max_classes, tolerance)
        for e, g in zip(members, groups):
            # The apostrophe's i keeps the vowel's own code, which the raised i is counted from.
            if g != 0 and not (strings[e] == "'" and form == FORM_I):
                classes[(strings[e], form)] = g
    return classes


def group_points(points, weights, max_groups, tolerance):
    """Weighted k-means with centres added at the farthest point while it lies beyond tolerance; returns
    the group of each point, groups numbered by falling weight."""
    def dist(a, b):
        return sum((x - y) ** 2 for x, y in zip(a, b)) ** 0.5

    heaviest = max(range(len(points)), key=lambda i: (weights[i], -i))
    centres = [points[heaviest]]
    assign = [0] * len(points)
    while True:
        for _ in range(10):
            assign = [min(range(len(centres)), key=lambda c: (dist(p, centres[c]), c)) for p in points]
            for c in range(len(centres)):
                idx = [i for i, a in enumerate(assign) if a == c]
                if idx:
                    total = sum(weights[i] for i in idx)
                    centres[c] = tuple(sum(points[i][k] * weights[i] for i in idx) / total
                                       for k in range(len(points[0])))
        far = max(range(len(points)), key=lambda i: (dist(points[i], centres[assign[i]]), -i))
        if len(centres) >= max_groups or dist(points[far], centres[assign[far]]) <= tolerance:
            break
        centres.append(points[far])
    weight_of = collections.Counter()
    for a, w in zip(assign, weights):
        weight_of[a] += w
    order = sorted(weight_of, key=lambda c: (-weight_of[c], c))
    renumber = {c: n for n, c in enumerate(order)}
    return [renumber[a] for a in assign]


def vowel_classes_text(classes):
    lines = ["# Vowel-sign groups of the font kit, written by fonts/make_kit.py --write-vowel-classes and read",
             "# by make-key-tables: entry string, form, group; each group of a form has its own code in \"vowa\".",
             "# Entries and forms not listed are in group 0."]
    for (string, form), group in sorted(classes.items(), key=lambda kv: ([ord(c) for c in kv[0][0]], kv[0][1])):
        lines.append("%s %d %d" % (string, form, group))
    return "\n".join(lines) + "\n"


def place_in_ligature(raster, cluster, ligature, glyphs):
    """Moves a sign's glyphs to where the ligature of cluster and sign draws the sign: the centre of the
    sign's ink onto the centre of the ink that the ligature has beyond the cluster's own."""
    if not glyphs:
        return glyphs
    end = advance_of(cluster)
    sign = ink.draw([(raster, gid, end + x, y) for gid, x, y, _ in glyphs], raster.px_per_em)
    beyond = ImageChops.logical_and(
        ink.draw([(raster, g[0], g[1], g[2]) for g in ligature], raster.px_per_em),
        ImageChops.invert(ink.thicken(ink.draw([(raster, g[0], g[1], g[2]) for g in cluster],
                                               raster.px_per_em))))
    beyond = ink.thin(beyond)
    a, b = sign.getbbox(), beyond.getbbox()
    if a is None or b is None:
        return glyphs
    dx = ((b[0] + b[2]) - (a[0] + a[2])) / 2 / raster.scale
    dy = -((b[1] + b[3]) - (a[1] + a[3])) / 2 / raster.scale
    return tuple((gid, int(round(x + dx)), int(round(y + dy)), adv) for gid, x, y, adv in glyphs)


def draw_glyphs(source_glyphs, glyphs):
    """The outline of glyphs set side by side, as one TrueType glyph."""
    pen = TTGlyphPen(None)
    for gid, x, y, _ in glyphs:
        name = source_glyphs.order[gid]
        rec = DecomposingRecordingPen(source_glyphs.set)
        source_glyphs.set[name].draw(rec)
        rec.replay(TransformPen(pen, (1, 0, 0, 1, x, y)))
    return pen.glyph()


class SourceGlyphs:
    def __init__(self, font):
        self.order = font.getGlyphOrder()
        self.set = font.getGlyphSet()


def copyright_notice(source_font):
    return str(source_font["name"].getDebugName(0) or "").strip()


def build_font(source, source_font, family, font, kit, version):
    name = font_name(family, font)
    glyphs_of = SourceGlyphs(source_font)
    upem = source_font["head"].unitsPerEm
    space_advance = source_font["hmtx"][source_font.getBestCmap()[0x20]][0]

    order = [".notdef", "space"]
    cmap = {BLANK: "space"}
    outlines = {".notdef": TTGlyphPen(None).glyph(), "space": TTGlyphPen(None).glyph()}
    advances = {".notdef": space_advance, "space": space_advance}
    for (f, code), (glyphs, advance) in sorted(kit.glyphs.items()):
        if f != font:
            continue
        gname = "c%03d" % code
        order.append(gname)
        cmap[code] = gname
        outlines[gname] = draw_glyphs(glyphs_of, glyphs)
        advances[gname] = advance

    fb = FontBuilder(upem, isTTF=True)
    fb.setupGlyphOrder(order)
    fb.setupCharacterMap(cmap)
    fb.setupGlyf(outlines)
    glyf = fb.font["glyf"]
    metrics = {}
    for g in order:
        glyf[g].recalcBounds(glyf)
        metrics[g] = (advances[g], getattr(glyf[g], "xMin", 0))
    fb.setupHorizontalMetrics(metrics)
    hhea = source_font["hhea"]
    fb.setupHorizontalHeader(ascent=hhea.ascent, descent=hhea.descent)
    os2 = source_font["OS/2"]
    notice = copyright_notice(source_font)
    source_name = str(source_font["name"].getDebugName(4))
    source_version = str(source_font["name"].getDebugName(5))
    fb.setupNameTable({
        "copyright": notice,
        "familyName": name,
        "styleName": "Regular",
        "uniqueFontIdentifier": "Tsendrel font kit: %s %s" % (name, version),
        "fullName": name,
        "version": "Version %s" % version,
        "psName": name,
        "description": ("Tsendrel font kit: the glyphs of %s (%s, Debian package %s) at the character codes "
                        "of Tsendrel's keyfont for the font %s. Modified version; not the original font."
                        % (source_name, source_version, source.package, name)),
        "licenseDescription": ("This font is a modified version of %s and is licensed under the %s. "
                               "%s\n\nLicence of the original, from %s:\n\n%s"
                               % (source_name, source.licence_name, notice, source.copyright_file(),
                                  licence_text(source))),
        "licenseInfoURL": source.licence_url,
    }, mac=False)
    fb.setupOS2(sTypoAscender=os2.sTypoAscender, sTypoDescender=os2.sTypoDescender,
                sTypoLineGap=os2.sTypoLineGap, usWinAscent=os2.usWinAscent, usWinDescent=os2.usWinDescent,
                fsType=0, achVendID="TSDR", ulUnicodeRange1=1, ulCodePageRange1=1,
                usFirstCharIndex=min(cmap), usLastCharIndex=max(cmap))
    fb.setupPost()
    fb.setupHead(unitsPerEm=upem)
    return fb.font


def licence_text(source):
    try:
        with open(source.copyright_file(), encoding="utf-8") as f:
            return f.read()
    except OSError:
        return "(the licence file %s was not found)" % source.copyright_file()


def make_kit(forms, out_dir, families, version="1.0"):
    os.makedirs(out_dir, exist_ok=True)
    written = []
    for family in families:
        source = SOURCES[family]
        source_font = TTFont(source.path)
        kit = plan_family(forms, source.path)
        for font in range(len(SUFFIXES)):
            path = os.path.join(out_dir, font_name(family, font) + ".ttf")
            build_font(source, source_font, family, font, kit, version).save(path)
            written.append(path)
        if os.path.exists(source.copyright_file()):
            shutil.copyfile(source.copyright_file(), os.path.join(out_dir, "LICENCE-%s.txt" % family))
    return written


def main(argv):
    parser = argparse.ArgumentParser(description="Makes the Korlam and Ekorlam font kit.")
    parser.add_argument("--forms", help="forms list written by tsendrel-unicode-forms")
    parser.add_argument("--forms-tool", help="run this tsendrel-unicode-forms to get the forms list")
    parser.add_argument("--data-dir", help="folder of keyfont and keymap, for --forms-tool")
    parser.add_argument("--stamp", help="file to touch once the kit is written")
    parser.add_argument("--write-vowel-classes", metavar="FILE",
                        help="write the vowel-sign groups for make-key-tables instead of the kit")
    parser.add_argument("--out", help="folder for the fonts")
    parser.add_argument("--family", action="append", choices=sorted(SOURCES),
                        help="make only this family (may be repeated)")
    args = parser.parse_args(argv)
    if bool(args.forms) == bool(args.forms_tool):
        parser.error("give either --forms or --forms-tool")
    try:
        if args.forms:
            with open(args.forms, encoding="utf-8") as f:
                forms = read_forms(f)
        else:
            command = [args.forms_tool] + (["--data-dir", args.data_dir] if args.data_dir else [])
            forms = read_forms(subprocess.run(command, check=True, capture_output=True, text=True).stdout
                               .splitlines())
        if args.write_vowel_classes:
            with open(args.write_vowel_classes, "w", encoding="utf-8") as f:
                f.write(vowel_classes_text(vowel_classes(forms, args.family or sorted(SOURCES))))
            return 0
        written = make_kit(forms, args.out, args.family or sorted(SOURCES))
    except (ValueError, RuntimeError, OSError, subprocess.CalledProcessError) as e:
        print("make_kit: %s" % e, file=sys.stderr)
        return 1
    if args.stamp:
        with open(args.stamp, "w", encoding="utf-8") as f:
            f.write("\n".join(written) + "\n")
    print("make_kit: %d fonts in %s" % (len(written), args.out))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
