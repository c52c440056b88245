#!/usr/bin/env bash
# Large mailboxes: carrowin-cli against `cat mailbox > copy` on 1 GB of messages of about
# 1 MB, in one run (medians of REPS); then the peak memory of carrowin-cli whatever the
# size of the mailbox or of one message, and what the window's run adds to it.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh
bench_start large
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"

fresh() { rm -rf "$work/out" "$work/copy"; mkdir "$work/out"; sync; }

"$bin/testing/make-mailbox" --messages 1000 --body-size 1000000 --seed 3 "$work/big.mbx"
echo "1 GB mailbox: $(du -m "$work/big.mbx" | cut -f1) MB, 1,000 messages"
cat_t=""; cli_t=""
for ((r = 0; r < REPS; r++)); do
  fresh; cat_t+="$(seconds sh -c "cat '$work/big.mbx' > '$work/copy'")"$'\n'
  fresh; cli_t+="$(seconds "$bin/cli/carrowin-cli" -q -o "$work/out" "$work/big.mbx")"$'\n'
done
c=$(printf '%s' "$cat_t" | sed '/^$/d' | median); l=$(printf '%s' "$cli_t" | sed '/^$/d' | median)
printf 'cat                %.3f s\ncarrowin-cli       %.3f s   %.2f x cat\n' "$c" "$l" "$(awk -v a="$l" -v b="$c" 'BEGIN { print a / b }')"

in_t=""; pipe_t=""
for ((r = 0; r < REPS; r++)); do
  fresh; in_t+="$(seconds sh -c "'$bin/cli/carrowin-cli' -q -o '$work/out' - < '$work/big.mbx'")"$'\n'
  fresh; pipe_t+="$(seconds sh -c "cat '$work/big.mbx' | '$bin/cli/carrowin-cli' -q -o '$work/out' -")"$'\n'
done
i=$(printf '%s' "$in_t" | sed '/^$/d' | median); p=$(printf '%s' "$pipe_t" | sed '/^$/d' | median)
printf 'standard input <   %.3f s   %.2f x the path\ncat | (a pipe)     %.3f s   %.2f x the path\n' \
  "$i" "$(awk -v a="$i" -v b="$l" 'BEGIN { print a / b }')" "$p" "$(awk -v a="$p" -v b="$l" 'BEGIN { print a / b }')"

rss() { fresh; "$bin/bench/peak-rss" "$@"; }
echo "peak resident memory of carrowin-cli (MiB):"
printf '  1 GB mailbox of 1 MB messages   %6.1f\n' "$(rss "$bin/cli/carrowin-cli" -q -o "$work/out" "$work/big.mbx" | awk '{print $1 / 1024}')"
printf '  the same on standard input      %6.1f\n' \
  "$(fresh; sh -c "'$bin/bench/peak-rss' '$bin/cli/carrowin-cli' -q -o '$work/out' - < '$work/big.mbx'" | awk '{print $1 / 1024}')"
rm -f "$work/big.mbx"
"$bin/testing/make-mailbox" --messages 1 --body-size $((2 << 30)) "$work/one.mbx"
printf '  one message of 2 GiB            %6.1f\n' "$(rss "$bin/cli/carrowin-cli" -q -o "$work/out" "$work/one.mbx" | awk '{print $1 / 1024}')"
rm -f "$work/one.mbx"
"$bin/testing/make-mailbox" --long-subject $((300 << 20)) "$work/subject.mbx"
printf '  a Subject line of 300 MiB       %6.1f\n' "$(rss "$bin/cli/carrowin-cli" -q -o "$work/out" "$work/subject.mbx" | awk '{print $1 / 1024}')"
rm -f "$work/subject.mbx"
for n in 100000 1000000; do
  "$bin/testing/make-mailbox" --messages "$n" --body-size 1 --distinct "$work/tiny.mbx"
  kib=$(rss "$bin/cli/carrowin-cli" -q -o "$work/out" "$work/tiny.mbx")
  printf '  %7d tiny messages          %6.1f\n' "$n" "$(awk -v k="$kib" 'BEGIN { print k / 1024 }')"
  eval "tiny_$n=$kib"
done
printf '  the names a run remembers: %.0f bytes a message\n' \
  "$(awk -v a="$tiny_100000" -v b="$tiny_1000000" 'BEGIN { print (b - a) * 1024 / 900000 }')"
rm -f "$work/tiny.mbx"

if [ -x "$bin/bench/window-bench" ]; then
  "$bin/testing/make-mailbox" --messages 300 --body-size 1000000 --seed 3 "$work/big.mbx"
  mkdir -p "$work/empty"
  idle=$(QT_QPA_PLATFORM=offscreen "$bin/bench/peak-rss" "$bin/bench/window-bench" --list "$work/empty" || true)
  fresh
  run=$(QT_QPA_PLATFORM=offscreen "$bin/bench/peak-rss" "$bin/bench/window-bench" "$work/big.mbx" "$work/out")
  printf 'the window: idle %.1f MiB, with a run of 300 MB %.1f MiB\n' "$(awk -v k="$idle" 'BEGIN { print k / 1024 }')" \
    "$(awk -v k="$run" 'BEGIN { print k / 1024 }')"
fi
