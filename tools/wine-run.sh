#!/usr/bin/env bash
# Runs a Windows program, 32-bit or 64-bit, under Wine: the emulator of the win32 and win64
# builds' tests, and how run.sh, bench.sh and release.sh start Dravik.exe.
#
# The Wine is Debian 13's Wine 10 in WoW64 mode, in the root that tools/wine-root.sh made (see
# there): 32-bit programs run natively in 64-bit processes, as on 64-bit Windows. The program
# runs in that root with this clone, the current folder, the folders where users keep files
# (/tmp, /home, /root, /work, ...) and the system folders mounted at their own paths, in a mount
# namespace of its own, so nothing stays mounted afterwards. (The same in every namespace: the
# Wine server, started in the first program's, opens files for the later ones by their paths.)
# It uses a project-local Wine prefix under build/ (created on first use, about 10 s) with the
# dialog fonts mapped to a CJK font, and a virtual display when there is no DISPLAY.
# Usage: wine-run.sh PROGRAM.exe [ARGS...]
#        wine-run.sh --stop-server   (ends the prefix's Wine server and its programs, and waits
#        until it is gone: the next program starts a new one, in a namespace that has the
#        mounts made meanwhile; tests/reliability/stalls.sh mounts a file system for its tests)
# Overrides: DRAVIK_WINEPREFIX, DRAVIK_XVFB_DISPLAY (default :87), DRAVIK_XVFB_SCREEN (the size
# of a display it starts, default 1280x1024x24), DRAVIK_WINE_DPI (the prefix's screen DPI),
# DRAVIK_WINE_DESKTOP (WIDTHxHEIGHT: the prefix's windows in a Wine desktop window of that size).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
wine_root=$(bash "$root/tools/wine-root.sh" --path)
if [ ! -f "$wine_root/ready" ]; then
  echo "wine-run: no Wine in $wine_root (tools/setup.sh or tools/wine-root.sh makes it)" >&2
  exit 1
