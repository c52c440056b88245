#!/usr/bin/env bash
# What hostile mailboxes cost: 100 messages whose Subject is an encoded word that never
# ends, 9,300 times over (65 KB), named with --decode-subjects and without; medians of
# REPS, in one run, on tmpfs unless BENCH_DIR names another folder.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh
bench_start hostile

"$bin/testing/make-mailbox" --messages 100 --subject '=?a?Q?x' --subject-repeat 9300 "$work/words.mbx"
plain=""; decoded=""
for ((r = 0; r < REPS; r++)); do
  plain+="$(seconds "$bin/cli/carrowin-cli" -q --dry-run "$work/words.mbx")"$'\n'
  decoded+="$(seconds "$bin/cli/carrowin-cli" -q --dry-run --decode-subjects "$work/words.mbx")"$'\n'
done
p=$(printf '%s' "$plain" | sed '/^$/d' | median); d=$(printf '%s' "$decoded" | sed '/^$/d' | median)
printf 'encoded words that never end: %.3f s plain, %.3f s with --decode-subjects\n' "$p" "$d"
