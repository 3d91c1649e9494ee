"""The other flows end to end, each run against the local service and checked afterwards in the
analytics log, the fake installer's records and the temporary folder: the DLM flow (the product the
configuration answer describes, saved into the user's Downloads folder and opened from the finish
page), the plain flow (language choice, welcome page and its links) and the classic flow (warning,
options and configurations pages, and the chosen options on the main installer's command line).

Links the wizard hands to the shell reach the fake installer, registered in the prefix as the
handler of http and https addresses (a browser) for the duration of a test."""

import json
import os
import shutil
import tempfile
import time
import unittest

from harness import (CLASSIC_EXE, DLM_EXE, PLAIN_EXE, InstallerLog, bin_dir, exe_path,
                     screenshot, windows_path, wine_reg)
from service import CONTENT_HOST, DOWNLOAD_HOST, WEBSITE_HOST, ContentService, ServiceTestCase

# Controls that tell which page is shown. Ids that several pages share (Next, Back) are clicked
# only while one of those pages is visible.
COMBO = 1000
NEXT = 1010
SPLASH_TEXT = 1011
SPLASH_TEXT_BRANDED = 1012
WELCOME_TITLE = 1017
PRODUCT_TITLE = 1008   # the welcome page's product line; in the DLM main dialog its title line
WELCOME_TEXT = 1018
PRIVACY_LINK = 1039
TERMS_LINK = 1040
LICENSE_LINK = 1041
LICENSE_LINKS = 1047
AGREE = 1050
BACK = 1051
ACCEPT = 1021
PRODUCT_DISCLAIMER = 1042
PROGRESS_DESC = 1026
FINISH = 1028
FINISH_TITLE = 1030
LAUNCH_RADIO = 1031
OPEN_FOLDER_RADIO = 1034
LAUNCH_CHECK = 1044
ERROR_CLOSE = 1035
ERROR_TITLE = 1036
ERROR_TEXT = 1037
WARNING_TITLE = 1052
WARNING_SUBTITLE = 1053
OPTIONS_TITLE = 1055
CONFIGURATIONS_TITLE = 1059
# The check boxes in the order of the options they store: 0-2 on the options page, 3-7 on the
# configurations page.
OPTION_BOXES = [1056, 1057, 1058, 1069, 1063, 1066, 1067, 1068]

PAGE_TIMEOUT_MS = 90000
MAIN_ROUTE = DOWNLOAD_HOST + "/endpoint/zvweb/os/riserollout/track/beta"
DLM_ROUTE = "/dlm/setup.exe"
# Wine takes these handlers from the machine's classes only (not from the user's).
URL_HANDLER = r"HKLM\Software\Classes\%s\shell\open\command"
# SPLASH_TEXT and Next of the plain language page, by language.
LANGUAGE_PAGE_TEXTS = {
    "English": ('To continue, please select your preferred language, and click "Next".', "Next"),
    "español": ('Para continuar, seleccione su idioma preferido y haga clic en "Siguiente".', "Siguiente"),
}