fi
wine=/usr/lib/wine/wine64
export WINEPREFIX=${DRAVIK_WINEPREFIX:-$root/build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installer dialogs while the prefix is made, and no menu entries written to
# the home folder.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml,winemenubuilder.exe=}
case $WINEPREFIX in /*) ;; *) WINEPREFIX=$PWD/$WINEPREFIX ;; esac

# The command prefix that runs a command in the Wine root, in the current folder.
in_root=(unshare --mount --propagation private -- bash -c '
  set -e
  wine_root=$1 clone=$2
  shift 2
  bound=()
  for dir in /proc /sys /dev /tmp /var/tmp /home /root /work /srv /mnt /media "$clone" "$PWD" \
    "$(dirname "$WINEPREFIX")"; do
    [ -d "$dir" ] || continue
    for b in "${bound[@]}"; do case $dir/ in "$b"/*) continue 2 ;; esac; done
    [ "$dir" != / ] || continue
    mkdir -p "$wine_root$dir"
    mount --rbind "$dir" "$wine_root$dir"
    bound+=("$dir")
  done
  exec chroot "$wine_root" env -C "$PWD" "$@"' in-root "$wine_root" "$root")

mkdir -p "$(dirname "$WINEPREFIX")"
exec 9>"$WINEPREFIX.lock"
flock 9

if [ "${1:-}" = --stop-server ]; then
  timeout -k 5 20 "${in_root[@]}" "${wine%/*}/wineserver" -k </dev/null >/dev/null 2>&1 || true
  timeout -k 5 20 "${in_root[@]}" "${wine%/*}/wineserver" -w </dev/null >/dev/null 2>&1 || true
  exit 0
fi

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
if [ ! -f "$WINEPREFIX/.dravik-ready-6" ]; then
  echo "wine-run: setting up Wine prefix $WINEPREFIX" >&2
  "${in_root[@]}" "$wine" wineboot --init >/dev/null 2>&1
  # A crashing program ends at once, with the exception code as its exit code (Wine prints the
  # fault and its address). Wine's default debugger would show a crash dialog on the virtual
  # display and hold the program until its test's time-out, and even without the dialog its
  # way of ending the program sometimes leaves exit code 0, which would pass for success. A
  # debugger command that does not exist makes Wine end the program itself. Set in both views
  # of the registry: a 32-bit program reads its own (WOW6432Node), as on 64-bit Windows.
  for view in 64 32; do
    "${in_root[@]}" "$wine" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
      /v Debugger /d dravik-no-debugger /f /reg:$view >/dev/null 2>&1
  done
  # Windows that Wine manages itself: a virtual display has no window manager to answer, and
  # with managed windows every close waits for it to time out.
  "${in_root[@]}" "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  # Wine's own fonts (fonts-wine), Marlett among them, which draws the caption buttons: Wine
  # finds them in the prefix wherever Debian puts them.
  cp "$wine_root"/usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
  for font in 'ＭＳ Ｐゴシック' 'MS Shell Dlg' 'MS Shell Dlg 2' 'MS UI Gothic' 'ＭＳ ゴシック'; do
    "${in_root[@]}" "$wine" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$font" /d 'Noto Sans CJK JP' /f >/dev/null 2>&1
  done
  "${in_root[@]}" "${wine%/*}/wineserver" -w
  touch "$WINEPREFIX/.dravik-ready-6"
fi
# DRAVIK_WINE_DPI: the prefix's screen DPI (its own prefix, as a DPI test's CTest entry sets).
if [ -n "${DRAVIK_WINE_DPI:-}" ] && [ ! -f "$WINEPREFIX/.dravik-dpi-$DRAVIK_WINE_DPI" ]; then
  "${in_root[@]}" "$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$DRAVIK_WINE_DPI" \
    /f >/dev/null 2>&1
  "${in_root[@]}" "$wine" reg add 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts' \
    /v LogPixels /t REG_DWORD /d "$DRAVIK_WINE_DPI" /f >/dev/null 2>&1
  "${in_root[@]}" "${wine%/*}/wineserver" -w
  rm -f "$WINEPREFIX"/.dravik-dpi-*
  touch "$WINEPREFIX/.dravik-dpi-$DRAVIK_WINE_DPI"
fi
# DRAVIK_WINE_DESKTOP: every window of the prefix in a Wine desktop window of that size (its own
# prefix, as run.sh uses), where Wine draws captions and frames itself: a virtual display has no
# window manager to draw them.
if [ -n "${DRAVIK_WINE_DESKTOP:-}" ] && [ ! -f "$WINEPREFIX/.dravik-desktop-$DRAVIK_WINE_DESKTOP" ]; then
  "${in_root[@]}" "$wine" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Dravik /f >/dev/null 2>&1
  "${in_root[@]}" "$wine" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Dravik \
    /d "$DRAVIK_WINE_DESKTOP" /f >/dev/null 2>&1
  "${in_root[@]}" "${wine%/*}/wineserver" -w
  rm -f "$WINEPREFIX"/.dravik-desktop-*
  touch "$WINEPREFIX/.dravik-desktop-$DRAVIK_WINE_DESKTOP"
fi
# The prefix's Wine server, started here with none of the caller's streams and kept for a minute
# after its last program, so that tests in a row share one Wine session: a server started by a
# test's program would inherit the test's output and hold it, with the session's system
# programs, until it ended.
server=${wine%/*}/wineserver
if "${in_root[@]}" "$server" -p60 </dev/null >/dev/null 2>&1; then
  "${in_root[@]}" "$wine" wineboot </dev/null >/dev/null 2>&1 || true
fi
flock -u 9
exec 9>&-

# The program's output goes to files that are copied to ours while it runs, and only until it
# ends: the session's system programs that it starts (the desktop, services) inherit those
# files, not the caller's pipe, so a test is over when its program is over.
out=$(mktemp "${TMPDIR:-/tmp}/wine-run.XXXXXX")
err=$out.err
: >"$err"
"${in_root[@]}" "$wine" "$@" >"$out" 2>"$err" &
program=$!
trap 'kill -TERM "$program" 2>/dev/null' TERM INT HUP
tail -q -s 0.05 --pid="$program" -n +1 -f "$out" &
copy_out=$!
tail -q -s 0.05 --pid="$program" -n +1 -f "$err" >&2 &
copy_err=$!
code=
while [ -z "$code" ]; do
  wait "$program"
  code=$?
  kill -0 "$program" 2>/dev/null && code= # a trapped signal interrupted the wait
done
wait "$copy_out" "$copy_err"
rm -f "$out" "$err"
exit "$code"
