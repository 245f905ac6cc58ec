#!/usr/bin/env bash
# Runs every fuzz target of a tree for the given minutes, as many at once as there are
# processors, each on its corpus (kept in the tree, so a later run starts from what this one
# learned), and prints what each did. Fails when any target made a finding.
# Usage: fuzz-long.sh TREE MINUTES   (TESSALY_FUZZ_JOBS: how many at once, else one per processor)
set -euo pipefail
tree=$(realpath "$1")
seconds=$(( ${2:-10} * 60 ))
logs=$tree/fuzz-logs
mkdir -p "$logs"
jobs=${TESSALY_FUZZ_JOBS:-$(nproc)}
targets=$(find "$tree/tests" -maxdepth 1 -type f -executable -name 'fuzz_*' -printf '%f\n' | sort)
[ -n "$targets" ] || { echo "fuzz-long: no fuzz targets in $tree/tests" >&2; exit 2; }

run_one() {
  local name=$1 corpus=$tree/tests/corpus/$1
  mkdir -p "$corpus"
  "$tree/tests/$name" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 -rss_limit_mb=4096 \
    -artifact_prefix="$tree/tests/$name-" "$corpus" > "$logs/$name.log" 2>&1
}
export -f run_one
export tree seconds logs
echo "fuzz: $(echo "$targets" | wc -w) targets, $((seconds / 60)) min each, $jobs at a time"
status=0
echo "$targets" | xargs -P "$jobs" -I{} bash -c 'run_one {}' || status=1

printf '%-22s %14s %10s %8s  %s\n' target executions "per s" corpus result
for name in $targets; do
  log=$logs/$name.log
  figure() { sed -n "s/^stat::$1: *//p" "$log" | tail -1; }
  if grep -q '^==[0-9]*== *ERROR\|^SUMMARY\|Test unit written' "$log"; then result="FINDING (see $log)"; status=1; else result=ok; fi
  printf '%-22s %14s %10s %8s  %s\n' "$name" "$(figure number_of_executed_units)" "$(figure average_exec_per_sec)" \
    "$(find "$tree/tests/corpus/$name" -type f | wc -l)" "$result"
done
exit $status
