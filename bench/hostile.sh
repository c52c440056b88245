#!/usr/bin/env bash
# What hostile mailboxes cost: 100 messages whose Subject is an encoded word that never
# ends, 9,300 times over (65 KB), named with --decode-subjects and without; medians of
# REPS, in one run, on tmpfs unless BENCH_DIR names another folder.
set -euo pipefail
cd "$(dirname "$0")/.."
REPS=${REPS:-5}
bash scripts/setup.sh release >/dev/null
bin=$PWD/build/release
default_dir=/tmp; [ -d /dev/shm ] && default_dir=/dev/shm
work=$(mktemp -d "${BENCH_DIR:-$default_dir}/carrowin-hostile.XXXX")
trap 'rm -rf "$work"' EXIT
seconds() { local t0 t1; t0=$(date +%s.%N); "$@" >/dev/null 2>&1; t1=$(date +%s.%N); awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.4f\n", b - a }'; }
median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

"$bin/bench/make-mailbox" --messages 100 --subject '=?a?Q?x' --subject-repeat 9300 "$work/words.mbx"
plain=""; decoded=""
for ((r = 0; r < REPS; r++)); do
  plain+="$(seconds "$bin/cli/carrowin-cli" -q --dry-run "$work/words.mbx")"$'\n'
  decoded+="$(seconds "$bin/cli/carrowin-cli" -q --dry-run --decode-subjects "$work/words.mbx")"$'\n'
done
p=$(printf '%s' "$plain" | sed '/^$/d' | median); d=$(printf '%s' "$decoded" | sed '/^$/d' | median)
printf 'encoded words that never end: %.3f s plain, %.3f s with --decode-subjects\n' "$p" "$d"
