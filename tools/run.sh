#!/usr/bin/env bash
# Builds Dravik and starts it under Wine.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash tools/setup.sh
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j "$(nproc)"
if [ ! -f build/win64/src/ui/Dravik.exe ]; then
  echo "run: the digest core is built; the dialog program does not exist yet, so there is nothing to start."
  exit 0
fi
exec tools/wine-run.sh build/win64/src/ui/Dravik.exe
