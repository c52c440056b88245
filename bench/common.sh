# What the benchmark scripts share; sourced. bench_start NAME builds the release preset,
# and makes $work, a folder of its own on tmpfs (unless BENCH_DIR names another), that
# goes when the script ends; $bin is the build.
REPS=${REPS:-5}
bench_start() {
  bash scripts/setup.sh release >/dev/null
  bin=$PWD/build/release
  local default_dir=/tmp
  [ -d /dev/shm ] && default_dir=/dev/shm
  work=$(mktemp -d "${BENCH_DIR:-$default_dir}/carrowin-$1.XXXX")
  trap 'rm -rf "$work"' EXIT
}
# seconds COMMAND...: how long it ran.
seconds() { local t0 t1; t0=$(date +%s.%N); "$@" >/dev/null 2>&1; t1=$(date +%s.%N); awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.4f\n", b - a }'; }
median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
