"""LibreOffice Writer for the extension's tests: one soffice under its own Xvfb display, with a throwaway
profile into which `unopkg add` installed the extension; documents driven through UNO and typed into with
real keystrokes (xdotool)."""

import os
import subprocess
import tempfile
import time

import uno
from com.sun.star.beans import PropertyValue

SOFFICE = "/usr/lib/libreoffice/program/soffice"
UNOPKG = "/usr/lib/libreoffice/program/unopkg"


def props(**values):
    out = []
    for name, value in values.items():
        p = PropertyValue()
        p.Name = name
        p.Value = value
        out.append(p)
    return tuple(out)


def url_of(path):
    return uno.systemPathToFileUrl(os.path.abspath(path))


class Office:
    """One soffice with its own profile and display."""

    def __init__(self, oxt, folder=None):
        self.dir = folder or tempfile.mkdtemp(prefix="tsendrel-lo-")
        self.profile = os.path.join(self.dir, "profile")
        self.home = os.path.join(self.dir, "home")
        self.addin_home = os.path.join(self.dir, "Tsendrel")
        for d in (self.profile, self.home):
            os.makedirs(d, exist_ok=True)
        os.chmod(self.dir, 0o777)
        for d in (self.profile, self.home):
            os.chmod(d, 0o777)
        # unopkg installs into a user's profile only for a user other than root; the office itself runs
        # as whoever runs the tests.
        self.as_user = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", "--"] \
            if os.geteuid() == 0 else []
        self.env = dict(os.environ, HOME=self.home, TSENDREL_DIR=self.addin_home, SAL_USE_VCLPLUGIN="gen")
        self.env.pop("SESSION_MANAGER", None)
        self.profile_url = "file://" + self.profile
        self.oxt = oxt
        self.xvfb = None
        self.soffice = None
        self.log = os.path.join(self.dir, "soffice.log")

    def start(self):
        subprocess.run(self.as_user + [UNOPKG, "add", "-env:UserInstallation=" + self.profile_url, self.oxt],
                       env=self.env, check=True, capture_output=True, timeout=120)
        self.display = self._start_xvfb()
        self.env["DISPLAY"] = self.display
        self.pipe = "tsendrel%d" % os.getpid()
        with open(self.log, "w") as log:
            self.soffice = subprocess.Popen(
                [SOFFICE, "-env:UserInstallation=" + self.profile_url, "--norestore", "--nologo",
                                "--nodefault", "--nolockcheck", "--accept=pipe,name=%s;urp;" % self.pipe],
                env=self.env, stdout=log, stderr=subprocess.STDOUT)
        local = uno.getComponentContext()
        resolver = local.ServiceManager.createInstanceWithContext("com.sun.star.bridge.UnoUrlResolver", local)
        deadline = time.time() + 120
        while True:
            try:
                self.ctx = resolver.resolve("uno:pipe,name=%s;urp;StarOffice.ComponentContext" % self.pipe)
                break
            except Exception:
                if time.time() > deadline or self.soffice.poll() is not None:
                    raise RuntimeError("soffice did not start; see " + self.log)
                time.sleep(0.5)
        self.smgr = self.ctx.ServiceManager
        self.desktop = self.smgr.createInstanceWithContext("com.sun.star.frame.Desktop", self.ctx)
        self.dispatcher = self.smgr.createInstanceWithContext("com.sun.star.frame.DispatchHelper", self.ctx)

    def _start_xvfb(self):
        for number in range(90, 140):
            if os.path.exists("/tmp/.X%d-lock" % number):
                continue
            display = ":%d" % number
            self.xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", "1280x900x24", "-ac", "-nolisten", "tcp"],
                                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            for _ in range(50):
                if os.path.exists("/tmp/.X11-unix/X%d" % number):
                    return display
                if self.xvfb.poll() is not None:
                    break
                time.sleep(0.1)
            if self.xvfb.poll() is None:
                self.xvfb.kill()
            self.xvfb = None
        raise RuntimeError("no display for Xvfb")

    def stop(self):
        if getattr(self, "desktop", None) is not None:
            try:
                self.desktop.terminate()
            except Exception:
                pass
        if self.soffice is not None:
            try:
                self.soffice.wait(timeout=30)
            except subprocess.TimeoutExpired:
                self.soffice.kill()
                self.soffice.wait()
        if self.xvfb is not None:
            self.xvfb.terminate()
            self.xvfb.wait()

    def messages(self):
        """The add-in's message lines so far ("Title: text")."""
        with open(self.log, encoding="utf-8", errors="replace") as f:
            return [line[len("tsendrel: "):].rstrip("\n") for line in f if line.startswith("tsendrel: ")]

    # Documents

    def new_document(self):
        doc = self.desktop.loadComponentFromURL("private:factory/swriter", "_blank", 0, ())
        self.focus(doc)
        return doc

    def open(self, path):
        return self.desktop.loadComponentFromURL(url_of(path), "_blank", 0, props(Hidden=True))

    def window_id(self, doc):
        frame = doc.getCurrentController().getFrame()
        title = frame.Title
        for _ in range(100):
            out = subprocess.run(["xdotool", "search", "--name", "^" + title], env=self.env, capture_output=True,
                                 text=True).stdout.split()
            if out:
                return out[-1]
            time.sleep(0.1)
        raise RuntimeError("no window for " + title)

    def focus(self, doc):
        frame = doc.getCurrentController().getFrame()
        frame.getContainerWindow().setFocus()
        frame.activate()
        wid = self.window_id(doc)
        subprocess.run(["xdotool", "windowactivate", "--sync", wid], env=self.env, capture_output=True)
        subprocess.run(["xdotool", "windowfocus", "--sync", wid], env=self.env, capture_output=True)
        self.settle()

    def settle(self, doc=None):
        """Lets the office handle the events sent so far."""
        toolkit = self.smgr.createInstanceWithContext("com.sun.star.awt.Toolkit", self.ctx)
        for _ in range(3):
            toolkit.processEventsToIdle()
            time.sleep(0.05)

    def dispatch(self, doc, command, **args):
        frame = doc.getCurrentController().getFrame()
        self.dispatcher.executeDispatch(frame, "tsendrel:" + command, "", 0, props(**args))
        self.settle()

    def undo(self, doc):
        """Writer's own Undo in the window of `doc`."""
        self.dispatcher.executeDispatch(doc.getCurrentController().getFrame(), ".uno:Undo", "", 0, ())
        self.settle()

    def type(self, text):
        subprocess.run(["xdotool", "type", "--delay", "15", text], env=self.env, check=True)
        self.settle()

    def key(self, *names):
        subprocess.run(["xdotool", "key", "--delay", "15"] + list(names), env=self.env, check=True)
        self.settle()

    def store(self, doc, path, filter_name):
        doc.storeToURL(url_of(path), props(FilterName=filter_name, Overwrite=True))

    def screenshot(self, doc, path):
        subprocess.run(["import", "-window", "root", path], env=self.env, check=True, capture_output=True)


def runs(doc):
    """The document's characters with their font and size: one (character, font, size) a character,
    paragraphs ended by "\\r", as wordhost's --dump lists them."""
    out = []
    paragraphs = doc.getText().createEnumeration()
    first = True
    while paragraphs.hasMoreElements():
        paragraph = paragraphs.nextElement()
        if not paragraph.supportsService("com.sun.star.text.Paragraph"):
            continue
        if not first:
            out.append(("\r", None, None))
        first = False
        portions = paragraph.createEnumeration()
        while portions.hasMoreElements():
            portion = portions.nextElement()
            for ch in portion.getString():
                out.append((ch, portion.CharFontName, round(portion.CharHeight)))
    return out
