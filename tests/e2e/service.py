"""The local content service's client (tools/content-service/client.py) for the e2e tests:
`from service import ContentService`."""

import os
import sys

_TOOLS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "content-service")
if _TOOLS not in sys.path:
    sys.path.insert(0, os.path.normpath(_TOOLS))

from client import CONTENT_HOST, DOWNLOAD_HOST, WEBSITE_HOST, ContentService, Response  # noqa: E402,F401
