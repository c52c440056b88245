"""What the tests that read mail back share: OE4 mailboxes made and read the way the
program reads them, and a Dovecot IMAP server started as a process of the test's own on
a free port of 127.0.0.1, in the clear or with TLS from a CA the test makes."""
import email.utils
import grp
import imaplib
import os
import pwd
import re
import socket
import struct
import subprocess
import sys
import time


def oe4_mailbox(messages):
    out = b"JMF6" + b"\0" * 80
    for number, text in enumerate(messages, 1):
        pad = (4 - len(text) % 4) % 4
        out += b"\x00\x7f\x00\x7f" + struct.pack("<III", number, 16 + len(text) + pad, len(text))
        out += text + b"\0" * pad
    return out


def oe4_records(path):
    """The messages of an OE4 mailbox, each as its own bytes: the text its record's header
    gives where the header is sound (the text fits, zeros follow it), else the body."""
    data = open(path, "rb").read()
    marker = b"\x00\x7f\x00\x7f"
    messages = []
    at = data.find(marker)
    while at >= 0:
        following = data.find(marker, at + 16)
        body = data[at + 16:len(data) if following < 0 else following]
        header = data[at:at + 16]
        if len(header) == 16:
            size = struct.unpack("<I", header[12:16])[0]
            if size <= len(body) and not body[size:].strip(b"\0"):
                body = body[:size]
        messages.append(body)
        at = following
    return messages


def date_of(message):
    header = re.split(rb"\r?\n\r?\n", message, maxsplit=1)[0]
    m = re.search(rb"(?im)^Date:[ \t]*(.*?)\r?$", header)
    if not m:
        return None
    parsed = email.utils.parsedate_tz(m.group(1).decode("latin-1"))
    return email.utils.mktime_tz(parsed) if parsed else None


def as_imap(message):
    """How Dovecot serves a message's bytes: every line end CRLF, and a NUL (which IMAP
    does not allow in a message) as 0x80."""
    return re.sub(rb"\r?\n", b"\r\n", message).replace(b"\0", b"\x80")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def make_certificates(folder, host="localhost"):
    """A CA of the test's own and a certificate it signs for `host`, a name or an IPv4
    address: (ca, cert, key)."""
    os.makedirs(folder, exist_ok=True)
    ca, ca_key = os.path.join(folder, "ca.pem"), os.path.join(folder, "ca.key")
    cert, key = os.path.join(folder, host + ".pem"), os.path.join(folder, host + ".key")
    run = lambda *args: subprocess.run(["openssl", *args], check=True, capture_output=True)
    if not os.path.exists(ca):
        run("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=Carrowin test CA",
            "-keyout", ca_key, "-out", ca)
    csr = os.path.join(folder, host + ".csr")
    ext = os.path.join(folder, host + ".ext")
    with open(ext, "w") as f:
        kind = "IP" if all(part.isdigit() for part in host.split(".")) else "DNS"
        f.write("subjectAltName=%s:%s\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n" % (kind, host))
    run("req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=" + host, "-keyout", key, "-out", csr)
    run("x509", "-req", "-in", csr, "-CA", ca, "-CAkey", ca_key, "-CAcreateserial", "-days", "2",
        "-extfile", ext, "-out", cert)
    return ca, cert, key


