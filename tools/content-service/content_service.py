#!/usr/bin/env python3
"""Local stand-in for the configuration, analytics and file hosts of Zelvane Web Setup.

HTTPS (TLS 1.2 or later) on the loopback address for every name of tools/content-service/hosts,
with a certificate from a test CA made for this run; a plain-HTTP listener (targets of redirects
to http); a TLS 1.0-only listener for clients that must refuse it. What it answers comes from a
scenario (JSON, see README.md); every request is logged as a JSON line; requests to "/zbd" are
decoded and their signature is checked like the real analytics receiver does. Tests switch the
scenario and read the log through /__control/ on any host (client.py).

Python 3 standard library only.
"""

import argparse
import base64
import hashlib
import http.server
import json
import os
import signal
import socket
import socketserver
import ssl
import struct
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse
import warnings
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_SCENARIO = os.path.join(HERE, "scenarios", "default.json")
HOSTS_FILE = os.path.join(HERE, "hosts")

CONTROL_PREFIX = "/__control/"
HOP_PREFIX = "/__hop/"
GEN_BYTES_PREFIX = "/__gen/bytes/"
ANALYTICS_PATH = "/zbd"
ANALYTICS_TABLE = "zb_analytics"

STALL_MAX_S = 3600        # a stall without a bound still ends when the service stops
DELAY_MAX_S = 600
HANDSHAKE_TIMEOUT_S = 15
IDLE_TIMEOUT_S = 120
CHUNK = 64 * 1024
PATTERN_PERIOD = 251      # generated body: the byte at offset p is p % 251
_PATTERN = bytes(p % PATTERN_PERIOD for p in range(CHUNK + PATTERN_PERIOD))


def pattern_bytes(offset, length):
    """The generated body's bytes [offset, offset + length), length <= CHUNK."""
    start = offset % PATTERN_PERIOD
    return _PATTERN[start:start + length]


def now_iso():
    t = time.time()
    return time.strftime("%Y-%m-%dT%H:%M:%S", time.gmtime(t)) + ".%03dZ" % int((t % 1) * 1000)


# ---------------------------------------------------------------- certificates

def host_names(hosts_file=HOSTS_FILE):
    """Every name of the hosts file, in order, without duplicates."""
    names = []
    with open(hosts_file, encoding="utf-8") as f:
        for line in f:
            fields = line.split("#", 1)[0].split()
            for name in fields[1:]:
                if name not in names and not name.startswith("ip6-"):
                    names.append(name)
    return names


def make_certificates(folder, names):
    """A test CA and a server certificate for `names` (plus *.zelvane.test) in `folder`."""
    ca_key, ca_pem = os.path.join(folder, "ca.key"), os.path.join(folder, "ca.pem")
    key, csr, pem = (os.path.join(folder, n) for n in ("server.key", "server.csr", "server.pem"))
    ext = os.path.join(folder, "server.ext")
    stamp = time.strftime("%Y%m%d%H%M%S")

    def openssl(*args):
        subprocess.run(("openssl",) + args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)

    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-sha256", "-days", "30",
            "-keyout", ca_key, "-out", ca_pem,
            "-subj", "/O=Zelvane test/CN=Zelvane Test CA %s-%d" % (stamp, os.getpid()),
            "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign,cRLSign",
            "-addext", "subjectKeyIdentifier=hash")
    sans = ",".join("DNS:" + n for n in names + ["*.zelvane.test"])
    with open(ext, "w", encoding="ascii") as f:
        f.write("basicConstraints=critical,CA:FALSE\n"
                "keyUsage=critical,digitalSignature,keyEncipherment\n"
                "extendedKeyUsage=serverAuth\n"
                "subjectKeyIdentifier=hash\n"
                "authorityKeyIdentifier=keyid\n"
                "subjectAltName=%s\n" % sans)
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-sha256", "-keyout", key, "-out", csr,
            "-subj", "/O=Zelvane test/CN=" + next((n for n in names if "." in n), "localhost"))
    openssl("x509", "-req", "-sha256", "-days", "30", "-in", csr, "-CA", ca_pem, "-CAkey", ca_key,
            "-CAcreateserial", "-out", pem, "-extfile", ext)
    with open(ca_pem, "rb") as f:
        der = ssl.PEM_cert_to_DER_cert(f.read().decode("ascii"))
    with open(os.path.join(folder, "ca.der"), "wb") as f:
        f.write(der)
    return ca_pem, pem, key


