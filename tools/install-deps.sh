#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests, the fuzzer, the
# companion suite and the scripts in tools/ need, when any is missing. With
# --chart, also gnuplot for the charts.
set -euo pipefail

packages=(cmake make g++ libgtest-dev libbenchmark-dev libbenchmark-tools
          libboost-dev nlohmann-json3-dev libhwy-dev libips4o-dev libtbb-dev clang libclang-rt-14-dev valgrind python3 python3-scipy
          python3-plotly chromium)
if [[ "${1:-}" == "--chart" ]]; then
  packages+=(gnuplot-nox)
elif [[ $# -gt 0 ]]; then
  echo "usage: $0 [--chart]" >&2
  exit 2
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "installing: ${missing[*]}"
sudo=()
if [[ $(id -u) -ne 0 ]]; then
  if ! command -v sudo >/dev/null; then
    echo "$0: installing needs root, and there is no sudo here. As root, run:" >&2
    echo "  apt-get update && apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
  sudo=(sudo)
fi
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
