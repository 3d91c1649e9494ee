"""The wizard's second half end to end: offers accepted and declined on their pages, the main
product and the accepted offers downloaded from the local service and installed by the fake
installer, the events the service receives, and Finish starting the product."""

import json
import os
import time
import unittest

from harness import ISV_EXE, WizardTestCase, bin_dir, screenshot, windows_path
from service import ContentService

LANGUAGE_NEXT = 1010
LICENSE_AGREE = 1050
ACCEPT = 1021
DECLINE = 1022
PRODUCT_DISCLAIMER = 1042  # names the offer
SKIP_ALL = 1048
FINISH = 1028
LAUNCH_CHECK = 1044
ERROR_CLOSE = 1035

PAGE_TIMEOUT_MS = 90000
MAIN_URL = "download.zelvane.test/endpoint/zvweb/os/riserollout/track/beta"

DEFAULT_SCENARIO = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools",
                                "content-service", "scenarios", "default.json")

# (offer id, shown name, installer route, its arguments, what the test clicks on its page)
OFFERS = [
    ("e2e-offer-a", "Partner A Photo Editor", "cdn.partner-a.test/PhotoEditorSetup.exe", "/S /a", ACCEPT),
    ("e2e-offer-b", "Partner B Backup", "cdn.partner-b.test/BackupSetup.exe", "/quiet", DECLINE),
    ("e2e-offer-c", "Partner C Notes", "files.partner-c.test/NotesSetup.exe", "/silent /c", ACCEPT),
]


def configuration(offers, cfs=None):
    """`cfs`: offer id -> its "cfs" object."""
    cfs = cfs or {}
    answer = {"l": "US", "f": {"a": "e2e-pub", "m": 3}, "o": []}
    for group, (oid, name, route, args, _) in enumerate(offers, 1):
        # One offer per group "v" is kept.
        ps = {"dn": name, "i": oid + ".png", "u": "https://" + route, "p": args, "v": group}
        if oid in cfs:
            ps["cfs"] = cfs[oid]
        answer["o"].append({"ad": {"o": oid, "f": "feed-" + oid}, "ps": ps})
    return answer


def read_lines(path):
    try:
        with open(path, encoding="utf-8") as f:
            return [json.loads(line) for line in f if line.strip()]
    except FileNotFoundError:
        return []


