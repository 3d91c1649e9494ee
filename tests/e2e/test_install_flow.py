"""The wizard's second half end to end: offers accepted and declined on their pages, the main
product and the accepted offers downloaded from the local service and installed by the fake
installer, the events the service receives, and Finish starting the product."""

import json
import os
import unittest

from harness import ISV_EXE, WizardTestCase, bin_dir, screenshot, windows_path
from service import ContentService

LANGUAGE_NEXT = 1010
LICENSE_AGREE = 1050
ACCEPT = 1021
DECLINE = 1022
PRODUCT_DISCLAIMER = 1042  # names the offer
FINISH = 1028
LAUNCH_CHECK = 1044

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


def configuration(offers):
    return {"l": "US", "f": {"a": "e2e-pub", "m": 3},
            "o": [{"ad": {"o": oid, "f": "feed-" + oid},
                   "ps": {"dn": name, "i": oid + ".png", "u": "https://" + route, "p": args, "v": 1}}
                  for oid, name, route, args, _ in offers]}


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

    def load(self, offers):
        installer = os.path.join(bin_dir(), "fake-installer.exe")
        routes = {"/o": {"json": configuration(offers)}, "/zbd": {"status": 200, "json": {}},
                  MAIN_URL: {"file": installer}}
        for oid, _, route, _, _ in offers:
            routes["/f/%s.png" % oid] = {"image": {"width": 300, "height": 140, "colour": "#2060c0"}}
            routes[route] = {"file": installer}
        self.svc.load_scenario({"name": "install flow", "routes": routes})

    def test_isv_accept_decline_accept_then_finish(self):
        self.require_pages(ISV_EXE)
        if not os.path.isfile(os.path.join(bin_dir(), "fake-installer.exe")):
            self.skipTest("no fake-installer.exe in this build")
        for ticked in (True, False):
            with self.subTest(launch_ticked=ticked):
                self.run_isv(ticked)

    def run_isv(self, ticked):
        self.load(OFFERS)
        log = os.path.join(bin_dir(), "e2e-install-flow-%d.jsonl" % ticked)
        if os.path.exists(log):
            os.remove(log)
        mark = self.svc.mark()
        before = self.temp.work_entries()
        wizard = self.start(ISV_EXE, env={
            "ZELVANE_FAKE_INSTALLER_LOG": windows_path(log),
            "ZELVANE_FAKE_INSTALLER_PRODUCT": "{commonappdata}\\Zelvane Web\\zvweb.exe"})
        dialog = self.wait_main_dialog(ISV_EXE)
        hwnd = dialog["hwnd"]
        label = "isv-install-%s" % ("ticked" if ticked else "cleared")
        self.driver.wait_control(hwnd, LANGUAGE_NEXT)
        self.driver.click(hwnd, LANGUAGE_NEXT)
        self.driver.wait_control(hwnd, LICENSE_AGREE, timeout_ms=PAGE_TIMEOUT_MS)
        self.driver.click(hwnd, LICENSE_AGREE)
        for index, (oid, name, _, _, button) in enumerate(OFFERS):
            self.driver.wait_control(hwnd, PRODUCT_DISCLAIMER, text=name, timeout_ms=PAGE_TIMEOUT_MS)
            screenshot("%s-offer-%d" % (label, index + 1))
            self.driver.click(hwnd, button)

        self.driver.wait_control(hwnd, FINISH, timeout_ms=PAGE_TIMEOUT_MS)
        screenshot(label + "-finish")
        # Every package's outcome has reached the service: the close sends no event 5 after it.
        self.svc.wait_for(lambda e: e["analytics"]["event"] in ("3", "4"), since=mark, path="/zbd", count=4,
                          timeout=60)
        if not ticked:
            self.driver.click(hwnd, LAUNCH_CHECK)
        self.driver.click(hwnd, FINISH)
        self.assert_exits(wizard, "wizard ended by Finish")
        self.assertEqual(self.temp.work_entries(), before, "Finish removed the work folder")

        # The main installer first, with "/S", then the accepted offers with their own arguments.
        starts = read_lines(log)
        names = [s["name"] for s in starts if s["name"] != "zvweb.exe"]
        self.assertEqual(len(names), 3, starts)
        self.assertEqual([s["arguments"] for s in starts[:3]], ["/S", "/S /a", "/silent /c"])
        product = [s for s in starts if s["name"] == "zvweb.exe"]
        self.assertEqual([s["arguments"] for s in product], ["/RUNONSTARTUP"] if ticked else [])

        # Events per package: the main product 1 on the first Next and 3 when installed, the
        # accepted offers 3, the declined one 4; none gets 5, as each was closed by then.
        events = {}
        for entry in self.svc.log(mark, path="/zbd"):
            a = entry["analytics"]
            self.assertTrue(a["signature_ok"], a)
            events.setdefault(a["package"], []).append(a["event"])
        offers = {oid: events.pop(oid, []) for oid, _, _, _, _ in OFFERS}
        self.assertEqual(offers, {oid: ["3"] if button == ACCEPT else ["4"] for oid, _, _, _, button in OFFERS})
        self.assertEqual(sorted(e for package in events.values() for e in package), ["1", "3"], events)
