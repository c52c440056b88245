#!/usr/bin/python3
"""Reads the mbox files and Maildir tree that carrowin-cli writes back with the programs
that read such folders: Python's mailbox module, formail (procmail's) and a Dovecot IMAP
server started here, as an ordinary process with a configuration of its own on a free
port of 127.0.0.1. Every message must come back with its own bytes, the text its record
holds without the padding after it (for mbox: quoted as mboxrd quotes, a line end added
where it has none; as IMAP: with the server's CRLF line ends), none merged with another,
the arrival dates must be the Date fields', and every mailbox must have a folder of its
own, named after it, that the server opens.

usage: mail_readback_test.py CARROWIN_CLI MAKE_MAILBOX
"""
import imaplib
import mailbox
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "testing"))
from mail_servers import (Dovecot, as_imap, date_of, fetch_all, imap_folders, oe4_mailbox,  # noqa: E402
                          oe4_records, served_user)

CLI, MAKE_MAILBOX = sys.argv[1], sys.argv[2]
FAILURES = []


def check(ok, what):
    if not ok:
        FAILURES.append(what)
        print("FAIL:", what, file=sys.stderr)


# What mail rescued from old backups holds: "From " lines in bodies (quoted or not, and
# at the very start), messages without a final line end, LF-only and CRLF ones, 8-bit
# headers, envelope senders in Return-Path or only in From, and ones no reader must
# trust (8-bit, quotes, backslashes), dates in other zones or none, a message that is
# a header alone.
ODD = [
    b"Return-Path: <bounce@example.com>\r\nFrom: Ann <ann@example.com>\r\n"
    b"Date: Tue, 3 Feb 2004 10:20:30 +0100\r\nSubject: From lines\r\n\r\n"
    b"From here on\r\n>From there\r\n>>From far\r\nFrom\r\nFromage\r\n",
    b"From nobody Mon Jan  1 00:00:00 2001\nSubject: starts with From\n"
    b"Date: Mon, 1 Jan 2001 12:00:00 GMT\n\nLF only\nFrom me\n\nFrom you\n",
    b"Subject: no final line end\r\nDate: 2 Mar 1999 08:00 -0500\r\n\r\nlast",
    b"Subject: caf\xe9 8-bit\r\nFrom: J\xf6rg <j\xf6rg@example.de>\r\n"
    b"Date: Sun, 31 Dec 2000 23:59:59 +0000\r\n\r\nGr\xfc\xdfe\r\n",
    b"Newsgroups: alt.test\r\nSubject: news\r\nDate: Fri, 13 Jun 2003 07:08:09 +0200\r\n\r\n\r\n\r\n",
    b"Return-Path: <\"a@example.com>\r\nSubject: an unbalanced quote\r\n\r\nquoted\r\n",
    b"Return-Path: <a\\>\r\nFrom: \"a<b\" <c@example.com>\r\nSubject: a backslash\r\n\r\nescaped\r\n",
    b"Subject: a header alone\r\nDate: Wed, 4 Jul 2001 10:00:00 +0000\r\n",
]


# The mailboxes of the store and where each goes: its mbox file; its Maildir++ folder as
# Python names it (None for the top); its name over IMAP, in a Maildir and in the mbox
# folder (None where the server is not to open it).
MAILBOXES = {
    "Inbox": ("Inbox.mbox", None, "INBOX", "INBOX"),
    "Sent Items": ("Sent Items.mbox", "Sent Items", "Sent Items", "Sent Items.mbox"),
    "Archiv.2003": ("Archiv.2003.mbox", "Archiv\\2e2003", "Archiv.2003", "Archiv.2003.mbox"),
    "Gel\u00f6schte Objekte": ("Gel\u00f6schte Objekte.mbox", "Gel&APY-schte Objekte", "Gel&APY-schte Objekte",
                              "Gel&APY-schte Objekte.mbox"),
    "Generated": ("Generated.mbox", "Generated", "Generated", "Generated.mbox"),
    # Names that clean to one are numbered, never merged; "~" begins no name that a
    # server opens (Dovecot opens no mbox of such a name either, below).
    "Sent": ("Sent.mbox", "Sent", "Sent", "Sent.mbox"),
    "Sent?": ("Sent(1).mbox", "Sent(1)", "Sent(1)", "Sent(1).mbox"),
    "~Drafts": ("~Drafts.mbox", "\\7eDrafts", "~Drafts", None),
}