@unittest.skipUnless(ContentService.available(), "no content service in this run ($ZELVANE_RUN_DIR)")
class FlowsTest(ServiceTestCase):

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.installer = exe_path("fake-installer.exe")

    def require_flow(self, exe_name):
        self.require_exe(exe_name)
        self.require_pages(exe_name)
        if not os.path.isfile(self.installer):
            self.skipTest("no fake-installer.exe in this build")

    def load(self, name, answer, routes):
        self.svc.load_scenario({"name": name, "routes": dict(routes, **{"/o": {"json": answer},
                                                                       "/zbd": {"json": {}}})})

    def register_fake_browser(self):
        """Makes the fake installer the prefix's handler of http and https addresses until the test
        ends; then the handlers are put back as they were."""
        folder = tempfile.TemporaryDirectory(prefix="e2e-reg-")
        self.addCleanup(folder.cleanup)
        for scheme in ("http", "https"):
            key = URL_HANDLER % scheme
            saved = windows_path(os.path.join(folder.name, scheme + ".reg"))
            self.assertEqual(wine_reg("export", key, saved, "/y")[0], 0, "no %s handler in the prefix" % scheme)
            self.addCleanup(self.restore_key, key, saved)
            code, out = wine_reg("add", key, "/ve", "/d", '"%s" "%%1"' % windows_path(self.installer), "/f")
            self.assertEqual(code, 0, out)

    def restore_key(self, key, saved):
        wine_reg("delete", key, "/f")
        code, out = wine_reg("import", saved)
        self.assertEqual(code, 0, "restoring %s: %s" % (key, out))

    def page(self, hwnd, control_id, label, text=None):
        """Waits until the page with `control_id` (holding `text`) shows; keeps a picture of it."""
        found = self.driver.wait_control(hwnd, control_id, text=text, timeout_ms=PAGE_TIMEOUT_MS)
        screenshot(label)
        return found

    def text(self, hwnd, control_id=None):
        return self.driver.text(hwnd, control_id)["text"]

    def checked(self, hwnd, ids):
        """The check state of each visible control in `ids` (None for one not shown)."""
        states = {c["id"]: c.get("checked") for c in self.driver.children(hwnd) if c["visible"]}
        return [states.get(i) for i in ids]

    def wait_outcomes(self, mark, count):
        """Waits until `count` outcome events have reached the service: Finish sends no event 5 for
        a package whose outcome was delivered."""
        self.svc.wait_for(lambda e: e["analytics"]["event"] in ("-1", "2", "3", "4"), since=mark, path="/zbd",
                          count=count, timeout=60)

    def events(self, mark):
        """(event, record "5", failure text) of every analytics request since `mark`, in order;
        each must carry a valid signature."""
        out = []
        for a in self.svc.analytics(since=mark):
            self.assertTrue(a["signature_ok"], a)
            out.append((a["event"], a["record"]["5"], a["failure"]))
        return out

    def finish(self, wizard, hwnd, click_first=None):
        """Finish on the finish page (after clicking `click_first`); the wizard must end."""
        if click_first is not None:
            self.driver.click(hwnd, click_first)
        self.driver.click(hwnd, FINISH)
        self.assert_exits(wizard, "%s ended by Finish" % wizard.name)

    # ------------------------------------------------------------------ DLM

    def load_dlm(self, label, extra):
        product = {"ct": "Zelvane Web", "cu": "https://%s%s?build=7" % (DOWNLOAD_HOST, DLM_ROUTE),
                   "cl": "https://%s/f/e2e-dlm-logo.png" % CONTENT_HOST,
                   "cp": "https://%s/dlm/privacy" % WEBSITE_HOST, "ctu": "https://%s/dlm/terms" % WEBSITE_HOST,
                   "ch": "e2e-channel", "cfl": "e2e-feed"}
        product.update(extra)
        # The file comes slowly enough for the download page to be seen.
        self.load("DLM " + label, {"l": "US", "i": product}, {
            DOWNLOAD_HOST + DLM_ROUTE: {"file": self.installer, "delay": 2},
            "/f/e2e-dlm-logo.png": {"image": {"width": 16, "height": 16, "colour": "#2f6fb5"}}})

    def dlm_to_download(self, hwnd, label):
        """Language page, then the license page with the answer's product, then Agree."""
        self.page(hwnd, NEXT, label + "-language")
        self.driver.click(hwnd, NEXT)
        self.page(hwnd, AGREE, label + "-license")
        self.assertEqual(self.text(hwnd), "Zelvane Web Setup")
        self.assertEqual(self.text(hwnd, PRODUCT_TITLE), "Zelvane Web")
        disclaimer = self.text(hwnd, LICENSE_LINKS)
        self.assertIn('<a href="https://%s/dlm/terms">Terms</a>' % WEBSITE_HOST, disclaimer)
        self.assertIn('<a href="https://%s/dlm/privacy">Privacy Policy</a>' % WEBSITE_HOST, disclaimer)
        self.driver.click(hwnd, AGREE)

    def plant(self, name):
        """A copy of the fake installer named `name` beside the wizard (its program folder and
        current folder) until the test ends."""
        path = os.path.join(bin_dir(), name)
        shutil.copyfile(self.installer, path)
        self.addCleanup(os.remove, path)

    def wait_top_level(self, class_name, caption, timeout_s=20.0):
        """The visible top-level window of that class and caption, once there is one."""
        deadline = time.monotonic() + timeout_s
        while True:
            found = [w for w in self.driver.windows()
                     if w["visible"] and w["class"] == class_name and w["caption"] == caption]
            if found or time.monotonic() > deadline:
                self.assertTrue(found, "no %s window %r; visible: %s" % (class_name, caption,
                                                                        self.driver.visible_top_level()))
                return found[0]
            time.sleep(0.1)

    def test_dlm_saves_the_described_product_in_downloads_and_finish_opens_it(self):
        self.require_flow(DLM_EXE)
        # Explorer is the system's own, never a program of that name beside the wizard.
        self.plant("explorer.exe")
        downloads = self.driver.downloads_path()
        cases = [
            # (label, "i" members beyond the common ones, finish page radio button, saved as)
            ("cf-launch", {"cf": "ZelvaneWebInstaller.exe"}, LAUNCH_RADIO, "ZelvaneWebInstaller.exe"),
            ("title-open-folder", {}, OPEN_FOLDER_RADIO, "Zelvane Web.exe"),
        ]
        for label, extra, radio, saved_as in cases:
            with self.subTest(label):
                saved = os.path.join(downloads["unix"], saved_as)
                self.assertFalse(os.path.exists(saved), "left over by an earlier run: " + saved)
                self.addCleanup(lambda path=saved: os.path.exists(path) and os.remove(path))
                self.load_dlm(label, extra)
                log = InstallerLog("dlm-" + label)
                mark = self.svc.mark()
                before = self.temp.work_entries()
                wizard = self.start(DLM_EXE, env=log.env())
                try:
                    hwnd = self.wait_main_dialog(DLM_EXE)["hwnd"]
                    self.dlm_to_download(hwnd, "dlm-" + label)
                    self.page(hwnd, PROGRESS_DESC, "dlm-%s-download" % label,
                              text="Downloading Zelvane Web, sit back and relax")
                    self.page(hwnd, FINISH, "dlm-%s-finish" % label)
                    self.assertEqual(self.text(hwnd, FINISH_TITLE),
                                     "Thank you.\r\nYou have successfully downloaded Zelvane Web.")
                    self.assertEqual(self.checked(hwnd, [LAUNCH_RADIO, OPEN_FOLDER_RADIO]), [True, False])
                    with open(saved, "rb") as got, open(self.installer, "rb") as served:
                        self.assertTrue(got.read() == served.read(), "the saved file differs from the served one")
                    self.assertEqual(log.starts(), [], "the DLM wizard runs nothing itself")
                    self.wait_outcomes(mark, 1)
                    self.finish(wizard, hwnd, radio)
                finally:
                    wizard.kill()

                if radio == LAUNCH_RADIO:
                    # The saved file itself, without arguments.
                    [start] = log.wait_for(lambda s: True)
                    self.assertEqual((start["exe"].lower(), start["arguments"]),
                                     ((downloads["path"] + "\\" + saved_as).lower(), ""))
                else:
                    # Explorer shows the Downloads folder (with the file selected).
                    explorer = self.wait_top_level("ExplorerWClass", "Downloads")
                    screenshot("dlm-%s-explorer" % label)
                    self.driver.close(explorer["hwnd"])
                    self.driver.wait_gone(explorer["hwnd"])
                    self.assertEqual(log.starts(), [], "a program beside the wizard ran instead of Explorer")
                self.assertTrue(os.path.exists(saved), "the saved file stays in Downloads")
                self.assertEqual(self.temp.work_entries(), before, "Finish removed the work folder")
                # Event 1 on the first Next, before the answer named the product; 3 once it was saved.
                self.assertEqual(self.events(mark), [("1", "", ""), ("3", "Zelvane Web", "")])
                [delivered] = [a["record"] for a in self.svc.analytics(since=mark) if a["event"] == "3"]
                self.assertEqual((delivered["19"], delivered["21"], delivered["22"]),
                                 ("e2e-feed", "e2e-channel", "Zelvane Web"))
                self.assertEqual(len(self.svc.log(mark, path=DLM_ROUTE)), 1)

    def test_dlm_refuses_a_file_name_that_leaves_the_downloads_folder(self):
        self.require_flow(DLM_EXE)
        downloads = self.driver.downloads_path()
        outside = os.path.normpath(os.path.join(downloads["unix"], os.pardir, "Zelvane.exe"))
        self.load_dlm("cf outside Downloads", {"cf": "..\\Zelvane.exe"})
        mark = self.svc.mark()
        before = self.temp.work_entries()
        wizard = self.start(DLM_EXE)
        try:
            hwnd = self.wait_main_dialog(DLM_EXE)["hwnd"]
            self.dlm_to_download(hwnd, "dlm-cf-outside")
            self.page(hwnd, ERROR_CLOSE, "dlm-cf-outside-error")
            self.assertEqual((self.text(hwnd, ERROR_TITLE), self.text(hwnd, ERROR_TEXT)),
                             ("Error in downloading", "Please try to download later"))
            self.wait_outcomes(mark, 1)
            self.driver.click(hwnd, ERROR_CLOSE)
            self.assert_exits(wizard, "DLM wizard closed from the error page")
        finally:
            wizard.kill()
        self.assertFalse(os.path.exists(outside), "a file was written outside Downloads")
        self.assertEqual(self.temp.work_entries(), before)
        self.assertEqual(self.events(mark),
                         [("1", "", ""), ("3", "Zelvane Web", "DOWNLOAD FAILED: Invalid file name.")])
        self.assertEqual(self.svc.log(mark, path=DLM_ROUTE), [], "nothing is fetched for a refused name")

    # ------------------------------------------------------------------ plain

    def test_plain_language_choice_switches_the_texts_and_welcome_links_open_in_the_browser(self):
        self.require_flow(PLAIN_EXE)
        self.register_fake_browser()
        self.load("plain", {"l": "US"}, {MAIN_ROUTE: {"file": self.installer}})
        log = InstallerLog("plain")
        mark = self.svc.mark()
        before = self.temp.work_entries()
        wizard = self.start(PLAIN_EXE, env=log.env())
        try:
            hwnd = self.wait_main_dialog(PLAIN_EXE)["hwnd"]
            self.page(hwnd, COMBO, "plain-language-english")
            [combo] = [c for c in self.driver.children(hwnd) if c["id"] == COMBO]
            self.assertEqual((combo["items"], combo["selection"]), (["English", "español"], 0))
            self.assertEqual((self.text(hwnd, SPLASH_TEXT), self.text(hwnd, NEXT)), LANGUAGE_PAGE_TEXTS["English"])
            for language in ("español", "English", "español"):
                with self.subTest(language=language):
                    self.driver.select(hwnd, COMBO, language)
                    self.assertEqual((self.text(hwnd, SPLASH_TEXT), self.text(hwnd, NEXT)),
                                     LANGUAGE_PAGE_TEXTS[language])
            screenshot("plain-language-spanish")
            self.driver.click(hwnd, NEXT)

            # The welcome page, built after loading, speaks the chosen language.
            self.page(hwnd, WELCOME_TEXT, "plain-welcome")
            self.assertEqual(self.text(hwnd, WELCOME_TITLE), "Bienvenido a")
            self.assertEqual(self.text(hwnd, PRODUCT_TITLE), "Zelvane Web")
            self.assertEqual(self.text(hwnd, WELCOME_TEXT), 'Este asistente instalará Zelvane Web en su equipo. '
                                                            'Haga clic en "Siguiente" para continuar.')
            links = {c["id"]: (c["text"], c["visible"]) for c in self.driver.children(hwnd)
                     if c["id"] in (PRIVACY_LINK, TERMS_LINK)}
            self.assertEqual(links, {PRIVACY_LINK: ("Política de privacidad", True),
                                     TERMS_LINK: ("Contrato de licencia de usuario final", True)})
            self.assertFalse(self.driver.text(hwnd, LICENSE_LINK)["visible"], "no license address: no link")
            for link in (PRIVACY_LINK, TERMS_LINK):
                self.driver.click(hwnd, link)
            browsed = [s["arguments"] for s in log.wait_for(lambda s: s["arguments"].startswith('"http'), count=2)]
            self.assertEqual(sorted(browsed), ['"https://%s/legal/privacy-policy/"' % WEBSITE_HOST,
                                               '"https://%s/legal/terms-of-use/"' % WEBSITE_HOST])

            self.driver.click(hwnd, NEXT)
            self.page(hwnd, FINISH, "plain-finish")
            self.assertEqual(self.text(hwnd, FINISH_TITLE), "Gracias.\r\nLa instalación ha finalizado.")
            self.wait_outcomes(mark, 1)
            self.finish(wizard, hwnd, LAUNCH_CHECK)
        finally:
            wizard.kill()

        self.assertEqual(self.temp.work_entries(), before)
        [request] = self.svc.log(mark, path="/o")
        self.assertEqual(json.loads(request["body"])["l"], "es", "the configuration request names the choice")
        self.assertEqual([s["arguments"] for s in log.starts() if not s["arguments"].startswith('"http')], ["/S"])
        self.assertEqual(self.events(mark), [("1", "Zelvane Web", ""), ("3", "Zelvane Web", "")])

    # ------------------------------------------------------------------ classic

    def test_classic_pages_in_order_and_the_chosen_options_reach_the_main_installer(self):
        self.require_flow(CLASSIC_EXE)
        offer = "e2e-classic-offer"
        self.load("classic", {"l": "US", "f": {"a": "e2e-pub", "m": 3}, "o": [{
            "ad": {"o": offer, "f": "feed-classic"},
            "ps": {"dn": "Partner A Photo Editor", "i": offer + ".png",
                   "u": "https://cdn.partner-a.test/ClassicOfferSetup.exe", "p": "/quiet /c"}}]}, {
            MAIN_ROUTE: {"file": self.installer},
            "cdn.partner-a.test/ClassicOfferSetup.exe": {"file": self.installer},
            "/f/%s.png" % offer: {"image": {"width": 300, "height": 140, "colour": "#2060c0"}}})
        log = InstallerLog("classic")
        mark = self.svc.mark()
        before = self.temp.work_entries()
        wizard = self.start(CLASSIC_EXE, env=log.env())
        try:
            hwnd = self.wait_main_dialog(CLASSIC_EXE)["hwnd"]
            self.page(hwnd, NEXT, "classic-language")
            self.driver.click(hwnd, NEXT)

            # The warning page comes first after loading; no document has its texts.
            self.page(hwnd, WARNING_TITLE, "classic-warning")
            self.assertEqual((self.text(hwnd, WARNING_TITLE), self.text(hwnd, WARNING_SUBTITLE)),
                             ("WARNING_TITLE placeholder", "WARNING_SUBTITLE placeholder"))
            self.driver.click(hwnd, NEXT)
            # Back from the license page leads to the warning page, Back there to the language page,
            # and Next there to the warning page again.
            self.page(hwnd, AGREE, "classic-license")
            self.driver.click(hwnd, BACK)
            self.page(hwnd, WARNING_TITLE, "classic-warning-again")
            self.driver.click(hwnd, BACK)
            self.page(hwnd, SPLASH_TEXT_BRANDED, "classic-language-again")
            self.driver.click(hwnd, NEXT)
            self.page(hwnd, WARNING_TITLE, "classic-warning-third")
            self.driver.click(hwnd, NEXT)
            self.page(hwnd, AGREE, "classic-license-again")
            self.driver.click(hwnd, AGREE)

            self.page(hwnd, PRODUCT_DISCLAIMER, "classic-offer", text="Partner A Photo Editor")
            self.driver.click(hwnd, ACCEPT)

            # Every box starts ticked; the choices stay across Back and are stored on Next.
            self.page(hwnd, OPTIONS_TITLE, "classic-options")
            self.assertEqual(self.text(hwnd, OPTIONS_TITLE), "OPTIONS_TITLE placeholder")
            self.assertEqual(self.checked(hwnd, OPTION_BOXES[:3]), [True] * 3)
            self.driver.click(hwnd, OPTION_BOXES[1])
            self.driver.click(hwnd, NEXT)
            self.page(hwnd, CONFIGURATIONS_TITLE, "classic-configurations")
            self.assertEqual(self.checked(hwnd, OPTION_BOXES[3:]), [True] * 5)
            for box in (OPTION_BOXES[3], OPTION_BOXES[6]):
                self.driver.click(hwnd, box)
            self.driver.click(hwnd, BACK)
            self.page(hwnd, OPTIONS_TITLE, "classic-options-after-back")
            self.assertEqual(self.checked(hwnd, OPTION_BOXES[:3]), [True, False, True])
            self.driver.click(hwnd, NEXT)
            self.page(hwnd, CONFIGURATIONS_TITLE, "classic-configurations-again")
            self.assertEqual(self.checked(hwnd, OPTION_BOXES[3:]), [False, True, True, False, True])
            self.driver.click(hwnd, NEXT)

            self.page(hwnd, FINISH, "classic-finish")
            self.wait_outcomes(mark, 2)
            self.finish(wizard, hwnd, LAUNCH_CHECK)
        finally:
            wizard.kill()

        self.assertEqual(self.temp.work_entries(), before)
        # Options 0-7 as chosen: on, off, on, off, on, on, off, on. The code writes options 5, 6, 3,
        # "00", 4, "0101", 7, 5, 1, 2, 0, "0".
        arguments = [s["arguments"] for s in log.starts()]
        self.assertEqual(arguments[0], "/S /FORCEINSTALL 1000010101110110", "the main installer comes first")
        self.assertEqual(arguments[1:], ["/quiet /c"])
        events = self.events(mark)
        self.assertEqual(sorted((event, package) for event, package, _ in events),
                         sorted([("1", "Zelvane Web"), ("3", offer), ("3", "Zelvane Web")]))
        self.assertEqual(len(self.svc.log(mark, path="/o")), 1, "the loading page ran once")


if __name__ == "__main__":
    unittest.main()
