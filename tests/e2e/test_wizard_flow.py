"""The wizard's first half end to end: language page, loading page against the local content
service, the page after loading, the error page, and closing with the exit question."""

import unittest

from harness import (DLM_EXE, EXIT_QUESTION_TEXT, IDCANCEL, IDOK, ISV_EXE, screenshot)
from service import CONTENT_HOST, ContentService, ServiceTestCase

# Controls that tell which page is shown (each is on one page only).
LANGUAGE_NEXT = 1010
LOADING_PROGRESS = 1043
LICENSE_AGREE = 1050
LICENSE_BACK = 1051
ERROR_CLOSE = 1035
ERROR_TITLE = 1036
ERROR_TEXT = 1037
MAIN_TITLE = 1008
MAIN_LOGO = 1007

LOAD_TIMEOUT_MS = 60000

NO_OFFERS = {"json": {"l": "US", "f": {"a": "", "m": 3}, "o": []}}


@unittest.skipUnless(ContentService.available(), "no content service in this run ($ZELVANE_RUN_DIR)")
class WizardFlowTest(ServiceTestCase):

    def scenario(self, name, config_route):
        self.svc.load_scenario({"name": name, "routes": {"/o": config_route, "/zbd": {"json": {}}}})

    def page(self, dialog, control_id, label, timeout_ms=20000):
        """Waits until the page with `control_id` shows and keeps a picture of the screen."""
        found = self.driver.wait_control(dialog["hwnd"], control_id, timeout_ms=timeout_ms)
        screenshot(label)
        return found

    def assert_no_messagebox(self, dialog):
        boxes = [w for w in self.driver.windows(pid=dialog["pid"]) if w["messagebox"] and w["visible"]]
        self.assertEqual(boxes, [], "no message box was expected")

    def test_isv_without_configuration_goes_to_license_page_and_back(self):
        self.require_pages(ISV_EXE)
        self.scenario("configuration unreachable", {"reset": True})
        mark = self.svc.mark()
        before = self.temp.work_entries()
        wizard = self.start(ISV_EXE)
        dialog = self.wait_main_dialog(ISV_EXE)
        self.page(dialog, LANGUAGE_NEXT, "isv-language-page")

        self.driver.click(dialog["hwnd"], LANGUAGE_NEXT)
        self.page(dialog, LOADING_PROGRESS, "isv-loading-page")
        self.page(dialog, LICENSE_AGREE, "isv-license-page", timeout_ms=LOAD_TIMEOUT_MS)
        self.assert_no_messagebox(dialog)
        self.assertFalse(self.driver.text(dialog["hwnd"], LOADING_PROGRESS)["visible"])
        requests = len(self.svc.log(mark, path="/o"))
        self.assertGreaterEqual(requests, 1, "the configuration was asked for")

        # Back leads to the language page; Next there to the license page again, without a second
        # main product or a second configuration request.
        self.driver.click(dialog["hwnd"], LICENSE_BACK)
        self.page(dialog, LANGUAGE_NEXT, "isv-language-page-after-back")
        self.assertFalse(self.driver.text(dialog["hwnd"], LICENSE_AGREE)["visible"])
        self.driver.click(dialog["hwnd"], LANGUAGE_NEXT)
        self.page(dialog, LICENSE_AGREE, "isv-license-page-again")
        self.assertEqual(len(self.svc.log(mark, path="/o")), requests, "the loading page ran once")
        starts = [a for a in self.svc.analytics(since=mark) if a["event"] == "1"]
        self.assertEqual(len(starts), 1, "event 1 is sent once, on the first Next")

        # Pages follow the license page: closing there asks first.
        self.driver.close(dialog["hwnd"])
        box = self.driver.wait_messagebox(pid=dialog["pid"])
        self.assertEqual((box["caption"], box["text"]), ("", EXIT_QUESTION_TEXT))
        self.driver.click(box["hwnd"], IDOK)
        self.assert_exits(wizard, "wizard closed on the license page")
        self.svc.wait_for(lambda e: e["analytics"]["event"] == "5", since=mark, path="/zbd")
        self.assertEqual(self.temp.work_entries(), before)

    def test_dlm_answer_without_product_shows_configuration_error(self):
        self.require_pages(DLM_EXE)
        self.scenario("DLM without i", NO_OFFERS)
        before = self.temp.work_entries()
        wizard = self.start(DLM_EXE)
        dialog = self.wait_main_dialog(DLM_EXE)
        self.page(dialog, LANGUAGE_NEXT, "dlm-language-page")
        self.driver.click(dialog["hwnd"], LANGUAGE_NEXT)

        self.page(dialog, ERROR_CLOSE, "dlm-error-page", timeout_ms=LOAD_TIMEOUT_MS)
        self.assertEqual(self.driver.text(dialog["hwnd"], ERROR_TITLE)["text"], "Something went wrong")
        self.assertEqual(self.driver.text(dialog["hwnd"], ERROR_TEXT)["text"], "Please try to download later")
        self.assertEqual(self.driver.text(dialog["hwnd"], ERROR_CLOSE)["text"], "Close")
        self.assertFalse(self.driver.text(dialog["hwnd"], LOADING_PROGRESS)["visible"])
        self.assert_no_messagebox(dialog)

        # Close on the error page ends the wizard without a question.
        self.driver.click(dialog["hwnd"], ERROR_CLOSE)
        self.assert_exits(wizard, "wizard closed from the error page")
        self.assertEqual(self.temp.work_entries(), before)

    def test_dlm_answer_names_the_product_in_caption_title_and_logo(self):
        self.require_pages(DLM_EXE)
        logo = "/f/e2e-dlm-logo.png"
        self.svc.load_scenario({"name": "DLM product", "routes": {
            "/o": {"json": {"l": "US", "f": {"a": "", "m": 3}, "o": [],
                            "i": {"ct": "Zelvane Web", "cu": "https://%s/zelvane/setup.exe" % CONTENT_HOST,
                                  "cl": "https://%s%s" % (CONTENT_HOST, logo)}}},
            logo: {"image": {"width": 16, "height": 16, "colour": "#2f6fb5"}},
            "/zbd": {"json": {}}}})
        mark = self.svc.mark()
        wizard = self.start(DLM_EXE)
        dialog = self.wait_main_dialog(DLM_EXE)
        self.page(dialog, LANGUAGE_NEXT, "dlm-language-page-before-answer")
        self.driver.click(dialog["hwnd"], LANGUAGE_NEXT)

        self.page(dialog, LICENSE_AGREE, "dlm-license-page", timeout_ms=LOAD_TIMEOUT_MS)
        self.assertEqual(self.driver.text(dialog["hwnd"])["text"], "Zelvane Web Setup")
        title = self.driver.text(dialog["hwnd"], MAIN_TITLE)
        self.assertEqual((title["text"], title["visible"]), ("Zelvane Web", True))
        self.assertTrue(self.driver.text(dialog["hwnd"], MAIN_LOGO)["visible"])
        self.assertEqual(len(self.svc.log(mark, path=logo)), 1, "the logo is fetched once")
        # Pages follow the license page: closing there asks first.
        self.driver.close(dialog["hwnd"])
        box = self.driver.wait_messagebox(pid=dialog["pid"])
        self.driver.click(box["hwnd"], IDOK)
        self.assert_exits(wizard, "DLM wizard closed on the license page")

    def test_closing_while_loading_asks_first(self):
        self.require_pages(ISV_EXE)
        self.scenario("slow configuration", dict(NO_OFFERS, delay=120))
        mark = self.svc.mark()
        before = self.temp.work_entries()
        wizard = self.start(ISV_EXE)
        dialog = self.wait_main_dialog(ISV_EXE)
        self.page(dialog, LANGUAGE_NEXT, "isv-language-page-slow")
        self.driver.click(dialog["hwnd"], LANGUAGE_NEXT)
        self.page(dialog, LOADING_PROGRESS, "isv-loading-page-slow")
        self.svc.wait_for(lambda e: True, since=mark, path="/o")

        self.driver.close(dialog["hwnd"])
        box = self.driver.wait_messagebox(pid=dialog["pid"])
        screenshot("isv-loading-exit-question")
        self.assertEqual((box["caption"], box["text"]), ("", EXIT_QUESTION_TEXT))
        self.assertEqual(box["buttons"], [IDOK, IDCANCEL])
        self.driver.click(box["hwnd"], IDCANCEL)
        self.driver.wait_gone(box["hwnd"])
        self.assertTrue(wizard.running(), "Cancel ended the wizard")
        self.assertTrue(self.driver.text(dialog["hwnd"], LOADING_PROGRESS)["visible"], "the loading page stays")

        self.driver.close(dialog["hwnd"])
        box = self.driver.wait_messagebox(pid=dialog["pid"])
        self.driver.click(box["hwnd"], IDOK)
        self.assert_exits(wizard, "wizard closed with OK while loading")
        # Event 5 for the main product: the package that sent event 1 on the first Next.
        [closing] = self.svc.wait_for(lambda e: e["analytics"]["event"] == "5", since=mark, path="/zbd")
        [start] = [a for a in self.svc.analytics(since=mark) if a["event"] == "1"]
        self.assertTrue(closing["analytics"]["signature_ok"])
        self.assertEqual(closing["analytics"]["package"], start["package"])
        self.assertEqual(self.temp.work_entries(), before)


if __name__ == "__main__":
    unittest.main()
