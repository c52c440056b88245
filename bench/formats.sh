#!/usr/bin/env bash
# mbox and Maildir output against the default (a file a message) on 20,000 small
# messages, and against `cat mailbox > copy` on 1 GB of messages of about 1 MB, in one run
# (medians of REPS, alternating); then the peak memory of each format. BEFORE_CLI names
# another carrowin-cli to time beside it, format by format, in the same run.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh
bench_start formats

fresh() { rm -rf "$work/out" "$work/copy"; mkdir "$work/out"; sync; }
cli() { "$bin/cli/carrowin-cli" -q -o "$work/out" "$@"; }
before() { "$BEFORE_CLI" -q -o "$work/out" "$@"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
# time_formats MAILBOX: medians of eml, mbox and maildir (and cat, and BEFORE_CLI's) into
# $t_eml, $t_before_eml...
time_formats() {
  local -A runs=()
  local r f
  for ((r = 0; r < REPS; r++)); do
    fresh; runs[cat]+="$(seconds sh -c "cat '$1' > '$work/copy'")"$'\n'
    for f in eml mbox maildir; do
      fresh; runs[$f]+="$(seconds cli --format $f "$1")"$'\n'
      if [ -n "${BEFORE_CLI:-}" ]; then
        fresh; runs[before_$f]+="$(seconds before --format $f "$1")"$'\n'
      fi
    done
  done
  for f in "${!runs[@]}"; do
    printf -v "t_$f" '%s' "$(printf '%s' "${runs[$f]}" | sed '/^$/d' | median)"
  done
}
# The same formats' times of BEFORE_CLI, and how the times compare.
print_before() {
  [ -n "${BEFORE_CLI:-}" ] || return 0
  local f t b
  for f in eml mbox maildir; do
    t=t_$f; b=t_before_$f
    printf '  before %-8s %.3f s   this one takes %s x its time\n' "$f" "${!b}" "$(ratio "${!t}" "${!b}")"
  done
}

"$bin/testing/make-mailbox" --messages "${MESSAGES:-20000}" --seed 1 "$work/small.mbx"
time_formats "$work/small.mbx"
echo "$(du -m "$work/small.mbx" | cut -f1) MB, ${MESSAGES:-20000} messages:"
printf '  eml      %.3f s\n' "$t_eml"
printf '  mbox     %.3f s   %s x eml\n' "$t_mbox" "$(ratio "$t_mbox" "$t_eml")"
printf '  maildir  %.3f s   %s x eml\n' "$t_maildir" "$(ratio "$t_maildir" "$t_eml")"
print_before
rm -f "$work/small.mbx"

"$bin/testing/make-mailbox" --messages 1000 --body-size 1000000 --seed 3 "$work/big.mbx"
time_formats "$work/big.mbx"
echo "$(du -m "$work/big.mbx" | cut -f1) MB, 1,000 messages of about 1 MB:"
printf '  cat      %.3f s\n' "$t_cat"
for f in eml mbox maildir; do
  t=t_$f
  printf '  %-8s %.3f s   %s x cat\n' "$f" "${!t}" "$(ratio "${!t}" "$t_cat")"
done
print_before

rss_of() { local program=$1; shift; fresh; "$bin/bench/peak-rss" "$program" -q -o "$work/out" "$@" | awk '{printf "%6.1f", $1 / 1024}'; }
# peaks LABEL MAILBOX: the line of each format's peak, and BEFORE_CLI's beneath.
peaks() {
  local f line=""
  for f in eml mbox maildir; do line+="  $(rss_of "$bin/cli/carrowin-cli" --format $f "$2")"; done
  printf '  %-25s%s\n' "$1" "$line"
  [ -n "${BEFORE_CLI:-}" ] || return 0
  line=""
  for f in eml mbox maildir; do line+="  $(rss_of "$BEFORE_CLI" --format $f "$2")"; done
  printf '  %-25s%s\n' "  before" "$line"
}
echo "peak resident memory (MiB):      eml    mbox maildir"
peaks "1 GB of 1 MB messages" "$work/big.mbx"
rm -f "$work/big.mbx"
"$bin/testing/make-mailbox" --messages 1 --body-size $((2 << 30)) "$work/one.mbx"
peaks "one message of 2 GiB" "$work/one.mbx"