@unittest.skipUnless(ContentService.available(), "no content service in this run ($ZELVANE_RUN_DIR)")
class InstallFlowTest(WizardTestCase):

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.svc = ContentService.from_env()

    def setUp(self):
        super().setUp()
        self.addCleanup(self.svc.load_scenario, os.path.normpath(DEFAULT_SCENARIO))

    def load(self, offers, cfs=None, main=True):
        installer = os.path.join(bin_dir(), "fake-installer.exe")
        routes = {"/o": {"json": configuration(offers, cfs)}, "/zbd": {"status": 200, "json": {}}}
        if main:
            routes[MAIN_URL] = {"file": installer}
        for oid, _, route, _, _ in offers:
            routes["/f/%s.png" % oid] = {"image": {"width": 300, "height": 140, "colour": "#2060c0"}}
            routes[route] = {"file": installer}
        self.svc.load_scenario({"name": "install flow", "routes": routes})

    def require_installer(self):
        self.require_pages(ISV_EXE)
        if not os.path.isfile(os.path.join(bin_dir(), "fake-installer.exe")):
            self.skipTest("no fake-installer.exe in this build")

    def test_isv_accept_decline_accept_then_finish(self):
        self.require_installer()
        for ticked in (True, False):
            with self.subTest(launch_ticked=ticked):
                starts, events = self.run_isv(OFFERS, [button for *_, button in OFFERS], ticked,
                                              "isv-install-%s" % ("ticked" if ticked else "cleared"))
                # The main installer first, with "/S" and waited for, then the accepted offers with
                # their own arguments.
                installers = [s for s in starts if s["name"] != "zvweb.exe"]
                # The offers are not waited for: their starts may come in either order.
                arguments = [s["arguments"] for s in installers]
                self.assertEqual(arguments[:1], ["/S"], starts)
                self.assertEqual(sorted(arguments[1:]), ["/S /a", "/silent /c"], starts)
                product = [s for s in starts if s["name"] == "zvweb.exe"]
                self.assertEqual([s["arguments"] for s in product], ["/RUNONSTARTUP"] if ticked else [])

                # Events per package: the main product 1 on the first Next and 3 when installed, the
                # accepted offers 3, the declined one 4; none gets 5, as each was closed by then.
                offers = {oid: events.pop(oid, []) for oid, *_ in OFFERS}
                self.assertEqual(offers, {oid: [("3", None)] if button == ACCEPT else [("4", None)]
                                          for oid, *_, button in OFFERS})
                self.assertEqual(sorted(e for package in events.values() for e, _ in package), ["1", "3"], events)

    def test_offers_passed_over_report_their_reason(self):
        self.require_installer()
        ids = [oid for oid, *_ in OFFERS]
        cases = [
            # (label, cfs per offer, the button on the first offer, the reason of the offers passed over)
            ("skip-all", {}, SKIP_ALL, "SAK"),
        ]
        for label, cfs, button, reason in cases:
            with self.subTest(label):
                starts, events = self.run_isv(OFFERS, [button], False, "isv-" + label, cfs)
                self.assertEqual([s["arguments"] for s in starts], ["/S"], "only the main installer ran")
                self.assertEqual({oid: events.get(oid, []) for oid in ids},
                                 {ids[0]: [("4", None)], ids[1]: [("2", reason)], ids[2]: [("2", reason)]})

    def test_main_product_failure_still_installs_the_offers_then_shows_the_error_page(self):
        self.require_installer()
        cases = [
            # (label, main installer served, fake installer exit code, start of the failure text)
            ("main-404", False, "0", "DOWNLOAD FAILED: "),
            ("main-1603", True, "1603", "EXEC FAILED: exit code = 1603"),
        ]
        offers = OFFERS[:1]
        for label, served, code, failure in cases:
            with self.subTest(label):
                starts, events = self.run_isv(offers, [ACCEPT], False, "isv-" + label, main=served, error=True,
                                              env={"ZELVANE_FAKE_INSTALLER_EXIT": code})
                self.assertIn(offers[0][3], [s["arguments"] for s in starts], "the offer was still started")
                self.assertEqual(events.pop(offers[0][0]), [("3", None)])
                failures = [f for package in events.values() for _, f in package if f]
                self.assertTrue(any(f.startswith(failure) for f in failures), events)

    def run_isv(self, offers, clicks, ticked, label, cfs=None, main=True, error=False, env=None):
        """Runs the ISV wizard to its end: one click per offer page shown, Finish with the launch
        box as `ticked` says. Returns the fake installer's starts and the events per package as
        (event, reason)."""
        self.load(offers, cfs, main)
        log = os.path.join(bin_dir(), "e2e-%s.jsonl" % label)
        if os.path.exists(log):
            os.remove(log)
        mark = self.svc.mark()
        before = self.temp.work_entries()
        wizard = self.start(ISV_EXE, env=dict(env or {}, **{
            "ZELVANE_FAKE_INSTALLER_LOG": windows_path(log),
            "ZELVANE_FAKE_INSTALLER_PRODUCT": "{commonappdata}\\Zelvane Web\\zvweb.exe"}))
        try:
            self.drive(wizard, offers, clicks, ticked, label, mark, error)
        finally:
            # A run that fails half-way leaves no wizard behind for the next one.
            wizard.kill()
        self.assertEqual(self.temp.work_entries(), before, "Finish removed the work folder")
        if ticked:
            # The product is started, not waited for: its record may come after the wizard ended.
            deadline = time.monotonic() + 30
            while not any(s["name"] == "zvweb.exe" for s in read_lines(log)) and time.monotonic() < deadline:
                time.sleep(0.2)

        events = {}
        for entry in self.svc.log(mark, path="/zbd"):
            a = entry["analytics"]
            self.assertTrue(a["signature_ok"], a)
            events.setdefault(a["package"], []).append(
                (a["event"], a["reason"] if a["event"] == "2" else a["failure"] if a["failure"] else None))
        return read_lines(log), events

    def drive(self, wizard, offers, clicks, ticked, label, mark, error):
        dialog = self.wait_main_dialog(ISV_EXE)
        hwnd = dialog["hwnd"]
        self.driver.wait_control(hwnd, LANGUAGE_NEXT)
        self.driver.click(hwnd, LANGUAGE_NEXT)
        self.driver.wait_control(hwnd, LICENSE_AGREE, timeout_ms=PAGE_TIMEOUT_MS)
        self.driver.click(hwnd, LICENSE_AGREE)
        for index, button in enumerate(clicks):
            self.driver.wait_control(hwnd, PRODUCT_DISCLAIMER, text=offers[index][1], timeout_ms=PAGE_TIMEOUT_MS)
            screenshot("%s-offer-%d" % (label, index + 1))
            self.driver.click(hwnd, button)

        if error:
            # The error page once the offers are installed; its Close asks nothing.
            self.driver.wait_control(hwnd, ERROR_CLOSE, timeout_ms=PAGE_TIMEOUT_MS)
            screenshot(label + "-error")
            self.svc.wait_for(lambda e: e["analytics"]["failure"], since=mark, path="/zbd", timeout=60)
            self.driver.click(hwnd, ERROR_CLOSE)
            self.assert_exits(wizard, "wizard ended from the error page")
            return
        self.driver.wait_control(hwnd, FINISH, timeout_ms=PAGE_TIMEOUT_MS)
        screenshot(label + "-finish")
        # Every package's outcome has reached the service: the close sends no event 5 after it.
        self.svc.wait_for(lambda e: e["analytics"]["event"] in ("2", "3", "4"), since=mark, path="/zbd",
                          count=len(offers) + 1, timeout=60)
        if not ticked:
            self.driver.click(hwnd, LAUNCH_CHECK)
        self.driver.click(hwnd, FINISH)
        self.assert_exits(wizard, "wizard ended by Finish")