def server_context(cert, key, legacy=False):
    ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    if legacy:
        # Old protocols are off at the default security level of OpenSSL 3.
        ctx.set_ciphers("DEFAULT:@SECLEVEL=0")
        with warnings.catch_warnings():
            warnings.simplefilter("ignore", DeprecationWarning)
            ctx.minimum_version = ssl.TLSVersion.TLSv1
            ctx.maximum_version = ssl.TLSVersion.TLSv1
    else:
        ctx.minimum_version = ssl.TLSVersion.TLSv1_2
    ctx.load_cert_chain(cert, key)

    def remember_sni(sock, name, _ctx):
        sock.zelvane_sni = name
    ctx.sni_callback = remember_sni
    return ctx


# ---------------------------------------------------------------- images

def png_image(width, height, rgb):
    """A solid-colour PNG (8-bit RGB)."""
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)
    row = b"\x00" + bytes(rgb) * width
    raw = row * height
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def parse_colour(text):
    text = text.lstrip("#")
    if len(text) != 6:
        raise ValueError("colour must be #rrggbb")
    return [int(text[i:i + 2], 16) for i in (0, 2, 4)]


# ---------------------------------------------------------------- scenarios

class ScenarioError(ValueError):
    pass


RESPONSE_KEYS = {"status", "headers", "content_type", "body", "json", "base64", "file", "generate",
                 "image", "content_length", "truncate", "delay", "reset", "stall", "redirect", "hops"}
BODY_KEYS = ("body", "json", "base64", "file", "generate", "image")


def check_response(resp, where):
    if not isinstance(resp, dict):
        raise ScenarioError("%s: a response must be an object" % where)
    unknown = set(resp) - RESPONSE_KEYS
    if unknown:
        raise ScenarioError("%s: unknown keys %s" % (where, ", ".join(sorted(unknown))))
    if sum(1 for k in BODY_KEYS if k in resp) > 1:
        raise ScenarioError("%s: at most one of %s" % (where, ", ".join(BODY_KEYS)))
    if "status" in resp and not isinstance(resp["status"], int):
        raise ScenarioError("%s: status must be a number" % where)
    if "hops" in resp and "redirect" not in resp:
        raise ScenarioError("%s: hops needs redirect" % where)


def check_scenario(scenario):
    if not isinstance(scenario, dict):
        raise ScenarioError("a scenario must be a JSON object")
    unknown = set(scenario) - {"name", "routes", "strict_analytics", "base_dir", "comment"}
    if unknown:
        raise ScenarioError("unknown scenario keys: " + ", ".join(sorted(unknown)))
    routes = scenario.get("routes", {})
    if not isinstance(routes, dict):
        raise ScenarioError("routes must be an object")
    for key, value in routes.items():
        if not key.startswith("/") and "/" not in key:
            raise ScenarioError("route %r: a path (/...) or host/path" % key)
        seq = value if isinstance(value, list) else [value]
        if not seq:
            raise ScenarioError("route %r: an empty sequence" % key)
        for i, resp in enumerate(seq):
            check_response(resp, "route %r[%d]" % (key, i))
    return scenario


def load_scenario_file(path):
    with open(path, encoding="utf-8") as f:
        scenario = json.load(f)
    check_scenario(scenario)
    scenario.setdefault("base_dir", os.path.dirname(os.path.abspath(path)))
    return scenario


class State:
    """Scenario, sequence positions and the request log, shared by all listeners."""

    def __init__(self, folder, scenario):
        self.lock = threading.Lock()
        self.stop = threading.Event()
        self.folder = folder
        self.log_path = os.path.join(folder, "requests.jsonl")
        self.log_file = open(self.log_path, "a", encoding="utf-8")
        self.entries = []
        self.seq = 0
        self.scenario = {}
        self.positions = {}
        self.set_scenario(scenario)

    def set_scenario(self, scenario):
        check_scenario(scenario)
        with self.lock:
            self.scenario = scenario
            self.scenario.setdefault("routes", {})
            self.positions = {}

    def add_routes(self, routes):
        check_scenario({"routes": routes})
        with self.lock:
            self.scenario["routes"].update(routes)
            for key in routes:
                self.positions.pop(key, None)

    def strict_analytics(self):
        return self.scenario.get("strict_analytics", True)

    def next_response(self, host, path, query):
        """(route key, response object) for a request, advancing the route's sequence."""
        routes = self.scenario.get("routes", {})
        candidates = []
        if query:
            candidates += [host + path + "?" + query, path + "?" + query]
        candidates += [host + path, path]
        with self.lock:
            for key in candidates:
                if key in routes:
                    value = routes[key]
                    if not isinstance(value, list):
                        return key, value
                    i = self.positions.get(key, 0)
                    self.positions[key] = i + 1
                    return key, value[min(i, len(value) - 1)]
        return None, None

    def record(self, entry):
        with self.lock:
            self.seq += 1
            entry["seq"] = self.seq
            self.entries.append(entry)
            self.log_file.write(json.dumps(entry, ensure_ascii=False, sort_keys=True) + "\n")
            self.log_file.flush()
        return entry

    def read_log(self, since=0):
        with self.lock:
            return [e for e in self.entries if e["seq"] > since], self.seq

    def clear_log(self):
        """Empties what /__control/log shows; the file keeps every line."""
        with self.lock:
            self.entries = []
            self.log_file.write(json.dumps({"cleared_after": self.seq}) + "\n")
            self.log_file.flush()
            return self.seq

    def resolve_file(self, name):
        if os.path.isabs(name):
            return name
        return os.path.join(self.scenario.get("base_dir") or HERE, name)


