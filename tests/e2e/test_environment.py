"""The run's environment as the stub sees it: the test host names, the content service behind
them, and its CA trusted in the Wine prefix. A failure here explains every HTTPS failure after it."""

import json
import os
import socket
import ssl
import subprocess
import unittest
import urllib.request

import harness
from service import CONTENT_HOST, DOWNLOAD_HOST, WEBSITE_HOST, ContentService


@unittest.skipUnless(ContentService.available(), "no content service in this run ($ZELVANE_RUN_DIR)")
class TestEnvironment(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.svc = ContentService.from_env()

    def test_test_names_resolve_to_the_loopback_addresses(self):
        for name, address in ((CONTENT_HOST, "127.0.0.1"), (DOWNLOAD_HOST, "127.0.0.1"),
                              (WEBSITE_HOST, "127.0.0.1"), ("cdn.partner-a.test", "127.0.0.1"),
                              ("unreachable.zelvane.test", "127.0.0.2")):
            with self.subTest(name):
                self.assertEqual(socket.gethostbyname(name), address)
        with self.assertRaises(ConnectionRefusedError):
            socket.create_connection(("unreachable.zelvane.test", 443), timeout=10).close()

    def test_service_answers_by_name_with_a_certificate_of_the_run_ca(self):
        context = ssl.create_default_context(cafile=self.svc.ca)
        for name in (CONTENT_HOST, DOWNLOAD_HOST, WEBSITE_HOST):
            with self.subTest(name):
                with urllib.request.urlopen("https://%s/__control/status" % name, context=context,
                                            timeout=30) as resp:
                    self.assertTrue(json.load(resp)["ok"])

    def test_run_ca_is_trusted_in_the_prefix(self):
        tool = harness.exe_path("cert-import.exe")
        if not os.path.exists(tool):
            self.skipTest("no cert-import.exe in the build")
        ca = "Z:" + self.svc.info["ca_der"].replace("/", "\\")
        out = subprocess.run(["wine", tool, "has", ca], stdin=subprocess.DEVNULL, capture_output=True,
                             env=harness.wine_env(), timeout=120)
        self.assertEqual(out.returncode, 0, out.stdout.decode("utf-8", "replace")
                         + out.stderr.decode("utf-8", "replace")[-2000:])
