#!/usr/bin/env bash
# power-cut-test.sh [FS...]: cuts the power under carrowin-cli on real file systems
# (ext4, xfs and btrfs by default) with ../shared/tools/power-cut, and checks what the
# disk kept: every file under a message's name holds exactly that message's bytes, and
# after a run that printed its summary before the cut, every message is there.
# The cuts: at several moments of a run of 20,000 messages, inside a message of 300 MB,
# and one second after the run ended and another program fsynced a file of its own.
# Needs root, /dev/fuse and loop devices. CARROWIN_CLI names another carrowin-cli to try.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
tool=${POWER_CUT:-$top/../shared/tools/power-cut/power-cut}
[ -f "$tool" ] || { echo "power-cut-test: no power-cut tool at $tool"; exit 2; }
[ "$(id -u)" -eq 0 ] || { echo "power-cut-test: needs root (loop devices, FUSE)"; exit 2; }
filesystems=("$@")
[ ${#filesystems[@]} -gt 0 ] || filesystems=(ext4 xfs btrfs)

for p in xfsprogs btrfs-progs; do # the tool asks for them too; here before the first cut
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' ||
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$p" >/dev/null
done
bash scripts/setup.sh release >/dev/null
bin=$top/build/release
cli=${CARROWIN_CLI:-$bin/cli/carrowin-cli}
work=$(mktemp -d /var/tmp/carrowin-power-cut.XXXX)
trap 'rm -rf "$work"' EXIT

# The mailboxes, and where each message lies in them (the dry run's plan).
"$bin/testing/make-mailbox" --messages 20000 --seed 7 "$work/small.mbx"
"$bin/testing/make-mailbox" --messages 300 --seed 8 "$work/head.mbx"
"$bin/testing/make-mailbox" --messages 1 --body-size $((300 << 20)) --first-number 301 "$work/large.mbx"
# One mailbox of 300 small messages, one of 300 MB and 300 small again: the large one
# is the second file's record, appended after the first file's records.
{ cat "$work/head.mbx"; tail -c +85 "$work/large.mbx"; tail -c +85 "$work/head.mbx"; } >"$work/mixed.mbx"
for m in small mixed; do
  "$cli" --dry-run -o "$work/nowhere" "$work/$m.mbx" >"$work/$m.plan" 2>/dev/null
done
# What a run that is not cut writes as an mbox, for comparison.
"$cli" -q --format mbox -o "$work/reference" "$work/small.mbx" >/dev/null

# The tool mounts the image again right after the cut, while the kernel may still be
# taking the cut XFS down (its lazy unmount goes on for some milliseconds); until that is
# over, XFS refuses the image as a duplicate UUID. The tool's mount goes through this
# one, which first waits (5 s at most) until /sys/fs/xfs has no entry left without a
# mount (a cut XFS keeps its entry until its UUID is free), and where /sys is not there
# (a chroot) mounts again for 5 s at most while the mount is refused.
mkdir "$work/bin"
cat >"$work/bin/mount" <<EOF
#!/usr/bin/env bash
[ "\${1:-}" = -t ] && [ "\${2:-}" = xfs ] || exec $(command -v mount) "\$@"
for _ in \$(seq 1 100); do
  mounted=\$(awk '\$3 == "xfs" && \$1 ~ /^\/dev\/loop/' /proc/self/mounts | wc -l)
  present=\$(ls -d /sys/fs/xfs/loop* 2>/dev/null | wc -l)
  [ "\$present" -le "\$mounted" ] && break
  sleep 0.05
done
for _ in \$(seq 1 50); do
  $(command -v mount) "\$@" 2>/dev/null && exit 0
  sleep 0.1
done
exec $(command -v mount) "\$@"
EOF
chmod +x "$work/bin/mount"

failures=0
last=""
format=eml # what carrowin-cli writes: eml, mbox or maildir
# cut FS MAILBOX WHEN...: one power cut, checked; its result in $last.
cut() {
  local fs=$1 mailbox=$2; shift 2
  local summary=$work/summary
  rm -f "$summary"
  # A run that printed its summary (not the count before an error) reported what is there.
  local all="\$(grep -v 'before the error' '$summary' 2>/dev/null | grep -q 'written to' && echo --all)"
  local check="$bin/testing/check-split '$work/$mailbox.mbx' '$work/$mailbox.plan' \"\$POWER_CUT_MNT/out\" $all"
  local folders="$top/testing/check_mail_folder.py"
  [ $format = maildir ] &&
    check="/usr/bin/python3 '$folders' maildir '$work/$mailbox.mbx' '$work/$mailbox.plan' \"\$POWER_CUT_MNT/out\" $all"
  [ $format = mbox ] &&
    check="/usr/bin/python3 '$folders' mbox '$work/reference/$mailbox.mbox' \"\$POWER_CUT_MNT/out\" $all"
  local result status tries=0
  # Should the file system still not mount after the cut, nothing can be checked: the
  # cut is made again, three times at most, and each time is said.
  while :; do
    status=0
    rm -f "$summary"
    result=$(PATH="$work/bin:$PATH" bash "$tool" --fs "$fs" "$@" --check "$check" -- \
      bash -c "'$cli' -q --format $format -o \"\$POWER_CUT_MNT/out\" '$work/$mailbox.mbx' >'$summary'" 2>&1) || status=$?
    tries=$((tries + 1))
    grep -q 'did not mount after the cut' <<<"$result" && [ $tries -lt 3 ] || break
    echo "again   $fs $format $mailbox $*: the file system did not mount after the cut"
  done
  last=$(tail -n 1 <<<"$result")
  if [ $status -eq 0 ]; then
    echo "passed  $fs $format $mailbox $*: $last"
  else
    echo "FAILED  $fs $format $mailbox $*: $last"
    grep -E '^(damaged|unknown):' <<<"$result" | head -5 || true
    failures=$((failures + 1))
  fi
}
# The seconds a whole run took, from the last cut after it ended.
run_seconds() { sed -n 's/.*"command_s": \([0-9.]*\).*/\1/p' <<<"$last"; }
at() { awk -v s="$1" -v f="$2" 'BEGIN { printf "%.2f", s * f }'; }

for fs in "${filesystems[@]}"; do
  # A whole run, then cut one second after another program's fsync: all must be there.
  cut "$fs" small --after-other-fsync 1
  whole=$(run_seconds)
  for fraction in 0.2 0.5 0.8; do
    cut "$fs" small --during "$(at "${whole:-2}" $fraction)"
  done
  # The large message is the middle of the mailbox; making it durable takes the last
  # part of the run: the cuts come inside it.
  cut "$fs" mixed --after 0
  whole=$(run_seconds)
  for fraction in 0.7 0.9; do
    cut "$fs" mixed --during "$(at "${whole:-1}" $fraction)"
  done
  # A Maildir is written as message files are; an mbox is named once, when complete:
  # after a cut it is there whole or not at all.
  format=maildir cut "$fs" small --after-other-fsync 1
  whole=$(run_seconds)
  format=maildir cut "$fs" small --during "$(at "${whole:-2}" 0.5)"
  format=mbox cut "$fs" small --after-other-fsync 1
  whole=$(run_seconds)
  format=mbox cut "$fs" small --during "$(at "${whole:-1}" 0.7)"
done
echo "power-cut-test: $failures of $((${#filesystems[@]} * 11)) cuts failed"
[ "$failures" -eq 0 ]
