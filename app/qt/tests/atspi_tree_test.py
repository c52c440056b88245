#!/usr/bin/python3
"""atspi_tree_test.py CARROWIN: starts the window on the display and accessibility bus
that on-virtual-display.sh provides and reads it as a screen reader does, through
AT-SPI: every control is found with its role, its name, the label that names it and its
tooltip as its description."""
import os
import subprocess
import sys
import tempfile
import time

import pyatspi

EXPECTED = [  # role, name, labelled by, description
    ("frame", "Carrowin -- For OE4 messages--ver. 2.11", None, ""),
    ("heading", "Action", None, ""),
    ("separator", "Action", None, ""),
    ("panel", "Save", None, ""),
    ("radio button", "By Subject", "Save", "Select to name Output files by message Subject"),
    ("check box", "Remove Re:", "Save", "Select to remove Re from replies to same Subject"),
    ("radio button", "By Prefix", "Save", "Select to name files by Prefix below"),
    ("text", "File name prefix", "Save", "Type in value to use for File Prefix"),
    ("heading", "Input", None, ""),
    ("combo box", "Input folder", "Path:", "Set Directory Path to DBX files"),
    ("combo box", "Mailbox file", "File:", "Select DBX file to Extract"),
    ("heading", "Output", None, ""),
    ("text", "Output folder", "Path:", "Type or Paste in Path for Output files or use current"),
    ("push button", "Extract", None, "Click to begin file extraction!"),
    ("push button", "Cancel", None, ""),
    ("progress bar", "Progress", "Progress:", ""),
]


def labelled_by(node):
    for relation in node.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY:
            return relation.getTarget(0).name
    return None


def tree(node):
    yield node
    for child in node:
        if child is not None:
            yield from tree(child)


def window_of(name, seconds):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name == name:
                for window in app:
                    if window is not None and window.getRoleName() == "frame":
                        return window
        time.sleep(0.1)
    return None


def main():
    with tempfile.TemporaryDirectory() as work:
        # A user's store, found through a Wine prefix's registry, with one mailbox.
        os.makedirs(f"{work}/store/mail")
        os.makedirs(f"{work}/wine")
        open(f"{work}/store/mail/Inbox.mbx", "wb").close()
        with open(f"{work}/wine/user.reg", "w") as reg:
            reg.write('WINE REGISTRY Version 2\n\n[Software\\\\Microsoft\\\\Outlook Express] 1\n'
                      f'"Store Root"="{work}/store"\n')
        env = dict(os.environ, WINEPREFIX=f"{work}/wine", QT_QPA_PLATFORM="xcb",
                   QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        program = subprocess.Popen([sys.argv[1]], cwd=work, env=env)
        try:
            window = window_of("Carrowin", 30)
            if window is None:
                print("atspi_tree_test: the window never appeared on the accessibility bus")
                return 1
            found = [(n.getRoleName(), n.name, labelled_by(n), n.description) for n in tree(window)]
            missing = [e for e in EXPECTED if e not in found]
            for e in missing:
                print("atspi_tree_test: not in the tree:", e)
            unnamed = [f for f in found if f[1] == "" and f[0] not in ("filler", "text")]
            for f in unnamed:
                print("atspi_tree_test: unnamed:", f)
            print(f"atspi_tree_test: {len(found)} objects read, {len(missing) + len(unnamed)} wrong")
            return 1 if missing or unnamed else 0
        finally:
            program.terminate()
            program.wait(10)


sys.exit(main())
