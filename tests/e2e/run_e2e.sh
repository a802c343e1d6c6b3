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

# Xvfb writes its display number to fd 8 once it accepts connections; without
# a number it takes the first free one itself, so parallel runs never collide.
display=
start_xvfb() {
  local requested=()
  [[ -n ${E2E_DISPLAY:-} ]] && requested=(":$E2E_DISPLAY")
  Xvfb "${requested[@]}" -displayfd 8 -screen 0 1280x1024x24 -nolisten tcp \
    </dev/null >"$work/xvfb.log" 2>&1 8>"$work/display" 9>&- &
  xvfb_pid=$!
  for _ in $(seq 100); do
    display=$(head -n 1 "$work/display")
    [[ -n $display ]] && return 0
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  cat "$work/xvfb.log" >&2
  return 1
}
start_xvfb || { echo "run_e2e: cannot start Xvfb${E2E_DISPLAY:+ on :$E2E_DISPLAY}" >&2; exit 1; }
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
fi
# A server left running for this prefix may serve another display, and the
# desktop settings take effect with a new one: start afresh.
wine_quiet wineserver -k || true
wine_quiet wineserver -w || true
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
