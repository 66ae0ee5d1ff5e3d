#!/usr/bin/env bash
# Runs a Windows program under 64-bit Wine: the emulator of the win64 build's tests.
#
# Uses a project-local Wine prefix under build/ (created on first use, about 10 s) with the
# dialog fonts mapped to a CJK font, and a virtual display when there is no DISPLAY.
# Usage: wine-run.sh PROGRAM.exe [ARGS...]
# Overrides: DRAVIK_WINE (the loader, default 64-bit Wine's), DRAVIK_WINEARCH (win64 or win32),
# DRAVIK_WINEPREFIX, DRAVIK_XVFB_DISPLAY (default :87), DRAVIK_XVFB_SCREEN (the size of a display
# it starts, default 1280x1024x24), DRAVIK_WINE_DPI (the prefix's screen DPI).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
wine=${DRAVIK_WINE:-/usr/lib/wine/wine64}
export WINEPREFIX=${DRAVIK_WINEPREFIX:-$root/build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEARCH=${DRAVIK_WINEARCH:-win64}
# No Mono or Gecko installer dialogs while the prefix is made.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

mkdir -p "$(dirname "$WINEPREFIX")"
exec 9>"$WINEPREFIX.lock"
flock 9

# One virtual display shared by every test, started once and left running for the next.
if [ -z "${DISPLAY:-}" ]; then
  display=${DRAVIK_XVFB_DISPLAY:-:87}
  if ! xdpyinfo -display "$display" >/dev/null 2>&1; then
    rm -f "/tmp/.X${display#:}-lock" "/tmp/.X11-unix/X${display#:}"
    setsid Xvfb "$display" -screen 0 "${DRAVIK_XVFB_SCREEN:-1280x1024x24}" -nolisten tcp \
      >/dev/null 2>&1 </dev/null &
    for _ in $(seq 50); do
      xdpyinfo -display "$display" >/dev/null 2>&1 && break
      sleep 0.1
    done
  fi
  export DISPLAY=$display
fi

# Bump the marker when the settings below change, so existing prefixes get them too.
if [ ! -f "$WINEPREFIX/.dravik-ready-5" ]; then
  echo "wine-run: setting up Wine prefix $WINEPREFIX" >&2
  "$wine" wineboot --init >/dev/null 2>&1
  # A crashing program ends at once, with the exception code as its exit code (Wine prints the
  # fault and its address). Wine's default debugger would show a crash dialog on the virtual
  # display and hold the program until its test's time-out, and even without the dialog its
  # way of ending the program sometimes leaves exit code 0, which would pass for success. A
  # debugger command that does not exist makes Wine end the program itself.
  "$wine" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger \
    /d dravik-no-debugger /f >/dev/null 2>&1
  # Windows that Wine manages itself: a virtual display has no window manager to answer, and
  # with managed windows every close waits for it to time out.
  "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  # Wine's own fonts (fonts-wine), Marlett among them, which draws the caption buttons: this
  # Wine does not look for them where Debian puts them, but finds them in the prefix.
  cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
  for font in 'ＭＳ Ｐゴシック' 'MS Shell Dlg' 'MS Shell Dlg 2' 'MS UI Gothic' 'ＭＳ ゴシック'; do
    "$wine" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$font" /d 'Noto Sans CJK JP' /f >/dev/null 2>&1
  done
  "${wine%/*}/wineserver" -w
  touch "$WINEPREFIX/.dravik-ready-5"
fi
# DRAVIK_WINE_DPI: the prefix's screen DPI (its own prefix, as a DPI test's CTest entry sets).
if [ -n "${DRAVIK_WINE_DPI:-}" ] && [ ! -f "$WINEPREFIX/.dravik-dpi-$DRAVIK_WINE_DPI" ]; then
  "$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$DRAVIK_WINE_DPI" \
    /f >/dev/null 2>&1
  "$wine" reg add 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts' \
    /v LogPixels /t REG_DWORD /d "$DRAVIK_WINE_DPI" /f >/dev/null 2>&1
  "${wine%/*}/wineserver" -w
  rm -f "$WINEPREFIX"/.dravik-dpi-*
  touch "$WINEPREFIX/.dravik-dpi-$DRAVIK_WINE_DPI"
fi
flock -u 9
exec 9>&-

exec "$wine" "$@"
