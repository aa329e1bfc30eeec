#!/usr/bin/env bash
# Runs every case of cases.txt and compares its outputs byte for byte with the files
# beside this script. Usage: check.sh [--regenerate] COMMAND...
#   COMMAND is how to start zelworld-cli, for example build/bin/zelworld-cli, or
#   qemu-aarch64-static -L /usr/aarch64-linux-gnu build-aarch64/bin/zelworld-cli.
# With --regenerate the files are written anew instead (a change of behaviour: say why
# in the commit).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
regenerate=0
if [ "${1:-}" = --regenerate ]; then regenerate=1; shift; fi
[ $# -ge 1 ] || { echo "usage: $0 [--regenerate] COMMAND..." >&2; exit 2; }
# The cases run in folders of their own, so a program named by a relative path is made absolute.
prog=$1
shift
case "$prog" in */*) [ -e "$prog" ] && prog=$(cd "$(dirname "$prog")" && pwd)/$(basename "$prog") ;; esac
set -- "$prog" "$@"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0 passed=0

compare() { # case expected actual
  if [ $regenerate = 1 ]; then cp "$3" "$2"; return; fi
  if [ ! -f "$2" ]; then echo "FAIL $1: $(basename "$2") is missing" >&2; failed=$((failed + 1)); return; fi
  if cmp -s "$2" "$3"; then passed=$((passed + 1)); return; fi
  local line
  line=$(cmp "$2" "$3" 2>&1 | sed -n 's/.*line \([0-9]*\).*/\1/p')
  echo "FAIL $1: $(basename "$2") differs at line ${line:-?} (or in length)" >&2
  diff <(sed -n "${line:-1}p" "$2" | cat -A) <(sed -n "${line:-1}p" "$3" | cat -A) >&2 || true
  failed=$((failed + 1))
}

while IFS= read -r entry; do
  case "$entry" in '#'* | '') continue ;; esac
  name=${entry%%:*}
  read -r -a args <<<"${entry#*:}"
  dir="$work/$name"
  mkdir -p "$dir"
  case "${args[0]}" in
  run | batch)
    if ! (cd "$dir" && "$@" "${args[@]}" --report report.txt --best-list best.txt --series series.csv \
      >/dev/null 2>stderr.txt); then
      echo "FAIL $name: the command failed: $(cat "$dir/stderr.txt")" >&2
      failed=$((failed + 1))
      continue
    fi
    compare "$name" "$here/$name.report.txt" "$dir/report.txt"
    compare "$name" "$here/$name.best.txt" "$dir/best.txt"
    compare "$name" "$here/$name.series.csv" "$dir/series.csv"
    ;;
  *)
    if ! (cd "$dir" && "$@" "${args[@]}" >out.txt 2>stderr.txt); then
      echo "FAIL $name: the command failed: $(cat "$dir/stderr.txt")" >&2
      failed=$((failed + 1))
      continue
    fi
    compare "$name" "$here/$name.out.txt" "$dir/out.txt"
    ;;
  esac
done <"$here/cases.txt"

if [ $regenerate = 1 ]; then echo "golden outputs written to $here"; exit 0; fi
echo "golden: $passed passed, $failed failed"
[ $failed = 0 ]
