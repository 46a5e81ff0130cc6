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
# The application's models (the files directly in Home/) and the stand-in worlds built on
# them (StandIns/) are plain C++: Qt stays in the views below Home/ and in the rest of the
# application.
for models in app/Sources/Marlowick/Home app/Sources/Marlowick/StandIns; do
  if [ -d "$models" ] &&
     find "$models" -maxdepth 1 -name '*.?pp' -exec grep -lE '#include [<"](Q[A-Za-z]+|Qt[A-Za-z]*/)' {} +; then
    echo "a model or stand-in file of the application includes Qt"
    status=1
  fi
done
# The models never lean on a stand-in: the live program builds them without any.
if find app/Sources/Marlowick/Home -maxdepth 1 -name '*.?pp' -exec grep -l '#include "StandIns/' {} +; then
  echo "a model file of the application includes a stand-in"
  status=1
fi
# The application's Qt floors: Design/ (the brand) below UI/ (the view kit) below
# Home/Views/ below the shell. The build gives each its own include root; this says it too.
app=app/Sources/Marlowick
if grep -rnE '#include "(UI|Home/Views|StandIns)/' "$app/Design"; then
  echo "the brand (Design/) includes a floor above it"
  status=1
fi
if grep -rnE '#include "(Home/Views|StandIns)/' "$app/UI"; then
  echo "the view kit (UI/) includes a floor above it"
  status=1
fi
exit $status
