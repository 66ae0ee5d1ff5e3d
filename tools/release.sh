#!/usr/bin/env bash
# Makes a release of the committed tree: builds Dravik.exe for win32 and win64 twice each (the
# second time from a copy of the tree in another folder, a little later) and fails unless both
# builds give the same bytes; then writes dist/Dravik-<version>-win32.zip and -win64.zip (the
# exe, README.txt in Japanese and English, LICENSE) and dist/SHA256SUMS. Time stamps in the
# zips are the last commit's (SOURCE_DATE_EPOCH), so the zips are reproducible too.
# Usage: tools/release.sh   (refuses a tree with uncommitted changes)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash tools/setup.sh
if ! command -v zip >/dev/null; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends zip >/dev/null
fi
if [ -n "$(git status --porcelain)" ]; then
  echo "release: the tree has uncommitted changes; a release is made from a commit" >&2
  exit 1
fi

version=$(sed -n 's/^project(Dravik VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
commit=$(git rev-parse --short HEAD)
export SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
export TZ=UTC
work=$root/build/release
rm -rf "$work" dist
mkdir -p "$work" dist
git archive --format=tar --prefix=tree/ HEAD | tar -x -C "$work"

# build PRESET SOURCE BUILD: Dravik.exe of one preset from one source folder.
build() {
  cmake -S "$2" -B "$3" --preset "$1" >"$3.log" 2>&1 &&
    cmake --build "$3" -j "$(nproc)" --target Dravik >>"$3.log" 2>&1 ||
    { tail -20 "$3.log"; echo "release: the $1 build failed" >&2; exit 1; }
}

for preset in win32 win64; do
  echo "release: building $preset twice"
  build "$preset" "$root" "$work/$preset-here"
  sleep 2 # a different time, as well as a different folder
  build "$preset" "$work/tree" "$work/$preset-copy"
  first=$work/$preset-here/src/ui/Dravik.exe
  second=$work/$preset-copy/src/ui/Dravik.exe
  if ! cmp -s "$first" "$second"; then
    echo "release: $preset is not reproducible: the two builds of $commit differ" >&2
    cmp "$first" "$second" | head -3 >&2 || true
    exit 1
  fi
  echo "release: $preset reproducible ($(sha256sum <"$first" | cut -c1-16)...)"

  stage=$work/$preset-zip
  mkdir -p "$stage"
  cp "$first" "$stage/Dravik.exe"
  sed "s/@VERSION@/$version/g; s/win32\.zip/$preset.zip/g; s/\$/\r/" docs/release-README.txt \
    >"$stage/README.txt"
  sed 's/$/\r/' LICENSE >"$stage/LICENSE.txt"
  touch -d "@$SOURCE_DATE_EPOCH" "$stage"/*
  (cd "$stage" && zip -q -X -D "$root/dist/Dravik-$version-$preset.zip" Dravik.exe README.txt LICENSE.txt)
done
(cd dist && sha256sum "Dravik-$version-win32.zip" "Dravik-$version-win64.zip" >SHA256SUMS)
echo "release: dist/ for Dravik $version ($commit)"
cat dist/SHA256SUMS
