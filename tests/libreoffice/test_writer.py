"""The Writer extension in a real LibreOffice: keys typed with xdotool into a Writer window in Tibetan mode
give the characters, fonts and sizes that wordhost gives for the same keys, in the document and in what
Writer stores (RTF, DOCX, ODT); the Unicode that tarvex-cli reads from Writer's RTF and DOCX is the
Unicode it reads from wordhost's document. One office serves every case.

Run: test_writer.py OXT WORDHOST TARVEX_CLI TABLES_DIR (TABLES_DIR holds keyfont and keymap)."""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import office  # noqa: E402
import uno  # noqa: E402

OXT, WORDHOST, TARVEX, TABLES = (sys.argv[1:5] + [None] * 4)[:4]
OFFICE = None


def setUpModule():
    global OFFICE
    OFFICE = office.Office(OXT)
    OFFICE.start()


def tearDownModule():
    if OFFICE is not None:
        OFFICE.stop()
        shutil.rmtree(OFFICE.dir, ignore_errors=True)


# Key scripts: text typed as it stands, "\b" is BackSpace. Korlam at 24 points unless a reply to
# Tibetan Font says otherwise.
CASES = [
    ("greeting", None, "bfkra.Sis.bde.legs,"),
    ("blanks_between_syllables", None, "bkra shis bde legs "),
    ("stack_and_vowels", None, "rgyal po'i sku "),
    ("take_back_in_a_syllable", None, "bsgrubs\b\bs gsung\bs "),
    ("backspace_after_a_space", None, "sangs rgyas \b\b"),
    ("ekorlam_at_30", "E 30", "thugs rje chen po "),
]


def wordhost_script(reply, keys):
    lines = ["button Tibetan On"]
    if reply:
        lines += ["reply " + reply, "button Tibetan Font"]
    text = ""
    for ch in keys:
        if ch == "\b":
            if text:
                lines.append("type " + text)
                text = ""
            lines.append("key 8")
        else:
            text += ch
    if text:
        lines.append("type " + text)
    return "\n".join(lines) + "\n"


def wordhost_document(folder, reply, keys):
    """wordhost's --dump of the keys as (character, font, size), and its RTF."""
    home = os.path.join(folder, "wordhost-home")
    os.makedirs(home, exist_ok=True)
    for name in ("keyfont", "keymap"):
        shutil.copy(os.path.join(TABLES, name), home)
    script = os.path.join(folder, "keys.script")
    with open(script, "w") as f:
        f.write(wordhost_script(reply, keys))
    rtf = os.path.join(folder, "wordhost.rtf")
    out = subprocess.run([WORDHOST, "--home", home, "--dump", "--rtf", rtf, script], capture_output=True,
                         text=True, check=True).stdout
    chars = []
    for line in out.splitlines():
        if not line[:1].isdigit():
            continue  # a prompt or a message
        code, rest = line.split(" ", 1)
        font, size = rest.rsplit(" ", 1)
        chars.append((chr(int(code)) if int(code) != 13 else "\r", font, int(size)))
    return chars, rtf


def unicode_of(path):
    out = path + ".txt"
    subprocess.run([TARVEX, "-t", "tsendrel-unicode", "-d", TABLES, "-o", out, path], check=True,
                   capture_output=True)
    with open(out, encoding="utf-8") as f:
        # Writer ends its last paragraph with a paragraph mark, which wordhost's document has not.
        return f.read().rstrip("\n")


def type_keys(keys):
    text = ""
    for ch in keys + "\0":
        if ch in "\b\0":
            if text:
                OFFICE.type(text)
                text = ""
            if ch == "\b":
                OFFICE.key("BackSpace")
        else:
            text += ch


