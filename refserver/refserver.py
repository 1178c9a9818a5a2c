#!/usr/bin/env python3
"""Pagewren reference server: plays the service's side of the tray program's protocol.

Serves the sign-in and refresh scripts with HTTP Basic authentication and XML answers, the
browser pages as small HTML, and a control API under /_control/ through which tests choose
fault modes, read the request log and the highest number of overlapping requests.
See README.md beside this file.
"""

import argparse
import base64
import datetime
import email.utils
import html
import http.server
import os
import secrets
import signal
import socket
import shutil
import ssl
import subprocess
import tempfile
import sys
import threading
import time
import urllib.parse

SCRIPTS = ("auth-tray.php", "tray.php")
MODES = ("none", "reject", "error", "empty", "malformed", "huge", "status500", "expired", "soon",
         "slow", "close", "hang", "longtoken", "bomb", "html", "redirect", "drip", "status")
DEFAULT_ACCOUNT = ("demo@pagewren.test", "pagewren-demo")
DEFAULT_HUGE_BYTES = 2 * 1024 * 1024
DEFAULT_LONG_TOKEN = 5000
SOON_SECONDS = 60
# How often the listener looks for its stop: "down" takes effect within this time.
POLL_SECONDS = 0.05

BOMB = ('<?xml version="1.0"?>\n<!DOCTYPE result [\n<!ENTITY a "aaaaaaaaaa">\n'
        + "".join('<!ENTITY {0} "{1}">\n'.format(chr(ord("b") + i), ("&" + chr(ord("a") + i) + ";") * 10)
                  for i in range(9))
        + ']>\n<result value="success"><token value="&j;" gmtexpiration="12 31 2099 23:59:00"/></result>\n')


