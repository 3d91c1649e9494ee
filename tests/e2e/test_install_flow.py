"""The wizard's second half end to end: offers accepted and declined on their pages, the main
product and the accepted offers downloaded from the local service and installed by the fake
installer, the events the service receives, and Finish starting the product."""

import datetime
import hashlib
import os
import re
import unittest

from harness import (IDCANCEL, IDOK, ISV_EXE, InstallerLog, bin_dir, screenshot, windows_path,
                     wine_reg)
from service import ContentService, ServiceTestCase

LANGUAGE_NEXT = 1010
LICENSE_AGREE = 1050
ACCEPT = 1021
DECLINE = 1022
PRODUCT_DISCLAIMER = 1042  # names the offer
SKIP_ALL = 1048
FINISH = 1028
LAUNCH_CHECK = 1044
ERROR_CLOSE = 1035
PROGRESS_BAR = 1043
PBS_MARQUEE = 0x08

PROGRESS_QUIT_TEXT = ("Some installer processes are already running in the background and will finish "
                      "momentarily. Are you sure you would like to exit?")

PAGE_TIMEOUT_MS = 90000
PAGE_TIMEOUT_S = PAGE_TIMEOUT_MS / 1000
MAIN_URL = "download.zelvane.test/endpoint/zvweb/os/riserollout/track/beta"

# (offer id, shown name, installer route, its arguments, what the test clicks on its page)
OFFERS = [
    ("e2e-offer-a", "Partner A Photo Editor", "cdn.partner-a.test/PhotoEditorSetup.exe", "/S /a", ACCEPT),
    ("e2e-offer-b", "Partner B Backup", "cdn.partner-b.test/BackupSetup.exe", "/quiet", DECLINE),
    ("e2e-offer-c", "Partner C Notes", "files.partner-c.test/NotesSetup.exe", "/silent /c", ACCEPT),
]


def configuration(offers, ps=None, limit=3):
    """`ps`: offer id -> members added to its "ps" object; `limit`: the offer limit "f"."m"."""
    ps = ps or {}
    answer = {"l": "US", "f": {"a": "e2e-pub", "m": limit}, "o": []}
    for group, (oid, name, route, args, _) in enumerate(offers, 1):
        # One offer per group "v" is kept.
        settings = {"dn": name, "i": oid + ".png", "u": "https://" + route, "p": args, "v": group}
        settings.update(ps.get(oid, {}))
        answer["o"].append({"ad": {"o": oid, "f": "feed-" + oid}, "ps": settings})
    return answer


def partner(**cfs):
    """The "ps" members of an offer in partner mode with these "cfs" settings (no "pnr": no
    registry mark that would hide the partner's offers from later runs)."""
    return {"pn": True, "cfs": cfs}


def touch(path):
    open(path, "a").close()


def pending_deletions():
    """What the prefix's registry holds for deletion at the next start of Windows, lower case."""
    _, out = wine_reg("query", r"HKLM\System\CurrentControlSet\Control\Session Manager", "/v",
                      "PendingFileRenameOperations")
    return out.lower()


