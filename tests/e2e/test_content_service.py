"""The local content service itself: a private instance on free ports (no root, no namespace),
checked the way the stub and the tests rely on it."""

import hashlib
import http.client
import json
import os
import signal
import socket
import ssl
import struct
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import warnings

from service import CONTENT_HOST, ContentService

HERE = os.path.dirname(os.path.abspath(__file__))
SERVICE_DIR = os.path.normpath(os.path.join(HERE, "..", "..", "tools", "content-service"))
START_TIMEOUT_S = 60


def start_instance(folder):
    """A service on free ports of the loopback address; returns (process, client)."""
    ready = os.path.join(folder, "ready")
    proc = subprocess.Popen(
        [sys.executable, "-B", os.path.join(SERVICE_DIR, "content_service.py"), "--quiet",
         "--dir", folder, "--ready", ready, "--https", "127.0.0.1:0", "--http", "127.0.0.1:0",
         "--legacy-tls", "127.0.0.3:0", os.path.join(SERVICE_DIR, "scenarios", "default.json")],
        stdin=subprocess.DEVNULL)
    deadline = time.monotonic() + START_TIMEOUT_S
    while not os.path.exists(ready):
        if proc.poll() is not None or time.monotonic() > deadline:
            proc.kill()
            raise RuntimeError("the content service did not start")
        time.sleep(0.05)
    return proc, ContentService(folder)


def stop_instance(proc):
    proc.send_signal(signal.SIGTERM)
    try:
        return proc.wait(timeout=30)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()
        return None


def envelope(record, compact=True):
    data = json.dumps(record, separators=(",", ":"), sort_keys=True)
    env = {"data": data, "table": "zb_analytics"}
    return json.dumps(env, separators=(",", ":"), sort_keys=True) if compact else json.dumps(env)


def signature(user, stamp):
    return "Signature=" + hashlib.sha256((user + stamp).encode("utf-8")).hexdigest()


class ContentServiceTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory(prefix="content-service-test.")
        cls.proc, cls.svc = start_instance(cls.tmp.name)

    @classmethod
    def tearDownClass(cls):
        stop_instance(cls.proc)
        cls.tmp.cleanup()

    def setUp(self):
        self.mark = self.svc.mark()

    def routes(self, routes):
        self.svc.add_routes(routes)

    # ------------------------------------------------------------ analytics

    def test_analytics_signature_and_envelope_are_checked(self):
        record = {"1": "user-guid", "2": "20250102030405", "5": "offer-7", "6": "2", "13": "PN NO SHOW", "12": ""}
        good = signature("user-guid", "20250102030405")
        cases = [
            # name, body, Authorization, status, envelope_ok, signature_ok, canonical
            ("valid", envelope(record), good, 200, True, True, True),
            ("forged signature", envelope(record), signature("user-guid", "20250102030406"), 403, True, False, True),
            ("parts swapped", envelope(record), signature("20250102030405", "user-guid"), 403, True, False, True),
            ("no header", envelope(record), None, 403, True, False, True),
            ("blanks in the envelope", envelope(record, compact=False), good, 200, True, True, False),
            ("wrong table", json.dumps({"data": json.dumps(record), "table": "other"}), good, 400, False, False, None),
            ("record not a string", json.dumps({"data": record, "table": "zb_analytics"}), good, 400, False, False, None),
            ("not JSON", "data=1", good, 400, False, False, None),
        ]
        for name, body, auth, status, envelope_ok, signature_ok, canonical in cases:
            with self.subTest(name):
                mark = self.svc.mark()
                headers = {"Content-Type": "application/json"}
                if auth:
                    headers["Authorization"] = auth
                resp = self.svc.request("POST", "/zbd", body=body, headers=headers)
                self.assertEqual(resp.status, status)
                [a] = self.svc.analytics(since=mark)
                self.assertEqual((a["envelope_ok"], a["signature_ok"]), (envelope_ok, signature_ok))
                if envelope_ok:
                    self.assertEqual(a["canonical"], canonical)
                    self.assertEqual((a["event"], a["package"], a["reason"], a["failure"]),
                                     ("2", "offer-7", "PN NO SHOW", ""))

    def test_analytics_route_answers_good_requests_in_turn(self):
        self.routes({"/zbd": [{"status": 503}, {"status": 200}]})
        try:
            record = {"1": "u", "2": "t", "6": "5"}
            statuses = [self.svc.request("POST", "/zbd", body=envelope(record),
                                         headers={"Authorization": signature("u", "t")}).status
                        for _ in range(3)]
            self.assertEqual(statuses, [503, 200, 200])
        finally:
            self.routes({"/zbd": {"status": 200, "json": {}}})

    # ------------------------------------------------------------ configuration and files

    def test_sequence_of_answers_ends_on_its_last(self):
        self.routes({"/seq": [{"status": 503}, {"status": 500, "body": "x"}, {"json": {"o": []}}]})
        answers = [self.svc.request("POST", "/seq", body="{}") for _ in range(4)]
        self.assertEqual([a.status for a in answers], [503, 500, 200, 200])
        self.assertEqual(answers[3].json(), {"o": []})

    def test_body_text_is_sent_as_written(self):
        text = '{ "i" : { "ct" : "Zelvane Web" },\n\t"o": [] }'
        self.routes({"/raw": {"body": text}})
        self.assertEqual(self.svc.request("POST", "/raw").body.decode("utf-8"), text)

    def test_expect_continue_gets_the_final_answer_first(self):
        # Wine's WinHTTP fails a POST whose answer starts with an interim 100.
        address, port = self.svc.listeners["https"]
        body = b'{"a":"Ostrel"}'
        request = (b"POST /o HTTP/1.1\r\nHost: content.zelvane.test\r\nExpect: 100-continue\r\n"
                   b"Content-Type: application/json\r\nContent-Length: %d\r\n\r\n%s" % (len(body), body))
        with socket.create_connection((address, port), timeout=30) as raw:
            with self.svc.context.wrap_socket(raw, server_hostname=CONTENT_HOST) as tls:
                tls.sendall(request)
                first = tls.recv(12)
        self.assertEqual(first, b"HTTP/1.1 200")

    def test_request_is_logged_with_host_headers_and_body(self):
        self.routes({"content.zelvane.test/logged": {"status": 204}})
        self.svc.request("POST", "/logged?x=1", body='{"a":"b"}', headers={"Expect-Nothing": "1"})
        [e] = self.svc.log(self.mark, path="/logged")
        self.assertEqual((e["host"], e["method"], e["query"], e["body"], e["sni"], e["tls"]),
                         (CONTENT_HOST, "POST", "x=1", '{"a":"b"}', CONTENT_HOST, "TLSv1.3"))
        self.assertIn(["Expect-Nothing", "1"], e["headers"])
        self.assertEqual(e["response"]["status"], 204)

    def test_host_specific_route_wins_over_path_route(self):
        self.routes({"/same": {"body": "any"}, "download.zelvane.test/same": {"body": "download"}})
        self.assertEqual(self.svc.request("GET", "/same", host="download.zelvane.test").body, b"download")
        self.assertEqual(self.svc.request("GET", "/same", host="www.zelvane.test").body, b"any")
        self.assertEqual(self.svc.request("GET", "/no-such-route").status, 404)

    def test_generated_truncated_and_unsized_bodies(self):
        self.routes({
            "/gen": {"generate": 200000},
            "/short": {"generate": 1000, "truncate": 100},
            "/longer": {"generate": 100, "content_length": 5000},
            "/unsized": {"generate": 3000, "content_length": None},
        })
        gen = self.svc.request("GET", "/gen")
        self.assertEqual(gen.body, bytes(p % 251 for p in range(200000)))
        self.assertEqual(gen.header("Content-Length"), "200000")
        for path, declared, received in (("/short", "1000", 100), ("/longer", "5000", 100)):
            with self.subTest(path):
                resp = self.svc.request("GET", path)
                self.assertEqual(resp.header("Content-Length"), declared)
                self.assertIsInstance(resp.error, http.client.IncompleteRead)
                self.assertEqual(len(resp.body), received)
        unsized = self.svc.request("GET", "/unsized")
        self.assertIsNone(unsized.header("Content-Length"))
        self.assertIsNone(unsized.error)
        self.assertEqual(len(unsized.body), 3000)

    def test_image_is_a_png_of_the_asked_size(self):
        self.routes({"/f/offer.png": {"image": {"width": 300, "height": 140, "colour": "#102030"}}})
        resp = self.svc.request("GET", "/f/offer.png")
        self.assertEqual(resp.header("Content-Type"), "image/png")
        self.assertEqual(resp.body[:8], b"\x89PNG\r\n\x1a\n")
        self.assertEqual(struct.unpack(">II", resp.body[16:24]), (300, 140))

    def test_redirects(self):
        self.routes({
            "/chain": {"redirect": "https://download.zelvane.test/__gen/bytes/10", "hops": 3},
            "/to-http": {"redirect": "http://download.zelvane.test/plain"},
            "/no-location": {"status": 302},
            "/long": {"redirect": "https://download.zelvane.test/" + "a" * 300, "status": 301},
        })
        path, hosts, hops = "/chain", [], 0
        while True:
            resp = self.svc.request("GET", path)
            if resp.status != 302:
                break
            hops += 1
            location = resp.header("Location")
            self.assertTrue(location.startswith("https://"), location)
            rest = location[len("https://"):]
            host, path = rest.split("/", 1)[0], "/" + rest.split("/", 1)[1]
            hosts.append(host)
        self.assertEqual((hops, resp.status, resp.body), (3, 200, bytes(range(10))))
        self.assertEqual(hosts[-1], "download.zelvane.test")
        self.assertEqual(self.svc.request("GET", "/to-http").header("Location"), "http://download.zelvane.test/plain")
        no_location = self.svc.request("GET", "/no-location")
        self.assertEqual((no_location.status, no_location.header("Location")), (302, None))
        self.assertEqual(len(self.svc.request("GET", "/long").header("Location")), 330)
        # The plain listener serves the same routes and logs its scheme.
        self.svc.request("GET", "/to-http", listener="http", host="download.zelvane.test")
        self.assertEqual(self.svc.log(self.mark, path="/to-http")[-1]["scheme"], "http")

    # ------------------------------------------------------------ broken connections

    def test_reset_ends_the_connection_without_an_answer(self):
        self.routes({"/reset": {"reset": True}})
        with self.assertRaises((ConnectionError, http.client.RemoteDisconnected, ssl.SSLError)):
            self.svc.request("POST", "/reset", body="{}")
        self.assertEqual(self.svc.log(self.mark, path="/reset")[0]["response"]["reset"], True)

    def test_stall_never_answers(self):
        self.routes({"/stall": {"stall": True}})
        with self.assertRaises(socket.timeout):
            self.svc.request("POST", "/stall", body="{}", timeout=1)
        self.assertEqual(len(self.svc.log(self.mark, path="/stall")), 1)

    # ------------------------------------------------------------ TLS

    def test_certificate_names_every_test_host(self):
        for name in self.svc.info["names"] + ["other.zelvane.test"]:
            with self.subTest(name):
                resp = self.svc.request("GET", "/__gen/bytes/1", host=name)
                self.assertEqual(resp.status, 200)

    def test_protocols(self):
        old = ssl.create_default_context(cafile=self.svc.ca)   # TLS 1.0 and 1.1 only
        old.set_ciphers("DEFAULT:@SECLEVEL=0")
        with warnings.catch_warnings():
            warnings.simplefilter("ignore", DeprecationWarning)
            old.minimum_version = ssl.TLSVersion.TLSv1
            old.maximum_version = ssl.TLSVersion.TLSv1_1
        with self.assertRaises(ssl.SSLError):
            self.svc.request("GET", "/__gen/bytes/1", context=old)
        self.assertEqual(self.svc.log(self.mark, kind="tls_error")[0]["listener"], "https")
        tls12 = ssl.create_default_context(cafile=self.svc.ca)
        tls12.maximum_version = ssl.TLSVersion.TLSv1_2
        self.svc.request("GET", "/tls12", context=tls12)
        self.assertEqual(self.svc.log(self.mark, path="/tls12")[0]["tls"], "TLSv1.2")
        self.assertEqual(self.svc.request("GET", "/__gen/bytes/1", context=old, listener="legacy_tls",
                                          host="legacy-tls.zelvane.test").status, 200)
        with self.assertRaises(ssl.SSLError):
            self.svc.request("GET", "/__gen/bytes/1", context=tls12, listener="legacy_tls",
                             host="legacy-tls.zelvane.test")

    # ------------------------------------------------------------ control

    def test_control_rejects_bad_scenarios_and_clears_the_log(self):
        for bad in ('{"routes": {"/o": {"stauts": 200}}}', '{"routes": {"/o": []}}', "{", '{"route": {}}'):
            with self.subTest(bad):
                self.assertEqual(self.svc.request("POST", "/__control/scenario", body=bad).status, 400)
        self.assertEqual(self.svc.request("GET", "/o").status, 200)   # the scenario stayed
        last = self.svc.clear_log()
        self.assertEqual(self.svc.log(0), [])
        self.svc.request("GET", "/after-clear")
        self.assertEqual([e["seq"] for e in self.svc.log(0)], [last + 1])


class ServiceLifetimeTest(unittest.TestCase):
    def test_sigterm_ends_the_service_while_a_request_stalls(self):
        with tempfile.TemporaryDirectory(prefix="content-service-test.") as folder:
            proc, svc = start_instance(folder)
            try:
                svc.add_routes({"/stall": {"stall": True}})
                def stall():
                    try:
                        svc.request("POST", "/stall", body="{}", timeout=60)
                    except OSError:
                        pass   # the connection ends with the service
                stalled = threading.Thread(target=stall, daemon=True)
                stalled.start()
                svc.wait_for(lambda e: e["path"] == "/stall")
            finally:
                rc = stop_instance(proc)
            self.assertEqual(rc, 0)
            stalled.join(30)


if __name__ == "__main__":
    unittest.main()
