#!/usr/bin/env bash
# Times carrowin-cli against the floor (split at markers, numbered files) and against
# git mailsplit on the same messages, in one run; the same with --dates --decode-subjects,
# and a second run with --skip-existing into the first one's folder; then 10,000 same-subject messages
# against 10,000 distinct subjects, and the window's run (offscreen, and under X when a
# display can be had). Prints medians of REPS runs and the ratios. BEFORE_CLI names another
# carrowin-cli to time beside it, plain and with --skip-existing again, in the same run.
set -euo pipefail
cd "$(dirname "$0")/.."
REPS=${REPS:-5}
MESSAGES=${MESSAGES:-20000}
command -v git >/dev/null || { apt-get update -qq && apt-get install -y -qq --no-install-recommends git; }
bash scripts/setup.sh release >/dev/null
bin=$PWD/build/release
# tmpfs by default: on the shared disk, write-back noise swamps the differences.
default_dir=/tmp; [ -d /dev/shm ] && default_dir=/dev/shm
work=$(mktemp -d "${BENCH_DIR:-$default_dir}/carrowin-bench.XXXX")
xvfb=""
trap 'rm -rf "$work"; [ -z "$xvfb" ] || kill "$xvfb"' EXIT

# The window under a real X server (xcb) as well as offscreen: a virtual one of its own
# when Xvfb is installed, else the user's display, else offscreen only.
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
xcb_display=${DISPLAY:-}
if command -v Xvfb >/dev/null; then
  Xvfb :97 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  xcb_display=:97
  sleep 1
fi

"$bin/testing/make-mailbox" --messages "$MESSAGES" --seed 1 --mbox "$work/m.mbox" "$work/m.mbx"
"$bin/testing/make-mailbox" --messages 10000 --seed 2 --same-subject "$work/same.mbx"
"$bin/testing/make-mailbox" --messages 10000 --seed 2 --distinct "$work/distinct.mbx"
mkdir "$work/mailboxes"
(cd "$work/mailboxes" && seq -f "Folder %05g.mbx" 20000 | xargs -d '\n' touch)
echo "mailbox: $MESSAGES messages, $(du -m "$work/m.mbx" | cut -f1) MB"

# time_one NAME COMMAND...: runs COMMAND with an empty $work/out, prints seconds.
time_one() {
  rm -rf "$work/out"; mkdir "$work/out"; sync
  local t0 t1
  t0=$(date +%s.%N); "$@" >/dev/null; t1=$(date +%s.%N)
  awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.4f\n", b - a }'
}
median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

# time_again COMMAND...: runs COMMAND into $work/out as the last run left it.
time_again() {
  sync
  local t0 t1
  t0=$(date +%s.%N); "$@" >/dev/null; t1=$(date +%s.%N)
  awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.4f\n", b - a }'
}

declare -A times
names=(cli floor mailsplit options rerun same distinct together)
for ((r = 0; r < REPS; r++)); do
  times[cli]+="$(time_one "$bin/cli/carrowin-cli" -q -o "$work/out" "$work/m.mbx")"$'\n'
  times[rerun]+="$(time_again "$bin/cli/carrowin-cli" -q --skip-existing -o "$work/out" "$work/m.mbx")"$'\n'
  times[options]+="$(time_one "$bin/cli/carrowin-cli" -q --dates --decode-subjects -o "$work/out" "$work/m.mbx")"$'\n'
  if [ -n "${BEFORE_CLI:-}" ]; then
    times[before]+="$(time_one "$BEFORE_CLI" -q -o "$work/out" "$work/m.mbx")"$'\n'
    times[beforererun]+="$(time_again "$BEFORE_CLI" -q --skip-existing -o "$work/out" "$work/m.mbx")"$'\n'
  fi
  times[floor]+="$(time_one "$bin/bench/floor-split" "$work/m.mbx" "$work/out")"$'\n'
  times[mailsplit]+="$(time_one git mailsplit -o"$work/out" "$work/m.mbox")"$'\n'
  times[same]+="$(time_one "$bin/cli/carrowin-cli" -q -o "$work/out" "$work/same.mbx")"$'\n'
  times[distinct]+="$(time_one "$bin/cli/carrowin-cli" -q -o "$work/out" "$work/distinct.mbx")"$'\n'
  # Two runs of the 10,000 same-subject messages into one folder at once: the names
  # each takes from the other must not cost a search from the start.
  times[together]+="$(time_one bash -c "'$bin/cli/carrowin-cli' -q -o '$work/out' '$work/same.mbx' &
    '$bin/cli/carrowin-cli' -q -o '$work/out' '$work/same.mbx'; wait")"$'\n'
  if [ -x "$bin/bench/window-bench" ]; then
    # The window's run as it times itself (without starting Qt), right after the CLI's.
    rm -rf "$work/out"; mkdir "$work/out"; sync
    times[window]+="$(QT_QPA_PLATFORM=offscreen "$bin/bench/window-bench" "$work/m.mbx" "$work/out")"$'\n'
    times[list]+="$(QT_QPA_PLATFORM=offscreen "$bin/bench/window-bench" --list "$work/mailboxes")"$'\n'
    if [ -n "$xcb_display" ]; then
      rm -rf "$work/out"; mkdir "$work/out"; sync
      times[xcb]+="$(DISPLAY=$xcb_display QT_QPA_PLATFORM=xcb "$bin/bench/window-bench" "$work/m.mbx" "$work/out")"$'\n'
    fi
  fi
done
[ -n "${times[window]:-}" ] && names+=(window)
[ -n "${times[xcb]:-}" ] && names+=(xcb)
[ -n "${times[list]:-}" ] && names+=(list)
[ -n "${times[before]:-}" ] && names+=(before beforererun)
declare -A med
for n in "${names[@]}"; do
  med[$n]=$(printf '%s' "${times[$n]}" | sed '/^$/d' | median)
  printf '%-10s %.3f s (median of %d)\n' "$n" "${med[$n]}" "$REPS"
done
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f\n", a / b }'; }
echo "carrowin-cli / floor:          $(ratio "${med[cli]}" "${med[floor]}")"
echo "carrowin-cli / git mailsplit:  $(ratio "${med[cli]}" "${med[mailsplit]}")"
echo "--dates --decode-subjects / floor: $(ratio "${med[options]}" "${med[floor]}")"
echo "--skip-existing again / first run: $(ratio "${med[rerun]}" "${med[cli]}")"
echo "same subject / distinct:       $(ratio "${med[same]}" "${med[distinct]}")"
echo "two same-subject runs at once / one: $(ratio "${med[together]}" "${med[same]}")"
[ -n "${med[window]:-}" ] && echo "window / carrowin-cli:         $(ratio "${med[window]}" "${med[cli]}")"
[ -n "${med[before]:-}" ] && echo "carrowin-cli / before:         $(ratio "${med[cli]}" "${med[before]}")"
[ -n "${med[before]:-}" ] && echo "--skip-existing again / before's: $(ratio "${med[rerun]}" "${med[beforererun]}")"
[ -n "${med[xcb]:-}" ] && echo "window (xcb) / carrowin-cli:   $(ratio "${med[xcb]}" "${med[cli]}")"
exit 0
