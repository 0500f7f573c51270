#!/usr/bin/env bash
# sortbench-advise refuses, in one line and with status 1, a file too small
# to hold out arrays from, a file that is not there, a line that is not a
# number, and arrays too large to leave any held out.
set -u
advise=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
printf '1\n2\n3\n' > "$dir/tiny.txt"
printf '1\n2\nx\n4\n5\n6\n7\n8\n' > "$dir/bad.txt"
check() {
  local want=$1; shift
  local out status
  out=$("$advise" "$@" 2>&1 >/dev/null); status=$?
  if [ "$status" != 1 ] || [ "$(printf '%s\n' "$out" | wc -l)" != 1 ] || ! grep -q -- "$want" <<<"$out"; then
    echo "FAIL: $* gave status $status and: $out"; exit 1
  fi
}
check "too few" --input="$dir/tiny.txt" --input_text
check "missing" --input="$dir/missing.txt" --input_text
check "bad.txt" --input="$dir/bad.txt" --input_text
check "input=FILE" --stable
seq 1 100 > "$dir/hundred.txt"
check "the largest that does is 50" --input="$dir/hundred.txt" --input_text --input_sizes=100
echo refused
