"""Client of the local content service for tests and tools (Python 3 standard library only).

    from client import ContentService          # tests/e2e: `from service import ContentService`
    svc = ContentService.from_env()           # the service of this run ($ZELVANE_RUN_DIR)
    svc.load_scenario({"routes": {"/o": [{"status": 503}, {"json": {...}}]}})
    mark = svc.mark()
    ... run the wizard ...
    events = svc.analytics(since=mark)        # decoded records, signature checked

The client connects to the listener's address directly and names the host through SNI and the
Host header, so it works with or without the test hosts file.
"""

import http.client
import json
import os
import socket
import ssl
import time

CONTENT_HOST = "content.zelvane.test"
DOWNLOAD_HOST = "download.zelvane.test"
WEBSITE_HOST = "www.zelvane.test"


class Response:
    def __init__(self, status, headers, body, error=None):
        self.status = status
        self.headers = headers      # list of (name, value)
        self.body = body            # bytes as far as they arrived
        self.error = error          # the exception that cut the answer short, if any

    def header(self, name):
        for k, v in self.headers:
            if k.lower() == name.lower():
                return v
        return None

    def json(self):
        return json.loads(self.body.decode("utf-8"))


class _Connection(http.client.HTTPSConnection):
    """HTTPS to a fixed address, with `server_name` for SNI and certificate checks."""

    def __init__(self, address, port, server_name, context, timeout):
        super().__init__(server_name, port, context=context, timeout=timeout)
        self._address = address
        self._server_name = server_name

    def connect(self):
        sock = socket.create_connection((self._address, self.port), self.timeout)
        self.sock = self._context.wrap_socket(sock, server_hostname=self._server_name)


class ContentService:
    def __init__(self, folder):
        with open(os.path.join(folder, "service.json"), encoding="utf-8") as f:
            self.info = json.load(f)
        self.folder = folder
        self.ca = self.info["ca"]
        self.listeners = {name: tuple(addr) for name, addr in self.info["listeners"].items()}
        self.context = ssl.create_default_context(cafile=self.ca)

    @classmethod
    def from_env(cls):
        run_dir = os.environ.get("ZELVANE_RUN_DIR")
        if not run_dir:
            raise RuntimeError("ZELVANE_RUN_DIR is not set: no content service for this run")
        return cls(os.path.join(run_dir, "content-service"))

    @staticmethod
    def available():
        run_dir = os.environ.get("ZELVANE_RUN_DIR")
        return bool(run_dir) and os.path.exists(os.path.join(run_dir, "content-service", "service.json"))

    # ------------------------------------------------------------ plain requests

    def request(self, method, path, body=None, headers=None, host=CONTENT_HOST, listener="https",
                context=None, timeout=30):
        """One request; a connection cut short gives a Response with `error` set."""
        address, port = self.listeners[listener]
        if listener == "http":
            conn = http.client.HTTPConnection(address, port, timeout=timeout)
        else:
            conn = _Connection(address, port, host, context or self.context, timeout)
        if isinstance(body, (dict, list)):
            body = json.dumps(body, separators=(",", ":"), sort_keys=True)
        if isinstance(body, str):
            body = body.encode("utf-8")
        hdrs = {"Host": host}
        hdrs.update(headers or {})
        try:
            conn.request(method, path, body=body, headers=hdrs)
            resp = conn.getresponse()
            data, error = b"", None
            try:
                data = resp.read()
            except http.client.IncompleteRead as e:
                data, error = e.partial, e
            return Response(resp.status, resp.getheaders(), data, error)
        finally:
            conn.close()

    def _control(self, method, what, payload=None):
        resp = self.request(method, "/__control/" + what, body=payload)
        if resp.status != 200:
            raise RuntimeError("content service: %s %s: %s %s" % (method, what, resp.status, resp.body[:300]))
        return resp.json()

    # ------------------------------------------------------------ scenario

    def load_scenario(self, scenario):
        """Replaces the scenario: a dict, or the path of a scenario file (relative files of a
        file's routes are then found beside it)."""
        if isinstance(scenario, str):
            with open(scenario, encoding="utf-8") as f:
                data = json.load(f)
            data.setdefault("base_dir", os.path.dirname(os.path.abspath(scenario)))
            scenario = data
        self._control("POST", "scenario", scenario)

    def add_routes(self, routes):
        """Adds or replaces routes of the current scenario (tests running side by side each use
        routes of their own)."""
        self._control("POST", "routes", routes)

    def scenario(self):
        return self._control("GET", "scenario")

    # ------------------------------------------------------------ log

    def log(self, since=0, path=None, kind="request"):
        """Logged entries after sequence number `since` (all kinds when kind is None)."""
        what = "log?since=%d" % since
        if path:
            what += "&path=" + path
        entries = self._control("GET", what)["entries"]
        return [e for e in entries if kind is None or e.get("kind") == kind]

    def mark(self):
        """The sequence number of the last logged entry: pass it as `since` later."""
        return self._control("GET", "status")["last"]

    def clear_log(self):
        return self._control("DELETE", "log")["last"]

    def analytics(self, since=0):
        """The "analytics" objects of the "/zbd" requests after `since`, each with its "seq"."""
        out = []
        for e in self.log(since, path="/zbd"):
            a = dict(e["analytics"])
            a["seq"] = e["seq"]
            out.append(a)
        return out

    def wait_for(self, predicate, since=0, path=None, count=1, timeout=30.0, poll=0.1):
        """Polls the log until `count` entries after `since` satisfy `predicate`; returns them.
        Raises TimeoutError with what was logged when the wait is over."""
        deadline = time.monotonic() + timeout
        while True:
            matches = [e for e in self.log(since, path) if predicate(e)]
            if len(matches) >= count:
                return matches
            if time.monotonic() > deadline:
                seen = ["%s %s%s" % (e["method"], e["host"], e["path"]) for e in self.log(since)]
                raise TimeoutError("content service: %d of %d expected requests after %.0f s; logged: %s"
                                   % (len(matches), count, timeout, seen))
            time.sleep(poll)


def main(argv=None):
    """python3 tools/content-service/client.py load FILE | routes JSON | log [SINCE] | clear
    against the service of $ZELVANE_RUN_DIR, or of --dir DIR."""
    import argparse
    parser = argparse.ArgumentParser(description="Control the local content service.")
    parser.add_argument("--dir", help="the service's folder (default $ZELVANE_RUN_DIR/content-service)")
    sub = parser.add_subparsers(dest="command", required=True)
    sub.add_parser("load", help="replace the scenario").add_argument("file")
    sub.add_parser("routes", help="add routes (a JSON object)").add_argument("json")
    sub.add_parser("log", help="print logged requests as JSON lines").add_argument("since", nargs="?", type=int,
                                                                                    default=0)
    sub.add_parser("clear", help="empty the log")
    args = parser.parse_args(argv)
    svc = ContentService(args.dir) if args.dir else ContentService.from_env()
    if args.command == "load":
        svc.load_scenario(args.file)
    elif args.command == "routes":
        svc.add_routes(json.loads(args.json))
    elif args.command == "log":
        for entry in svc.log(args.since, kind=None):
            print(json.dumps(entry, ensure_ascii=False, sort_keys=True))
    elif args.command == "clear":
        svc.clear_log()
    return 0


if __name__ == "__main__":
    import sys
    sys.exit(main())
