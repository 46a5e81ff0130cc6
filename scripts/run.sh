#!/usr/bin/env bash
# Installs what is needed, builds Marlowick and runs it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DMARLOWICK_TESTS=OFF
cmake --build build/release
echo "Built the MarlowickKit library in build/release; the programs are not built yet." >&2
