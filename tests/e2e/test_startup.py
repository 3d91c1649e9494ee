"""Every variant of the test build comes up with its main dialog and shuts down cleanly; the
exit question on the first page can be declined."""

import os
import unittest

from harness import (CLASSIC_EXE, DLM_EXE, EXIT_QUESTION_TEXT, IDCANCEL, IDOK, ISV_EXE, PLAIN_EXE,
                     VARIANTS, WizardTestCase, note)


class VariantStartupTest(WizardTestCase):

    def check_variant(self, exe_name):
        self.require_exe(exe_name)
        before = self.temp.work_entries()
        wizard = self.start(exe_name)
        dialog = self.wait_main_dialog(exe_name)
        self.assertEqual(dialog["caption"], VARIANTS[exe_name][0])
        self.assertEqual(len(self.temp.work_entries() - before), 1, "one work folder while running")
        pages = [c for c in self.driver.children(dialog["hwnd"]) if c["visible"] and c["class"] == "#32770"]
        if self.builds_pages(exe_name):
            self.assertEqual(len(pages), 1, "exactly one page should be shown, found %s" % pages)
        else:
            note("%s has no page templates yet: not looking for a page" % exe_name)
        self.assertTrue(wizard.running())

        self.close_first_page(wizard, dialog)
        self.assertEqual(self.temp.work_entries(), before, "work folder left behind")

    def test_isv(self):
        self.check_variant(ISV_EXE)

    def test_dlm(self):
        self.check_variant(DLM_EXE)

    def test_plain(self):
        self.check_variant(PLAIN_EXE)

    def test_classic(self):
        self.check_variant(CLASSIC_EXE)

    def test_without_the_rich_edit_library_it_ends_without_a_window(self):
        before = self.temp.work_entries()
        overrides = ";".join(o for o in (os.environ.get("WINEDLLOVERRIDES", ""), "riched32=d") if o)
        wizard = self.start(ISV_EXE, env={"WINEDLLOVERRIDES": overrides})
        self.assertEqual(wizard.wait_exit(), 0, "the stub should end by itself")
        self.assertEqual(self.temp.work_entries(), before, "nothing is made before the library is there")


class ExitQuestionTest(WizardTestCase):

    def test_cancel_keeps_the_wizard_and_a_later_ok_closes_it(self):
        self.require_pages(ISV_EXE)
        before = self.temp.work_entries()
        wizard = self.start(ISV_EXE)
        dialog = self.wait_main_dialog(ISV_EXE)

        self.driver.close(dialog["hwnd"])
        box = self.driver.wait_messagebox(pid=dialog["pid"])
        self.assertEqual(box["caption"], "")
        self.assertEqual(box["text"], EXIT_QUESTION_TEXT)
        self.assertEqual(box["buttons"], [IDOK, IDCANCEL])
        self.assertFalse(self.driver.text(dialog["hwnd"])["enabled"],
                         "the wizard must be disabled while its question is open")

        self.driver.click(box["hwnd"], IDCANCEL)
        self.driver.wait_gone(box["hwnd"])
        self.assertTrue(wizard.running(), "Cancel ended the wizard")
        state = self.driver.text(dialog["hwnd"])
        self.assertTrue(state["visible"] and state["enabled"], "the wizard is not usable after Cancel")
        self.assertEqual(len(self.temp.work_entries() - before), 1, "Cancel touched the work folder")

        # Still alive and listening: it asks again, and OK now closes it.
        self.close_first_page(wizard, dialog)
        self.assertEqual(self.temp.work_entries(), before)


if __name__ == "__main__":
    unittest.main()