class Typing(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="case-", dir=OFFICE.dir)
        self.docs = []
        # Each case starts from the default fonts, as wordhost's fresh folder does.
        for name in ("font.def", "unifont.def"):
            path = os.path.join(OFFICE.addin_home, name)
            if os.path.exists(path):
                os.remove(path)

    def tearDown(self):
        for doc in self.docs:
            doc.close(True)

    def new_document(self):
        doc = OFFICE.new_document()
        self.docs.append(doc)
        return doc

    def open(self, path):
        doc = OFFICE.open(path)
        self.docs.append(doc)
        return doc

    def test_keys_give_what_wordhost_gives(self):
        for name, reply, keys in CASES:
            with self.subTest(name):
                self.check_case(reply, keys)

    def check_case(self, reply, keys):
        expected, wordhost_rtf = wordhost_document(self.folder, reply, keys)
        doc = self.new_document()
        OFFICE.dispatch(doc, "tibetan")
        if reply:
            OFFICE.dispatch(doc, "tibfont", Reply=reply)
        type_keys(keys)
        self.assertEqual(office.runs(doc), expected, "the document in Writer")
        wanted_unicode = unicode_of(wordhost_rtf)
        for suffix, filter_name in (("rtf", "Rich Text Format"), ("docx", "MS Word 2007 XML"), ("odt", "writer8")):
            stored = os.path.join(self.folder, "writer." + suffix)
            OFFICE.store(doc, stored, filter_name)
            again = self.open(stored)
            self.assertEqual(office.runs(again), expected, "the stored " + suffix)
            if suffix != "odt":
                self.assertEqual(unicode_of(stored), wanted_unicode, "the Unicode read from the " + suffix)
        OFFICE.dispatch(doc, "alternate")

    def test_unicode_typing_gives_what_tsendrel_unicode_reads_from_wordhost(self):
        for name, reply, keys in CASES:
            with self.subTest(name):
                expected, wordhost_rtf = wordhost_document(self.folder, reply, keys)
                doc = self.new_document()
                OFFICE.dispatch(doc, "unicode-typing")
                if reply:
                    OFFICE.dispatch(doc, "tibfont", Reply=reply)
                type_keys(keys)
                got = office.runs(doc)
                self.assertEqual("".join(ch for ch, _, _ in got), unicode_of(wordhost_rtf))
                self.assertEqual({(font, size) for _, font, size in got},
                                 {("Tibetan Machine Uni", expected[0][2])}, "the Unicode font at the size")
                OFFICE.dispatch(doc, "unicode-typing")
                glyphs, _ = wordhost_document(self.folder, reply, "ka")
                type_keys("ka")
                self.assertEqual(office.runs(doc)[-len(glyphs):], glyphs, "off again: glyphs in the Tsendrel fonts")
                OFFICE.dispatch(doc, "alternate")

    def test_unicode_typing_shows_its_state(self):
        import unohelper
        from com.sun.star.frame import XStatusListener

        class Listener(unohelper.Base, XStatusListener):
            def __init__(self):
                self.states = []

            def statusChanged(self, event):
                self.states.append(event.State)

            def disposing(self, source):
                pass

        doc = self.new_document()
        frame = doc.getCurrentController().getFrame()
        url = OFFICE.smgr.createInstanceWithContext("com.sun.star.util.URLTransformer", OFFICE.ctx)
        target = uno.createUnoStruct("com.sun.star.util.URL")
        target.Complete = "tsendrel:unicode-typing"
        _, target = url.parseStrict(target)
        listener = Listener()
        dispatch = frame.queryDispatch(target, "", 0)
        dispatch.addStatusListener(listener, target)
        OFFICE.dispatch(doc, "unicode-typing")
        OFFICE.dispatch(doc, "unicode-typing")
        dispatch.removeStatusListener(listener, target)
        OFFICE.dispatch(doc, "unicode-typing")
        self.assertEqual(listener.states, [False, True, False], "off, on, off; nothing once removed")
        OFFICE.dispatch(doc, "unicode-typing")
        OFFICE.dispatch(doc, "alternate")

    def test_unicode_typing_in_the_font_of_the_users_choice(self):
        doc = self.new_document()
        OFFICE.dispatch(doc, "unifont", Reply="DejaVu Sans")
        with open(os.path.join(OFFICE.addin_home, "unifont.def")) as f:
            self.assertEqual(f.read(), "DejaVu Sans\n")
        _, wordhost_rtf = wordhost_document(self.folder, None, "bfkra.Sis.")
        OFFICE.dispatch(doc, "unicode-typing")
        type_keys("bfkra.Sis.")
        self.assertEqual(doc.getText().getString(), unicode_of(wordhost_rtf))
        self.assertEqual({font for _, font, _ in office.runs(doc)}, {"DejaVu Sans"})
        OFFICE.dispatch(doc, "unicode-typing")
        OFFICE.dispatch(doc, "alternate")

    def test_unicode_typing_in_a_table_cell_and_a_header(self):
        _, wordhost_rtf = wordhost_document(self.folder, None, "ka ")
        wanted = unicode_of(wordhost_rtf)
        doc = self.new_document()
        table = doc.createInstance("com.sun.star.text.TextTable")
        table.initialize(1, 2)
        doc.getText().insertTextContent(doc.getText().getEnd(), table, False)
        style = doc.getStyleFamilies().getByName("PageStyles").getByName("Standard")
        style.HeaderIsOn = True
        cell = table.getCellByName("B1")
        for where in (cell, style.HeaderText):
            doc.getCurrentController().getViewCursor().gotoRange(where.getStart(), False)
            OFFICE.focus(doc)
            if where is cell:
                OFFICE.dispatch(doc, "unicode-typing")
            type_keys("ka ")
            self.assertEqual(where.getString(), wanted)
        self.assertEqual(doc.getText().getString(), "", "nothing went into the body")
        OFFICE.dispatch(doc, "unicode-typing")
        OFFICE.dispatch(doc, "alternate")

    def test_typing_over_a_selection_replaces_it(self):
        expected, _ = wordhost_document(self.folder, None, "ga ")
        doc = self.new_document()
        OFFICE.dispatch(doc, "tibetan")
        type_keys("bkra ")
        OFFICE.key("ctrl+a")
        type_keys("ga ")
        self.assertEqual(office.runs(doc), expected)
        OFFICE.dispatch(doc, "alternate")

    def test_one_undo_takes_back_one_key(self):
        expected, _ = wordhost_document(self.folder, None, "ka")
        doc = self.new_document()
        OFFICE.dispatch(doc, "tibetan")
        type_keys("kan")
        OFFICE.undo(doc)
        self.assertEqual(office.runs(doc), expected)
        OFFICE.dispatch(doc, "alternate")

    def test_one_undo_takes_back_one_key_of_unicode_typing(self):
        _, wordhost_rtf = wordhost_document(self.folder, None, "bfkra")
        doc = self.new_document()
        OFFICE.dispatch(doc, "unicode-typing")
        type_keys("bfkra.")
        OFFICE.undo(doc)
        self.assertEqual(doc.getText().getString(), unicode_of(wordhost_rtf))
        OFFICE.dispatch(doc, "unicode-typing")
        OFFICE.dispatch(doc, "alternate")

    def test_typing_in_a_table_cell(self):
        expected, _ = wordhost_document(self.folder, None, "ka ")
        doc = self.new_document()
        table = doc.createInstance("com.sun.star.text.TextTable")
        table.initialize(1, 2)
        doc.getText().insertTextContent(doc.getText().getEnd(), table, False)
        cell = table.getCellByName("B1")
        doc.getCurrentController().getViewCursor().gotoRange(cell.getStart(), False)
        OFFICE.focus(doc)
        OFFICE.dispatch(doc, "tibetan")
        type_keys("ka ")
        got = [(ch, font, round(height)) for ch, font, height in cell_runs(cell)]
        self.assertEqual(got, expected)
        OFFICE.dispatch(doc, "alternate")

    def test_typing_in_a_header(self):
        expected, _ = wordhost_document(self.folder, None, "ka ")
        doc = self.new_document()
        style = doc.getStyleFamilies().getByName("PageStyles").getByName("Standard")
        style.HeaderIsOn = True
        header = style.HeaderText
        doc.getCurrentController().getViewCursor().gotoRange(header.getStart(), False)
        OFFICE.focus(doc)
        OFFICE.dispatch(doc, "tibetan")
        type_keys("ka ")
        self.assertEqual([(ch, font, round(height)) for ch, font, height in cell_runs(header)], expected)
        self.assertEqual(doc.getText().getString(), "", "nothing went into the body")
        OFFICE.dispatch(doc, "alternate")

    def test_the_typing_aids_are_off_in_tibetan_mode_and_restored(self):
        aids = [("/org.openoffice.Office.Common/AutoCorrect", "CapitalAtStartSentence"),
                ("/org.openoffice.Office.Writer/AutoFunction/Completion", "Enable"),
                ("/org.openoffice.Office.Writer/AutoFunction/Format/ByInput", "ChangeDash")]
        before = [setting(node, name) for node, name in aids]
        self.assertIn(True, before, "some typing aid is on to begin with")
        first = self.new_document()
        OFFICE.dispatch(first, "tibetan")
        second = self.new_document()
        OFFICE.dispatch(second, "tibetan")
        self.assertEqual([setting(node, name) for node, name in aids], [False] * len(aids))
        OFFICE.dispatch(first, "alternate")
        self.assertEqual([setting(node, name) for node, name in aids], [False] * len(aids),
                         "another window is still in Tibetan mode")
        self.docs.remove(second)
        second.close(True)
        OFFICE.settle()
        self.assertEqual([setting(node, name) for node, name in aids], before, "restored when the last closed")

    def test_the_mode_belongs_to_one_window(self):
        first = self.new_document()
        OFFICE.dispatch(first, "tibetan")
        second = self.new_document()
        type_keys("ka")
        self.assertEqual([ch for ch, _, _ in office.runs(second)], ["k", "a"])
        self.assertNotIn("Korlam-a", {font for _, font, _ in office.runs(second)})
        OFFICE.focus(first)
        type_keys("ka ")
        expected, _ = wordhost_document(self.folder, None, "ka ")
        self.assertEqual(office.runs(first), expected)
        OFFICE.dispatch(first, "alternate")

    def test_damaged_tables_say_so_and_leave_writer_typing(self):
        keymap = os.path.join(OFFICE.addin_home, "keymap")
        OFFICE.dispatch(self.new_document(), "tibetan")  # the tables are in place
        saved = keymap + ".good"
        shutil.copy(keymap, saved)
        try:
            with open(keymap, "w") as f:
                f.write("k k\nr r\nk r\n")
            doc = self.new_document()
            OFFICE.dispatch(doc, "tibetan")
            self.assertIn("Tsendrel Error: Could not initialize character table from " + keymap +
                          ".  Please make sure that the keymap file is located in " + keymap +
                          ". Copy from installation diskettes if necessary.", OFFICE.messages())
            type_keys("ka")
            self.assertEqual([ch for ch, _, _ in office.runs(doc)], ["k", "a"])
            self.assertNotIn("Korlam-a", {font for _, font, _ in office.runs(doc)})
            unicode_doc = self.new_document()
            OFFICE.dispatch(unicode_doc, "unicode-typing")
            said = [m for m in OFFICE.messages() if m.startswith("Tsendrel Error: Could not read the tables for "
                                                                  "Unicode from " + keymap + ": ")]
            self.assertTrue(said, "Unicode typing says why it cannot start")
            type_keys("ka")
            self.assertEqual(unicode_doc.getText().getString(), "ka", "Writer types as before")
        finally:
            shutil.move(saved, keymap)

    def test_an_unwritable_font_def_says_so(self):
        tmp = os.path.join(OFFICE.addin_home, "font.tmp")
        doc = self.new_document()
        OFFICE.dispatch(doc, "tibetan")
        os.makedirs(tmp, exist_ok=True)  # font.tmp cannot be opened for writing
        try:
            OFFICE.dispatch(doc, "tibfont", Reply="K 20")
            self.assertIn("Tsendrel Error: Error: Cannot save default font information in " + tmp +
                          ". Please check whether your disk is full.", OFFICE.messages())
            type_keys("ka ")
            expected, _ = wordhost_document(self.folder, "K 20", "ka ")
            self.assertEqual(office.runs(doc), expected, "the new size holds for this session")
        finally:
            os.rmdir(tmp)
        OFFICE.dispatch(doc, "alternate")


