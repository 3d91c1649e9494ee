"""One wizard per wizard type at a time: a second copy is refused with a message box, removes
the work folder it made and exits, while the first copy carries on untouched."""

import unittest

from harness import (DLM_EXE, IDOK, ISV_EXE, PLAIN_EXE, SINGLE_INSTANCE_CAPTION,
                     SINGLE_INSTANCE_TEXT, WizardTestCase, screenshot)

LANGUAGE_PAGE_NEXT = 1010  # the language page's Next button


class SingleInstanceTest(WizardTestCase):

    def start_first(self):
        """Starts the ISV wizard and waits for its dialog; returns (wizard, dialog, the temp
        folder's work entries from before it started)."""
        before = self.temp.work_entries()
        first = self.start(ISV_EXE)
        dialog = self.wait_main_dialog(ISV_EXE)
        made = self.temp.work_entries() - before
        self.assertEqual(len(made), 1, "the first copy should have made one work folder, made %s" % made)
        return first, dialog, before

    def assert_refused(self, exe_name, first, first_dialog):
        with_first = self.temp.work_entries()
        second = self.start(exe_name)
        box = self.driver.wait_messagebox(caption=SINGLE_INSTANCE_CAPTION)
        self.assertNotEqual(box["pid"], first_dialog["pid"], "the box must come from the second copy")
        self.assertEqual(box["text"], SINGLE_INSTANCE_TEXT)
        self.assertEqual(box["buttons"], [IDOK])
        own = [w for w in self.driver.windows(pid=box["pid"]) if w["visible"] and not w["messagebox"]]
        self.assertEqual(own, [], "the refused copy shows a window besides its message box")

        self.driver.click(box["hwnd"], IDOK)
        self.assert_exits(second, "refused copy")
        self.driver.wait_gone(box["hwnd"])
        self.assertEqual(self.temp.work_entries(), with_first,
                         "the refused copy left its work folder behind, or removed the first one's")

        self.assertTrue(first.running(), "the first copy ended when the second was refused")
        self.assert_visible_main(first_dialog)

    def test_second_copy_is_refused_and_first_carries_on(self):
        first, dialog, before = self.start_first()
        if self.builds_pages(ISV_EXE):
            self.driver.wait_control(dialog["hwnd"], LANGUAGE_PAGE_NEXT)  # refused while the language page shows
        self.assert_refused(ISV_EXE, first, dialog)

        if self.builds_pages(ISV_EXE):
            # The first copy still shows its language page and still answers.
            self.assertTrue(self.driver.text(dialog["hwnd"], LANGUAGE_PAGE_NEXT)["visible"])
            screenshot("isv-language-page-after-refusal")
        self.close_first_page(first, dialog)
        self.assertEqual(self.temp.work_entries(), before, "the first copy left its work folder behind")

    def test_lock_goes_with_the_first_copy(self):
        # Once the first copy has closed, a new copy starts normally.
        first, dialog, before = self.start_first()
        self.assert_refused(ISV_EXE, first, dialog)
        self.close_first_page(first, dialog)

        again = self.start(ISV_EXE)
        dialog = self.wait_main_dialog(ISV_EXE)
        self.close_first_page(again, dialog)
        self.assertEqual(self.temp.work_entries(), before)

    def test_other_isv_variant_is_refused_while_isv_runs(self):
        # The lock is per wizard type, not per file: the plain stub is an ISV wizard too.
        self.require_exe(PLAIN_EXE)
        first, dialog, before = self.start_first()
        self.assert_refused(PLAIN_EXE, first, dialog)
        self.close_first_page(first, dialog)
        self.assertEqual(self.temp.work_entries(), before)

    def test_dlm_wizard_runs_beside_isv_wizard(self):
        # Wizards of different types do not exclude each other.
        self.require_exe(DLM_EXE)
        isv, isv_dialog, before = self.start_first()
        dlm = self.start(DLM_EXE)
        dlm_dialog = self.wait_main_dialog(DLM_EXE)
        self.assertNotEqual(dlm_dialog["pid"], isv_dialog["pid"])
        boxes = [w for w in self.driver.windows() if w["visible"] and w["messagebox"]]
        self.assertEqual(boxes, [], "a message box came up although the types differ")
        self.assertEqual(len(self.temp.work_entries() - before), 2, "each wizard makes its own work folder")

        self.close_first_page(dlm, dlm_dialog)
        self.assert_visible_main(isv_dialog)
        self.close_first_page(isv, isv_dialog)
        self.assertEqual(self.temp.work_entries(), before)


if __name__ == "__main__":
    unittest.main()
