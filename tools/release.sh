#!/usr/bin/env bash
# Makes a release of the committed tree: builds Dravik.exe for win32 and win64 twice each (the
# second time from a copy of the tree in another folder, a little later) and fails unless both
# builds give the same bytes; then writes dist/Dravik-<version>-win32.zip and -win64.zip (the
# exe, README.txt in Japanese and English, LICENSE). Each exe is then run as zipped, under Wine
# (tools/run.sh: one run driven through its window, the digests checked), and only then is
# dist/SHA256SUMS written: what is published has been executed. Time stamps in the
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

  # The zipped exe itself, driven through its window over "abc": every digest must be the
  # standard's.
  cmake --build "$work/$preset-here" -j "$(nproc)" --target dravik_demo >>"$work/$preset-here.log" 2>&1
  DRAVIK_RUN_PRESET=$preset DRAVIK_BUILD_DIR=$work/$preset-here DRAVIK_RUN_EXE=$stage/Dravik.exe \
    DRAVIK_SCREENSHOT=$work/$preset-run.png bash tools/run.sh >"$work/$preset-run.log" 2>&1 || true
  for row in 'MD5 900150983CD24FB0D6963F7D28E17F72' 'SHA1 A9993E364706816ABA3E25717850C26C9CD0D89D' \
    'SHA256 BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD' \
    'SHA3_256 3A985DA74FE225B2045C172D6BD390BD855F086E3E9D525B46BFE24511431532'; do
    if ! grep -qF "$row" "$work/$preset-run.log"; then
      cat "$work/$preset-run.log" >&2
      echo "release: the $preset exe did not show $row when run" >&2
      exit 1
    fi
  done
  echo "release: $preset exe run under Wine: MD5, SHA1, SHA256 and SHA3_256 of \"abc\" as the standards give"
done
(cd dist && sha256sum "Dravik-$version-win32.zip" "Dravik-$version-win64.zip" >SHA256SUMS)
echo "release: dist/ for Dravik $version ($commit)"
cat dist/SHA256SUMS
