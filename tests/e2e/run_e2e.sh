#!/usr/bin/env bash
# Runs the end-to-end test program under Wine on a private X server.
#
#   run_e2e.sh --language english|japanese --prefix DIR e2e_tests.exe [gtest options...]
#
# WINEPREFIX, when set, wins over --prefix; E2E_DISPLAY (a number) picks the X
# display instead of the first free one. The prefix is made once and reused.
# Wine's helper processes keep the file descriptors they inherit, so no Wine
# command here holds stdout or stderr: output goes through a file, and ctest's
# pipe is never kept open after the script ends.
set -euo pipefail

language=english
prefix=
while [[ $# -gt 0 ]]; do
  case $1 in
    --language) language=$2; shift 2 ;;
    --prefix) prefix=$2; shift 2 ;;
    *) break ;;
  esac
done
[[ $# -ge 1 ]] || { echo "usage: $0 --language english|japanese --prefix DIR e2e_tests.exe [args]" >&2; exit 2; }
program=$1
shift

export WINEPREFIX=${WINEPREFIX:-$prefix}
[[ -n $WINEPREFIX ]] || { echo "run_e2e: no Wine prefix given" >&2; exit 2; }
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
case $language in
  english) export LANG=C.UTF-8 LC_ALL=C.UTF-8 ;;
  japanese) export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 ;;
  *) echo "run_e2e: unknown language $language" >&2; exit 2 ;;
esac

work=$(mktemp -d "${TMPDIR:-/tmp}/e2e-run.XXXXXX")
xvfb_pid=
cleanup() {
  wineserver -k </dev/null >/dev/null 2>&1 || true
  if [[ -n $xvfb_pid ]]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# One run per prefix at a time: they share its wineserver and the unpacker's
# single-instance mutex. The lock's descriptor is closed for every Wine command.
mkdir -p "$(dirname "$WINEPREFIX")"
exec 9>"$WINEPREFIX.lock"
flock 9

start_xvfb() {
  local display=$1
  Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp </dev/null >"$work/xvfb.log" 2>&1 9>&- &
  xvfb_pid=$!
  for _ in $(seq 50); do
    [[ -S /tmp/.X11-unix/X$display ]] && kill -0 "$xvfb_pid" 2>/dev/null && return 0
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  wait "$xvfb_pid" 2>/dev/null || true
  xvfb_pid=
  return 1
}

if [[ -n ${E2E_DISPLAY:-} ]]; then
  start_xvfb "$E2E_DISPLAY" || { echo "run_e2e: cannot start Xvfb on :$E2E_DISPLAY" >&2; exit 1; }
  display=$E2E_DISPLAY
else
  display=
  for candidate in $(seq 120 199); do
    [[ -e /tmp/.X$candidate-lock || -e /tmp/.X11-unix/X$candidate ]] && continue
    if start_xvfb "$candidate"; then display=$candidate; break; fi
  done
  [[ -n $display ]] || { echo "run_e2e: no free X display" >&2; exit 1; }
fi
export DISPLAY=:$display

wine_quiet() { "$@" </dev/null >>"$work/wine.log" 2>&1 9>&-; }

started=$(date +%s%N)
if [[ ! -f $WINEPREFIX/system.reg ]]; then
  echo "run_e2e: creating the Wine prefix $WINEPREFIX"
  wine_quiet wineboot -i
  # A virtual desktop makes each window shown or closed cost about 0.4 s
  # instead of 2 s on a bare X server.
  wine_quiet wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f
  wine_quiet wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1280x1024 /f
  wine_quiet wineserver -k
  wine_quiet wineserver -w
fi
wine_quiet wineserver -p
# The Japanese dialog templates name the face "ＭＳ Ｐゴシック", which Wine does not
# have; its fallback face draws kana so wide that the licence text's lines wrap.
# IPA P Gothic is proportional like the face named. Set on every run, so that a
# prefix made before this line gets it too.
wine_quiet wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ Ｐゴシック' /d IPAPGothic /f

echo "run_e2e: $language, display :$display, prefix $WINEPREFIX"
status=0
wine "$program" "$@" </dev/null >"$work/tests.log" 2>&1 9>&- || status=$?
cat "$work/tests.log"
elapsed_ms=$((($(date +%s%N) - started) / 1000000))
echo "run_e2e: exit code $status after $((elapsed_ms / 1000)).$((elapsed_ms % 1000 / 100)) s"
exit "$status"