class State:
    """Everything the handlers share; every field is guarded by lock."""

    def __init__(self, accounts, lifetime, directory, codepage, tls_dir=None, clock_offset=0, strict_tokens=False):
        self.lock = threading.Lock()
        self.initial_clock_offset = clock_offset
        self.initial_strict_tokens = strict_tokens
        self.codepage = codepage
        self.tls_dir = tls_dir
        self.initial_accounts = dict(accounts)
        self.initial_lifetime = lifetime
        self.directory = directory
        self.extra_servers = {}
        self.release = threading.Event()
        # The main listener, and the connections it serves, so that "down" can drop them all.
        self.server = None
        self.connections = set()
        # The squid that "proxy" started, and its folder.
        self.proxy = None
        self.reset()

    def release_held(self):
        """Drops every answer held back by "hang" or "slow"; later ones are held again."""
        with self.lock:
            self.release.set()
            self.release = threading.Event()

    def reset(self):
        self.release_held()
        with self.lock:
            self.accounts = dict(self.initial_accounts)
            self.lifetime = self.initial_lifetime
            # How credentials are read and answers written: "utf-8", or "codepage" as older
            # clients and servers did.
            self.credentials_charset = "utf-8"
            self.answers_charset = "codepage"
            self.faults = {}
            self.log = []
            # Every token issued, with when it expires on this server's clock.
            self.tokens = {}
            # Seconds this server's clock, its Date header and every expiry are ahead of the
            # machine's; how the Date header is sent ("sent", "missing" or "malformed"); and
            # whether a refresh needs a token that has not expired on this clock.
            self.clock_offset = self.initial_clock_offset
            self.date_header = "sent"
            self.strict_tokens = self.initial_strict_tokens
            self.active = 0
            self.most_active = 0
            extras = list(self.extra_servers.values())
            self.extra_servers = {}
        for server in extras:
            server.shutdown()
            server.server_close()
        self.stop_proxy()

    def stop_proxy(self):
        with self.lock:
            proxy, self.proxy = self.proxy, None
        if proxy:
            process, folder = proxy
            process.terminate()
            try:
                process.wait(5)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
            shutil.rmtree(folder, ignore_errors=True)

    def start_proxy(self, config, user, password):
        """Starts Debian's squid on a free loopback port with the test's config, in which
        @PORT@ and @DIR@ stand for its port and folder, and a password file (@DIR@/passwd) that
        knows user. Answers the port.
        """
        self.stop_proxy()
        folder = tempfile.mkdtemp(prefix="pagewren-proxy-")
        # squid drops to its own user, which must read the config and write its logs.
        os.chmod(folder, 0o777)
        with socket.socket() as probe:
            probe.bind(("127.0.0.1", 0))
            port = probe.getsockname()[1]
        made = subprocess.run(["htpasswd", "-bc", os.path.join(folder, "passwd"), user, password],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        path = os.path.join(folder, "squid.conf")
        with open(path, "w") as conf:
            conf.write(config.replace("@PORT@", str(port)).replace("@DIR@", folder))
        for name in ("passwd", "squid.conf"):
            os.chmod(os.path.join(folder, name), 0o644)
        if made.returncode != 0:
            return 500, "htpasswd failed\n"
        process = subprocess.Popen(["squid", "-N", "-f", path], stdout=subprocess.DEVNULL,
                                   stderr=open(os.path.join(folder, "squid.out"), "w"))
        with self.lock:
            self.proxy = (process, folder)
        for _ in range(200):
            try:
                socket.create_connection(("127.0.0.1", port), 0.1).close()
                return 200, "{0}\n".format(port)
            except OSError:
                if process.poll() is not None:
                    break
                time.sleep(0.05)
        self.stop_proxy()
        return 500, "squid did not start\n"

    def proxy_log(self):
        with self.lock:
            folder = self.proxy[1] if self.proxy else None
        try:
            with open(os.path.join(folder, "access.log")) as log:
                return log.read()
        except (OSError, TypeError):
            return ""

    def fault_for(self, script, accepted):
        """The fault this request meets. A fault with "after" N lets N accepted requests
        through first, so a test can fault the sign-in that follows a credential check; "skip"
        N lets the next N requests through, accepted or not. "status" is met once.
        """
        with self.lock:
            key = script if script in self.faults else "any"
            fault = self.faults.get(key) or {"mode": "none"}
            if fault.get("skip", 0) > 0:
                fault["skip"] -= 1
                return {"mode": "none"}
            if fault.get("after", 0) > 0:
                if accepted:
                    fault["after"] -= 1
                return {"mode": "none"}
            if fault["mode"] == "status":
                del self.faults[key]
            return dict(fault)

    def now(self):
        """The present on this server's clock, in seconds since the epoch."""
        with self.lock:
            return time.time() + self.clock_offset

    def issue_token(self, lifetime, length=None):
        """A new token and its expiry text, lifetime seconds from now on this server's clock."""
        token = "x" * length if length else secrets.token_hex(16)
        expires = self.now() + lifetime
        with self.lock:
            self.tokens[token] = expires
        return token, expiry_text(expires)

    def session_fault(self, token):
        """The error text a refresh with token gets, or None when the session holds."""
        with self.lock:
            expires = self.tokens.get(token)
            strict = self.strict_tokens
        if expires is None:
            return "Your session has expired"
        if strict and expires <= self.now():
            return "Session expired"
        return None

    def go_down(self, seconds):
        """Refuses connections on the main port for that long: the listener closes and every
        open connection is cut; then the same port serves again, tokens and log kept.
        """
        with self.lock:
            server = self.server
            connections = list(self.connections)
        host, port = server.server_address
        threading.Thread(target=self.stay_down, args=(server, connections, host, port, seconds), daemon=True).start()

    def stay_down(self, server, connections, host, port, seconds):
        server.shutdown()
        server.server_close()
        for connection in connections:
            try:
                connection.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
        time.sleep(seconds)
        back = make_server(host, port, self)
        with self.lock:
            self.server = back
        threading.Thread(target=back.serve_forever, args=(POLL_SECONDS,), daemon=True).start()

    def enter(self):
        with self.lock:
            self.active += 1
            self.most_active = max(self.most_active, self.active)

    def leave(self):
        with self.lock:
            self.active -= 1


def expiry_text(when):
    moment = datetime.datetime.fromtimestamp(when, datetime.timezone.utc)
    return "{0.month} {0.day} {0.year} {0.hour}:{0.minute}:{0.second}".format(moment)


def success_document(token, expiry):
    return '<result value="success"><token value="{0}" gmtexpiration="{1}"/></result>'.format(
        html.escape(token, quote=True), expiry)


def error_document(description):
    return '<result value="error"><description>{0}</description></result>'.format(html.escape(description))


def html_page(title, text):
    return "<!DOCTYPE html><html><head><title>{0}</title></head><body><h1>{0}</h1><p>{1}</p></body></html>".format(
        html.escape(title), html.escape(text))


def parse_refresh_query(query):
    """Token and action of "token=T&action=N", where T is taken whole, "&" and all."""
    if query.startswith("token=") and "&action=" in query:
        cut = query.rfind("&action=")
        return urllib.parse.unquote(query[len("token="):cut]), query[cut + len("&action="):]
    fields = urllib.parse.parse_qs(query, keep_blank_values=True)
    return fields.get("token", [""])[0], fields.get("action", [""])[0]


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "PagewrenReference/1.0"

    def log_message(self, format, *args):
        pass

    def send_response(self, code, message=None):
        """As the base class does, with the Date of this server's clock, or none, or a broken one;
        the control API's answers keep the machine's own.
        """
        self.log_request(code)
        self.send_response_only(code, message)
        self.send_header("Server", self.version_string())
        with self.state.lock:
            date = self.state.date_header
        if self.path.startswith("/_control/"):
            date = "machine"
        if date == "machine":
            self.send_header("Date", self.date_time_string())
        elif date == "sent":
            self.send_header("Date", email.utils.formatdate(self.state.now(), usegmt=True))
        elif date == "malformed":
            self.send_header("Date", "Wed, 32 Dec 2026 25:61:61 GMT")

    @property
    def state(self):
        return self.server.state

    def do_GET(self):
        if self.path.startswith("/_control/"):
            self.control()
        else:
            self.service()

    do_POST = do_PUT = do_HEAD = do_DELETE = do_OPTIONS = do_GET

    # ---- service side -------------------------------------------------------------------

    def charset(self, which):
        with self.state.lock:
            chosen = self.state.credentials_charset if which == "credentials" else self.state.answers_charset
        return self.state.codepage if chosen == "codepage" else chosen

    def credentials(self):
        """(logged name, email, password, the credential bytes in hex) from the Authorization header."""
        header = self.headers.get("Authorization")
        if header is None:
            return "-", None, None, "-"
        scheme, _, value = header.partition(" ")
        if scheme.lower() != "basic":
            return "?", None, None, "-"
        try:
            raw = base64.b64decode(value.strip(), validate=True)
        except ValueError:
            return "?", None, None, "-"
        email, _, password = raw.decode(self.charset("credentials"), "replace").partition(":")
        return email, email, password, raw.hex()

    def body_length(self):
        if "chunked" in self.headers.get("Transfer-Encoding", "").lower():
            return "chunked"
        try:
            length = int(self.headers.get("Content-Length", "0"))
        except ValueError:
            return "?"
        if length > 0:
            self.rfile.read(length)
        return str(length)

    def service(self):
        self.drip_seconds = 0
        auth, email, password, raw = self.credentials()
        length = self.body_length()
        agent = self.headers.get("User-Agent", "")
        port = self.server.server_address[1]
        path, _, query = self.path.partition("?")
        directory = self.state.directory
        script = path[len(directory):] if path.startswith(directory) else None
        with self.state.lock:
            accepted = email is not None and self.state.accounts.get(email) == password
        fault = {"mode": "none"}
        if script in SCRIPTS and not (script == "tray.php" and parse_refresh_query(query)[1] in ("2", "3")):
            fault = self.state.fault_for(script, accepted)
        with self.state.lock:
            self.state.log.append("\t".join((self.command, self.path, agent, auth, length, str(port),
                                              fault["mode"], raw)))
        print("{0} {1} port={2} agent={3!r} credentials={4}".format(
            self.command, self.path, port, agent, "none" if auth == "-" else auth), flush=True)
        self.state.enter()
        self.counted = True
        try:
            if self.command != "GET":
                self.leave_and_send(405, "text/html", html_page("Not allowed", "Only GET is served."))
            elif script in SCRIPTS:
                self.session_script(script, query, accepted, fault)
            elif script == "restore.php":
                self.leave_and_send(200, "text/html",
                                    html_page("Password recovery", "Enter your e-mail address to reset it."))
            elif script == "signup.php":
                self.leave_and_send(200, "text/html", html_page("Sign up", "Create a Pagewren account."))
            else:
                self.leave_and_send(404, "text/html", html_page("Not found", self.path))
        finally:
            self.stop_counting()

    def stop_counting(self):
        if self.counted:
            self.counted = False
            self.state.leave()

    def leave_and_send(self, status, content_type, body, extra_headers=()):
        """Ends this request's overlap count, then answers; so a client that waits for the
        answer before its next request never shows as two requests at once.
        """
        self.stop_counting()
        data = body
        if isinstance(body, str) and self.charset("answers") == "utf-8":
            if content_type == "text/xml" and body:
                body = '<?xml version="1.0" encoding="UTF-8"?>\n' + body
            else:
                content_type += "; charset=utf-8"
            data = body.encode("utf-8")
        elif isinstance(body, str):
            # As older servers answered: the client's code page, characters outside it as
            # references, which XML and HTML both read back.
            data = body.encode(self.state.codepage, "xmlcharrefreplace")
        if self.drip_seconds:
            return self.drip(status, content_type, data, extra_headers)
        self.send_response(status)
        for name, value in extra_headers:
            self.send_header(name, value)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(data)

    def drip(self, status, content_type, data, extra_headers):
        """Sends the whole answer, status line first, one byte every drip_seconds; a release or
        reset meanwhile drops the rest.
        """
        head = "HTTP/1.1 {0} {1}\r\n".format(status, self.responses[status][0])
        for name, value in tuple(extra_headers) + (("Content-Type", content_type), ("Content-Length", len(data))):
            head += "{0}: {1}\r\n".format(name, value)
        release = self.state.release
        for byte in (head + "\r\n").encode("latin-1") + data:
            if release.wait(self.drip_seconds):
                return self.drop()
            try:
                self.wfile.write(bytes((byte,)))
            except OSError:
                return self.drop()
        return None

    def challenge(self):
        return self.leave_and_send(401, "text/html", html_page("Sign in required", "Credentials refused."),
                                   (("WWW-Authenticate", 'Basic realm="Pagewren"'),))

    def drop(self):
        """Closes the connection without any answer."""
        self.stop_counting()
        self.close_connection = True

    def session_script(self, script, query, accepted, fault):
        mode = fault["mode"]
        self.drip_seconds = float(fault.get("seconds", "5")) if mode == "drip" else 0
        if script == "tray.php":
            token, action = parse_refresh_query(query)
            if action in ("2", "3"):
                title = "Current page" if action == "3" else "All pages"
                return self.leave_and_send(200, "text/html", html_page(title, "Pages of this account."))
        if mode == "close":
            return self.drop()
        if mode == "status":
            code = int(fault.get("code", "503"))
            return self.leave_and_send(code, "text/html", html_page("Status {0}".format(code), "Try again later."))
        if mode == "hang":
            release = self.state.release
            release.wait()
            return self.drop()
        # A reset drops an answer still held back, so a test never waits for it.
        if mode == "slow" and self.state.release.wait(float(fault.get("seconds", "1"))):
            return self.drop()
        if not accepted or mode == "reject":
            return self.challenge()
        if script == "tray.php":
            if action != "1":
                return self.leave_and_send(200, "text/xml", error_document("Unknown action"))
            expired = self.state.session_fault(token)
            if expired:
                return self.leave_and_send(200, "text/xml", error_document(expired))
        return self.answer(mode, fault)

    def answer(self, mode, fault):
        with self.state.lock:
            lifetime = self.state.lifetime
        status, body = 200, None
        if mode == "error":
            body = error_document(fault.get("description", "The server could not sign you in"))
        elif mode == "empty":
            body = ""
        elif mode == "malformed":
            body = '<result value="success"><token value="abc"'
        elif mode == "huge":
            size = int(fault.get("bytes", DEFAULT_HUGE_BYTES))
            head = '<result value="success"><!-- '
            tail = ' --><token value="{0}" gmtexpiration="{1}"/></result>'.format(*self.state.issue_token(lifetime))
            body = head + "x" * max(0, size - len(head) - len(tail)) + tail
        elif mode == "bomb":
            body = BOMB
        elif mode == "html":
            return self.leave_and_send(200, "text/html", html_page("Welcome", "Sign in to the network to go on."))
        elif mode == "redirect":
            return self.leave_and_send(302, "text/html", html_page("Moved", "Elsewhere."),
                                       (("Location", fault.get("to", "/")),))
        else:
            if mode == "status500":
                status = 500
            if mode == "expired":
                lifetime = -3600
            elif mode == "soon":
                lifetime = SOON_SECONDS
            length = int(fault.get("bytes", DEFAULT_LONG_TOKEN)) if mode == "longtoken" else None
            body = success_document(*self.state.issue_token(lifetime, length))
        return self.leave_and_send(status, "text/xml", body)

    # ---- control side -------------------------------------------------------------------

    def control(self):
        path, _, query = self.path.partition("?")
        fields = {key: values[-1] for key, values in urllib.parse.parse_qs(query, keep_blank_values=True).items()}
        command = path[len("/_control/"):]
        status, text = 200, "ok\n"
        if command == "reset":
            self.state.reset()
        elif command == "fault":
            script, mode = fields.get("script", "any"), fields.get("mode", "none")
            if script not in SCRIPTS + ("any",) or mode not in MODES:
                status, text = 400, "unknown script or mode\n"
            else:
                with self.state.lock:
                    self.state.faults[script] = dict(fields, mode=mode, after=int(fields.get("after", "0")),
                                                     skip=int(fields.get("skip", "0")))
        elif command == "release":
            self.state.release_held()
        elif command == "charset":
            chosen = {key: fields.get(key) for key in ("credentials", "answers") if key in fields}
            if any(value not in ("utf-8", "codepage") for value in chosen.values()):
                status, text = 400, "unknown charset\n"
            else:
                with self.state.lock:
                    self.state.credentials_charset = chosen.get("credentials", self.state.credentials_charset)
                    self.state.answers_charset = chosen.get("answers", self.state.answers_charset)
        elif command == "lifetime":
            with self.state.lock:
                self.state.lifetime = int(fields.get("seconds", "3600"))
        elif command == "clock":
            date = fields.get("date", "sent")
            if date not in ("sent", "missing", "malformed"):
                status, text = 400, "unknown date form\n"
            else:
                with self.state.lock:
                    self.state.clock_offset = float(fields.get("offset", "0"))
                    self.state.date_header = date
        elif command == "strict_tokens":
            with self.state.lock:
                self.state.strict_tokens = fields.get("on", "1") == "1"
        elif command == "drop_sessions":
            with self.state.lock:
                self.state.tokens.clear()
        elif command == "account":
            with self.state.lock:
                self.state.accounts[fields.get("email", "")] = fields.get("password", "")
        elif command == "log":
            with self.state.lock:
                text = "".join(line + "\n" for line in self.state.log)
        elif command == "tokens":
            with self.state.lock:
                text = "".join(token + "\n" for token in sorted(self.state.tokens))
        elif command == "concurrency":
            with self.state.lock:
                text = "{0}\n".format(self.state.most_active)
        elif command == "down":
            pass
        elif command == "proxy":
            status, text = self.state.start_proxy(fields.get("config", ""), fields.get("user", ""),
                                                  fields.get("password", ""))
        elif command == "proxy_log":
            text = self.state.proxy_log()
        elif command == "proxy.pac":
            # A proxy auto-configuration script that sends every address through "proxy".
            text = 'function FindProxyForURL(url, host) {{ return "PROXY {0}"; }}\n'.format(fields.get("proxy", ""))
        elif command == "listen":
            status, text = self.listen_also(int(fields.get("port", "0")), fields.get("tls"))
        else:
            status, text = 404, "unknown control command\n"
        data = text.encode("utf-8")
        self.send_response(status)
        self.send_header("Content-Type", "text/plain; charset=utf-8")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)
        if command == "down":
            # Only once the answer is on its way: going down cuts this connection too.
            self.wfile.flush()
            self.state.go_down(float(fields.get("seconds", "5")))

    def listen_also(self, port, tls_name=None):
        """Serves the same state on one more loopback port until the next reset, in TLS with
        the certificate TLS_NAME.pem and key TLS_NAME.key of the TLS folder when tls_name is
        given; port 0 picks a free one. Answers the port.
        """
        with self.state.lock:
            if port and port in self.state.extra_servers:
                return 200, "{0}\n".format(port)
        try:
            server = make_server(self.server.server_address[0], port, self.state, tls_context(self.state, tls_name))
        except (OSError, ValueError) as error:
            return 409, "port {0} or certificate {1} unavailable: {2}\n".format(port, tls_name, error)
        port = server.server_address[1]
        with self.state.lock:
            self.state.extra_servers[port] = server
        threading.Thread(target=server.serve_forever, daemon=True).start()
        return 200, "{0}\n".format(port)


