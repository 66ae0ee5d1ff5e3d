#!/usr/bin/env bash
# CTest entry of the DPI layout test (dpi_layout_win_test.cpp): runs it through wine-run.sh in the
# prefix and on the virtual display that CTest's environment names (DRAVIK_WINE_DPI,
# DRAVIK_WINEPREFIX, DRAVIK_XVFB_DISPLAY), saves a screenshot of the dialog while the test shows
# it (screenshots/dialog-<dpi>dpi.png, cut to the window), and passes only when the one test ran
# and passed.
# Usage: dpi_layout.sh WINE_RUN UI_TESTS_EXE
set -uo pipefail
log=$(mktemp)
DRAVIK_DPI_SHOW_MS=3000 "$1" "$2" --gtest_brief=1 --gtest_filter=Dpi.* >"$log" 2>&1 &
test=$!
for _ in $(seq 1200); do
  grep -q '^dpi: shown' "$log" && break
  kill -0 "$test" 2>/dev/null || break
  sleep 0.1
done
if grep -q '^dpi: shown' "$log"; then
  mkdir -p screenshots
  shot=screenshots/dialog-${DRAVIK_WINE_DPI}dpi.png
  if xwd -root -display "$DRAVIK_XVFB_DISPLAY" | convert xwd:- -trim +repage "$shot" 2>/dev/null; then
    echo "dpi_layout: screenshot $PWD/$shot"
  else
    echo "dpi_layout: no screenshot (xwd or convert missing)"
  fi
fi
wait "$test"
code=$?
cat "$log"
grep -q '\[  PASSED  \] 1 test\.' "$log" || code=1
rm -f "$log"
exit "$code"
