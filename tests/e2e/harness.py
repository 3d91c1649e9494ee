"""Helpers for the end-to-end tests: start wizard exes under Wine, drive them with
wizard-driver.exe, look at the prefix's temporary folder, and clean up after each test.

The environment (DISPLAY, WINEPREFIX, a warm wineserver, the network namespace) is prepared by
the caller (tools/test, or by hand); run.py points ZELVANE_E2E_BIN at the folder of exes.
"""

import json
import os
import subprocess
import sys
import tempfile
import time
import unittest

BIN_ENV = "ZELVANE_E2E_BIN"
SHIP_BIN_ENV = "ZELVANE_E2E_SHIP_BIN"
ARTIFACTS_ENV = "ZELVANE_E2E_ARTIFACTS"

# Generous: a loaded CI machine may take seconds to bring up a Wine process.
WINDOW_TIMEOUT_MS = 20000
EXIT_TIMEOUT_S = 20.0

DRIVER_EXE = "wizard-driver.exe"

ISV_EXE = "ZelvaneWebSetup.exe"
MAIN_CAPTION_ISV = "Zelvane Web "  # with its trailing blank
MAIN_CAPTION_DLM = "Setup"

DLM_EXE = "ZelvaneWebSetup-DLM.exe"
PLAIN_EXE = "ZelvaneWebSetup-Plain.exe"
CLASSIC_EXE = "ZelvaneWebSetup-Classic.exe"

# Dialog templates of the first page: the branded language page, or the plain one.
LANGUAGE_PAGE_BRANDED = 10
LANGUAGE_PAGE_PLAIN = 9

# exe -> (caption of the main dialog, template of its first page)
VARIANTS = {
    ISV_EXE: (MAIN_CAPTION_ISV, LANGUAGE_PAGE_BRANDED),
    DLM_EXE: (MAIN_CAPTION_DLM, LANGUAGE_PAGE_BRANDED),
    PLAIN_EXE: (MAIN_CAPTION_ISV, LANGUAGE_PAGE_PLAIN),
    CLASSIC_EXE: (MAIN_CAPTION_ISV, LANGUAGE_PAGE_BRANDED),
}

SINGLE_INSTANCE_CAPTION = "Error"
SINGLE_INSTANCE_TEXT = "Another setup is already running, please close it and try again"
EXIT_QUESTION_TEXT = "Are you sure you want to exit the installer?"

IDOK = 1
IDCANCEL = 2

WORK_FOLDER_PREFIX = "isv"  # GetTempFileNameW(path, "ISV", ...); compared case-insensitively


def note(message):
    """A line for the log of the run (stderr, next to unittest's own output)."""
    print("  [e2e] " + message, file=sys.stderr, flush=True)


def bin_dir():
    path = os.environ.get(BIN_ENV)
    if not path:
        raise RuntimeError(BIN_ENV + " is not set; run the tests through tests/e2e/run.py --bin DIR")
    return path


def exe_path(name):
    return os.path.join(bin_dir(), name)


def ship_exe_path(name):
    """The exe as it ships (32-bit), which may differ from the build that runs here."""
    return os.path.join(os.environ.get(SHIP_BIN_ENV) or bin_dir(), name)


def wine_env(extra=None):
    env = dict(os.environ)
    env.setdefault("WINEDEBUG", "-all")
    env.update(extra or {})
    return env


class DriverError(Exception):
    def __init__(self, args, code, payload, stderr):
        self.code = code
        self.payload = payload
        self.stderr = stderr
        super().__init__("wizard-driver %s -> exit %s: %s%s" % (
            " ".join(str(a) for a in args), code, json.dumps(payload, ensure_ascii=False),
            ("\nstderr: " + stderr.strip()) if stderr.strip() else ""))


