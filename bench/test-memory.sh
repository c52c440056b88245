#!/usr/bin/env bash
# The peak resident memory of every test program of a build (default build/dev; the
# asan and tsan builds carry their sanitizers' memory too), each run once, alone, as
# GNU time measures it (the largest of the program and the processes it starts); the
# largest last. No test program may need more than 4 GiB: CI runs on 24 GiB and two at
# a time.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/dev}
[ -x /usr/bin/time ] || { apt-get update -qq && apt-get install -y -qq --no-install-recommends time; }
export QT_QPA_PLATFORM=offscreen TSAN_OPTIONS="halt_on_error=1"
measured=$(mktemp)
trap 'rm -f "$measured"' EXIT
for program in $(find "$build" -name '*_test' -type f -perm -u+x | sort); do
  /usr/bin/time -f '%M' -o "$measured" "$program" >/dev/null 2>&1 || true
  printf '%8.1f MiB  %s\n' "$(awk '{print $1 / 1024}' "$measured" | tail -1)" "${program#"$build"/}"
done | sort -n