class Dovecot:
    """A Dovecot of the test's own over `mail_location`, serving as `user`. With `tls`
    (a certificate and its key) it takes TLS only: STARTTLS on `port`, TLS from the
    start on `tls_port`, no login in the clear. `settings` go at the end of its
    configuration (a plugin's, another passdb's); `separator` parts its folders' levels."""

    def __init__(self, root, mail_location, user, plugins="", tls=None, settings="", separator="/"):
        self.root = root
        self.port = free_port()
        self.tls_port = free_port() if tls else 0
        self.conf = os.path.join(root, "dovecot.conf")
        self.log = os.path.join(root, "dovecot.log")
        me = pwd.getpwuid(os.getuid()).pw_name
        as_root = os.getuid() == 0
        security = "ssl = no\ndisable_plaintext_auth = no\n"
        if tls:
            security = "ssl = required\nssl_cert = <%s\nssl_key = <%s\ndisable_plaintext_auth = yes\n" % tls
        with open(self.conf, "w") as f:
            f.write(f"""base_dir = {root}/run
state_dir = {root}/state
log_path = {self.log}
info_log_path = {self.log}
listen = 127.0.0.1
protocols = imap
{security}auth_mechanisms = plain login
default_login_user = {"dovenull" if as_root else me}
default_internal_user = {"dovecot" if as_root else me}
default_internal_group = {"dovecot" if as_root else grp.getgrgid(os.getgid()).gr_name}
first_valid_uid = 0
mail_plugins = {plugins}
namespace inbox {{
  inbox = yes
  separator = {separator}
}}
passdb {{
  driver = static
  args = password=secret
}}
userdb {{
  driver = static
  args = uid={user.pw_uid} gid={user.pw_gid} home={root}/home
}}
mail_location = {mail_location}
service imap-login {{
  inet_listener imap {{
    address = 127.0.0.1
    port = {self.port}
  }}
  inet_listener imaps {{
    address = 127.0.0.1
    port = {self.tls_port}
    {"ssl = yes" if tls else ""}
  }}
}}
service anvil {{
  chroot =
}}
service imap-login {{
  chroot =
}}
{settings}
""")
        env = dict(os.environ, TZ="UTC")
        subprocess.run(["/usr/sbin/dovecot", "-c", self.conf], check=True, env=env)
        deadline = time.time() + 20
        while True:
            try:
                socket.create_connection(("127.0.0.1", self.port), timeout=1).close()
                break
            except OSError:
                if time.time() > deadline:
                    self.stop()
                    sys.exit("Dovecot did not start:\n" + self.log_text())
                time.sleep(0.05)

    def log_text(self):
        try:
            return open(self.log, errors="replace").read()
        except OSError:
            return ""

    def doveadm(self, *args):
        return subprocess.run(["/usr/bin/doveadm", "-c", self.conf, *args], capture_output=True, text=True)

    def stop(self):
        subprocess.run(["/usr/bin/doveadm", "-c", self.conf, "stop"], capture_output=True)


def imap_folders(imap):
    typ, listed = imap.list()
    assert typ == "OK", listed
    names = []
    for line in listed:
        m = re.match(rb'\((?P<flags>[^)]*)\) (?:"[^"]*"|NIL) (?P<name>.*)$', line)
        name = m.group("name")
        if name.startswith(b'"'):
            name = re.sub(rb'\\(.)', rb'\1', name[1:-1])
        if b"\\Noselect" not in m.group("flags"):
            names.append(name.decode())
    return names


def fetch_all(imap, folder):
    """(INTERNALDATE, bytes) of each message of the folder, in order."""
    typ, data = imap.select('"' + folder.replace("\\", "\\\\").replace('"', '\\"') + '"', readonly=True)
    assert typ == "OK", (folder, data)
    if int(data[0]) == 0:
        return []
    typ, data = imap.fetch("1:*", "(INTERNALDATE BODY.PEEK[])")
    assert typ == "OK", data
    out = []
    for item in data:
        if isinstance(item, tuple):
            out.append((int(time.mktime(imaplib.Internaldate2tuple(item[0]))), item[1]))
    return out


def served_user(root):
    """Dovecot serves mail as an ordinary user: as root, nobody (owning the copy)."""
    if os.getuid() != 0:
        return pwd.getpwuid(os.getuid())
    user = pwd.getpwnam("nobody")
    for dirpath, dirnames, filenames in os.walk(root):
        for entry in [dirpath] + [os.path.join(dirpath, n) for n in filenames]:
            os.chown(entry, user.pw_uid, user.pw_gid)
    return user
