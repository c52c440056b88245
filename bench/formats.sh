#!/usr/bin/env bash
# mbox and Maildir output against the default (a file a message) on 20,000 small
# messages, and against `cat mailbox > copy` on 1 GB of messages of about 1 MB, in one run
# (medians of REPS, alternating); then the peak memory of each format.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh
bench_start formats

fresh() { rm -rf "$work/out" "$work/copy"; mkdir "$work/out"; sync; }
cli() { "$bin/cli/carrowin-cli" -q -o "$work/out" "$@"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
# time_formats MAILBOX: medians of eml, mbox and maildir (and cat) into $t_eml...
time_formats() {
  local eml="" mbox="" maildir="" copy="" r
  for ((r = 0; r < REPS; r++)); do
    fresh; copy+="$(seconds sh -c "cat '$1' > '$work/copy'")"$'\n'
    fresh; eml+="$(seconds cli "$1")"$'\n'
    fresh; mbox+="$(seconds cli --format mbox "$1")"$'\n'
    fresh; maildir+="$(seconds cli --format maildir "$1")"$'\n'
  done
  t_cat=$(printf '%s' "$copy" | sed '/^$/d' | median)
  t_eml=$(printf '%s' "$eml" | sed '/^$/d' | median)
  t_mbox=$(printf '%s' "$mbox" | sed '/^$/d' | median)
  t_maildir=$(printf '%s' "$maildir" | sed '/^$/d' | median)
}

"$bin/testing/make-mailbox" --messages "${MESSAGES:-20000}" --seed 1 "$work/small.mbx"
time_formats "$work/small.mbx"
echo "$(du -m "$work/small.mbx" | cut -f1) MB, ${MESSAGES:-20000} messages:"
printf '  eml      %.3f s\n' "$t_eml"
printf '  mbox     %.3f s   %s x eml\n' "$t_mbox" "$(ratio "$t_mbox" "$t_eml")"
printf '  maildir  %.3f s   %s x eml\n' "$t_maildir" "$(ratio "$t_maildir" "$t_eml")"
rm -f "$work/small.mbx"

"$bin/testing/make-mailbox" --messages 1000 --body-size 1000000 --seed 3 "$work/big.mbx"
time_formats "$work/big.mbx"
echo "$(du -m "$work/big.mbx" | cut -f1) MB, 1,000 messages of about 1 MB:"
printf '  cat      %.3f s\n' "$t_cat"
for f in eml mbox maildir; do
  t=t_$f
  printf '  %-8s %.3f s   %s x cat\n' "$f" "${!t}" "$(ratio "${!t}" "$t_cat")"
done

rss() { fresh; "$bin/bench/peak-rss" "$bin/cli/carrowin-cli" -q -o "$work/out" "$@" | awk '{printf "%6.1f", $1 / 1024}'; }
echo "peak resident memory (MiB):      eml    mbox maildir"
printf '  1 GB of 1 MB messages      %s  %s  %s\n' "$(rss "$work/big.mbx")" "$(rss --format mbox "$work/big.mbx")" \
  "$(rss --format maildir "$work/big.mbx")"
rm -f "$work/big.mbx"
"$bin/testing/make-mailbox" --messages 1 --body-size $((2 << 30)) "$work/one.mbx"
printf '  one message of 2 GiB       %s  %s  %s\n' "$(rss "$work/one.mbx")" "$(rss --format mbox "$work/one.mbx")" \
  "$(rss --format maildir "$work/one.mbx")"
