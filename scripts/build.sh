#!/usr/bin/env bash
# Configures (once) and builds build/ with Ninja; extra arguments are targets.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ ! -f build/build.ninja ]; then
  launcher=()
  # ccache is used when the machine has it; the build does not need it.
  if command -v ccache >/dev/null 2>&1; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  fi
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}"
fi
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(dirname "$PWD")}
cmake --build build -j2 ${1:+--target "$@"}
