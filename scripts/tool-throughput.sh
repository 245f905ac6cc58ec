#!/usr/bin/env bash
# The tool on a 1 GiB file beside the usual tools on the same file, in the same run: aes and
# des enciphering, sha256, against openssl enc -aes-128-ecb -nopad and sha256sum. Prints the
# rate and the peak resident size of each.
# Usage: tool-throughput.sh TOOL WORK-DIRECTORY
set -euo pipefail
tool=$1 work=$2
mkdir -p "$work"
file=$work/gigabyte
[ -f "$file" ] && [ "$(stat -c %s "$file")" -eq 1073741824 ] || head -c 1073741824 /dev/urandom > "$file"
cat "$file" > /dev/null  # into the page cache, so every run reads the same way
key=000102030405060708090a0b0c0d0e0f

# measure NAME COMMAND...: the best of three runs (seconds), and the peak resident size.
measure() {
  local name=$1 best="" peak=0
  shift
  for run in 1 2 3; do
    local figures
    figures=$( { /usr/bin/time -f '%e %M' "$@" > /dev/null; } 2>&1 | tail -n 1)
    local seconds=${figures% *} kib=${figures#* }
    if [ -z "$best" ] || awk "BEGIN { exit !($seconds < $best) }"; then best=$seconds; fi
    [ "$kib" -gt "$peak" ] && peak=$kib
  done
  awk -v name="$name" -v s="$best" -v kib="$peak" \
    'BEGIN { printf "%-44s %7.2f s %8.0f MiB/s %7.1f MiB peak\n", name, s, 1024 / (s > 0 ? s : 0.01), kib / 1024 }'
}

echo "1 GiB file, best of three runs"
measure "tessaly aes -e (AES-128)" "$tool" aes -e --key-hex "$key" "$file"
measure "openssl enc -aes-128-ecb -nopad" openssl enc -aes-128-ecb -nopad -K "$key" -in "$file"
measure "tessaly des -e" "$tool" des -e --key-hex "${key:0:16}" "$file"
measure "tessaly sha256" "$tool" sha256 "$file"
measure "sha256sum" sha256sum "$file"