class Driver:
    """wizard-driver.exe, one invocation per call; every answer is one JSON object."""

    def __init__(self, exe=None):
        self.exe = exe or exe_path(DRIVER_EXE)

    def call(self, *args, wait_ms=0):
        argv = ["wine", self.exe] + [str(a) for a in args]
        # Files, not pipes: a Wine system process (explorer.exe /desktop, services.exe) started
        # on behalf of this call inherits its standard handles and may outlive it; reading a
        # pipe to its end would then wait for that process.
        with tempfile.TemporaryFile() as out_file, tempfile.TemporaryFile() as err_file:
            proc = subprocess.run(argv, stdin=subprocess.DEVNULL, stdout=out_file, stderr=err_file,
                                  env=wine_env(), timeout=wait_ms / 1000.0 + 30.0)
            out_file.seek(0)
            err_file.seek(0)
            out = out_file.read().decode("utf-8", "replace").strip().splitlines()
            stderr = err_file.read().decode("utf-8", "replace")
        try:
            payload = json.loads(out[-1]) if out else None
        except ValueError:
            payload = {"unparsed": out[-1]}
        if proc.returncode != 0 or payload is None:
            raise DriverError(list(args), proc.returncode, payload, stderr)
        return payload

    def wait_window(self, caption, exact=True, pid=None, kind=None, timeout_ms=WINDOW_TIMEOUT_MS):
        args = ["wait-window", "--caption", caption, "--timeout", timeout_ms]
        if exact:
            args.append("--exact")
        if pid is not None:
            args += ["--pid", pid]
        if kind is not None:
            args += ["--kind", kind]
        return self._wait(args, timeout_ms)

    def wait_messagebox(self, caption=None, exact=True, pid=None, timeout_ms=WINDOW_TIMEOUT_MS):
        args = ["wait-messagebox", "--timeout", timeout_ms]
        if caption is not None:
            args += ["--caption", caption]
            if exact:
                args.append("--exact")
        if pid is not None:
            args += ["--pid", pid]
        return self._wait(args, timeout_ms)

    def wait_control(self, hwnd, control_id, text=None, exact=False, timeout_ms=WINDOW_TIMEOUT_MS):
        args = ["wait-control", "--hwnd", hwnd, "--id", control_id, "--timeout", timeout_ms]
        if text is not None:
            args += ["--text", text]
            if exact:
                args.append("--exact")
        return self._wait(args, timeout_ms)

    def wait_gone(self, hwnd, timeout_ms=WINDOW_TIMEOUT_MS):
        return self._wait(["wait-gone", "--hwnd", hwnd, "--timeout", timeout_ms], timeout_ms)

    def click(self, hwnd, control_id=None, method=None):
        args = ["click", "--hwnd", hwnd]
        if control_id is not None:
            args += ["--id", control_id]
        if method in ("send", "command"):
            args.append("--" + method)
        return self.call(*args)

    def select(self, hwnd, control_id, text):
        """Picks the combo box item `text` as a user does (the parent hears CBN_SELCHANGE)."""
        return self.call("select", "--hwnd", hwnd, "--id", control_id, "--text", text)

    def close(self, hwnd):
        return self.call("close", "--hwnd", hwnd)

    def text(self, hwnd, control_id=None):
        args = ["text", "--hwnd", hwnd]
        if control_id is not None:
            args += ["--id", control_id]
        return self.call(*args)

    def children(self, hwnd):
        return self.call("children", "--hwnd", hwnd)["children"]

    def windows(self, pid=None):
        args = ["windows"] if pid is None else ["windows", "--pid", pid]
        return self.call(*args)["windows"]

    def visible_top_level(self):
        return [w for w in self.windows() if w["visible"]]

    def temp_path(self):
        return self.call("temp-path")

    def downloads_path(self):
        return self.call("downloads-path")

    def resources(self, host_path, resource_type=5):
        """Ids of the resources of one type (default: dialog templates) in an exe."""
        answer = self.call("resources", "--file", windows_path(host_path), "--type", resource_type)
        return set(answer["ids"])

    def _wait(self, args, timeout_ms):
        try:
            return self.call(*args, wait_ms=timeout_ms)
        except DriverError as err:
            if err.code == 1:
                # Say what was on screen instead, and keep a picture when asked to.
                raise DriverError(args, err.code, {"result": err.payload,
                                                   "visible windows": self._safe_visible(),
                                                   "screenshot": screenshot(args[0])}, err.stderr) from None
            raise

    def _safe_visible(self):
        try:
            return self.visible_top_level()
        except (DriverError, subprocess.SubprocessError):
            return "unavailable"


def _winepath(option, path):
    with tempfile.TemporaryFile() as out_file:
        subprocess.run(["winepath", option, path], stdin=subprocess.DEVNULL, stdout=out_file,
                       stderr=subprocess.DEVNULL, env=wine_env(), check=True, timeout=60)
        out_file.seek(0)
        return out_file.read().decode("utf-8", "replace").strip()


def windows_path(host_path):
    return _winepath("-w", os.path.abspath(host_path))


