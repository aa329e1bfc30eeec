#!/usr/bin/env bash
# Times the sweep's two heavy steps as whole zelworld-cli processes and prints each figure
# beside its target:
#  - a study of 360 runs at the window's defaults (3 reproduction kinds x 2 selections x 2
#    rates, mutation and noise linked, x 30 seeds), `sweep run --jobs 2`;
#  - `sweep aggregate` over 10,000 runs of 100 generations (10 conditions x 1000 seeds, small
#    populations so that making them is quick), every measure, no bootstrap.
# Each figure is the best of SWEEP_REPEATS runs (default 3): on a shared machine other work
# only ever adds time. With a second zelworld-cli (an earlier build) the study is timed with
# both, in turns, and the ratio printed, so that both see the same machine.
# Usage: bench/sweep.sh [path/to/zelworld-cli [path/to/earlier/zelworld-cli]]
set -euo pipefail
cli=${1:-build/bin/zelworld-cli}
earlier=${2:-}
repeats=${SWEEP_REPEATS:-3}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
fails=0

seconds() { # command...: the wall time of one run, in seconds
  local start
  start=$(date +%s%N)
  "$@" >/dev/null 2>"$out/err" || { cat "$out/err" >&2; return 1; }
  awk -v ns="$(($(date +%s%N) - start))" 'BEGIN { printf "%.3f\n", ns / 1e9 }'
}

best() { # a list of times: the smallest
  tr ' ' '\n' | sort -n | head -1
}

row() { # label figure unit target verdict
  printf '%-64s %8s %-2s (target %s)  %s\n' "$1" "$2" "$3" "$4" "$5"
  if [ "$5" = MISSED ]; then fails=$((fails + 1)); fi
}

below() { awk -v v="$1" -v t="$2" 'BEGIN { exit !(v <= t) }' && echo ok || echo MISSED; }

# The study. Its plan has the columns of every version, so an earlier build runs it too.
"$cli" sweep plan --vary reproduction=phenotype,genotype,both --vary rates-selection=0,1 \
  --vary p-mutation,p-noise=0.001:0.001,0.01:0.01 --seeds 30 --out "$out/study.csv" >/dev/null 2>&1
now="" then=""
# Each sweep writes a folder of its own (see targets.sh: files made right after many were
# removed cost far more).
for ((i = 0; i < repeats; i++)); do
  now+=" $(seconds "$cli" sweep run "$out/study.csv" --out "$out/study-now-$i" --jobs 2)"
  if [ -n "$earlier" ]; then
    then+=" $(seconds "$earlier" sweep run "$out/study.csv" --out "$out/study-then-$i" --jobs 2)"
  fi
done
s=$(echo $now | best)
row "sweep run, 360 runs at the window's defaults, --jobs 2" "$s" s "<= 5 s" "$(below "$s" 5)"
if [ -n "$earlier" ]; then
  e=$(echo $then | best)
  x=$(awk -v a="$s" -v b="$e" 'BEGIN { printf "%.2f", a / b }')
  # The diversity measured at every generation costs a run at the window's defaults about a
  # seventh more instructions; more than that is a regression.
  row "  against the earlier build ($e s): this one takes" "$x" x "<= 1.15 x" "$(below "$x" 1.15)"
fi

# 10,000 runs of 100 generations, then their aggregate.
"$cli" sweep plan --vary pop-size=10,11,12,13,14,15,16,17,18,19 --set elements=10 --set blocks=1 \
  --set generations=100 --seeds 1000 --out "$out/many.csv" >/dev/null
"$cli" sweep run "$out/many.csv" --out "$out/many" --jobs 2 >/dev/null
times=""
for ((i = 0; i < repeats; i++)); do
  times+=" $(seconds "$cli" sweep aggregate "$out/many")"
done
s=$(echo $times | best)
row "sweep aggregate, 10,000 runs of 100 generations, every measure" "$s" s "<= 5 s" "$(below "$s" 5)"

echo "$fails figure(s) missed their target"