CORPUS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "shared", "corpus",
                      "kangyur-035.bo.txt")


def paragraphs_of(runs):
    """(character, font) of each paragraph of office.runs()."""
    out = [[]]
    for ch, font, _ in runs:
        if ch == "\r":
            out.append([])
        else:
            out[-1].append((ch, font))
    return out


def set_font(text_range, font, size, bold=False):
    for suffix in ("", "Asian", "Complex"):
        setattr(text_range, "CharFontName" + suffix, font)
        setattr(text_range, "CharHeight" + suffix, size)
    text_range.CharWeight = 150.0 if bold else 100.0


@unittest.skipUnless(os.path.exists(CORPUS), "the shared Kangyur volume is not here")
class DocumentCommands(unittest.TestCase):
    """tsendrel:to-tsendrel and tsendrel:to-unicode on twenty lines of the Kangyur volume, in the body,
    a table cell and a header, beside a paragraph of other text that stays as it was."""

    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="case-", dir=OFFICE.dir)
        with open(CORPUS, encoding="utf-8") as f:
            self.lines = [next(f).rstrip("\n") for _ in range(21)][1:]
        self.doc = OFFICE.new_document()
        text = self.doc.getText()
        cursor = text.createTextCursor()
        for line in self.lines:
            text.insertString(cursor, line, False)
            text.insertControlCharacter(cursor, 0, False)  # a paragraph break
        cursor.gotoStart(False)
        cursor.gotoEnd(True)
        set_font(cursor, "Tibetan Machine Uni", 14)
        cursor.gotoEnd(False)
        text.insertString(cursor, "Other text, kept.", False)
        cursor.gotoStartOfParagraph(True)
        set_font(cursor, "Liberation Serif", 12, bold=True)
        table = self.doc.createInstance("com.sun.star.text.TextTable")
        table.initialize(1, 2)
        text.insertTextContent(text.getEnd(), table, False)
        self.cell = table.getCellByName("A1")
        self.cell.setString(self.lines[0])
        set_font(self.cell.createTextCursorByRange(self.cell), "Tibetan Machine Uni", 14)
        style = self.doc.getStyleFamilies().getByName("PageStyles").getByName("Standard")
        style.HeaderIsOn = True
        self.header = style.HeaderText
        self.header.setString(self.lines[1])
        set_font(self.header.createTextCursorByRange(self.header), "Tibetan Machine Uni", 14)
        self.doc.getCurrentController().getViewCursor().gotoStart(False)
        OFFICE.focus(self.doc)

    def tearDown(self):
        self.doc.close(True)

    def unicode_rtf_glyphs(self):
        """(character, font) of each line as `tarvex-cli -t unicode-rtf` sets it, and its not-converted count."""
        source = os.path.join(self.folder, "lines.txt")
        with open(source, "w", encoding="utf-8") as f:
            f.write("\n".join(self.lines) + "\n")
        rtf = os.path.join(self.folder, "lines.rtf")
        told = subprocess.run([TARVEX, "-t", "unicode-rtf", "--keep-cr", "-f", "korlam", "-d", TABLES, "-o", rtf,
                               source], check=True, capture_output=True, text=True).stderr
        doc = OFFICE.open(rtf)
        try:
            return paragraphs_of(office.runs(doc))[:len(self.lines)], told
        finally:
            doc.close(True)

    def test_to_tsendrel_and_back(self):
        expected, told = self.unicode_rtf_glyphs()
        OFFICE.dispatch(self.doc, "to-tsendrel")
        converted = office.runs(self.doc)
        body = paragraphs_of(converted)
        self.assertEqual(len(body), len(self.lines) + 2, "the paragraphs stay")
        for number, (got, wanted) in enumerate(zip(body, expected)):
            self.assertEqual(got, wanted, "line %d as unicode-rtf sets it" % (number + 1))
        self.assertEqual({size for _, font, size in converted if font and font.startswith("Korlam")}, {14})
        self.assertEqual([(ch, font) for ch, font, _ in cell_runs(self.cell)], expected[0], "the table cell")
        self.assertEqual([(ch, font) for ch, font, _ in cell_runs(self.header)], expected[1], "the header")
        self.assertEqual(body[len(self.lines)], [(ch, "Liberation Serif") for ch in "Other text, kept."])
        self.assertTrue(all(p.CharWeight == 150.0 for p in portions(self.doc, len(self.lines))),
                        "its formatting kept")
        marked = int(re.search(r"(\d+) not converted", told).group(1))
        said = [m for m in OFFICE.messages() if m.startswith("Tsendrel: Converted to the Tsendrel fonts: 22 stretches")]
        self.assertTrue(said, "the message")
        if marked:
            self.assertIn(" %d syllables could not be set in the fonts and are marked [~...]." % marked, said[-1])

        OFFICE.dispatch(self.doc, "to-unicode")
        self.assertEqual(paragraph_texts(self.doc)[:len(self.lines)], self.lines, "back to the Unicode")
        self.assertEqual(self.cell.getString(), self.lines[0])
        self.assertEqual(self.header.getString(), self.lines[1])
        tibetan_fonts = {font for ch, font, _ in office.runs(self.doc) if "\u0f00" <= ch <= "\u0fff"}
        self.assertEqual(tibetan_fonts, {"Tibetan Machine Uni"})
        self.assertEqual(paragraph_texts(self.doc)[len(self.lines)], "Other text, kept.")

    def test_only_the_selection_is_converted(self):
        text = self.doc.getText()
        paragraphs = text.createEnumeration()
        first = paragraphs.nextElement()
        view = self.doc.getCurrentController().getViewCursor()
        view.gotoRange(first.getStart(), False)
        view.gotoRange(first.getEnd(), True)
        OFFICE.dispatch(self.doc, "to-tsendrel")
        fonts = [{font for _, font in p} for p in paragraphs_of(office.runs(self.doc))[:2]]
        self.assertNotIn("Tibetan Machine Uni", fonts[0], "the selected line is in the Tsendrel fonts")
        self.assertEqual(fonts[1], {"Tibetan Machine Uni"}, "the next line is as it was")
        self.assertEqual(self.cell.getString(), self.lines[0], "the table is not selected")
        OFFICE.undo(self.doc)
        self.assertEqual(paragraphs_of(office.runs(self.doc))[0], [(ch, "Tibetan Machine Uni") for ch in self.lines[0]],
                         "one Undo takes the conversion back")


    def test_cells_selected_as_cells_are_refused_and_nothing_changes(self):
        table = self.doc.getTextTables().getByIndex(0)
        self.doc.getCurrentController().select(table.getCellRangeByName("A1:B1"))
        OFFICE.settle()
        before = paragraph_texts(self.doc)
        OFFICE.dispatch(self.doc, "to-tsendrel")
        self.assertIn("Tsendrel Error: Error: The document could not be converted: the selection is not text: "
                      "select text, or nothing for the whole document", OFFICE.messages())
        self.assertEqual(paragraph_texts(self.doc), before)
        self.assertEqual(self.cell.getString(), self.lines[0])


