#!/usr/bin/env bash
# A sweep split into shards run by GNU parallel, interrupted and resumed, must give the
# aggregate of the same sweep run in one process, byte for byte.
# Usage: sweep_parallel.sh path/to/zelworld-cli
set -euo pipefail
cli=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

"$cli" sweep plan --vary rates-selection=0,1 --vary reproduction=genotype,both --set pop-size=10 \
  --set generations=6 --set elements=20 --set blocks=2 --seeds 4 --out plan.csv >/dev/null
"$cli" sweep run plan.csv --out local --jobs 2 >/dev/null
"$cli" sweep aggregate local --bootstrap 50 >/dev/null

# First pass stopped after two of the four shards, as an interruption would.
parallel --will-cite -j 1 --halt now,done=2 --joblog jobs.log "$cli" sweep run plan.csv --out sharded --jobs 1 \
  --shard {}/4 ::: 0 1 2 3 >/dev/null 2>&1 || true
[ "$(find sharded/runs -name "*.csv" | wc -l)" = 8 ] || { echo "FAIL: the first pass did not stop after two shards" >&2; exit 1; }
# A run of shard 0 lost; then the array resumed: parallel skips the finished shards.
rm sharded/runs/c1-s1.csv
parallel --will-cite --joblog jobs.log --resume-failed "$cli" sweep run plan.csv --out sharded --jobs 1 --shard {}/4 \
  ::: 0 1 2 3 >/dev/null
[ "$(wc -l <jobs.log)" = 5 ] || { echo "FAIL: parallel did not resume (joblog):" >&2; cat jobs.log >&2; exit 1; }
if "$cli" sweep aggregate sharded --bootstrap 50 2>err.txt >/dev/null && ! grep -q "c1-s1" err.txt; then
  echo "FAIL: the lost run c1-s1 was not reported" >&2
  exit 1
fi
# The sweep itself resumes at the level of runs.
"$cli" sweep run plan.csv --out sharded --shard 0/4 >out.txt
grep -q "^Ran 1 of 4 runs (3 had results already)" out.txt || { cat out.txt >&2; exit 1; }
"$cli" sweep aggregate sharded --bootstrap 50 >/dev/null

for f in aggregate.csv comparison.csv; do
  cmp local/$f sharded/$f || { echo "FAIL: $f differs between one process and shards" >&2; exit 1; }
done

# Four shards at once: each keeps its own part of the sweep's record, and the aggregate gathers them.
parallel --will-cite -j 4 "$cli" sweep run plan.csv --out together --jobs 1 --shard {}/4 ::: 0 1 2 3 >/dev/null
"$cli" sweep aggregate together --bootstrap 50 >/dev/null
cmp local/aggregate.csv together/aggregate.csv || { echo "FAIL: the aggregate of concurrent shards differs" >&2; exit 1; }
runs=$(grep -c '"command": "run"' together/provenance.json || true)
[ "$runs" = 4 ] || { echo "FAIL: provenance.json records $runs of the 4 shards" >&2; cat together/provenance.json >&2; exit 1; }
echo "sweep through GNU parallel: 1 passed, 0 failed"