def tls_context(state, name):
    if not name:
        return None
    if not state.tls_dir or not name.replace("-", "").isalnum():
        raise ValueError("no TLS folder or a bad name")
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    base = os.path.join(state.tls_dir, name)
    context.load_cert_chain(base + ".pem", base + ".key")
    return context


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    tls = None

    def get_request(self):
        connection, address = super().get_request()
        if self.tls:
            # The handshake waits for the handler's thread, so a slow client holds up no other.
            connection = self.tls.wrap_socket(connection, server_side=True, do_handshake_on_connect=False)
        return connection, address

    def finish_request(self, request, client_address):
        if self.tls:
            try:
                request.do_handshake()
            except (ssl.SSLError, OSError) as error:
                # A client that does not trust the certificate ends here, before any request.
                print("TLS handshake on port {0} failed: {1}".format(self.server_address[1], error), flush=True)
                return
        super().finish_request(request, client_address)

    def process_request_thread(self, request, client_address):
        with self.state.lock:
            self.state.connections.add(request)
        try:
            super().process_request_thread(request, client_address)
        finally:
            with self.state.lock:
                self.state.connections.discard(request)


def make_server(host, port, state, tls=None):
    server = Server((host, port), Handler)
    server.state = state
    server.tls = tls
    return server


def account(text):
    email, sep, password = text.partition(":")
    if not sep or not email:
        raise argparse.ArgumentTypeError("expected EMAIL:PASSWORD")
    return email, password


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, required=True, help="0 picks a free port")
    parser.add_argument("--directory", default="/", help='script directory, "/" by default')
    parser.add_argument("--account", type=account, action="append", default=[], metavar="EMAIL:PASSWORD")
    parser.add_argument("--lifetime", type=int, default=3600, help="token lifetime in seconds")
    parser.add_argument("--port-file", help="file that gets the port once the server listens")
    parser.add_argument("--codepage", default="cp1252", help="the client's system code page, cp1252 by default")
    parser.add_argument("--tls-dir", help="folder of NAME.pem and NAME.key pairs that /_control/listen can serve")
    parser.add_argument("--clock-offset", type=float, default=0,
                        help="seconds this server's clock is ahead of the machine's (negative: behind)")
    parser.add_argument("--strict-tokens", action="store_true",
                        help="a refresh needs a token that has not expired on this server's clock")
    options = parser.parse_args()

    state = State(options.account or [DEFAULT_ACCOUNT], options.lifetime, options.directory, options.codepage,
                  options.tls_dir, options.clock_offset, options.strict_tokens)
    server = make_server(options.host, options.port, state)
    state.server = server
    port = server.server_address[1]
    if options.port_file:
        partial = options.port_file + ".partial"
        with open(partial, "w") as out:
            out.write("{0}\n".format(port))
        os.replace(partial, options.port_file)
    print("listening on http://{0}:{1}{2}".format(options.host, port, options.directory), flush=True)

    stop = threading.Event()
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    threading.Thread(target=server.serve_forever, args=(POLL_SECONDS,), daemon=True).start()
    parent = os.getppid()
    # Also ends when whoever started it is gone, so no server outlives its test.
    while not stop.wait(0.5):
        if os.getppid() != parent:
            break
    state.release.set()
    with state.lock:
        server = state.server
    server.shutdown()
    server.server_close()
    state.reset()
    print("stopped", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