@unittest.skipUnless(ContentService.available(), "no content service in this run ($ZELVANE_RUN_DIR)")
class InstallFlowTest(ServiceTestCase):

    def load(self, offers, ps=None, limit=3, main=True, responses=None):
        """`responses`: route -> keys added to its answer (a delay, no Content-Length)."""
        installer = os.path.join(bin_dir(), "fake-installer.exe")
        routes = {"/o": {"json": configuration(offers, ps, limit)}, "/zbd": {"status": 200, "json": {}}}
        if main:
            routes[MAIN_URL] = {"file": installer}
        for oid, _, route, _, _ in offers:
            routes["/f/%s.png" % oid] = {"image": {"width": 300, "height": 140, "colour": "#2060c0"}}
            routes[route] = {"file": installer}
        for route, extra in (responses or {}).items():
            routes[route].update(extra)
        self.svc.load_scenario({"name": "install flow", "routes": routes})

    def require_installer(self):
        self.require_pages(ISV_EXE)
        if not os.path.isfile(os.path.join(bin_dir(), "fake-installer.exe")):
            self.skipTest("no fake-installer.exe in this build")

    def test_isv_accept_decline_accept_then_finish(self):
        self.require_installer()
        for ticked in (True, False):
            with self.subTest(launch_ticked=ticked):
                log, events = self.run_isv(OFFERS, {oid: button for oid, *_, button in OFFERS},
                                           "isv-install-%s" % ("ticked" if ticked else "cleared"), ticked)
                starts = log.wait_for(count=4 if ticked else 3, timeout_s=PAGE_TIMEOUT_S)
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
        a, b, c = [oid for oid, *_ in OFFERS]
        arguments = {oid: args for oid, _, _, args, _ in OFFERS}
        declined, installed = [("4", None)], [("3", None)]

        def passed(reason):
            return [("2", reason)]

        cases = [
            # (label, "ps" members per offer, offer limit, the click on each offer page shown,
            #  the events of each offer)
            ("skip-all", {}, 3, {a: SKIP_ALL}, {a: declined, b: passed("SAK"), c: passed("SAK")}),
            ("saad", {a: partner(saad=True)}, 3, {a: DECLINE}, {a: declined, b: passed("DOD"), c: passed("DOD")}),
            # An offer passed over at a position at or above the offer limit is not reported. The
            # second offer's "sied" lets a third one in beyond the limit of 2.
            ("saad-limit", {a: partner(saad=True), b: partner(sied=True)}, 2, {a: DECLINE},
             {a: declined, b: passed("DOD"), c: []}),
            # "cfs" counts only for an offer in partner mode.
            ("saad-no-partner", {a: {"pn": False, "cfs": {"saad": True}}}, 3, {a: DECLINE, b: DECLINE, c: DECLINE},
             {a: declined, b: declined, c: declined}),
            ("mo", {a: partner(mo=2)}, 3, {a: ACCEPT, b: ACCEPT}, {a: installed, b: installed, c: passed("MOF")}),
            ("sied", {b: partner(sied=True)}, 3, {a: DECLINE, c: ACCEPT},
             {a: declined, b: passed("SED"), c: installed}),
        ]
        for label, ps, limit, clicks, expected in cases:
            with self.subTest(label):
                log, events = self.run_isv(OFFERS, clicks, "isv-" + label, ps=ps, limit=limit,
                                           outcomes=1 + sum(1 for e in expected.values() if e))
                started = ["/S"] + [arguments[oid] for oid, e in expected.items() if e == installed]
                self.assertEqual(sorted(s["arguments"] for s in log.wait_for(count=len(started), timeout_s=PAGE_TIMEOUT_S)), sorted(started))
                self.assertEqual({oid: events.get(oid, []) for oid in expected}, expected)

    def test_a_partner_offer_once_shown_is_marked_and_not_shown_again(self):
        self.require_installer()
        a, b, c = [oid for oid, *_ in OFFERS]
        key = "Software\\Zelvane E2E\\Partner A"
        # Written without a view flag by the stub, so into the 32-bit view; named by the MD5 of
        # the maker's name, holding the date 180 days ahead.
        mark = ["HKLM\\" + key, "/v", hashlib.md5(b"Ostrel").hexdigest(), "/reg:32"]
        self.addCleanup(wine_reg, "delete", "HKLM\\" + key, "/f", "/reg:32")
        ps = {a: dict(partner(), pnr=key)}

        _, events = self.run_isv(OFFERS, {a: DECLINE, b: DECLINE, c: DECLINE}, "isv-no-show-first", ps=ps)
        self.assertEqual(events.get(a), [("4", None)])
        code, out = wine_reg("query", *mark)
        self.assertEqual(code, 0, out)
        stored = datetime.datetime.strptime(str(int(re.search(r"REG_DWORD\s+0x([0-9a-f]+)", out, re.I).group(1), 16)),
                                            "%Y%m%d").date()
        ahead = datetime.date.today() + datetime.timedelta(days=180)
        self.assertLessEqual(abs((stored - ahead).days), 1, out)

        # The next run's check turns the offer down before any page shows.
        _, events = self.run_isv(OFFERS, {b: DECLINE, c: DECLINE}, "isv-no-show-again", ps=ps)
        self.assertEqual(events.get(a), [("2", "PN NO SHOW")])

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
                log, events = self.run_isv(offers, {offers[0][0]: ACCEPT}, "isv-" + label, main=served,
                                           error=True, env={"ZELVANE_FAKE_INSTALLER_EXIT": code})
                starts = log.wait_for(count=2 if served else 1, timeout_s=PAGE_TIMEOUT_S)
                self.assertIn(offers[0][3], [s["arguments"] for s in starts], "the offer was still started")
                self.assertEqual(events.pop(offers[0][0]), [("3", None)])
                failures = [f for package in events.values() for _, f in package if f]
                self.assertTrue(any(f.startswith(failure) for f in failures), events)

    def test_closing_while_the_main_installer_runs_asks_first(self):
        self.require_installer()
        offers = OFFERS[:1]
        oid, args = offers[0][0], offers[0][3]
        cases = [
            # (answer, installers started, events of the offer, events of the main product)
            # Cancel: the wizard goes on; once the main installer ends the offer is started.
            (IDCANCEL, ["/S", args], ["3"], ["1", "3"]),
            # OK: the wizard ends while the main installer still runs; the accepted offer, never
            # started, and the main product get event 5. The installer's file and the work folder
            # cannot go while it runs: they go at the next start of Windows.
            (IDOK, ["/S"], ["5"], ["1", "5"]),
        ]
        for answer, started, offer_events, main_events in cases:
            label = "isv-quit-%s" % ("cancel" if answer == IDCANCEL else "ok")
            with self.subTest(label):
                release = os.path.join(bin_dir(), "e2e-%s.release" % label)
                if os.path.exists(release):
                    os.remove(release)
                # A failed run leaves no installer waiting.
                self.addCleanup(touch, release)

                def close_while_installing(wizard, dialog, log):
                    log.wait_for(timeout_s=PAGE_TIMEOUT_S)
                    self.driver.close(dialog["hwnd"])
                    box = self.driver.wait_messagebox(pid=dialog["pid"])
                    screenshot(label + "-question")
                    self.assertEqual((box["caption"], box["text"], box["buttons"]),
                                     ("", PROGRESS_QUIT_TEXT, [IDOK, IDCANCEL]))
                    self.driver.click(box["hwnd"], answer)
                    if answer == IDCANCEL:
                        self.driver.wait_gone(box["hwnd"])
                        self.assert_visible_main(dialog)
                        touch(release)
                        return False
                    # The wizard does not wait for the installer it leaves running.
                    self.assert_exits(wizard, "wizard ended by OK while the main installer ran")
                    touch(release)
                    return True

                log, events = self.run_isv(offers, {oid: ACCEPT}, label, during=close_while_installing,
                                           env={"ZELVANE_FAKE_INSTALLER_HOLD": windows_path(release)},
                                           held=answer == IDOK)
                self.assertEqual([s["arguments"] for s in log.wait_for(count=len(started), timeout_s=PAGE_TIMEOUT_S)], started)
                self.assertEqual([e for e, _ in events.pop(oid, [])], offer_events)
                self.assertEqual(sorted(e for package in events.values() for e, _ in package), main_events, events)

    def test_a_download_without_length_turns_the_bar_to_marquee(self):
        self.require_installer()
        offers = OFFERS[:2]
        # The main product comes without Content-Length. Each offer's answer waits a moment, so that
        # the bar can be looked at between the downloads.
        responses = {MAIN_URL: {"content_length": None}, offers[0][2]: {"delay": 4}, offers[1][2]: {"delay": 4}}
        mark = self.svc.mark()

        def bar_between_downloads(wizard, dialog, log):
            styles = []
            for route in (offers[0][2], offers[1][2]):
                host, path = route.split("/", 1)
                self.svc.wait_for(lambda e: (e["host"], e["path"]) == (host, "/" + path), since=mark,
                                  timeout=PAGE_TIMEOUT_MS / 1000)
                styles.append(self.driver.wait_control(dialog["hwnd"], PROGRESS_BAR)["style"] & PBS_MARQUEE)
            # Marquee after the download without a length, a plain bar again once the next one
            # reports its progress.
            self.assertEqual(styles, [PBS_MARQUEE, 0])
            return False

        log, events = self.run_isv(offers, {oid: ACCEPT for oid, *_ in offers}, "isv-marquee",
                                   responses=responses, during=bar_between_downloads)
        started = ["/S"] + [o[3] for o in offers]
        self.assertEqual(sorted(s["arguments"] for s in log.wait_for(count=len(started), timeout_s=PAGE_TIMEOUT_S)), sorted(started))
        self.assertEqual({oid: events.pop(oid, []) for oid, *_ in offers}, {oid: [("3", None)] for oid, *_ in offers})
        self.assertEqual(sorted(e for package in events.values() for e, _ in package), ["1", "3"], events)

    def run_isv(self, offers, clicks, label, ticked=False, error=False, env=None, during=None, outcomes=None,
                held=False, **scenario):
        """Runs the ISV wizard to its end: `clicks` names the button for each offer page shown, by
        offer id; Finish with the launch box as `ticked` says. `during(wizard, dialog, log)` runs once
        the offers are answered and returns true when it ended the wizard. `outcomes`: how many
        packages get event 2, 3 or 4 before Finish (default: every offer and the main product).
        `held`: the wizard ended while an installer ran from its work folder, which then stays with
        what is left of it registered for deletion at the next start of Windows.
        Returns the fake installer's log and the events per package as (event, reason)."""
        self.load(offers, **scenario)
        log = InstallerLog(label)
        mark = self.svc.mark()
        before = self.temp.work_entries()
        wizard = self.start(ISV_EXE, env=log.env(dict(
            env or {}, ZELVANE_FAKE_INSTALLER_PRODUCT="{commonappdata}\\Zelvane Web\\zvweb.exe")))
        observe = (lambda w, d: during(w, d, log)) if during else None
        try:
            self.drive(wizard, offers, clicks, ticked, label, mark, error, observe,
                       len(offers) + 1 if outcomes is None else outcomes)
        finally:
            # A run that fails half-way leaves no wizard behind for the next one.
            wizard.kill()
        left = self.temp.work_entries() - before
        if held:
            self.assertEqual(len(left), 1, left)
            name = left.pop()
            folder = self.temp.windows_path + name
            paths = [folder] + [folder + "\\" + f for f in os.listdir(os.path.join(self.temp.path, name))]
            pending = pending_deletions()
            self.assertEqual([p for p in paths if "\\??\\" + p.lower() not in pending], [], pending)
        else:
            self.assertEqual(left, set(), "the wizard removed its work folder")

        events = {}
        for entry in self.svc.log(mark, path="/zbd"):
            a = entry["analytics"]
            self.assertTrue(a["signature_ok"], a)
            events.setdefault(a["package"], []).append(
                (a["event"], a["reason"] if a["event"] == "2" else a["failure"] if a["failure"] else None))
        return log, events

    def drive(self, wizard, offers, clicks, ticked, label, mark, error, during, outcomes):
        dialog = self.wait_main_dialog(ISV_EXE)
        hwnd = dialog["hwnd"]
        self.driver.wait_control(hwnd, LANGUAGE_NEXT)
        self.driver.click(hwnd, LANGUAGE_NEXT)
        self.driver.wait_control(hwnd, LICENSE_AGREE, timeout_ms=PAGE_TIMEOUT_MS)
        self.driver.click(hwnd, LICENSE_AGREE)
        for index, (oid, name, *_) in enumerate(offers):
            if oid not in clicks:
                continue
            self.driver.wait_control(hwnd, PRODUCT_DISCLAIMER, text=name, timeout_ms=PAGE_TIMEOUT_MS)
            screenshot("%s-offer-%d" % (label, index + 1))
            self.driver.click(hwnd, clicks[oid])
        if during is not None and during(wizard, dialog):
            return

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
                          count=outcomes, timeout=60)
        if not ticked:
            self.driver.click(hwnd, LAUNCH_CHECK)
        self.driver.click(hwnd, FINISH)
        self.assert_exits(wizard, "wizard ended by Finish")
