#!/usr/bin/env bash
# What the build's targets cannot say about includes. The library's floors are its CMake
# targets (core/CMakeLists.txt): each sees only its own folder and those it links, so an
# include from a floor above fails to compile. Left here: an include that climbs out of a
# folder by a relative path, Qt in the library or the helper program, and Qt in the
# application's models.
set -euo pipefail
cd "$(dirname "$0")/.."

status=0
# A relative climb ("../") would reach a folder the target does not link.
if grep -rnE '#include "[^"]*\.\./' core/Sources app/Sources; then
  echo "an include climbs out of its folder by a relative path"
  status=1
fi
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
