#!/usr/bin/env bash
# Installs what is needed, builds everything with sanitizers and runs every test.
# Tests that need root (loop devices) skip themselves when run as another user.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMARLOWICK_WERROR=ON -DMARLOWICK_SANITIZE=ON
cmake --build build/test
ctest --test-dir build/test --output-on-failure --timeout 900 -j "$(nproc)"
