#!/usr/bin/env bash
# Fails when a source includes a header from a folder above its own. The library's folders
# are stacked from the ground floor up; a folder may include its own level and those below.
# The application's model library stays free of Qt, and nothing in the library includes the
# application.
set -euo pipefail
cd "$(dirname "$0")/.."

declare -A level=(
  [Bytes]=0 [Text]=0 [Block]=0
  [Diagnostics]=1
  [Layout]=2 [Assets]=2 [Fat32]=2
  [Mbr]=3 [Exfat]=3
  [Gpt]=4
  [Format]=5 [Detect]=5 [Image]=5
  [Install]=6
  [HelperWire]=7
  [HelperEngine]=8 [HelperClient]=8
  [Files]=9 [Home]=9
)

status=0
kit=core/Sources/MarlowickKit
while IFS= read -r file; do
  folder=${file#"$kit"/}
  folder=${folder%%/*}
  [ -n "${level[$folder]:-}" ] || continue
  while IFS= read -r included; do
    target=${included%%/*}
    if [ -n "${level[$target]:-}" ] && [ "${level[$target]}" -gt "${level[$folder]}" ]; then
      echo "$file includes $included, a folder above $folder/"
      status=1
    fi
  done < <(sed -n 's/^#include "\([A-Za-z]*\/[^"]*\)".*/\1/p' "$file")
done < <(find "$kit" -name '*.hpp' -o -name '*.cpp')

# The library and the helper program never reach into the application or Qt.
if grep -rnE '#include [<"](Q[A-Za-z]+|Qt[A-Za-z]*/)' core app/Sources/MarlowickHelper; then
  echo "the library or the helper program includes Qt"
  status=1
fi
# The application's models (the files directly in Home/) are plain C++: Qt stays in the
# views below them and in the rest of the application.
models=app/Sources/Marlowick/Home
if [ -d "$models" ] &&
   find "$models" -maxdepth 1 -name '*.?pp' -exec grep -lE '#include [<"](Q[A-Za-z]+|Qt[A-Za-z]*/)' {} +; then
  echo "a model file of the application includes Qt"
  status=1
fi
exit $status
