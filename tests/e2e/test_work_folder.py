"""The work folder goes with everything in it when the wizard closes, and a link inside it is
removed without touching what it points at."""

import os
import shutil
import tempfile
import unittest

from harness import ISV_EXE, WizardTestCase


class WorkFolderTest(WizardTestCase):

    def test_close_removes_the_contents_but_never_follows_a_link(self):
        before = self.temp.work_entries()
        wizard = self.start(ISV_EXE)
        dialog = self.wait_main_dialog(ISV_EXE)
        made = self.temp.work_entries() - before
        self.assertEqual(len(made), 1)
        work = os.path.join(self.temp.path, made.pop())

        outside = tempfile.mkdtemp(prefix="outside-", dir=self.temp.path)
        self.addCleanup(shutil.rmtree, outside, True)
        with open(os.path.join(outside, "precious.txt"), "w") as keep:
            keep.write("not the wizard's")
        os.makedirs(os.path.join(work, "offer", "nested"))
        for name in ("setup.exe", os.path.join("offer", "nested", "part.bin")):
            with open(os.path.join(work, name), "wb") as f:
                f.write(b"MZ")
        os.chmod(os.path.join(work, "setup.exe"), 0o444)
        os.symlink(outside, os.path.join(work, "link"))

        self.close_first_page(wizard, dialog)
        self.assertTrue(os.path.isfile(os.path.join(outside, "precious.txt")),
                        "removing the work folder went through the link")
        # Wine 8 reports a Unix link to a folder as a reparse point but cannot remove it through
        # the Win32 calls (Windows removes it with RemoveDirectoryW): the link, and so its folder,
        # may stay. Nothing else may.
        left = os.listdir(work) if os.path.lexists(work) else []
        self.assertIn(left, ([], ["link"]), "the work folder kept more than the link")


if __name__ == "__main__":
    unittest.main()
