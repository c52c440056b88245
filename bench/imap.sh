#!/usr/bin/env bash
# --format imap into a Dovecot of this machine (TLS, 127.0.0.1) against mbsync pushing
# the Maildir that carrowin-cli writes of the same mailbox: 20,000 small messages and 1 GB
# of messages of about 1 MB, alternating, medians of REPS; then carrowin-cli's peak
# memory while it uploads. Installs dovecot-imapd and isync (mbsync) when missing.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh
missing=()
command -v mbsync >/dev/null || missing+=(isync)
[ -x /usr/sbin/dovecot ] || missing+=(dovecot-imapd)
command -v openssl >/dev/null || missing+=(openssl)
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get install -y --no-install-recommends "${missing[@]}" >/dev/null
fi
bench_start imap
REPS=${REPS:-3}
"$bin/testing/make-mailbox" --messages "${MESSAGES:-20000}" --seed 1 "$work/small.mbx"
"$bin/testing/make-mailbox" --messages 1000 --body-size 1000000 --seed 3 "$work/big.mbx"
REPS=$REPS BIN=$bin WORK=$work python3 bench/imap_bench.py "$work/small.mbx" "$work/big.mbx"
