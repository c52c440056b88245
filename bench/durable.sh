#!/usr/bin/env bash
# Durable writing on real file systems: carrowin-cli against the floor that writes every
# file and then makes them durable with one syncfs (floor-split --sync), and against the
# old floor without any sync, on ext4, xfs and btrfs images on loop devices on this
# machine's disk; 20,000 small messages and 1,000 of 1 MiB. Alternating, medians of REPS,
# in one run. Needs root. BEFORE_CLI names another carrowin-cli to time beside them.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh
[ "$(id -u)" -eq 0 ] || { echo "durable.sh: needs root (loop devices)"; exit 2; }
for p in xfsprogs btrfs-progs; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' ||
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$p" >/dev/null
done
bash scripts/setup.sh release >/dev/null
bin=$PWD/build/release
work=$(mktemp -d "${BENCH_DIR:-/var/tmp}/carrowin-durable.XXXX")
mounts=()
cleanup() { for m in "${mounts[@]}"; do umount "$m" 2>/dev/null || true; done; rm -rf "$work"; }
trap cleanup EXIT

"$bin/testing/make-mailbox" --messages 20000 --seed 1 "$work/small.mbx"
"$bin/testing/make-mailbox" --messages 1000 --body-size $((1 << 20)) --seed 3 "$work/large.mbx"

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

programs=(cli sync nosync)
[ -n "${BEFORE_CLI:-}" ] && programs+=(before)
run() { # PROGRAM MAILBOX OUT
  case $1 in
    cli) "$bin/cli/carrowin-cli" -q -o "$3" "$2" ;;
    before) "$BEFORE_CLI" -q -o "$3" "$2" ;;
    sync) "$bin/bench/floor-split" --sync "$2" "$3" ;;
    nosync) "$bin/bench/floor-split" "$2" "$3" ;;
  esac
}

printf '%-6s %-6s %9s %9s %9s %9s   %s\n' fs input carrowin floor+sync floor before "carrowin / floor+sync, / floor"
for fs in ext4 xfs btrfs; do
  img=$work/$fs.img mnt=$work/$fs
  truncate -s 8G "$img"
  case $fs in
    ext4) mkfs.ext4 -q -F "$img" ;;
    xfs) mkfs.xfs -q -f "$img" ;;
    btrfs) mkfs.btrfs -q -f "$img" >/dev/null ;;
  esac
  mkdir -p "$mnt"
  mount -o loop "$img" "$mnt"
  mounts+=("$mnt")
  for input in small large; do
    declare -A t=()
    for ((r = 0; r < REPS; r++)); do
      for p in "${programs[@]}"; do
        rm -rf "$mnt/out"; mkdir "$mnt/out"; sync
        t[$p]+="$(seconds run "$p" "$work/$input.mbx" "$mnt/out")"$'\n'
      done
    done
    declare -A m=()
    for p in "${programs[@]}"; do m[$p]=$(printf '%s' "${t[$p]}" | sed '/^$/d' | median); done
    printf '%-6s %-6s %8.3fs %8.3fs %8.3fs %9s   %s, %s\n' "$fs" "$input" "${m[cli]}" "${m[sync]}" "${m[nosync]}" \
      "${m[before]:+$(printf '%.3fs' "${m[before]}")}" "$(ratio "${m[cli]}" "${m[sync]}")" "$(ratio "${m[cli]}" "${m[nosync]}")"
    unset t m
  done
  rm -rf "$mnt/out"
  umount "$mnt"
done
