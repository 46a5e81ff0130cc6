#!/usr/bin/env bash
# Installs what is needed, builds Marlowick, installs it into /usr/local and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DMARLOWICK_TESTS=OFF \
  -DCMAKE_INSTALL_PREFIX=/usr/local
cmake --build build/release

sudo=()
if [ "$(id -u)" -ne 0 ]; then
  sudo=(sudo)
fi
# The application in bin/, the privileged helper in libexec/marlowick/, the desktop entry
# and the icon under share/, and the polkit action that lets the application start the
# helper in polkit's own folder, where polkitd reads it whatever the prefix.
"${sudo[@]}" cmake --install build/release

app=/usr/local/bin/marlowick
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "Marlowick is installed, but there is no display here; on a desktop session run: $app" >&2
  exit 0
fi
exec "$app" "$@"
