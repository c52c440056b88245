#!/usr/bin/env bash
# test-as-user.sh BUILD: runs the test programs of BUILD once more as an ordinary user,
# for the tests that permissions decide (root reads and writes everything, so they skip
# when run as root). Fails when a test fails or is skipped. Needs root to make the user.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build/dev}")
user=carrowin-test
id "$user" >/dev/null 2>&1 || useradd --system --no-create-home --shell /usr/sbin/nologin "$user"
status=0
export QT_QPA_PLATFORM=offscreen
for program in $(find "$build" -name '*_test' -type f -perm -u+x | sort); do
  log=$(mktemp)
  if ! (cd /tmp && runuser -u "$user" -- "$program") >"$log" 2>&1; then
    echo "FAILED as $user: $program"; tail -n 30 "$log"; status=1
  elif grep -q -E '^\[  SKIPPED \]|^SKIP ' "$log"; then
    echo "SKIPPED as $user: $program"; grep -E '^\[  SKIPPED \]|^SKIP ' "$log"; status=1
  else
    echo "passed as $user: $program ($(grep -c -E '^\[       OK \]|^PASS ' "$log") tests)"
  fi
  rm -f "$log"
done
# The readback and the upload: as an ordinary user, Dovecot runs and serves the mail as
# that user.
python_test() {
  local name=$1 test=$PWD/cli/tests/$1 log
  shift
  log=$(mktemp)
  if (cd /tmp && runuser -u "$user" -- /usr/bin/python3 "$test" "$@") >"$log" 2>&1; then
    echo "passed as $user: $name"
  else
    echo "FAILED as $user: $name"; tail -n 30 "$log"; status=1
  fi
  rm -f "$log"
}
if [ -x "$build/testing/make-mailbox" ]; then
  python_test mail_readback_test.py "$build/cli/carrowin-cli" "$build/testing/make-mailbox"
fi
python_test imap_upload_test.py "$build/cli/carrowin-cli"
exit $status
