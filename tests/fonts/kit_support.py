"""What the kit's tests share: where the sources, the kit and the programs are (from the environment that
ctest gives them), the key-font table's named places, the RTF's font names, and a runner that tells ctest
when every test was skipped."""
import os
import re
import subprocess
import sys
import tempfile
import unittest

SOURCE_DIR = os.environ.get("TSENDREL_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
KIT_DIR = os.environ.get("TSENDREL_KIT_DIR", os.path.join(SOURCE_DIR, "build", "fonts"))
TARVEX_CLI = os.environ.get("TARVEX_CLI", "")
WORDHOST = os.environ.get("WORDHOST", "")
FORMS_TOOL = os.environ.get("FORMS_TOOL", "")
DATA_DIR = os.path.join(SOURCE_DIR, "data")
FAMILIES = ("Ekorlam", "Korlam")
SKIPPED_ALL = 77  # ctest's SKIP_RETURN_CODE for these tests

sys.path.insert(0, os.path.join(SOURCE_DIR, "fonts"))
import make_kit  # noqa: E402


def keyfont_places(path=os.path.join(DATA_DIR, "keyfont")):
    """Every (font, code) that the key-font table names, by form: {(font, code): {(entry string, form)}}.
    Read as the loader reads it: tokens in groups of three, 19 groups a record, forms 0..17 kept."""
    with open(path, encoding="latin-1") as f:
        tokens = f.read().split()
    places = {}
    per_record = 19 * 3
    for start in range(0, len(tokens) - per_record + 1, per_record):
        record = tokens[start:start + per_record]
        for form in range(18):
            font, code = int(record[form * 3 + 1]), int(record[form * 3 + 2])
            places.setdefault((font, code), set()).add((record[0], form))
    return places


def kit_path(name):
    return os.path.join(KIT_DIR, name + ".ttf")


def read_forms():
    out = subprocess.run([FORMS_TOOL, "--data-dir", DATA_DIR], check=True, capture_output=True,
                         text=True).stdout
    return make_kit.read_forms(out.splitlines())


def convert(wylie_text, family, extra=(), stage=None):
    """Converts Wylie text with tarvex-cli; returns the output's bytes (the RTF, or a stage's bytes)."""
    with tempfile.TemporaryDirectory() as tmp:
        src = os.path.join(tmp, "in.txt")
        out = os.path.join(tmp, "out.rtf")
        with open(src, "w", encoding="ascii") as f:
            f.write(wylie_text)
        command = [TARVEX_CLI, "-d", DATA_DIR, "-f", family.lower(), "-o", out] + list(extra)
        if stage:
            command += ["--stage", stage]
        subprocess.run(command + [src], check=True, capture_output=True)
        with open(out, "rb") as f:
            return f.read()


def rtf_font_names(rtf):
    """The names of the RTF's font table, in order."""
    table = rtf.split(b"{\\fonttbl", 1)[1]
    return [m.decode("latin-1") for m in re.findall(rb"\{\\f\d+\\fnil\\fcharset0\\fprq2 ([^;]*);\}", table)]


def need(test, *programs):
    for p in programs:
        if not p or not os.path.exists(p):
            test.skipTest("program not built: %r" % p)


def main():
    result = unittest.main(exit=False).result
    if not result.wasSuccessful():
        sys.exit(1)
    sys.exit(SKIPPED_ALL if result.testsRun and len(result.skipped) == result.testsRun else 0)