# ---------------------------------------------------------------- analytics check

def check_analytics(body, headers):
    """Decodes an analytics request as the receiver does; returns the log's "analytics" object."""
    result = {"envelope_ok": False, "signature_ok": False, "error": None}
    signature = None
    for name, value in headers:
        if name.lower() == "authorization":
            signature = value
    result["authorization"] = signature
    try:
        envelope = json.loads(body.decode("utf-8"))
        if not isinstance(envelope, dict):
            raise ValueError("the envelope is not an object")
        if set(envelope) != {"data", "table"}:
            raise ValueError("envelope keys are %s, not data and table" % sorted(envelope))
        if envelope["table"] != ANALYTICS_TABLE:
            raise ValueError("table is %r" % envelope["table"])
        if not isinstance(envelope["data"], str):
            raise ValueError("data is not a string")
        record = json.loads(envelope["data"])
        if not isinstance(record, dict):
            raise ValueError("the record is not an object")
    except (ValueError, UnicodeDecodeError) as e:
        result["error"] = str(e)
        return result
    result["envelope_ok"] = True
    # Compact, sorted keys: what the stub's serialiser writes, for the envelope and the record.
    compact = dict(separators=(",", ":"), sort_keys=True, ensure_ascii=False)
    result["canonical"] = (body.decode("utf-8") == json.dumps(envelope, **compact)
                           and envelope["data"] == json.dumps(record, **compact))
    result["record"] = record
    result["event"] = record.get("6")
    result["package"] = record.get("5")
    result["reason"] = record.get("13")
    result["failure"] = record.get("12")
    user, stamp = record.get("1"), record.get("2")
    if isinstance(user, str) and isinstance(stamp, str):
        expected = "Signature=" + hashlib.sha256((user + stamp).encode("utf-8")).hexdigest()
        result["signature_ok"] = signature == expected
        if not result["signature_ok"]:
            result["error"] = "signature mismatch"
    else:
        result["error"] = 'record "1" or "2" is not a string'
    return result


# ---------------------------------------------------------------- HTTP