def screenshot(label):
    """Saves the X screen as PNG into $ZELVANE_E2E_ARTIFACTS, if set; returns the file or None."""
    folder = os.environ.get(ARTIFACTS_ENV)
    if not folder:
        return None
    os.makedirs(folder, exist_ok=True)
    path = os.path.join(folder, "%s-%d.png" % (label, int(time.time() * 1000)))
    try:
        subprocess.run(["import", "-window", "root", path], stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)
    except (OSError, subprocess.SubprocessError):
        return None
    return path if os.path.exists(path) else None


_live = []  # every Wizard started in this run, for kill_all()


def kill_all():
    """Ends every wizard this run started that is still running (run.py calls it on the way out,
    also when it is stopped by a signal)."""
    for wizard in list(_live):
        wizard.kill()


class Wizard:
    """One wizard exe started under Wine. `wine EXE` is the Windows process itself: it returns
    when that process exits, with its exit code, and killing it ends the Windows process."""

    def __init__(self, exe):
        self.exe = exe
        self.name = os.path.basename(exe)
        self.log_path = None
        self.proc = None

    def start(self, cwd=None, env=None):
        if not os.path.isfile(self.exe):
            raise FileNotFoundError(self.exe)
        log_dir = os.environ.get(ARTIFACTS_ENV)
        if log_dir:
            os.makedirs(log_dir, exist_ok=True)
            self.log_path = os.path.join(log_dir, "%s-%d.log" % (self.name, int(time.time() * 1000)))
            log = open(self.log_path, "wb")
        else:
            log = subprocess.DEVNULL
        try:
            self.proc = subprocess.Popen(["wine", self.exe], stdin=subprocess.DEVNULL, stdout=log,
                                         stderr=log, env=wine_env(env), cwd=cwd or bin_dir())
        finally:
            if log is not subprocess.DEVNULL:
                log.close()
        _live.append(self)
        return self

    def running(self):
        return self.proc is not None and self.proc.poll() is None

    def wait_exit(self, timeout_s=EXIT_TIMEOUT_S):
        """The exit code, or None if the process is still running after timeout_s."""
        try:
            return self.proc.wait(timeout=timeout_s)
        except subprocess.TimeoutExpired:
            return None

    def kill(self):
        if self in _live:
            _live.remove(self)
        if self.running():
            note("killing leftover %s (host pid %d)" % (self.name, self.proc.pid))
            self.proc.kill()
            try:
                self.proc.wait(timeout=EXIT_TIMEOUT_S)
            except subprocess.TimeoutExpired:
                note("%s did not go after SIGKILL" % self.name)


class TempFolder:
    """The prefix's temporary folder (GetTempPathW of a Wine process), seen from the host."""

    def __init__(self, driver):
        answer = driver.temp_path()
        path = answer.get("unix")
        if not path:
            path = _winepath("-u", answer["path"])
        self.windows_path = answer["path"]
        self.path = path

    def work_entries(self):
        """Names of the entries that look like work folders (or their leftover temp files)."""
        try:
            names = os.listdir(self.path)
        except FileNotFoundError:
            return set()
        return {n for n in names if n.lower().startswith(WORK_FOLDER_PREFIX)}


def read_jsonl(path):
    """The JSON lines of a file; none when it does not exist (yet)."""
    try:
        with open(path, encoding="utf-8") as f:
            return [json.loads(line) for line in f if line.strip()]
    except FileNotFoundError:
        return []


class InstallerLog:
    """Where the fake installer (tools/fake-installer) records its starts for one run: a fresh
    JSON-lines file in the bin folder. Every copy a wizard starts appends to it, since the wizard
    passes its environment (`env()`) on."""

    def __init__(self, label):
        self.path = os.path.join(bin_dir(), "e2e-%s.jsonl" % label)
        if os.path.exists(self.path):
            os.remove(self.path)

    def env(self, extra=None):
        return dict(extra or {}, ZELVANE_FAKE_INSTALLER_LOG=windows_path(self.path))

    def starts(self):
        return read_jsonl(self.path)

    def wait_for(self, predicate=None, count=1, timeout_s=EXIT_TIMEOUT_S):
        """The starts once `count` of them satisfy `predicate` (any start without one); fails after
        timeout_s. A program that is not waited for records its start on its own time."""
        deadline = time.monotonic() + timeout_s
        while True:
            starts = self.starts()
            if len([s for s in starts if predicate is None or predicate(s)]) >= count:
                return starts
            if time.monotonic() > deadline:
                raise AssertionError("fake installer: %d expected starts did not come within %ss; recorded: %s"
                                     % (count, timeout_s, starts))
            time.sleep(0.1)


