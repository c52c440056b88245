#!/usr/bin/python3
"""carrowin-cli --format imap against IMAP servers this test starts on 127.0.0.1: a
Dovecot that takes TLS only (from a CA and certificates the test makes with openssl),
and small servers of its own for what Dovecot cannot show (a server without STARTTLS,
one without LITERAL+, BINARY and SASL-IR). What carrowin-cli says is on the server is
read back there with Python's imaplib: the folders, every message's bytes (line ends as
IMAP gives them), its date (INTERNALDATE) and its \\Seen flag.

usage: imap_upload_test.py CARROWIN_CLI [PROGRAM...]
PROGRAM...: what runs carrowin-cli (a Windows build: the Wine runner and the .exe).
"""
import base64
import email.utils
import imaplib
import json
import os
import random
import re
import signal
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import time
from http.server import BaseHTTPRequestHandler, HTTPServer

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "testing"))
from mail_servers import (Dovecot, as_imap, date_of, free_port, imap_folders, make_certificates, oe4_mailbox,  # noqa: E402
                          oe4_records, served_user)

CLI = sys.argv[1:]
UNDER_WINE = len(CLI) > 1
FAILURES = []
PASSWORD = "secret"
# The server's address: an address, not a name, so that no resolver is needed.
HOST = "127.0.0.1"


def check(ok, what):
    if not ok:
        FAILURES.append(what)
        print("FAIL:", what, file=sys.stderr)
    return ok


def cli(*args, env=None, stdin=None, secret=PASSWORD):
    """carrowin-cli's status, standard output and standard error."""
    env = dict(os.environ, **(env or {}))
    env.pop("CARROWIN_IMAP_PASSWORD", None)
    if secret is not None:
        env["CARROWIN_IMAP_PASSWORD"] = secret
    r = subprocess.run([*CLI, "-q", "--format", "imap", *args], capture_output=True, env=env, stdin=stdin,
                       timeout=600)
    out, err = r.stdout.decode(errors="replace"), r.stderr.decode(errors="replace")
    check(PASSWORD not in out + err or secret != PASSWORD, "the password is never said: %r" % (out + err))
    return r.returncode, out, err


# ---- the mail

ODD = [
    b"Return-Path: <bounce@example.com>\r\nFrom: Ann <ann@example.com>\r\n"
    b"Date: Tue, 3 Feb 2004 10:20:30 +0100\r\nSubject: From lines\r\n\r\nFrom here on\r\n>From there\r\n",
    b"Subject: LF only\nDate: Mon, 1 Jan 2001 12:00:00 GMT\n\nLF only\n.\n..\n",
    b"Subject: no final line end\r\nDate: 2 Mar 1999 08:00 -0500\r\n\r\nlast",
    b"Subject: caf\xe9 8-bit\r\nFrom: J\xf6rg <j\xf6rg@example.de>\r\nDate: Sun, 31 Dec 2000 23:59:59 +0000\r\n"
    b"\r\nGr\xfc\xdfe\r\n",
    b"Subject: =?utf-8?B?w6l0w6k=?=\r\nDate: Fri, 13 Jun 2003 07:08:09 +0200\r\n\r\n\r\n\r\n",
    b"Subject: no date, mixed line ends\r\n\nbare CR\rinside\r\n",
    b"Subject: a header alone\r\nDate: Wed, 4 Jul 2001 10:00:00 +0000\r\n",
    b"Subject: a NUL\r\nDate: Thu, 5 Jul 2001 10:00:00 +0000\r\n\r\nbefore\0after\r\n",
]


def generated(count, seed):
    """`count` messages as mail programs write them: of every size up to 60 KB, some with
    LF line ends, dated across thirty years."""
    rng = random.Random(seed)
    out = []
    for n in range(count):
        when = email.utils.formatdate(rng.randrange(315532800, 1262304000), localtime=False)
        end = b"\n" if n % 7 == 3 else b"\r\n"
        lines = [b"Message-ID: <%d.%d@example.com>" % (seed, n), b"From: sender%d@example.com" % (n % 13),
                 b"Date: " + when.encode(), b"Subject: message %d of %d" % (n, count), b""]
        lines += [b"line %d " % i + b"x" * rng.randrange(0, 70) for i in range(rng.randrange(1, 900))]
        out.append(end.join(lines) + end)
    return out


