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

from fontTools.feaLib.builder import addOpenTypeFeaturesFromString
from fontTools.fontBuilder import FontBuilder
from fontTools.pens.freetypePen import FreeTypePen
from fontTools.pens.recordingPen import DecomposingRecordingPen
from fontTools.pens.transformPen import TransformPen
from fontTools.pens.ttGlyphPen import TTGlyphPen
from fontTools.ttLib import TTFont
from PIL import Image, ImageChops

import numpy

import ink

SUFFIXES = [s + n for n in ("", "1", "2", "3") for s in ("a", "b", "c", "d", "e", "f", "g", "big")] + [
    "vowa",
    "syma",
]
VOWEL_FONT = 32
FORM_I = 1
FORM_O = 4
WHOLE_FORMS = (0, 2, 16, 17)  # the letter or stack alone, with u joined, and both after an apostrophe
# The composer writes the i sign of the apostrophe's entry two codes higher after "o" and an apostrophe.
RAISED_I_STEP = 2
BLANK = 32  # the converter writes the blank between words in the font in force
ZWNJ = "\u200c"
DOTTED_CIRCLE = "\u25cc"
PLACING_PX_PER_EM = 128  # drawing size at which a sign is found inside a ligature
FIT_PX_PER_EM = 64  # drawing size at which a sign's fit on its letters is measured, as the tests draw
FIT_ENOUGH = 0.97  # a fit from which a sign counts as sitting right
FIT_CANDIDATES = 16  # drawings tried for a group's code: the members' own, the heaviest first
MAX_VOWEL_CODES = 78  # free codes of "vowa" for the groups above 0 of all vowel signs

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
    return tuple((gid, x - end, y, adv, None) for gid, x, y, adv in added)


