#!/usr/bin/env bash
# Times whole zelworld-cli processes at the window's default and largest settings and
# prints each figure against its target. Usage: bench/targets.sh [path/to/zelworld-cli]
set -euo pipefail
cli=${1:-build/bin/zelworld-cli}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
big=(--pop-size 1000 --generations 1000 --elements 2048 --blocks 32)
fails=0

# Runs the command once; prints "seconds peak_MiB".
measure() {
  /usr/bin/time -f '%e %M' -o "$out/time" "$@" >/dev/null 2>"$out/err" || { cat "$out/err" >&2; return 1; }
  read -r secs kib <"$out/time"
  echo "$secs $((kib / 1024))"
}

report() { # label seconds target_seconds mib
  local verdict=ok
  if awk -v s="$2" -v t="$3" 'BEGIN { exit !(s >= t) }'; then verdict=OVER; fails=$((fails + 1)); fi
  if [ "$4" -ge 200 ]; then verdict="$verdict, memory OVER"; fails=$((fails + 1)); fi
  printf '%-48s %7.2f s  (target < %s s)  peak %4d MiB (< 200)  %s\n' "$1" "$2" "$3" "$4" "$verdict"
}

read -r s m < <(measure "$cli" run --seed 1 --report "$out/r.txt")
report "run, default settings" "$s" 0.05 "$m"

for env in fixed random; do
  extra=()
  [ "$env" = random ] && extra=(--random-environment)
  for repro in phenotype genotype both; do
    for sel in elite rates; do
      sflag=()
      [ "$sel" = rates ] && sflag=(--rates-selection)
      read -r s m < <(measure "$cli" run --seed 7 "${big[@]}" --reproduction "$repro" "${sflag[@]}" "${extra[@]}" \
        --report "$out/r.txt")
      report "run, largest, $repro, $sel, $env environment" "$s" 3 "$m"
    done
  done
done

read -r s m < <(measure "$cli" batch --seed 7 "${big[@]}" --report "$out/b.txt")
report "batch, largest settings (genotype, elite)" "$s" 30 "$m"

# A sweep of 1000 runs at the window's default settings, whole processes: on two cores
# and on one, and the speed-up between them.
"$cli" sweep plan --seeds 1000 --out "$out/plan.csv" >/dev/null
read -r s2 m < <(measure "$cli" sweep run "$out/plan.csv" --out "$out/sweep2" --jobs 2)
report "sweep, 1000 runs, default settings, --jobs 2" "$s2" 4 "$m"
read -r s1 m < <(measure "$cli" sweep run "$out/plan.csv" --out "$out/sweep1" --jobs 1)
speedup=$(awk -v a="$s1" -v b="$s2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')
verdict=ok
if awk -v x="$speedup" 'BEGIN { exit !(x < 1.8) }'; then verdict=UNDER; fails=$((fails + 1)); fi
printf '%-48s %7.2f x  (target >= 1.8 x; --jobs 1 took %.2f s)  %s\n' "sweep speed-up, --jobs 2 over --jobs 1" \
  "$speedup" "$s1" "$verdict"

echo "$fails figure(s) over target"
