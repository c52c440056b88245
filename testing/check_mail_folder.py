#!/usr/bin/python3
"""What a power cut left of carrowin-cli's mbox or Maildir output.

  check_mail_folder.py maildir MAILBOX PLAN DIR [--all]
      every file in DIR/cur and DIR/new must hold one of the mailbox's messages whole, as
      its own bytes (its record's text where the record's header is sound; PLAN: the
      eml dry run's lines, for where each record lies); with --all (the run had
      reported), every message must be there
  check_mail_folder.py mbox REFERENCE DIR [--all]
      DIR holds no mbox, or the whole one (equal to REFERENCE, written by a run that
      was not cut); with --all it must hold it

Prints "damaged:" or "missing:" lines and a last line of counts; exits 1 on any.
"""
import collections
import hashlib
import os
import struct
import sys


def own_bytes(header, body):
    """A record's message: the text its header gives where that fits and zeros follow."""
    if len(header) == 16:
        size = struct.unpack("<I", header[12:16])[0]
        if size <= len(body) and not body[size:].strip(b"\0"):
            return body[:size]
    return body


def maildir(mailbox, plan, folder, everything):
    expected = collections.Counter()
    with open(mailbox, "rb") as box, open(plan) as lines:
        for line in lines:
            number, offset, size = (int(x) for x in line.split("\t")[:3])
            box.seek(offset)
            header = box.read(16)
            expected[hashlib.sha256(own_bytes(header, box.read(size))).digest()] += 1
    found = collections.Counter()
    damaged = 0
    for sub in ("cur", "new"):
        path = os.path.join(folder, sub)
        for name in sorted(os.listdir(path)) if os.path.isdir(path) else []:
            with open(os.path.join(path, name), "rb") as f:
                digest = hashlib.sha256(f.read()).digest()
            found[digest] += 1
            if found[digest] > expected[digest]:
                print("damaged: %s/%s" % (sub, name))
                damaged += 1
    missing = sum((expected - found).values()) if everything else 0
    if missing:
        print("missing: %d messages the run reported as written" % missing)
    print("maildir: %d whole messages of %d, %d damaged" % (sum(found.values()) - damaged,
                                                            sum(expected.values()), damaged))
    return 1 if damaged or missing else 0


def mbox(reference, folder, everything):
    name = os.path.basename(reference)
    entries = [e for e in os.listdir(folder) if not e.startswith(".")] if os.path.isdir(folder) else []
    problems = [e for e in entries if e != name]
    for e in problems:
        print("damaged: %s (no such file is written)" % e)
    if name in entries:
        with open(reference, "rb") as a, open(os.path.join(folder, name), "rb") as b:
            if a.read() != b.read():
                print("damaged: %s" % name)
                problems.append(name)
    elif everything:
        print("missing: %s, which the run reported as written" % name)
        problems.append(name)
    print("mbox: %s, %d problems" % ("there" if name in entries else "not there", len(problems)))
    return 1 if problems else 0


def main(args):
    everything = "--all" in args
    args = [a for a in args if a != "--all"]
    if args[0] == "maildir" and len(args) == 4:
        return maildir(*args[1:], everything)
    if args[0] == "mbox" and len(args) == 3:
        return mbox(*args[1:], everything)
    sys.exit(__doc__)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
