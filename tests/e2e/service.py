"""The local content service's client (tools/content-service/client.py) for the e2e tests:
`from service import ContentService`, and the base class of the wizard tests that use it."""

import os
import sys

_TOOLS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "content-service")
if _TOOLS not in sys.path:
    sys.path.insert(0, os.path.normpath(_TOOLS))

from client import CONTENT_HOST, DOWNLOAD_HOST, WEBSITE_HOST, ContentService, Response  # noqa: E402,F401

from harness import WizardTestCase  # noqa: E402

DEFAULT_SCENARIO = os.path.normpath(os.path.join(_TOOLS, "scenarios", "default.json"))


class ServiceTestCase(WizardTestCase):
    """A wizard test against the local service of this run: `self.svc`, and the default scenario
    loaded again after each test."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.svc = ContentService.from_env()

    def setUp(self):
        super().setUp()
        self.addCleanup(self.svc.load_scenario, DEFAULT_SCENARIO)