def paragraph_texts(doc):
    out = []
    items = doc.getText().createEnumeration()
    while items.hasMoreElements():
        item = items.nextElement()
        if item.supportsService("com.sun.star.text.Paragraph"):
            out.append(item.getString())
    return out


def portions(doc, index):
    items = doc.getText().createEnumeration()
    number = -1
    while items.hasMoreElements():
        item = items.nextElement()
        if item.supportsService("com.sun.star.text.Paragraph"):
            number += 1
            if number == index:
                found = item.createEnumeration()
                out = []
                while found.hasMoreElements():
                    out.append(found.nextElement())
                return out
    return []


def setting(node, name):
    provider = OFFICE.smgr.createInstanceWithContext("com.sun.star.configuration.ConfigurationProvider", OFFICE.ctx)
    access = provider.createInstanceWithArguments("com.sun.star.configuration.ConfigurationAccess",
                                                  office.props(nodepath=node))
    return access.getByName(name)


def cell_runs(cell):
    out = []
    paragraphs = cell.createEnumeration()
    while paragraphs.hasMoreElements():
        portions = paragraphs.nextElement().createEnumeration()
        while portions.hasMoreElements():
            portion = portions.nextElement()
            out += [(ch, portion.CharFontName, portion.CharHeight) for ch in portion.getString()]
    return out


if __name__ == "__main__":
    started = time.time()
    result = unittest.main(argv=[sys.argv[0], "-v"], exit=False).result
    print("LibreOffice tests: %.1f s" % (time.time() - started))
    sys.exit(0 if result.wasSuccessful() else 1)