class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "ZelvaneContentService/1"
    sys_version = ""
    timeout = IDLE_TIMEOUT_S

    def log_message(self, fmt, *args):  # the request log replaces http.server's lines
        pass

    def handle_expect_100(self):
        # No interim "100 Continue": the stub sends its body together with the headers (as
        # servers that find the body already read also answer), and Wine 8's WinHTTP fails such
        # a request with 12152 when an interim answer comes first.
        return True

    def do_GET(self):
        self.answer()

    do_POST = do_PUT = do_DELETE = do_HEAD = do_OPTIONS = do_GET

    # ------------------------------------------------------------ helpers

    @property
    def state(self):
        return self.server.state

    def read_body(self):
        length = self.headers.get("Content-Length")
        if length is not None:
            return self.rfile.read(int(length)) if int(length) > 0 else b""
        if "chunked" in self.headers.get("Transfer-Encoding", "").lower():
            data = b""
            while True:
                size = int(self.rfile.readline().split(b";")[0].strip() or b"0", 16)
                if size == 0:
                    while self.rfile.readline() not in (b"\r\n", b"\n", b""):
                        pass
                    return data
                data += self.rfile.read(size)
                self.rfile.readline()
        return b""

    def send_simple(self, status, body, content_type="application/json"):
        if isinstance(body, (dict, list)):
            body = json.dumps(body, ensure_ascii=False).encode("utf-8")
        elif isinstance(body, str):
            body = body.encode("utf-8")
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    # ------------------------------------------------------------ one request

    def answer(self):
        url = urllib.parse.urlsplit(self.path)
        path, query = url.path or "/", url.query
        body = self.read_body()
        if path.startswith(CONTROL_PREFIX):
            self.control(path[len(CONTROL_PREFIX):], urllib.parse.parse_qs(query), body)
            return

        host = host_of(self.headers.get("Host"))
        headers = [[k, v] for k, v in self.headers.items()]
        entry = {
            "kind": "request", "time": now_iso(), "listener": self.server.name,
            "scheme": "http" if self.server.ssl_context is None else "https",
            "tls": self.connection.version() if isinstance(self.connection, ssl.SSLSocket) else None,
            "sni": getattr(self.connection, "zelvane_sni", None),
            "client": self.client_address[0], "host": host, "method": self.command,
            "path": path, "query": query, "http_version": self.request_version,
            "headers": headers, "body_length": len(body),
        }
        try:
            entry["body"] = body.decode("utf-8")
        except UnicodeDecodeError:
            entry["body_base64"] = base64.b64encode(body).decode("ascii")

        route, resp = None, None
        if path.startswith(HOP_PREFIX):
            route, resp = "(hop)", self.hop_response(path[len(HOP_PREFIX):])
        elif path.startswith(GEN_BYTES_PREFIX) and path[len(GEN_BYTES_PREFIX):].isdigit():
            route, resp = "(generate)", {"generate": int(path[len(GEN_BYTES_PREFIX):])}
        else:
            route, resp = self.state.next_response(host, path, query)

        if path == ANALYTICS_PATH and self.command == "POST":
            entry["analytics"] = check_analytics(body, headers)
            if self.state.strict_analytics():
                if not entry["analytics"]["envelope_ok"]:
                    route, resp = "(analytics check)", {"status": 400, "json": {"error": entry["analytics"]["error"]}}
                elif not entry["analytics"]["signature_ok"]:
                    route, resp = "(analytics check)", {"status": 403, "json": {"error": entry["analytics"]["error"]}}
            if resp is None:
                route, resp = "(analytics default)", {"status": 200, "json": {}}
        if resp is None:
            route, resp = "(none)", {"status": 404, "body": "no route for %s%s\n" % (host, path),
                                     "content_type": "text/plain; charset=utf-8"}
        entry["route"] = route
        entry["response"] = {k: v for k, v in resp.items() if k in ("status", "reset", "stall", "delay",
                                                                     "truncate", "content_length", "redirect", "hops")}
        entry["response"].setdefault("status", 302 if "redirect" in resp else 200)
        self.state.record(entry)
        self.server.say("%s %s %s%s%s -> %s" % (entry["scheme"], self.command, host, path,
                                                "?" + query if query else "", describe(resp)))
        self.respond(resp, host)

    def hop_response(self, rest):
        """/__hop/N/<base64 target>: N more redirects before the target."""
        count, _, target = rest.partition("/")
        try:
            remaining = int(count)
            location = base64.urlsafe_b64decode(target.encode("ascii")).decode("utf-8")
        except (ValueError, UnicodeDecodeError):
            return {"status": 400, "body": "bad hop\n"}
        return {"redirect": location, "hops": remaining}

    def respond(self, resp, host):
        stop = self.state.stop
        if resp.get("delay"):
            stop.wait(min(float(resp["delay"]), DELAY_MAX_S))
        if resp.get("reset"):
            self.reset_connection()
            return
        if resp.get("stall"):
            limit = STALL_MAX_S if resp["stall"] is True else min(float(resp["stall"]), STALL_MAX_S)
            stop.wait(limit)
            self.close_connection = True
            return

        status = resp.get("status", 302 if "redirect" in resp else 200)
        headers = dict(resp.get("headers", {}))
        if "redirect" in resp:
            hops = int(resp.get("hops", 1))
            location = resp["redirect"]
            if hops > 1:
                scheme = "http" if self.server.ssl_context is None else "https"
                token = base64.urlsafe_b64encode(location.encode("utf-8")).decode("ascii")
                location = "%s://%s%s%d/%s" % (scheme, host, HOP_PREFIX, hops - 1, token)
            headers.setdefault("Location", location)

        size, chunks, content_type = self.body_of(resp)
        content_type = resp.get("content_type", content_type)
        declared = resp.get("content_length", size) if "content_length" in resp else size
        sent = size if resp.get("truncate") is None else min(int(resp["truncate"]), size)

        self.send_response(status)
        if content_type:
            self.send_header("Content-Type", content_type)
        for name, value in headers.items():
            self.send_header(name, str(value))
        if declared is not None:
            self.send_header("Content-Length", str(declared))
        if declared is None or sent != declared:
            # Without a length the end of the body is the end of the connection.
            self.send_header("Connection", "close")
            self.close_connection = True
        self.end_headers()
        if self.command == "HEAD":
            return
        left = sent
        for chunk in chunks:
            if left <= 0 or stop.is_set():
                break
            piece = chunk[:left]
            self.wfile.write(piece)
            left -= len(piece)
        self.wfile.flush()

    def body_of(self, resp):
        """(size, iterator of byte chunks, default content type) of a response's body."""
        if "generate" in resp:
            size = int(resp["generate"])

            def generated():
                offset = 0
                while offset < size:
                    n = min(CHUNK, size - offset)
                    yield pattern_bytes(offset, n)
                    offset += n
            return size, generated(), "application/octet-stream"
        if "file" in resp:
            path = self.state.resolve_file(resp["file"])
            with open(path, "rb") as f:
                data = f.read()
            return len(data), iter([data]), "application/octet-stream"
        if "json" in resp:
            data = json.dumps(resp["json"], ensure_ascii=False, separators=(",", ":")).encode("utf-8")
            return len(data), iter([data]), "application/json"
        if "base64" in resp:
            data = base64.b64decode(resp["base64"])
            return len(data), iter([data]), "application/octet-stream"
        if "image" in resp:
            image = resp["image"] or {}
            data = png_image(int(image.get("width", 64)), int(image.get("height", 64)),
                             parse_colour(image.get("colour", image.get("color", "#3060c0"))))
            return len(data), iter([data]), "image/png"
        data = resp.get("body", "").encode("utf-8")
        return len(data), iter([data]), ("text/plain; charset=utf-8" if data else None)

    def reset_connection(self):
        """Ends the TCP connection with a reset, no answer."""
        self.close_connection = True
        try:
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            self.connection.close()   # no TLS close_notify: closing with a zero linger sends RST
        except OSError:
            pass

    def finish(self):
        try:
            super().finish()
        except OSError:
            pass

    # ------------------------------------------------------------ control

    def control(self, what, params, body):
        state = self.state
        try:
            if what == "log" and self.command == "GET":
                since = int(params.get("since", ["0"])[0])
                entries, last = state.read_log(since)
                if "path" in params:
                    entries = [e for e in entries if e.get("path") == params["path"][0]]
                self.send_simple(200, {"entries": entries, "last": last})
            elif (what == "log" and self.command == "DELETE") or (what == "clear" and self.command == "POST"):
                self.send_simple(200, {"last": state.clear_log()})
            elif what == "scenario" and self.command == "POST":
                scenario = json.loads(body.decode("utf-8"))
                state.set_scenario(scenario)
                self.server.say("scenario %s" % scenario.get("name", "(unnamed)"))
                self.send_simple(200, {"ok": True})
            elif what == "routes" and self.command == "POST":
                state.add_routes(json.loads(body.decode("utf-8")))
                self.send_simple(200, {"ok": True})
            elif what == "scenario" and self.command == "GET":
                self.send_simple(200, state.scenario)
            elif what == "status" and self.command == "GET":
                self.send_simple(200, {"ok": True, "last": state.seq})
            else:
                self.send_simple(404, {"error": "unknown control request %s %s" % (self.command, what)})
        except (ValueError, ScenarioError, UnicodeDecodeError) as e:
            self.send_simple(400, {"error": str(e)})


