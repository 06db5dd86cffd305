"""make demo's Writer: LibreOffice with the extension and the font kit, Tibetan typed with real keys
through the add-in in both families and with Unicode typing (in Tibetan Machine Uni), and a screenshot of
each window.

Usage: writer_demo.py OXT FONT_KIT_DIR OUT_DIR"""

import os
import shutil
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "libreoffice"))
import office  # noqa: E402

oxt, kit, out = sys.argv[1:4]
os.makedirs(out, exist_ok=True)
writer = office.Office(oxt)
fonts = os.path.join(writer.home, ".fonts")
os.makedirs(fonts)
for name in os.listdir(kit):
    if name.endswith(".ttf"):
        shutil.copy(os.path.join(kit, name), fonts)
try:
    writer.start()
    for family, reply, keys in (("korlam", "K 28", "bfkra.Sis.bde.legs,"),
                                ("ekorlam", "E 28", "bfkra.Sis.bde.legs,")):
        doc = writer.new_document()
        writer.dispatch(doc, "tibetan")
        writer.dispatch(doc, "tibfont", Reply=reply)
        writer.type(keys)
        writer.key("Return")
        writer.type("bde.legs,")
        picture = os.path.join(out, "writer-%s.png" % family)
        writer.screenshot(doc, picture)
        print("writer_demo: %s (%s typed with %s)" % (picture, keys, reply))
        doc.close(True)
    doc = writer.new_document()
    writer.dispatch(doc, "unicode-typing")
    writer.dispatch(doc, "tibfont", Reply="K 28")
    writer.type("bfkra.Sis.bde.legs,")
    writer.key("Return")
    writer.type("Tugs.frje.Cen.po,")
    picture = os.path.join(out, "writer-unicode.png")
    writer.screenshot(doc, picture)
    print("writer_demo: %s (Unicode typing, in Tibetan Machine Uni)" % picture)
    doc.close(True)
finally:
    writer.stop()
    shutil.rmtree(writer.dir, ignore_errors=True)