def large(megabytes):
    body = b"".join(b"%08d " % i + b"y" * 66 + b"\r\n" for i in range(megabytes * 1024 * 1024 // 76))
    return b"Subject: large\r\nDate: Sat, 1 May 2004 12:00:00 +0000\r\n\r\n" + body


def write_mailbox(path, messages):
    with open(path, "wb") as f:
        f.write(oe4_mailbox(messages))


# ---- reading the server

class Account:
    def __init__(self, port, ca):
        self.imap = imaplib.IMAP4_SSL(HOST, port, ssl_context=ssl.create_default_context(cafile=ca))
        self.imap.login("tester", PASSWORD)

    def folders(self):
        return sorted(imap_folders(self.imap))

    def messages(self, folder):
        """(INTERNALDATE, flags, bytes) of each message of the folder, in order."""
        typ, data = self.imap.select('"%s"' % folder, readonly=True)
        if not check(typ == "OK", "the folder %s opens: %r" % (folder, data)) or int(data[0]) == 0:
            return []
        typ, data = self.imap.fetch("1:*", "(INTERNALDATE FLAGS BODY.PEEK[])")
        out = []
        for item in data:
            if isinstance(item, tuple):
                when = int(time.mktime(imaplib.Internaldate2tuple(item[0])))
                flags = re.search(rb"FLAGS \(([^)]*)\)", item[0]).group(1).split()
                out.append((when, flags, item[1]))
        return out

    def bodies(self, folder):
        return [body for _, _, body in self.messages(folder)]

    def close(self):
        self.imap.logout()


def served(message):
    return as_imap(message)


def check_folder(account, folder, messages, started, what):
    """The folder holds the messages, in order, with their bytes, dates and \\Seen."""
    got = account.messages(folder)
    check(len(got) == len(messages), "%s: %d messages in %s, of %d" % (what, len(got), folder, len(messages)))
    for n, ((when, flags, body), m) in enumerate(zip(got, messages), 1):
        check(body == served(m), "%s: message %d of %s has its bytes" % (what, n, folder))
        date = date_of(m)
        check(date == when if date is not None else started - 5 <= when <= time.time() + 5,
              "%s: message %d of %s is dated %s, its Date %s" % (what, n, folder, when, date))
        check(b"\\Seen" in flags, "%s: message %d of %s is seen: %r" % (what, n, folder, flags))


# ---- servers of the test's own

class SmallServer:
    """An IMAP server of a few commands, one connection at a time: with `tls` (a
    certificate and its key) TLS from the start, offering `capabilities`; each literal
    only after its go-ahead. Keeps what it was sent (`received`) and what was appended."""

    def __init__(self, capabilities, tls=None):
        self.capabilities = capabilities
        self.tls = tls
        self.received = b""
        self.appended = []
        self.connections = 0
        self.listener = socket.create_server(("127.0.0.1", 0))
        self.port = self.listener.getsockname()[1]
        threading.Thread(target=self.serve, daemon=True).start()

    def serve(self):
        while True:
            try:
                conn, _ = self.listener.accept()
            except OSError:
                return
            self.connections += 1
            try:
                if self.tls:
                    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
                    context.load_cert_chain(*self.tls)
                    conn = context.wrap_socket(conn, server_side=True)
                self.session(conn.makefile("rwb", buffering=0))
            except (OSError, ssl.SSLError):
                pass
            finally:
                conn.close()

    def session(self, f):
        f.write(b"* OK [CAPABILITY IMAP4rev1 %s] ready\r\n" % self.capabilities.encode())
        while True:
            line = f.readline()
            self.received += line
            if not line:
                return
            tag, command, rest = (line.rstrip(b"\r\n").split(b" ", 2) + [b""])[:3]
            command = command.upper()
            if command == b"CAPABILITY":
                f.write(b"* CAPABILITY IMAP4rev1 %s\r\n" % self.capabilities.encode())
            elif command == b"AUTHENTICATE":
                f.write(b"+ \r\n")
                self.received += f.readline()
            elif command == b"LIST" and rest.endswith(b'""'):
                f.write(b'* LIST (\\Noselect) "/" ""\r\n')
            elif command == b"APPEND":
                size = int(re.search(rb"\{(\d+)\}$", rest).group(1))
                f.write(b"+ go ahead\r\n")
                literal = f.read(size)
                self.received += literal + f.readline()
                self.appended.append(literal)
            elif command == b"LOGOUT":
                f.write(b"* BYE\r\n%s OK done\r\n" % tag)
                return
            f.write(b"%s OK %s done\r\n" % (tag, command))

    def stop(self):
        self.listener.close()


class CuttingProxy:
    """Passes a connection on to `port`, and cuts it once `limit` bytes have gone to the
    server: no more go to it, and half a second later, when the server's answers to what
    it had have come through, the connection ends. The connections after it pass whole."""

    def __init__(self, port, limit):
        self.port, self.limit, self.cut = port, limit, False
        self.listener = socket.create_server(("127.0.0.1", 0))
        self.own_port = self.listener.getsockname()[1]
        threading.Thread(target=self.serve, daemon=True).start()

    def serve(self):
        while True:
            try:
                client, _ = self.listener.accept()
            except OSError:
                return
            server = socket.create_connection(("127.0.0.1", self.port))
            limit = None if self.cut else self.limit
            self.cut = True
            threading.Thread(target=self.pipe, args=(server, client, None), daemon=True).start()
            threading.Thread(target=self.pipe, args=(client, server, limit), daemon=True).start()

    @staticmethod
    def pipe(source, sink, limit):
        sent = 0
        try:
            while True:
                data = source.recv(65536)
                if not data:
                    break
                if limit is not None and sent + len(data) > limit:
                    time.sleep(0.5)
                    break
                sink.sendall(data)
                sent += len(data)
        except OSError:
            pass
        for s in (source, sink):
            try:
                s.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass

    def stop(self):
        self.listener.close()


class TokenIntrospection:
    """What Dovecot asks about an OAuth 2 token (RFC 7662, by POST): "good-token" is
    tester's, any other none."""

    def __init__(self):
        class Handler(BaseHTTPRequestHandler):
            def do_POST(self):
                body = self.rfile.read(int(self.headers.get("Content-Length", 0)))
                active = b"token=good-token&" in body + b"&"
                data = json.dumps({"active": True, "username": "tester"} if active else {"active": False}).encode()
                self.send_response(200)
                self.send_header("Content-Type", "application/json")
                self.send_header("Content-Length", str(len(data)))
                self.end_headers()
                self.wfile.write(data)

            def log_message(self, *args):
                pass

        self.http = HTTPServer(("127.0.0.1", 0), Handler)
        self.port = self.http.server_port
        threading.Thread(target=self.http.serve_forever, daemon=True).start()

    def stop(self):
        self.http.shutdown()


# ---- the cases

class World:
    """The test's CA and certificates, and its Dovecot: TLS only, folders parted by ".",
    the test user's password or an OAuth 2 token that the introspection above knows."""

    def __init__(self, root):
        self.root = root
        certs = os.path.join(root, "certs")
        self.ca, self.cert, self.key = make_certificates(certs, HOST)
        _, self.other_cert, self.other_key = make_certificates(certs, "other.example")
        _, self.stranger_cert, self.stranger_key = make_certificates(os.path.join(root, "unknown-ca"), HOST)
        self.introspection = TokenIntrospection()
        self.dovecot = self.start_dovecot("mail", """auth_mechanisms = plain login oauthbearer xoauth2
auth_failure_delay = 0
passdb {
  driver = oauth2
  mechanisms = xoauth2 oauthbearer
  args = %s
}
""" % self.oauth_settings())

    def oauth_settings(self):
        path = os.path.join(self.root, "oauth2.conf.ext")
        with open(path, "w") as f:
            f.write("introspection_mode = post\nintrospection_url = http://127.0.0.1:%d/introspect\n"
                    "username_attribute = username\nactive_attribute = active\nactive_value = true\n"
                    % self.introspection.port)
        return path

    def start_dovecot(self, name, settings, plugins=""):
        home = os.path.join(self.root, name)
        os.makedirs(os.path.join(home, "Maildir"))
        return Dovecot(home, "maildir:%s/Maildir:INDEX=%s/index" % (home, home), served_user(home), plugins,
                       (self.cert, self.key), settings, separator=".")

    def url(self, folder="", port=None, scheme="imaps"):
        return "%s://tester@%s:%d/%s" % (scheme, HOST, port or self.dovecot.tls_port, folder)

    def account(self, dovecot=None):
        """A session of the test's own, once every other one has ended: a connection cut
        leaves the server reading what came before the cut for a while."""
        dovecot = dovecot or self.dovecot
        deadline = time.time() + 30
        while time.time() < deadline and len(dovecot.doveadm("who").stdout.strip().splitlines()) > 1:
            time.sleep(0.05)
        return Account(dovecot.tls_port, self.ca)

    def mailbox(self, name, messages):
        path = os.path.join(self.root, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        write_mailbox(path, messages)
        return path

    def stop(self):
        self.dovecot.stop()
        self.introspection.stop()


STORE = {  # each mailbox of the store, and the folder it goes into under Rescued
    "Inbox": ("Rescued", lambda: ODD),
    "Sent Items": ("Rescued.Sent Items", lambda: list(reversed(ODD))),
    "Archiv.2003": ("Rescued.Archiv&ICQ-2003", lambda: ODD[:3]),  # "." is the separator: U+2024 for it
    "Gel\u00f6schte Objekte": ("Rescued.Gel&APY-schte Objekte", lambda: ODD[3:]),
    "Generated": ("Rescued.Generated", lambda: generated(400, 1)),
    "Large": ("Rescued.Large", lambda: [ODD[0], large(24), ODD[1]]),
    "Empty": ("Rescued.Empty", lambda: []),
}


def upload_store(w):
    """A FOLDER of mailboxes into folders of the account, made as they are needed; then
    the same command again with --skip-existing adds nothing."""
    store = os.path.join(w.root, "store")
    mail = {name: make() for name, (_, make) in STORE.items()}
    for name, messages in mail.items():
        w.mailbox(os.path.join("store", name + ".mbx"), messages)
    small = SmallServer("AUTH=PLAIN")
    rc, out, err = cli("--dry-run", "-o", w.url("Rescued", small.port), store, secret=None)
    planned = [line.split("\t")[3] for line in out.splitlines()]
    check(rc == 0 and small.connections == 0, "a dry run connects to nothing: %d %d %s" % (rc, small.connections, err))
    shown = ["Rescued" if name == "Inbox" else "Rescued/" + name for name, messages in mail.items() if messages]
    check(sorted(set(planned)) == sorted(shown) and len(planned) == sum(len(m) for m in mail.values()),
          "a dry run lists each message with its folder: %r" % sorted(set(planned)))
    small.stop()
    started = time.time()
    rc, out, err = cli("--ca-file", w.ca, "-o", w.url("Rescued"), store)
    total = sum(len(m) for m in mail.values())
    undated = sum(date_of(m) is None for messages in mail.values() for m in messages)
    check(rc == 0, "the store is uploaded: %d %s" % (rc, err))
    check(out.endswith("7 mailboxes, %d messages uploaded to %s; %d without a readable date\n"
                       % (total, w.url("Rescued"), undated)), "the summary counts them: %r" % out[-300:])
    account = w.account()
    check(account.folders() == sorted(["INBOX"] + [f for f, _ in STORE.values()]), "folders %r" % account.folders())
    for name, (folder, _) in STORE.items():
        check_folder(account, folder, mail[name], started, "the store")
    rc, out, err = cli("--ca-file", w.ca, "--skip-existing", "-o", w.url("Rescued"), store)
    check(rc == 0 and out.endswith("7 mailboxes, 0 messages uploaded to %s; %d already there\n"
                                   % (w.url("Rescued"), total)), "uploaded again, nothing is added: %r %s" % (out, err))
    check(len(account.bodies("Rescued")) == len(ODD), "nothing is there twice")
    account.close()


def confirmed_before_the_error(out):
    """The count of messages the output says are on the server."""
    m = re.search(r": (\d+) messages? uploaded to \S+ before the error", out)
    return int(m.group(1)) if m else 0


def cut_and_resumed(w):
    """A connection cut mid-run: the run fails in words, and the same command with
    --skip-existing finishes it; every message is there once (one the mailbox holds twice,
    twice)."""
    messages = generated(400, 2)
    messages[399] = messages[10]
    path = w.mailbox("cut/Inbox.mbx", messages)
    proxy = CuttingProxy(w.dovecot.tls_port, 2 << 20)
    rc, out, err = cli("--ca-file", w.ca, "-o", w.url("Cut", proxy.own_port), path)
    check(rc == 3 and "was lost" in err or "closed the connection" in err,
          "a connection cut: status 3 and its line: %d %r" % (rc, err))
    confirmed = confirmed_before_the_error(out)
    check("confirmed by the server: %d message" % confirmed in err, "the error says how many are there: %r" % err)
    account = w.account()
    there = account.bodies("Cut")
    check(confirmed > 0 and len(there) >= confirmed and there == [served(m) for m in messages[:len(there)]],
          "what the output says is there is there: %d confirmed, %d there" % (confirmed, len(there)))
    rc, out, err = cli("--ca-file", w.ca, "--skip-existing", "-o", w.url("Cut", proxy.own_port), path)
    m = re.search(r"(\d+) messages uploaded to \S+; (\d+) already there", out)
    check(rc == 0 and m and int(m.group(2)) == len(there) and int(m.group(1)) == 400 - len(there),
          "resumed with --skip-existing: %d %r %r, %d there before" % (rc, out, err, len(there)))
    check(account.bodies("Cut") == [served(m) for m in messages], "every message there once, in order")
    account.close()
    proxy.stop()


def refused_connections(w):
    """Each refusal before any mail: its line and its status, and nothing sent that
    should not be."""
    path = w.mailbox("refused/Inbox.mbx", ODD[:2])
    rc, out, err = cli("--ca-file", w.ca, "-o", w.url(), path, secret="not the password")
    check(rc == 4 and "refused the login of tester" in err and "not the password" not in out + err,
          "a wrong password: status 4, its line, never the password: %d %r" % (rc, err))
    cases = [
        (SmallServer("AUTH=PLAIN", (w.other_cert, w.other_key)), "imaps", "its certificate is not for " + HOST),
        (SmallServer("AUTH=PLAIN", (w.stranger_cert, w.stranger_key)), "imaps", "its certificate is not trusted"),
        (SmallServer("AUTH=PLAIN LOGIN"), "imap", "offers no STARTTLS"),
    ]
    for server, scheme, words in cases:
        rc, out, err = cli("--ca-file", w.ca, "-o", w.url(port=server.port, scheme=scheme), path)
        check(rc == 3 and words in err and out == "", "%s: status 3 and its line: %d %r" % (words, rc, err))
        check(server.received == b"", "%s: nothing is sent: %r" % (words, server.received[:200]))
        server.stop()
    rc, out, err = cli("-o", w.url(port=free_port()), path)
    check(rc == 3 and "Cannot connect to " + HOST in err, "no server: status 3: %d %r" % (rc, err))


def quota_and_limit(w):
    """A message over the server's limit is refused and the run goes on; the quota ends
    it; what the output says is on the server is."""
    dovecot = w.start_dovecot("quota", "plugin {\n  quota = maildir:User quota\n  quota_rule = *:storage=3M\n"
                                       "  quota_max_mail_size = 1M\n}\n", plugins="quota")
    try:
        messages = [ODD[0], large(2), ODD[1]] + generated(200, 3)
        path = w.mailbox("quota/Inbox.mbx", messages)
        rc, out, err = cli("--ca-file", w.ca, "-o", w.url(port=dovecot.tls_port), path)
        check(rc == 5 and re.search(r"message 2 \(offset [\d,]+, [\d,]+ bytes\) was not uploaded: .*\[LIMIT\]", err)
              and "[OVERQUOTA]" in err, "the limit and the quota: status 5 and their lines: %d %r" % (rc, err))
        confirmed = confirmed_before_the_error(out)
        account = w.account(dovecot)
        there = account.bodies("INBOX")
        # Messages sent before the quota's answer came may fit all the same: what counts is
        # that the output's count is what the server holds, in the mailbox's order.
        rest = iter(served(m) for n, m in enumerate(messages) if n != 1)
        check(confirmed > 2 and len(there) == confirmed and all(m in rest for m in there),
              "the quota: %d confirmed, %d there" % (confirmed, len(there)))
        account.close()
    finally:
        dovecot.stop()


def interrupted(w):
    """Ctrl+C while the mailbox still comes: the run stops before its next message, and
    what it says is on the server is there. (Wine gives a program without a console of
    its own no Ctrl+C for a SIGINT: not there.)"""
    if UNDER_WINE:
        return
    messages = generated(300, 4)
    data = oe4_mailbox(messages)
    env = dict(os.environ, CARROWIN_IMAP_PASSWORD=PASSWORD)
    run = subprocess.Popen([*CLI, "-q", "--format", "imap", "--ca-file", w.ca, "-o", w.url("Stopped"), "-"],
                           stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env)
    run.stdin.write(data[:len(data) // 2])
    run.stdin.flush()
    account = Account(w.dovecot.tls_port, w.ca)  # beside the run's session
    deadline = time.time() + 60
    while time.time() < deadline and b"Stopped" not in b"".join(account.imap.list()[1] or [b""]):
        time.sleep(0.05)
    while time.time() < deadline and not account.bodies("Stopped"):
        time.sleep(0.05)
    run.send_signal(signal.SIGINT)
    try:  # it stops by itself, the rest of the mailbox still to come
        run.wait(timeout=60)
    except subprocess.TimeoutExpired:
        pass
    out, err = run.communicate(timeout=60)
    out, err = out.decode(), err.decode()
    m = re.search(r"standard input: (\d+) messages? uploaded", out)
    there = account.bodies("Stopped")
    check(run.returncode == 130 and m and "the messages the server confirmed stay there" in err,
          "Ctrl+C: status 130 and its lines: %d %r %r" % (run.returncode, out, err))
    check(m and int(m.group(1)) == len(there) and there == [served(x) for x in messages[:len(there)]],
          "Ctrl+C: what the summary counts is there: %r, %d there" % (out, len(there)))
    account.close()


def oauth(w):
    path = w.mailbox("oauth/Inbox.mbx", ODD[:1])
    rc, out, err = cli("--ca-file", w.ca, "--oauth2-token-command", "echo good-token", "-o", w.url("Token"), path,
                       secret=None)
    account = w.account()
    check(rc == 0 and account.bodies("Token") == [served(ODD[0])], "an OAuth 2 token logs in: %d %r" % (rc, err))
    account.close()
    rc, out, err = cli("--ca-file", w.ca, "--oauth2-token-command", "echo bad-token", "-o", w.url("Token"), path,
                       secret=None)
    check(rc == 4 and "refused the login of tester" in err and "bad-token" not in out + err,
          "a token the server refuses: status 4, never the token: %d %r" % (rc, err))


def small_server(w):
    """A server without LITERAL+, BINARY or SASL-IR: each message after the go-ahead; one
    that holds a NUL refused in its line, the others sent as they are."""
    server = SmallServer("AUTH=PLAIN", (w.cert, w.key))
    nul = ODD.index(next(m for m in ODD if b"\0" in m))
    messages = [ODD[0], ODD[nul], ODD[1]]
    path = w.mailbox("small/Inbox.mbx", messages)
    rc, out, err = cli("--ca-file", w.ca, "-o", w.url(port=server.port), path)
    check(rc == 5 and "message 2 (offset" in err and "holds a NUL byte" in err
          and out.endswith("2 messages uploaded to %s; 1 refused\n" % w.url("INBOX", server.port)),
          "a NUL without BINARY: refused in its line, status 5: %d %r %r" % (rc, out, err))
    check(server.appended == [ODD[0], ODD[1]], "the others as they are: %r" % server.appended)
    server.stop()


def main():
    root = tempfile.mkdtemp(prefix="carrowin-imap.")
    os.chmod(root, 0o755)
    w = World(root)
    try:
        for case in (upload_store, cut_and_resumed, refused_connections, quota_and_limit, interrupted, oauth,
                     small_server):
            began = time.time()
            case(w)
            print("%s: %.1f s" % (case.__name__, time.time() - began))
    finally:
        w.stop()
        subprocess.run(["rm", "-rf", root])
    if FAILURES:
        print("%d checks failed" % len(FAILURES), file=sys.stderr)
        return 1
    print("uploaded to Dovecot and servers of the test's own, read back: every message there once, as it was")
    return 0


if __name__ == "__main__":
    sys.exit(main())
