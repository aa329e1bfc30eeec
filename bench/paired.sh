#!/usr/bin/env bash
# Compares two zelworld-cli binaries (say, before and after a change) figure by figure, their
# runs taken in turns so that both see the same minutes of a shared machine; each figure is
# the best of TARGETS_REPEATS (default 3) runs of each: wall time, and processor time.
# Usage: bench/paired.sh OLD_CLI NEW_CLI   (process_time is taken from NEW_CLI's folder)
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: $0 OLD_CLI NEW_CLI" >&2; exit 2; }
old=$1
new=$2
ptime=$(dirname "$new")/process_time
[ -x "$ptime" ] || { echo "$ptime is missing (build the benchmarks)" >&2; exit 2; }
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
repeats=${TARGETS_REPEATS:-3}
runs=0
big=(--pop-size 1000 --generations 1000 --elements 2048 --blocks 32 --seed 7)

min() { awk -v a="$1" -v b="$2" 'BEGIN { print (b == "" || a + 0 < b + 0) ? a : b }'; }

# figure label, then the arguments after the binary; prints old and new best wall and cpu (ms).
pair() {
  local label=$1 wo="" co="" wn="" cn="" w c
  shift
  for ((i = 0; i < repeats; i++)); do
    # A sweep writes into a new folder each time (see targets.sh: files made right after
    # many were removed cost far more).
    runs=$((runs + 1))
    read -r w c _ < <("$ptime" "$old" "${@//@OUT@/$out/sweep-$runs}")
    wo=$(min "$w" "$wo")
    co=$(min "$c" "$co")
    runs=$((runs + 1))
    read -r w c _ < <("$ptime" "$new" "${@//@OUT@/$out/sweep-$runs}")
    wn=$(min "$w" "$wn")
    cn=$(min "$c" "$cn")
  done
  printf '%-52s %10.1f %10.1f %10.1f %10.1f\n' "$label" "$wo" "$co" "$wn" "$cn"
}

printf '%-52s %10s %10s %10s %10s\n' "figure (ms)" "old wall" "old cpu" "new wall" "new cpu"
pair "--version" --version
pair "run, window defaults" run --seed 1 --report "$out/r.txt"
for repro in phenotype genotype both; do
  for sel in elite rates; do
    sflag=()
    [ "$sel" = rates ] && sflag=(--rates-selection)
    for threads in 1 2; do
      pair "largest, $repro, $sel, --threads $threads" run "${big[@]}" --reproduction "$repro" "${sflag[@]}" \
        --threads "$threads" --report "$out/r.txt"
    done
  done
done
"$new" sweep plan --seeds 1000 --out "$out/plan.csv" >/dev/null
pair "sweep, 1000 runs, window defaults, --jobs 2" sweep run "$out/plan.csv" --out @OUT@ --jobs 2
