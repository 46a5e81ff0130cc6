#!/usr/bin/env bash
# Installs what is needed, builds Marlowick and runs it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DMARLOWICK_TESTS=OFF
cmake --build build/release
helper=build/release/app/marlowick-helper
test -x "$helper"
# The helper answers one JSON command on standard input; with none it says so and exits 1.
"$helper" </dev/null || true
echo >&2
echo "Built $helper; README.md shows how to give it a command (as root)." >&2
echo "The desktop application is not part of this build yet." >&2
