#!/usr/bin/env bash
# The build's provenance step on a scratch repository: a clean tree is
# recorded as not dirty, a modified one as dirty, each with its commit.
set -euo pipefail
script=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
git init -q "$tmp/src"
git -C "$tmp/src" -c user.name=t -c user.email=t@t commit -q --allow-empty -m start
echo one > "$tmp/src/file"
git -C "$tmp/src" add file
git -C "$tmp/src" -c user.name=t -c user.email=t@t commit -q -m file
commit=$(git -C "$tmp/src" rev-parse HEAD)

record() { cmake -DSOURCE_DIR="$tmp/src" -DOUTPUT_DIR="$tmp" -P "$script" && cat "$tmp/build_info.hpp"; }
expect() {
  grep -qxF "#define SORTBENCH_GIT_COMMIT \"$commit\"" <<<"$1" && grep -qxF "#define SORTBENCH_GIT_DIRTY \"$2\"" <<<"$1" \
    || { echo "expected dirty $2 at $commit, got:"; echo "$1"; exit 1; }
}
expect "$(record)" false
echo two > "$tmp/src/file"
expect "$(record)" true
git -C "$tmp/src" checkout -q file
expect "$(record)" false