def host_of(header):
    """The Host header without its port, lower-case."""
    host = (header or "").strip().lower()
    if host.startswith("["):
        return host.split("]")[0] + "]"
    return host.split(":")[0]


def describe(resp):
    parts = [str(resp.get("status", 302 if "redirect" in resp else 200))]
    for key in ("redirect", "hops", "generate", "file", "truncate", "content_length", "delay", "reset", "stall"):
        if key in resp:
            parts.append("%s=%s" % (key, resp[key]))
    return " ".join(parts)


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True
    request_queue_size = 64

    def __init__(self, name, address, state, ssl_context, say):
        self.name = name
        self.state = state
        self.ssl_context = ssl_context
        self.say = say
        super().__init__(address, Handler)

    def server_bind(self):
        socketserver.TCPServer.server_bind(self)  # no reverse lookup of the address
        self.server_name, self.server_port = self.server_address[:2]

    def finish_request(self, request, client_address):
        # The TLS handshake runs here, on the connection's own thread, so a client that stalls
        # in the handshake blocks nobody else.
        if self.ssl_context is not None:
            request.settimeout(HANDSHAKE_TIMEOUT_S)
            try:
                request = self.ssl_context.wrap_socket(request, server_side=True)
            except (ssl.SSLError, OSError) as e:
                self.state.record({"kind": "tls_error", "time": now_iso(), "listener": self.name,
                                   "client": client_address[0], "error": str(e)})
                self.say("%s: TLS handshake failed: %s" % (self.name, e))
                return
            request.settimeout(None)
        try:
            self.RequestHandlerClass(request, client_address, self)
        finally:
            if request.fileno() >= 0:
                try:
                    request.close()
                except OSError:
                    pass

    def handle_error(self, request, client_address):
        e = sys.exc_info()[1]
        if not isinstance(e, (ConnectionError, ssl.SSLError, socket.timeout)):
            super().handle_error(request, client_address)


