#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the fuzzer need, when
# any is missing. With --chart, also gnuplot for tools/chart.py.
set -euo pipefail

packages=(cmake make g++ libgtest-dev libbenchmark-dev clang libclang-rt-14-dev python3)
if [[ "${1:-}" == "--chart" ]]; then
  packages+=(gnuplot-nox)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "installing: ${missing[*]}"
sudo=""
if [[ $(id -u) -ne 0 ]]; then
  sudo="sudo"
fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
