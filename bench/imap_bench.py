"""What bench/imap.sh times: a Dovecot of the bench's own, TLS only; each mailbox uploaded
by carrowin-cli (then again with --skip-existing, which finds every message there) and,
from the Maildir carrowin-cli writes of it, pushed by mbsync, each run into a folder of
its own that goes afterwards; medians of REPS."""

import os
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "testing"))
from mail_servers import Dovecot, make_certificates, served_user  # noqa: E402

BIN = os.environ["BIN"]
WORK = os.environ["WORK"]
REPS = int(os.environ.get("REPS", "3"))
CLI = os.path.join(BIN, "cli", "carrowin-cli")
ENV = dict(os.environ, CARROWIN_IMAP_PASSWORD="secret")


def start():
    os.chmod(WORK, 0o755)  # the server's user, an ordinary one, reaches its home in it
    ca, cert, key = make_certificates(os.path.join(WORK, "certs"))
    home = os.path.join(WORK, "server")
    os.makedirs(os.path.join(home, "Maildir"))
    dovecot = Dovecot(home, "maildir:%s/Maildir:INDEX=%s/index" % (home, home), served_user(home), "",
                      (cert, key), "auth_failure_delay = 0\n")
    return dovecot, ca


def seconds(*command, env=ENV):
    t0 = time.monotonic()
    r = subprocess.run(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    if r.returncode != 0:
        sys.exit("%s failed (%d): %s" % (command[0], r.returncode, r.stderr[-2000:]))
    return time.monotonic() - t0


def mbsync_config(dovecot, ca, maildir, folder, state):
    path = os.path.join(WORK, "mbsyncrc")
    with open(os.path.join(WORK, "password"), "w") as f:
        f.write("secret\n")
    with open(path, "w") as f:
        f.write(f"""IMAPAccount bench
Host localhost
Port {dovecot.tls_port}
User tester
PassCmd "cat {WORK}/password"
SSLType IMAPS
CertificateFile {ca}

IMAPStore far
Account bench

MaildirStore near
Path {maildir}/
Inbox {maildir}

Channel push
Far :far:{folder}
Near :near:INBOX
Create Far
Sync Push
SyncState {state}/
""")
    return path


def drop(dovecot, folder):
    r = dovecot.doveadm("mailbox", "delete", "-u", "tester", "-s", folder)
    if r.returncode != 0:
        sys.exit("the folder %s did not go: %s" % (folder, r.stderr))


def time_mailbox(dovecot, ca, mailbox, name):
    maildir = os.path.join(WORK, name + "-maildir")
    subprocess.run([CLI, "-q", "--format", "maildir", "-o", maildir, mailbox], check=True, stdout=subprocess.DEVNULL)
    cli, again, push = [], [], []
    for rep in range(REPS):
        folder = "%s-cli-%d" % (name, rep)
        url = "imaps://tester@localhost:%d/%s" % (dovecot.tls_port, folder)
        cli.append(seconds(CLI, "-q", "--format", "imap", "--ca-file", ca, "-o", url, mailbox))
        again.append(seconds(CLI, "-q", "--format", "imap", "--skip-existing", "--ca-file", ca, "-o", url, mailbox))
        drop(dovecot, folder)
        folder = "%s-mbsync-%d" % (name, rep)
        state = os.path.join(WORK, "state-%s-%d" % (name, rep))
        os.makedirs(state)
        push.append(seconds("mbsync", "-q", "-c", mbsync_config(dovecot, ca, maildir, folder, state), "push"))
        drop(dovecot, folder)
    subprocess.run(["rm", "-rf", maildir], check=True)
    return statistics.median(cli), statistics.median(again), statistics.median(push)


def peak(dovecot, ca, mailbox, folder):
    url = "imaps://tester@localhost:%d/%s" % (dovecot.tls_port, folder)
    out = subprocess.run([os.path.join(BIN, "bench", "peak-rss"), CLI, "-q", "--format", "imap", "--ca-file", ca,
                          "-o", url, mailbox], check=True, env=ENV, capture_output=True, text=True).stdout
    drop(dovecot, folder)
    return int(out.split()[0]) / 1024


def main():
    small, big = sys.argv[1:3]
    dovecot, ca = start()
    try:
        counts = {}
        for mailbox, words in ((small, "small messages"), (big, "messages of about 1 MB")):
            count = subprocess.run([CLI, "--dry-run", "-o", WORK, mailbox], capture_output=True).stdout.count(b"\n")
            counts[mailbox] = count
            t_cli, t_again, t_push = time_mailbox(dovecot, ca, mailbox, os.path.basename(mailbox)[:-4])
            print("%d MB, %d %s:" % (os.path.getsize(mailbox) >> 20, count, words))
            print("  carrowin-cli --format imap  %7.3f s   %.2f x mbsync's time" % (t_cli, t_cli / t_push))
            print("  mbsync (push of the Maildir) %6.3f s" % t_push)
            print("  again with --skip-existing   %6.3f s   (every message there: compared, none sent)" % t_again)
        print("peak resident memory of the upload: %d messages of 1 MB %.1f MiB, %d small ones %.1f MiB"
              % (counts[big], peak(dovecot, ca, big, "peak-big"), counts[small], peak(dovecot, ca, small, "peak-small")))
    finally:
        dovecot.stop()


main()