# ---------------------------------------------------------------- main

def parse_address(text):
    host, _, port = text.rpartition(":")
    return (host or "127.0.0.1", int(port))


def main(argv=None):
    parser = argparse.ArgumentParser(description="Local HTTPS stand-in for the content, download and web hosts.")
    parser.add_argument("scenario", nargs="?", default=DEFAULT_SCENARIO, help="scenario JSON file")
    parser.add_argument("--dir", help="folder for the CA, certificate, log and service.json "
                        "(default: $ZELVANE_RUN_DIR/content-service, else a new temporary folder)")
    parser.add_argument("--https", default="127.0.0.1:443", metavar="ADDR:PORT")
    parser.add_argument("--http", default="127.0.0.1:80", metavar="ADDR:PORT", help="'' for none")
    parser.add_argument("--legacy-tls", default="127.0.0.3:443", metavar="ADDR:PORT",
                        help="TLS 1.0-only listener; '' for none")
    parser.add_argument("--ready", help="file to create once every listener accepts connections")
    parser.add_argument("--quiet", action="store_true", help="no line per request on stdout")
    args = parser.parse_args(argv)

    folder = args.dir
    if not folder:
        run_dir = os.environ.get("ZELVANE_RUN_DIR")
        folder = os.path.join(run_dir, "content-service") if run_dir else tempfile.mkdtemp(prefix="content-service.")
    folder = os.path.abspath(folder)
    os.makedirs(folder, exist_ok=True)

    def say(text):
        if not args.quiet:
            print("content-service: " + text, flush=True)

    scenario = load_scenario_file(args.scenario)
    names = host_names()
    ca, cert, key = make_certificates(folder, names)
    state = State(folder, scenario)

    servers = []
    listeners = {"https": (args.https, server_context(cert, key)),
                 "http": (args.http, None),
                 "legacy_tls": (args.legacy_tls, server_context(cert, key, legacy=True))}
    for name, (address, ctx) in listeners.items():
        if address:
            servers.append(Server(name, parse_address(address), state, ctx, say))

    info = {"pid": os.getpid(), "folder": folder, "ca": ca, "ca_der": os.path.join(folder, "ca.der"),
            "log": state.log_path, "names": names,
            "listeners": {s.name: list(s.server_address[:2]) for s in servers}}
    with open(os.path.join(folder, "service.json.tmp"), "w", encoding="utf-8") as f:
        json.dump(info, f, indent=2)
    os.replace(os.path.join(folder, "service.json.tmp"), os.path.join(folder, "service.json"))

    def stop(_signum, _frame):
        state.stop.set()
    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)

    threads = [threading.Thread(target=s.serve_forever, kwargs={"poll_interval": 0.2}, daemon=True)
               for s in servers]
    for t in threads:
        t.start()
    for s in servers:
        say("%s on %s:%d" % (s.name, *s.server_address[:2]))
    say("folder %s, scenario %s" % (folder, scenario.get("name", args.scenario)))
    if args.ready:
        with open(args.ready, "w", encoding="utf-8") as f:
            f.write(json.dumps(info) + "\n")
    while not state.stop.wait(1.0):
        pass
    for s in servers:
        s.shutdown()
        s.server_close()
    say("stopped")
    return 0


if __name__ == "__main__":
    sys.exit(main())