def wine_reg(*args):
    """`wine reg ARGS...` in the test prefix; returns (exit code, output). Run from the temporary
    folder of the host: a reg.exe in the current folder would be taken instead of Wine's own."""
    with tempfile.TemporaryFile() as out_file:
        proc = subprocess.run(["wine", "reg"] + list(args), stdin=subprocess.DEVNULL, stdout=out_file,
                              stderr=subprocess.STDOUT, env=wine_env(), cwd=tempfile.gettempdir(), timeout=60)
        out_file.seek(0)
        return proc.returncode, out_file.read().decode("utf-8", "replace")


class WizardTestCase(unittest.TestCase):
    """Base class: a driver, the temp folder, and a cleanup that ends every started wizard."""

    _templates = {}  # exe name -> its dialog template ids, read once per run

    @classmethod
    def setUpClass(cls):
        cls.driver = Driver()
        if not os.path.isfile(cls.driver.exe):
            raise unittest.SkipTest("no %s in %s" % (DRIVER_EXE, bin_dir()))
        cls.temp = TempFolder(cls.driver)

    def setUp(self):
        self._wizards = []
        self.addCleanup(self._end_wizards)

    def _end_wizards(self):
        for wizard in self._wizards:
            wizard.kill()

    def start(self, exe_name, env=None):
        wizard = Wizard(exe_path(exe_name))
        self._wizards.append(wizard)
        return wizard.start(env=env)

    def require_exe(self, exe_name):
        if not os.path.isfile(exe_path(exe_name)):
            self.skipTest("%s is not in %s" % (exe_name, bin_dir()))

    # Pages are built in stages. A build whose exe holds its first page's dialog template must
    # show pages and ask before closing; one without the template is a stub with the bare main
    # dialog, whose close ends the process at once.
    def builds_pages(self, exe_name):
        if exe_name not in WizardTestCase._templates:
            WizardTestCase._templates[exe_name] = self.driver.resources(exe_path(exe_name))
        return VARIANTS[exe_name][1] in WizardTestCase._templates[exe_name]

    def require_pages(self, exe_name):
        if not self.builds_pages(exe_name):
            self.skipTest("%s has no page templates yet" % exe_name)

    def wait_main_dialog(self, exe_name):
        """The visible main dialog (never a message box) with exactly the variant's caption."""
        return self.driver.wait_window(VARIANTS[exe_name][0], exact=True, kind="dialog")

    def assert_exits(self, wizard, what):
        code = wizard.wait_exit()
        if code is None:
            self.fail("%s (%s) did not exit within %ss; visible windows: %s"
                      % (what, wizard.name, EXIT_TIMEOUT_S, self.driver._safe_visible()))
        note("%s (%s) exited with code %d" % (what, wizard.name, code))
        return code

    def assert_visible_main(self, dialog):
        """The dialog still exists, is visible and keeps its caption."""
        state = self.driver.text(dialog["hwnd"])
        self.assertTrue(state["visible"], "main dialog %s is hidden" % dialog["hwnd"])
        self.assertEqual(state["text"], dialog["caption"])

    def close_first_page(self, wizard, dialog):
        """WM_CLOSE on the first page. With pages, the exit question must come from the same
        process with OK and Cancel, and OK must end it; a stub without pages ends at once.
        Either way the dialog must be gone with the process."""
        self.driver.close(dialog["hwnd"])
        if self.builds_pages(wizard.name):
            box = self.driver.wait_messagebox(pid=dialog["pid"])
            self.assertEqual(box["text"], EXIT_QUESTION_TEXT)
            self.assertEqual(box["buttons"], [IDOK, IDCANCEL])
            self.driver.click(box["hwnd"], IDOK)
            what = "wizard closed with OK"
        else:
            what = "wizard stub closed"
        code = self.assert_exits(wizard, what)
        self.assertFalse(self._exists(dialog["hwnd"]), "main dialog outlived its process")
        return code

    def _exists(self, hwnd):
        # The wineserver destroys a dead process's windows a moment after the process is reaped.
        try:
            self.driver.wait_gone(hwnd, timeout_ms=5000)
            return False
        except DriverError:
            return True