def choose_mark(samples):
    """One drawing for a vowel sign that every letter and stack shares: the glyphs the source font uses for
    it most often, at the median of their places (from the end of the letter) on the letters that use them.
    Samples are (weight, glyphs) with glyphs as sign_glyphs gives them."""
    by_ids = collections.defaultdict(list)
    for weight, glyphs in samples:
        if glyphs:
            by_ids[tuple((g[0], g[4]) for g in glyphs)].append((weight, glyphs))
    if not by_ids:
        return None
    ids, chosen = max(by_ids.items(), key=lambda kv: (sum(w for w, _ in kv[1]), str(kv[0])))
    placed = []
    for i, (gid, contours) in enumerate(ids):
        xs = sorted(x for w, gl in chosen for x in [gl[i][1]] * w)
        ys = sorted(y for w, gl in chosen for y in [gl[i][2]] * w)
        placed.append((gid, xs[len(xs) // 2], ys[len(ys) // 2], chosen[0][1][i][3], contours))
    return tuple(placed)


def mark_weight(string):
    """Plain letters weigh most in the choice of a shared vowel sign, then stacks of two: they carry most
    vowels in real text."""
    return 8 if len(string) == 1 else 3 if len(string) == 2 else 1


class Kit:
    """Every (font, code) of one family: its glyphs (gid, x, y) and advance, in the source's units."""

    def __init__(self):
        self.glyphs = {}  # (font, code) -> (tuple of (gid, x, y, adv), advance)

    def put(self, font, code, glyphs, advance, what):
        key = (font, code)
        if key in self.glyphs and self.glyphs[key] != (glyphs, advance):
            raise ValueError("%s: font %d code %d already holds another glyph" % (what, font, code))
        self.glyphs[key] = (glyphs, advance)


def whole(glyphs):
    """Shaped glyphs as the kit draws them: each glyph with all of its contours."""
    return tuple((gid, x, y, adv, None) for gid, x, y, adv in glyphs)


def plan_family(forms, font_path, added=frozenset()):
    """Decides what every (font, code) of a family draws. A sign's code that entries of the converter's
    tables share with `added` ones (entry strings that make-key-tables added) is drawn for the former
    alone, so that adding entries changes no glyph that documents already hold."""
    base_text = {}
    for f in forms:
        if f.form == 0 and f.kind == "base":
            base_text[f.entry] = f.text
    whole_forms = [f for f in forms if f.kind == "base"]
    marks = [f for f in forms if f.kind == "mark"]
    # Where the font joins a letter and its sign into one ligature whose contours cannot be told apart,
    # the sign's own glyph and place are those it takes when a zero-width non-joiner keeps the two apart.
    apart = {f.text: base_text.get(f.entry, "") + ZWNJ + f.text[len(base_text.get(f.entry, "")):] for f in marks}
    texts = sorted({f.text for f in whole_forms} | {f.text for f in marks} | set(base_text.values())
                   | set(apart.values()) | {ZWNJ, DOTTED_CIRCLE})
    shaped = dict(zip(texts, shape_all(font_path, texts)))
    zwnj_glyphs = {g[0] for g in shaped[ZWNJ]}
    outlines = Outlines(TTFont(font_path))

    kit = Kit()
    for f in whole_forms:
        glyphs = shaped[f.text]
        kit.put(f.font, f.code, whole(glyphs), advance_of(glyphs), "entry %s form %d" % (f.string, f.form))

    raster = ink.Raster(font_path, PLACING_PX_PER_EM)

    fit = SignFit(outlines.font)
    strings = {f.entry: f.string for f in forms}
    members = collections.defaultdict(list)  # (font, code) -> (key, weight, {fit: own drawing})
    own_sign = {}  # (entry, form) -> the sign's glyphs as they sit on that entry
    for f in marks:
        cluster = shaped.get(base_text.get(f.entry, ""), [])
        glyphs = sign_glyphs(cluster, shaped[f.text]) or outlines.ligature_sign(cluster, shaped[f.text])
        if not glyphs:
            glyphs = sign_glyphs(cluster, shaped[apart[f.text]], zwnj_glyphs)
            glyphs = place_in_ligature(raster, cluster, shaped[f.text], glyphs)
        own_sign[(f.entry, f.form)] = glyphs
        fit.target((f.entry, f.form), cluster, shaped[f.text])
        members[(f.font, f.code)].append(((f.entry, f.form), mark_weight(f.string), {fit: glyphs}))
    for (font, code), m in sorted(members.items()):
        m = [member for member in m if strings[member[0][0]] not in added] or m
        glyphs = choose_drawing([fit], m)[fit]
        if glyphs is None:
            raise ValueError("font %d code %d: the source font draws this sign only in ligatures" % (font, code))
        # A combining sign has no advance; a spacing one (such as the visarga) keeps its own.
        kit.put(font, code, glyphs, advance_of(glyphs), "vowel sign at font %d code %d" % (font, code))

    # A whole form with no meaning of its own still draws something at its place: the entry's own letter.
    for f in forms:
        if (f.kind == "-" and f.form in WHOLE_FORMS and (f.font, f.code) not in kit.glyphs
                and f.entry in base_text):
            glyphs = shaped[base_text[f.entry]]
            kit.put(f.font, f.code, whole(glyphs), advance_of(glyphs), "entry %s form %d" % (f.string, f.form))

    # Every other place the table names but that means nothing shows the dotted circle that shaping
    # engines draw for a sign without its letter: over the letter before it at a vowel sign's place.
    circle = whole(shaped[DOTTED_CIRCLE])
    width = advance_of(circle)
    for f in forms:
        if f.kind == "-" and (f.font, f.code) not in kit.glyphs:
            if f.form in WHOLE_FORMS:
                kit.put(f.font, f.code, circle, width, "placeholder")
            else:
                kit.put(f.font, f.code, tuple((g, x - width, y, 0, c) for g, x, y, _, c in circle), 0,
                        "placeholder")

    # The raised i follows a letter with the o sign and the apostrophe's letter ("po'i"), so it sits where
    # the source font puts the i on the apostrophe's letter after each letter with o.
    achung_i = [f for f in marks if f.string == "'" and f.form == FORM_I]
    if achung_i:
        f = achung_i[0]
        contexts = [g.text for g in marks if g.form == FORM_O and len(g.string) == 1]
        before = shape_all(font_path, [c + base_text[f.entry] for c in contexts])
        after = shape_all(font_path, [c + f.text for c in contexts])
        glyphs = choose_mark([(1, sign_glyphs(b, a) or outlines.ligature_sign(b, a)
                               or place_in_ligature(raster, b, a, own_sign[(f.entry, f.form)]))
                              for b, a in zip(before, after)]) or own_sign[(f.entry, f.form)]
        kit.put(f.font, f.code + RAISED_I_STEP, glyphs, advance_of(glyphs), "raised i sign")
    kit.own_sign = own_sign
    kit.fit = fit
    return kit


class Outlines:
    """The contours of a source font's glyphs, components resolved, and their drawings as ink: for finding
    a vowel sign's own contours inside a ligature of letter and sign."""

    def __init__(self, font, px_per_em=PLACING_PX_PER_EM):
        self.font = font
        self.order = font.getGlyphOrder()
        self.set = font.getGlyphSet()
        self.px_per_em = px_per_em
        self.scale = px_per_em / font["head"].unitsPerEm
        self._contours = {}

    def contours(self, gid):
        """The glyph's contours, each a list of pen calls (name, arguments)."""
        if gid not in self._contours:
            rec = DecomposingRecordingPen(self.set)
            self.set[self.order[gid]].draw(rec)
            contours, current = [], []
            for op, args in rec.value:
                current.append((op, args))
                if op in ("closePath", "endPath"):
                    contours.append(current)
                    current = []
            self._contours[gid] = contours
        return self._contours[gid]

    def draw(self, pen, gid, x, y, indices=None):
        """Draws the glyph's contours (those of indices, or all) moved by (x, y) onto a pen."""
        moved = TransformPen(pen, (1, 0, 0, 1, x, y))
        for i, contour in enumerate(self.contours(gid)):
            if indices is None or i in indices:
                for op, args in contour:
                    getattr(moved, op)(*args)

    def ink(self, placed):
        """Ink of (gid, x, y, contour indices or None) drawn from 1 em left of the start, 2.5 em above the
        baseline, on a canvas 4 em square."""
        pen = FreeTypePen(None)
        for gid, x, y, indices in placed:
            self.draw(pen, gid, x, y, indices)
        size = 4 * self.px_per_em
        buf, (w, h) = pen.buffer(width=size, height=size,
                                 transform=(self.scale, 0, 0, self.scale, self.px_per_em, 1.5 * self.px_per_em))
        image = Image.frombuffer("L", (w, h), buf, "raw", "L", 0, 1)
        return image.point(lambda v: 255 if v >= ink.THRESHOLD else 0).convert("1")

    def shapes(self, gid, x, y):
        """The glyph's contours in groups that draw one shape each: every contour that lies inside the
        ink of another (a counter) goes with the smallest such one."""
        count = len(self.contours(gid))
        alone = [self.ink([(gid, x, y, {i})]) for i in range(count)]
        size = [ink.ink_count(a) for a in alone]
        parent = list(range(count))
        for i in range(count):
            holders = [k for k in range(count) if k != i and size[k] > size[i]
                       and ink.ink_count(ImageChops.logical_and(alone[i], alone[k])) >= 0.9 * size[i]]
            if holders:
                parent[i] = min(holders, key=lambda k: (size[k], k))

        def top(i):
            while parent[i] != i:
                i = parent[i]
            return i

        groups = collections.defaultdict(set)
        for i in range(count):
            groups[top(i)].add(i)
        return [groups[k] for k in sorted(groups)]

    def ligature_sign(self, cluster, ligature):
        """Where the font draws the cluster and its sign as one ligature: the ligature's shapes whose ink
        lies mostly outside the cluster's own, placed from where the cluster ends. Empty when no shape of
        the ligature stands apart from the letter."""
        letter = ink.thicken(self.ink([(g[0], g[1], g[2], None) for g in cluster]))
        end = advance_of(cluster)
        sign = []
        for gid, x, y, _ in ligature:
            kept = set()
            for shape in self.shapes(gid, x, y):
                drawn = self.ink([(gid, x, y, shape)])
                total = ink.ink_count(drawn)
                if total and ink.ink_count(ImageChops.logical_and(drawn, letter)) * 2 < total:
                    kept |= shape
            if kept:
                sign.append((gid, x - end, y, 0, tuple(sorted(kept))))
        return tuple(sign)


class SignFit:
    """How well a vowel sign's drawing sits on a letter, measured as the drawing test measures words: the
    kit's letter with the sign drawn from the letter's end, against the source font's shaping of the two,
    both as ink at FIT_PX_PER_EM; the ink they share over the ink of the larger drawing."""

    def __init__(self, font):
        self.outlines = Outlines(font, FIT_PX_PER_EM)
        self.targets = {}  # key -> (letter's ink, source's ink, letter's advance in pixels)
        self._drawn = {}
        self._scores = {}

    def image(self, placed):
        return numpy.asarray(self.outlines.ink(placed).convert("L"), dtype=bool)

    def target(self, key, cluster, full):
        self.targets[key] = (self.image([(g[0], g[1], g[2], None) for g in cluster]),
                             self.image([(g[0], g[1], g[2], None) for g in full]),
                             int(round(advance_of(cluster) * self.outlines.scale)))

    def score(self, key, drawing):
        if (key, drawing) not in self._scores:
            if drawing not in self._drawn:
                self._drawn[drawing] = self.image([(g[0], g[1], g[2], g[4]) for g in drawing])
            letter, source, shift = self.targets[key]
            sign = numpy.zeros_like(letter)
            sign[:, shift:] = self._drawn[drawing][:, :letter.shape[1] - shift]
            kit = letter | sign
            larger = max(int(kit.sum()), int(source.sum()))
            self._scores[(key, drawing)] = 1.0 if larger == 0 else int((kit & source).sum()) / larger
        return self._scores[(key, drawing)]


def choose_drawing(fits, members, candidates=None):
    """The drawing of a vowel sign's code that suits the members of its group best, for each fit (family):
    among the members' own drawings (or the candidates given), the one of the highest weighted mean score,
    scores above FIT_ENOUGH counting as FIT_ENOUGH. members are (key, weight, {fit: own drawing})."""
    chosen = {}
    for fit in fits:
        pool = candidates[fit] if candidates else None
        if pool is None:
            weight_of = collections.Counter()
            for _, weight, own in members:
                if own.get(fit):
                    weight_of[own[fit]] += weight
            pool = sorted(weight_of, key=lambda d: (-weight_of[d], str(d)))[:FIT_CANDIDATES]
        if not pool:
            chosen[fit] = None
            continue
        chosen[fit] = max(pool, key=lambda d: (sum(w * min(fit.score(k, d), FIT_ENOUGH) for k, w, _ in members),
                                               str(d)))
    return chosen


def vowel_classes(forms, families, max_codes=MAX_VOWEL_CODES):
    """Groups the letters and stacks, for each vowel sign, so that one drawing of the sign per group sits
    right on all of its members in every family: {(entry string, form): group}, group 0 (which keeps the
    vowel's own code) left out. Each vowel starts with one group; while codes are left, the member worst
    served (its weight times what its fit lacks) gets a group of its own drawing, which every member of
    that vowel that it serves better joins."""
    kits = [plan_family(forms, SOURCES[family].path) for family in families]
    fits = [k.fit for k in kits]
    strings = {f.entry: f.string for f in forms}
    by_form = collections.defaultdict(list)
    for key in sorted(kits[0].own_sign):
        own = {k.fit: k.own_sign.get(key) for k in kits}
        by_form[key[1]].append((key, mark_weight(strings[key[0]]), own))

    def fit_of(key, drawing):
        return min(0.0 if drawing[f] is None else f.score(key, drawing[f]) for f in fits)

    pinned = {(e, FORM_I) for e, s in strings.items() if s == "'"}  # the raised i is counted from its code
    groups = {form: [members] for form, members in by_form.items()}
    drawings = {form: [choose_drawing(fits, members)] for form, members in by_form.items()}
    group_of, score = {}, {}
    for form, members in by_form.items():
        for key, _, _ in members:
            group_of[key], score[key] = 0, fit_of(key, drawings[form][0])
    hopeless = set()
    codes = 0
    while codes < max_codes:
        needy = [(w * (1 - score[key]), key) for members in by_form.values() for key, w, _ in members
                 if score[key] < FIT_ENOUGH and key not in hopeless and key not in pinned]
        if not needy:
            break
        _, worst = max(needy)
        form = worst[1]
        own = next(o for k, _, o in by_form[form] if k == worst)
        if fit_of(worst, own) <= score[worst]:
            hopeless.add(worst)
            continue
        joined = [m for m in by_form[form] if m[0] not in pinned and fit_of(m[0], own) > score[m[0]]]
        drawing = choose_drawing(fits, joined)
        groups[form].append(joined)
        drawings[form].append(drawing)
        for key, _, _ in joined:
            group_of[key] = len(groups[form]) - 1
        for key, _, _ in by_form[form]:
            score[key] = fit_of(key, drawings[form][group_of[key]])
        codes += 1
    classes = {}
    for form, members in by_form.items():
        weight_of = collections.Counter()
        for key, w, _ in members:
            weight_of[group_of[key]] += w
        first = {group_of[k] for k in pinned if k in group_of and k[1] == form}
        order = sorted(weight_of, key=lambda g: (g not in first, -weight_of[g], g))
        number = {g: n for n, g in enumerate(order)}
        for key, _, _ in members:
            if number[group_of[key]]:
                classes[(strings[key[0]], form)] = number[group_of[key]]
    return classes


ADDED_GROUP = 100  # the first group of a vowel sign drawn for added entries only, coded in "syma"
MAX_ADDED_SIGN_CODES = 64  # of the 82 codes that "syma" has free


def read_vowel_classes(text):
    classes = {}
    for line in text.splitlines():
        if line and not line.startswith("#"):
            string, form, group = line.split()
            classes[(string, int(form))] = int(group)
    return classes


def added_entries(keyfont_text):
    """The entry strings of a keyfont that make-key-tables added to the converter's own (last label "+")."""
    return {t[0] for t in (line.split() for line in keyfont_text.splitlines()) if len(t) == 57 and t[-3] == "+"}


def added_vowel_classes(forms, families, classes, added_strings):
    """The groups of `classes` kept as they are (their codes are in documents), and each vowel sign of the
    added entries put in the group of its vowel whose drawing sits best on it in every family."""
    kits = [plan_family(forms, SOURCES[family].path) for family in families]
    fits = [k.fit for k in kits]
    strings = {f.entry: f.string for f in forms}
    added = {f.entry for f in forms if f.string in added_strings}
    members = collections.defaultdict(lambda: collections.defaultdict(list))  # form -> group -> members
    new = []
    for key in sorted(kits[0].own_sign):
        own = {k.fit: k.own_sign.get(key) for k in kits}
        member = (key, mark_weight(strings[key[0]]), own)
        if key[0] in added:
            new.append(member)
        else:
            members[key[1]][classes.get((strings[key[0]], key[1]), 0)].append(member)
    drawings = {form: {g: choose_drawing(fits, m) for g, m in groups.items()} for form, groups in members.items()}

    def fit_of(key, drawing):
        return min(0.0 if drawing[f] is None else f.score(key, drawing[f]) for f in fits)

    result = {k: g for k, g in classes.items() if k[0] not in {strings[e] for e in added}}
    group_of, score, drawing_of = {}, {}, {}
    for key, _, _ in new:
        groups = drawings.get(key[1], {})
        if groups:
            group_of[key] = max(sorted(groups), key=lambda g: (fit_of(key, groups[g]), -g))
            drawing_of[key] = groups[group_of[key]]
            score[key] = fit_of(key, drawing_of[key])
    # While codes are left in "syma", the added sign worst served gets a group of its own drawing, which
    # every added sign of that vowel that it serves better joins (numbered from ADDED_GROUP, so that
    # make-key-tables gives them codes after every other).
    hopeless, codes = set(), 0
    added_groups = collections.Counter()
    while codes < MAX_ADDED_SIGN_CODES:
        needy = [(w * (1 - score[key]), key) for key, w, _ in new
                 if key in score and score[key] < FIT_ENOUGH and key not in hopeless]
        if not needy:
            break
        _, worst = max(needy)
        own = next(o for k, _, o in new if k == worst)
        if fit_of(worst, own) <= score[worst]:
            hopeless.add(worst)
            continue
        joined = [m for m in new if m[0][1] == worst[1] and m[0] in score and fit_of(m[0], own) > score[m[0]]]
        drawing = choose_drawing(fits, joined)
        group = ADDED_GROUP + added_groups[worst[1]]
        added_groups[worst[1]] += 1
        for key, _, _ in joined:
            group_of[key], drawing_of[key] = group, drawing
        for key, _, _ in new:
            if key in score:
                score[key] = fit_of(key, drawing_of[key])
        codes += 1
    for key, group in group_of.items():
        if group:
            result[(strings[key[0]], key[1])] = group
    return result


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
    sign = ink.draw([(raster, gid, end + x, y) for gid, x, y, _, _ in glyphs], raster.px_per_em)
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
    return tuple((gid, int(round(x + dx)), int(round(y + dy)), adv, c) for gid, x, y, adv, c in glyphs)


def draw_glyphs(outlines, glyphs):
    """The outline of glyphs (or of some of their contours) set side by side, as one TrueType glyph."""
    pen = TTGlyphPen(None)
    for gid, x, y, _, contours in glyphs:
        outlines.draw(pen, gid, x, y, contours)
    return pen.glyph()


def copyright_notice(source_font):
    return str(source_font["name"].getDebugName(0) or "").strip()


def source_pairs(source_font):
    """The source font's pair kerning: {(left glyph name, right glyph name): ((x placement, x advance) of
    the left glyph, the same of the right)}, from the pair lookups of its GPOS."""
    pairs = {}
    if "GPOS" not in source_font:
        return pairs

    def value(v):
        return (getattr(v, "XPlacement", 0) or 0, getattr(v, "XAdvance", 0) or 0) if v else (0, 0)

    for lookup in source_font["GPOS"].table.LookupList.Lookup:
        if lookup.LookupType != 2:
            continue
        for sub in lookup.SubTable:
            firsts = sub.Coverage.glyphs
            if sub.Format == 1:
                for left, pair_set in zip(firsts, sub.PairSet):
                    for r in pair_set.PairValueRecord:
                        pairs.setdefault((left, r.SecondGlyph), (value(r.Value1), value(r.Value2)))
            elif sub.Format == 2:
                class1, class2 = sub.ClassDef1.classDefs, sub.ClassDef2.classDefs
                seconds = collections.defaultdict(list)
                for g in source_font.getGlyphOrder():
                    seconds[class2.get(g, 0)].append(g)
                for left in firsts:
                    record = sub.Class1Record[class1.get(left, 0)]
                    for c2, r in enumerate(record.Class2Record):
                        values = (value(r.Value1), value(r.Value2))
                        if values != ((0, 0), (0, 0)):
                            for right in seconds[c2]:
                                pairs.setdefault((left, right), values)
    return pairs


def kerning_features(kit, font, order_of, pairs):
    """Feature code that kerns the glyphs of one kit font as the source kerns the glyphs they end and
    begin with, so that a word processor spaces a run of this font as the source font does (the tsheg
    after a letter)."""
    whole_glyphs = [(code, glyphs) for (f, code), (glyphs, advance) in sorted(kit.glyphs.items())
                    if f == font and advance > 0 and glyphs]
    lines = []
    for lcode, left in whole_glyphs:
        for rcode, right in whole_glyphs:
            found = pairs.get((order_of[left[-1][0]], order_of[right[0][0]]))
            if not found:
                continue
            (lx, la), (rx, ra) = found
            if len(left) > 1:
                lx = 0  # only the letter's last glyph would move; the pair's spacing is kept
            lines.append("  pos c%03d <%d 0 %d 0> c%03d <%d 0 %d 0>;" % (lcode, lx, la, rcode, rx, ra))
    if not lines:
        return ""
    return ("languagesystem DFLT dflt;\nlanguagesystem latn dflt;\nfeature kern {\n"
            + "\n".join(lines) + "\n} kern;\n")


def build_font(source, source_font, family, font, kit, version):
    name = font_name(family, font)
    glyphs_of = Outlines(source_font)
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
    features = kerning_features(kit, font, glyphs_of.order, kit.pairs)
    if features:
        addOpenTypeFeaturesFromString(fb.font, features)
    return fb.font


def licence_text(source):
    try:
        with open(source.copyright_file(), encoding="utf-8") as f:
            return f.read()
    except OSError:
        return "(the licence file %s was not found)" % source.copyright_file()


def make_kit(forms, out_dir, families, version="1.0", added=frozenset()):
    os.makedirs(out_dir, exist_ok=True)
    written = []
    for family in families:
        source = SOURCES[family]
        source_font = TTFont(source.path)
        kit = plan_family(forms, source.path, added)
        kit.pairs = source_pairs(source_font)
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
    parser.add_argument("--add-to-vowel-classes", action="store_true",
                        help="with --write-vowel-classes: keep the groups of that file as they are and put the "
                             "signs of the entries that make-key-tables added (data-dir's keyfont) in the "
                             "groups that fit them")
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
        if args.write_vowel_classes and args.add_to_vowel_classes:
            with open(args.write_vowel_classes, encoding="utf-8") as f:
                kept = read_vowel_classes(f.read())
            with open(os.path.join(args.data_dir or ".", "keyfont"), encoding="utf-8") as f:
                strings = added_entries(f.read())
            classes = added_vowel_classes(forms, args.family or sorted(SOURCES), kept, strings)
            with open(args.write_vowel_classes, "w", encoding="utf-8") as f:
                f.write(vowel_classes_text(classes))
            return 0
        if args.write_vowel_classes:
            with open(args.write_vowel_classes, "w", encoding="utf-8") as f:
                f.write(vowel_classes_text(vowel_classes(forms, args.family or sorted(SOURCES))))
            return 0
        added = set()
        if args.data_dir and os.path.exists(os.path.join(args.data_dir, "keyfont")):
            with open(os.path.join(args.data_dir, "keyfont"), encoding="utf-8") as f:
                added = added_entries(f.read())
        written = make_kit(forms, args.out, args.family or sorted(SOURCES), added=added)
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
