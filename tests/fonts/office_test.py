"""End to end: documents that the converter and the add-in write, opened by LibreOffice with the kit
installed, are set in the kit's fonts (embedded in the PDF) and in no other font for their Tibetan."""
import os
import re
import shutil
import subprocess
import tempfile
import unittest

import kit_support as ks

FONTS_CONF = """<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  <include ignore_missing="yes">/etc/fonts/fonts.conf</include>
  <dir>%s</dir>
  <cachedir>%s</cachedir>
</fontconfig>
"""


def soffice():
    return shutil.which("soffice") or shutil.which("libreoffice")


def to_pdf(rtf_files, tmp):
    """Converts RTF files to PDF with LibreOffice headless, the kit visible to fontconfig only."""
    conf = os.path.join(tmp, "fonts.conf")
    with open(conf, "w", encoding="utf-8") as f:
        f.write(FONTS_CONF % (os.path.abspath(ks.KIT_DIR), os.path.join(tmp, "fc-cache")))
    env = dict(os.environ, FONTCONFIG_FILE=conf, HOME=tmp)
    subprocess.run([soffice(), "-env:UserInstallation=file://" + os.path.join(tmp, "profile"), "--headless",
                    "--convert-to", "pdf", "--outdir", tmp] + rtf_files, check=True, capture_output=True,
                   env=env, timeout=300)
    return [os.path.join(tmp, os.path.splitext(os.path.basename(r))[0] + ".pdf") for r in rtf_files]


def pdf_fonts(pdf):
    """(name without subset prefix, embedded) of every font in the PDF, as pdffonts lists them."""
    out = subprocess.run(["pdffonts", pdf], check=True, capture_output=True, text=True).stdout
    fonts = []
    for line in out.splitlines()[2:]:
        fields = line.split()
        # name type... emb sub uni object ID: emb is the fifth field from the end.
        fonts.append((re.sub(r"^[A-Z]{6}\+", "", fields[0]), fields[-5] == "yes"))
    return fonts


class OfficeTest(unittest.TestCase):
    def setUp(self):
        if soffice() is None or shutil.which("pdffonts") is None:
            self.skipTest("LibreOffice (soffice) or pdffonts is not installed")
        ks.need(self, ks.TARVEX_CLI, ks.WORDHOST)

    def test_office_documents_of_both_deliverables_use_only_the_kit(self):
        with open(os.path.join(ks.SOURCE_DIR, "examples", "aspiration.txt"), encoding="ascii") as f:
            aspiration = f.read()
        with tempfile.TemporaryDirectory() as tmp:
            documents = {}
            for family in ks.FAMILIES:
                path = os.path.join(tmp, "aspiration-%s.rtf" % family.lower())
                with open(path, "wb") as f:
                    f.write(ks.convert(aspiration, family))
                documents[path] = family
            home = os.path.join(tmp, "addin")
            os.mkdir(home)
            for name in ("keyfont", "keymap"):
                shutil.copy(os.path.join(ks.DATA_DIR, name), home)
            greeting = os.path.join(tmp, "greeting.rtf")
            subprocess.run([ks.WORDHOST, "--home", home, "--rtf", greeting,
                            os.path.join(ks.SOURCE_DIR, "examples", "wordhost", "greeting.script")],
                           check=True, capture_output=True)
            documents[greeting] = None
            for rtf, pdf in zip(documents, to_pdf(list(documents), tmp)):
                fonts = pdf_fonts(pdf)
                with self.subTest(document=os.path.basename(rtf)):
                    families = {documents[rtf]} if documents[rtf] else set(ks.FAMILIES)
                    kit = [(n, e) for n, e in fonts if n.split("-")[0] in families and
                           n.split("-", 1)[-1] in ks.make_kit.SUFFIXES]
                    self.assertTrue(kit, "no kit font in %s" % fonts)
                    self.assertTrue(all(e for _, e in kit), "kit fonts not embedded: %s" % kit)
                    self.assertEqual([f for f in fonts if f not in kit], [], "other fonts in the PDF")
                    # The base font, which every word returns to, is among them.
                    self.assertTrue(any(n.endswith("-a") for n, _ in kit), kit)


if __name__ == "__main__":
    ks.main()
