#!/usr/bin/env bash
# Makes the user guide's pictures from the real korvane.exe, run under Wine on
# a private Xvfb against the virtual modem, so they stay true when the
# windows change.
#
#   tools/screenshots/make-screenshots.sh [--out DIR] [--build DIR] [--dpi N]...
#
# Default: every window and the tray icons at 96 DPI, and the main window at
# 96, 120 and 144 DPI (Wine's LogPixels), into docs/screenshots/. With --dpi,
# only the main window at the DPIs given.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
out=$top/docs/screenshots
build=$top/build-shots
dpis=()
while [ $# -gt 0 ]; do
  case $1 in
    --out) out=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    --dpi) dpis+=("$2"); shift 2 ;;
    -h|--help) sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "make-screenshots: unknown argument '$1'" >&2; exit 2 ;;
  esac
done
all_windows=
if [ ${#dpis[@]} -eq 0 ]; then all_windows=1; dpis=(96 120 144); fi
mkdir -p "$out"
out=$(cd "$out" && pwd)

# The host's target (tools/common.sh): the shipped 32-bit program where the
# host runs 32-bit code, the x86-64 build of the same sources where it does not.
# shellcheck source=../common.sh
. "$top/tools/common.sh"
choose_target
# A prefix is made for one architecture: each target has its own build tree.
build=$build-$KORVANE_TARGET
configure "$build" "$KORVANE_TARGET" "$build/logs" -DKORVANE_TESTS=OFF
cmake --build "$build" --target korvane -j2 >/dev/null
cmake -S "$top/tools/vmodem" -B "$build/vmodem" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build/vmodem" -j2 >/dev/null
run=$build/screenshots
mkdir -p "$run/ports"
poke_exe=$run/window_poke.exe
[ "$KORVANE_TARGET" = x86 ] && cc=i686-w64-mingw32-gcc || cc=x86_64-w64-mingw32-gcc
"$cc" -O2 -Wall -Wextra -s -o "$poke_exe" "$top/tools/screenshots/window_poke.c"

export WINEPREFIX=$run/wineprefix WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all
use_target_wine "$KORVANE_TARGET" "$run/bin"
xvfb_pid= vmodem_pid=
stop_program() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
}
stop_vmodem() {
  if [ -n "$vmodem_pid" ]; then kill "$vmodem_pid" 2>/dev/null || true; wait "$vmodem_pid" 2>/dev/null || true; fi
  vmodem_pid=
}
cleanup() {
  stop_vmodem
  stop_program
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

# The server picks a free display itself and reports it once it listens, so
# a run beside a test session never shares one.
rm -f "$run/xvfb.display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$run/xvfb.display" >"$run/xvfb.log" 2>&1 </dev/null &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$run/xvfb.display" ] || ! kill -0 "$xvfb_pid" 2>/dev/null && break; sleep 0.1; done
display=$(tr -dc 0-9 <"$run/xvfb.display")
[ -n "$display" ] && kill -0 "$xvfb_pid" 2>/dev/null || { echo "make-screenshots: Xvfb did not start (see $run/xvfb.log)" >&2; exit 1; }
export DISPLAY=":$display"

# COM1 to COM6 lead to the links the virtual modem makes.
if [ ! -f "$WINEPREFIX/.korvane-ports" ]; then
  wine wineboot -i >"$run/wineboot.log" 2>&1
  for n in 1 2 3 4 5 6; do
    wine reg add 'HKLM\Software\Wine\Ports' /v "COM$n" /t REG_SZ /d "$run/ports/com$n" /f >>"$run/wineboot.log" 2>&1
  done
  # A virtual desktop, so that Wine draws the window frames and captions as
  # Windows does (bare Xvfb has no window manager to draw them).
  wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /t REG_SZ /d Default /f >>"$run/wineboot.log" 2>&1
  wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /t REG_SZ /d 1024x768 /f >>"$run/wineboot.log" 2>&1
  wineserver -w
  touch "$WINEPREFIX/.korvane-ports"
fi

# The virtual modem with the given modems and a control channel on $control.
control=
start_vmodem() {
  rm -f "$run/vmodem.ready"
  "$build/vmodem/vmodem" --dir "$run/ports" --control 0 "$@" --ready-file "$run/vmodem.ready" >"$run/vmodem.log" 2>&1 &
  vmodem_pid=$!
  for _ in $(seq 50); do [ -s "$run/vmodem.ready" ] && break; sleep 0.1; done
  control=$(awk '$1 == "control" {print $2}' "$run/vmodem.ready")
}
vmodem_says() {
  exec 3<>"/dev/tcp/127.0.0.1/$control"
  echo "$1" >&3
  read -r -t 5 _ <&3 || true
  exec 3<&-
}

poke() { wine "$poke_exe" "$@" >"$run/poke.out" 2>/dev/null </dev/null; }
# Waits up to 30 s for a visible window; its geometry is left in $geometry.
geometry=
wait_window() {
  for _ in $(seq 150); do
    if poke rect "$1" "$2"; then geometry=$(tr -d '\r' <"$run/poke.out"); return 0; fi
    sleep 0.2
  done
  echo "make-screenshots: window '$2' ($1) did not appear" >&2
  return 1
}
# Saves the screen area of a visible window as $out/<name>.png.
shot() {
  wait_window "$2" "$3"
  sleep "${4:-0.5}"
  poke rect "$2" "$3" && geometry=$(tr -d '\r' <"$run/poke.out")
  import -window root -crop "$geometry" +repage "$out/$1.png"
  echo "$out/$1.png"
}
start_korvane() {
  wine "$build/bin/korvane.exe" >"$run/korvane.log" 2>&1 </dev/null &
}
set_dpi() {
  stop_program
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >"$run/reg.log" 2>&1
  wineserver -w
}

# shellcheck source=../common.sh
main_title=$(. "$top/tools/common.sh" && main_window_title)
if [ -n "$all_windows" ]; then
  # The notification-area icons, at the 16x16 size the tray shows, doubled.
  for icon in globe detecting no_modem; do
    convert "$top/res/icons/$icon.ico[1]" -scale 200% "$out/tray-$icon.png"
    echo "$out/tray-$icon.png"
  done
  set_dpi 96
  # Two modems: the detection run, the choice between them, the main window,
  # then a country set that succeeds and one that the modem refuses.
  start_vmodem --modem 3:B5 --modem 4:B5
  start_korvane
  shot detection '#32770' "Automatic Modem Detection" 2
  shot modem-selection '#32770' "Modem Selection"
  poke select '#32770' "Modem Selection" 1030 0
  poke command '#32770' "Modem Selection" 1
  shot main-window '#32770' "$main_title" 4
  poke command '#32770' "$main_title" 1005
  shot set-success '#32770' "Congratulations" 1
  poke command '#32770' "Congratulations" 1
  vmodem_says "set 3 seterror 1"
  poke command '#32770' "$main_title" 1005
  shot set-failure '#32770' "" 1
  poke command '#32770' "" 1
  stop_program
  stop_vmodem

  # No modem: a click on the tray icon opens its menu.
  start_vmodem
  start_korvane
  wait_window '#32770' "$main_title"
  sleep 2
  poke tray "$main_title"
  shot tray-menu '#32768' "" 1
  stop_program
  stop_vmodem
fi

for dpi in "${dpis[@]}"; do
  set_dpi "$dpi"
  start_vmodem --modem 4:B5
  start_korvane
  shot "main-window-${dpi}dpi" '#32770' "$main_title" 4
  stop_program
  stop_vmodem
done
set_dpi 96
