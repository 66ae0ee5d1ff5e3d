#!/usr/bin/env bash
# Builds Dravik and starts it under Wine.
#
# With a display (DISPLAY set) this starts Dravik.exe and returns when its window is closed.
# Without one it shows that the program works all the same: on a virtual display of its own it
# starts Dravik.exe, drives one run through the real window (build/<preset>/tests/ui/driver/
# dravik_demo.exe types "abc", picks MD5, SHA1, SHA256 and SHA3_256, presses Start), prints the
# digests the window shows, saves a screenshot of the screen (PNG) and prints its path.
#
# It runs the shipped 32-bit build (win32), natively under Wine's WoW64 mode (tools/wine-run.sh).
# Overrides: DRAVIK_RUN_PRESET (win32 or win64), DRAVIK_BUILD_DIR (default build/<preset>),
# DRAVIK_RUN_EXE (drive this Dravik.exe instead of the one built, as release.sh checks what it
# zips), DRAVIK_RUN_DISPLAY (default :88), and DRAVIK_SCREENSHOT (a PNG path: the shot is saved
# there, cut to the window, as the README's docs/dravik.png is made:
# DRAVIK_SCREENSHOT=docs/dravik.png bash tools/run.sh).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash tools/setup.sh

preset=${DRAVIK_RUN_PRESET:-win32}
build=${DRAVIK_BUILD_DIR:-$root/build/$preset}
cmake --preset "$preset" -B "$build" >/dev/null
cmake --build "$build" -j "$(nproc)" --target Dravik dravik_demo
program=${DRAVIK_RUN_EXE:-$build/src/ui/Dravik.exe}
demo=$build/tests/ui/driver/dravik_demo.exe

if [ -n "${DISPLAY:-}" ]; then
  exec tools/wine-run.sh "$program"
fi

# No screen: a virtual display of our own, apart from the one the tests share, so that the
# screenshot holds this window only. Like the tests' display it is left running for next time.
display=${DRAVIK_RUN_DISPLAY:-:88}
if ! xdpyinfo -display "$display" >/dev/null 2>&1; then
  rm -f "/tmp/.X${display#:}-lock" "/tmp/.X11-unix/X${display#:}"
  setsid Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 </dev/null &
  for _ in $(seq 50); do
    xdpyinfo -display "$display" >/dev/null 2>&1 && break
    sleep 0.1
  done
fi
work=$(mktemp -d)
# The demo closes the window once the release file exists, also when this script is stopped.
trap 'touch "$work/release"; sleep 1; rm -rf "$work"' EXIT

echo "run: no DISPLAY; driving one run of Dravik.exe ($preset) on virtual display $display"
# Inside a Wine desktop window, where Wine draws the dialog's caption and frame itself (the
# virtual display has no window manager to do it): a prefix of its own, set up for that.
DRAVIK_XVFB_DISPLAY=$display DRAVIK_WINEPREFIX=$root/build/wineprefix-run \
  DRAVIK_WINE_DESKTOP=1280x1024 tools/wine-run.sh "$demo" "$program" "$work/release" \
  >"$work/demo.log" 2>&1 &
demo_pid=$!
for _ in $(seq 1200); do
  grep -q '^demo: ready' "$work/demo.log" && break
  kill -0 "$demo_pid" 2>/dev/null || break
  sleep 0.1
done

sleep 0.5 # the last texts reach the screen
mkdir -p "$root/build/screenshots"
shot=${DRAVIK_SCREENSHOT:-$root/build/screenshots/dravik-$(date +%Y%m%d-%H%M%S).png}
trim=()
[ -n "${DRAVIK_SCREENSHOT:-}" ] && trim=(-trim +repage) # the window alone, not the desktop
shot_taken=no
if grep -q '^demo: ready' "$work/demo.log" &&
  xwd -root -display "$display" | convert xwd:- "${trim[@]}" "$shot"; then
  shot_taken=yes
fi
touch "$work/release"
status=0
wait "$demo_pid" || status=$?

grep -v '^demo: ready' "$work/demo.log" || true
grep -q '^status: 情報: ダイジェスト取得処理が完了しました。' "$work/demo.log" || status=1
if [ "$shot_taken" = yes ]; then
  echo "run: screenshot $shot"
else
  echo "run: no screenshot (the window never became ready)" >&2
  status=1
fi
exit "$status"