def make_store(root):
    store = os.path.join(root, "store")
    os.makedirs(store)
    for name in MAILBOXES:
        if name != "Generated":
            with open(os.path.join(store, name + ".mbx"), "wb") as f:
                f.write(oe4_mailbox(ODD if name == "Inbox" else list(reversed(ODD))))
    # A record whose header is not sound keeps its whole body.
    with open(os.path.join(store, "Sent.mbx"), "ab") as f:
        f.write(b"\x00\x7f\x00\x7f" + struct.pack("<III", 99, 16 + 5000, 5000) + b"Subject: cut short\r\n\r\nx")
    subprocess.run([MAKE_MAILBOX, "--messages", "400", "--seed", "21", os.path.join(store, "Generated.mbx")],
                   check=True, stdout=subprocess.DEVNULL)
    return store


def cli(*args):
    r = subprocess.run([CLI, "-q", *args], capture_output=True)
    if r.returncode != 0:
        sys.exit("carrowin-cli %s failed: %s" % (" ".join(args), r.stderr.decode(errors="replace")))
    return r.stdout.decode()


def references(store):
    """Every mailbox's messages, in order, as their own bytes."""
    return {name: oe4_records(os.path.join(store, name + ".mbx")) for name in MAILBOXES}


def mboxrd(message):
    return re.sub(rb"(?m)^(>*From )", rb">\1", message)


def in_mbox(message):
    """A message as an mbox reader gives it back: quoted as mboxrd quotes, and with a line
    end where it had none of its own (the empty line before a From line is taken off)."""
    return mboxrd(message) + (b"" if message.endswith(b"\n") or not message else b"\n")


def check_python_mbox(folder, refs):
    for name, messages in refs.items():
        box = mailbox.mbox(os.path.join(folder, MAILBOXES[name][0]), create=False)
        got = [box.get_bytes(key, from_=False) for key in box.keys()]
        want = [in_mbox(m) for m in messages]
        check(got == want, "Python's mailbox.mbox reads %s back (%d of %d messages equal)"
              % (MAILBOXES[name][0], sum(a == b for a, b in zip(got, want)), len(want)))
        for key, m in zip(box.keys(), messages):
            from_line = box.get_message(key).get_from()
            sender = from_line.split(" ", 1)[0]
            check(re.fullmatch(r"[!#-\[\]-~]{1,254}", sender) is not None, "From line sender %r" % from_line)
            when = date_of(m)
            if when is not None:
                check(from_line.endswith(time.asctime(time.gmtime(when))), "From line date of %r" % from_line)


def check_formail(folder, refs):
    """formail splits an mbox where an empty line is followed by a From line: into as many
    messages as the mailbox held, each beginning with its From line and ending as it did."""
    for name, messages in refs.items():
        with open(os.path.join(folder, MAILBOXES[name][0]), "rb") as f:
            out = subprocess.run(["formail", "-s", "sh", "-c", "cat; printf '\\0END\\0'"], stdin=f,
                                 capture_output=True, check=True).stdout
        pieces = out.split(b"\0END\0")[:-1]
        check(len(pieces) == len(messages), "formail splits %s into %d messages, of %d"
              % (MAILBOXES[name][0], len(pieces), len(messages)))
        for piece, m in zip(pieces, messages):
            last = in_mbox(m).rstrip(b"\r\n").rsplit(b"\n", 1)[-1]
            check(piece.startswith(b"From ") and piece.rstrip(b"\r\n").endswith(last),
                  "formail: a message of %s ends as it did: %r" % (name, piece[-40:]))


def check_python_maildir(folder, refs):
    top = mailbox.Maildir(folder, factory=None, create=False)
    folders = {name: where[1] for name, where in MAILBOXES.items()}
    check(sorted(top.list_folders()) == sorted(f for f in folders.values() if f),
          "Maildir++ folders %r" % top.list_folders())
    for name, messages in refs.items():
        box = top if folders[name] is None else top.get_folder(folders[name])
        got = sorted(box.get_bytes(key) for key in box.keys())
        check(got == sorted(messages), "Python's mailbox.Maildir reads %s back" % name)
        for key in box.keys():
            msg = box.get_message(key)
            check(msg.get_subdir() == "cur" and msg.get_flags() == "S", "%s: in cur/, seen" % key)
            when = date_of(box.get_bytes(key))
            if when is not None:
                check(abs(msg.get_date() - when) < 1, "%s: the file's time is its Date" % key)


def check_imap(server_root, folder_map, refs, transform, what):
    """`folder_map`: the IMAP name of each mailbox; `transform`: a message as the folder holds it."""
    user = served_user(server_root)
    index = os.path.join(server_root, "index")
    server = Dovecot(server_root, what["location"].format(index=index), user, what.get("plugins", ""))
    try:
        imap = imaplib.IMAP4("127.0.0.1", server.port)
        imap.login("tester", "secret")
        listed = imap_folders(imap)
        expected = sorted(n for n in folder_map.values() if n)
        check(sorted(n for n in listed if n in expected or not what.get("more_listed")) == expected,
              "%s: IMAP folders %r, expected %r" % (what["name"], listed, expected))
        for name, messages in refs.items():
            if folder_map[name] is None:
                continue
            fetched = fetch_all(imap, folder_map[name])
            bodies = [body for _, body in fetched]
            want = [as_imap(transform(m)) for m in messages]
            if what["ordered"]:
                check(bodies == want, "%s: %s fetched byte for byte (%d of %d equal)"
                      % (what["name"], name, sum(a == b for a, b in zip(bodies, want)), len(want)))
            else:
                check(sorted(bodies) == sorted(want), "%s: %s fetched byte for byte" % (what["name"], name))
            if os.environ.get("READBACK_DEBUG"):
                for a, b in zip(sorted(bodies), sorted(want)):
                    if a != b:
                        print("got ", a[-60:], "\nwant", b[-60:], file=sys.stderr)
                        break
            dated = {as_imap(transform(m)): date_of(m) for m in messages}
            for internal, body in fetched:
                when = dated.get(body)
                if when is not None:
                    check(internal == when, "%s: %s INTERNALDATE %s is the Date field's %s"
                          % (what["name"], name, time.asctime(time.gmtime(internal)), time.asctime(time.gmtime(when))))
        imap.logout()
        for folder in (n for n in folder_map.values() if n):
            resync = server.doveadm("force-resync", "-u", "tester", folder)
            check(resync.returncode == 0, "%s: doveadm force-resync %s: %s" % (what["name"], folder, resync.stderr))
    finally:
        server.stop()
    problems = [line for line in server.log_text().splitlines()
                if "Killed with signal 15" not in line and re.search(r"\b(Error|Warning|Panic|Fatal)\b|[Cc]orrupt|[Ff]ixed", line)]
    check(not problems, "%s: Dovecot found nothing to repair, its log says:\n  %s"
          % (what["name"], "\n  ".join(problems)))


def main():
    root = tempfile.mkdtemp(prefix="carrowin-readback-")
    os.chmod(root, 0o755)
    try:
        store = make_store(root)
        refs = references(store)
        mbox_dir = os.path.join(root, "mbox")
        maildir = os.path.join(root, "Maildir")
        cli("--format", "mbox", "--dates", "-o", mbox_dir, store)
        cli("--format", "maildir", "--dates", "-o", maildir, store)

        check_python_mbox(mbox_dir, refs)
        check_formail(mbox_dir, refs)
        check_python_maildir(maildir, refs)

        if not os.path.exists("/usr/sbin/dovecot"):
            sys.exit("Dovecot is not installed (Debian: dovecot-imapd); setup.sh dev installs it")
        served = os.path.join(root, "served-maildir")
        shutil.copytree(maildir, os.path.join(served, "Maildir"), symlinks=True)
        check_imap(served, {name: where[2] for name, where in MAILBOXES.items()}, refs, lambda m: m,
                   {"name": "Maildir", "ordered": False, "plugins": "listescape",
                    "location": "maildir:%s/Maildir:INDEX={index}" % served})
        served = os.path.join(root, "served-mbox")
        shutil.copytree(mbox_dir, os.path.join(served, "mail"))
        # Dovecot lists the mbox whose name begins with "~" but will not open it.
        check_imap(served, {name: where[3] for name, where in MAILBOXES.items()}, refs, in_mbox,
                   {"name": "mbox", "ordered": True, "more_listed": True,
                    "location": "mbox:%s/mail:INBOX=%s/mail/Inbox.mbox:INDEX={index}:UTF-8" % (served, served)})
    finally:
        subprocess.run(["rm", "-rf", root])
    if FAILURES:
        print("%d checks failed" % len(FAILURES), file=sys.stderr)
        return 1
    print("mbox and Maildir read back by Python's mailbox, formail and Dovecot: every message equal")
    return 0


if __name__ == "__main__":
    sys.exit(main())
