#!/usr/bin/env bash
# The headless path of `make run` (scripts/run without a display): the
# converter opens on a virtual display of its own, a screenshot of its main
# window is written and named, the program keeps running, and an interrupt
# (what Ctrl+C sends) ends both the program and the display.
# Usage: make-run-check.sh SOURCE_DIR BUILD_DIR (BUILD_DIR holds win/).
set -uo pipefail
top=$1 build=$2
log=$(mktemp)
fail() { echo "make-run-check: $*" >&2; cat "$log" >&2; cleanup; exit 1; }
run_pid=
cleanup() {
  [ -n "$run_pid" ] && kill -KILL -- -"$run_pid" 2>/dev/null
  wine reg delete 'HKCU\Software\Morrowtide\Reelsmith' /f </dev/null >/dev/null 2>&1
  rm -f "$log"
}

# No check against the maker's server from a test.
wine reg delete 'HKCU\Software\Morrowtide\Reelsmith' /f </dev/null >/dev/null 2>&1
wine reg add 'HKCU\Software\Morrowtide\Reelsmith\Settings' /v AutoCheckUpdate /t REG_DWORD /d 0 /f \
  </dev/null >/dev/null 2>&1

shot="$build/win/screenshots/reelsmith-run.png"
rm -f "$shot"
env -u DISPLAY RS_RUN_NO_BUILD=1 BUILD_DIR="$build" setsid "$top/scripts/run" </dev/null >"$log" 2>&1 &
run_pid=$!

for _ in $(seq 600); do
  grep -q '^Screenshot of its main window: ' "$log" && break
  kill -0 "$run_pid" 2>/dev/null || fail "make run ended early"
  sleep 0.2
done
grep -q '^Screenshot of its main window: ' "$log" || fail "no screenshot was announced"
named=$(sed -n 's/^Screenshot of its main window: //p' "$log")
[ "$named" = "$shot" ] || fail "the screenshot was announced as $named"
[ -s "$shot" ] || fail "no screenshot at $shot"
size=$(identify -format '%w %h %k' "$shot") || fail "the screenshot is not a picture"
read -r w h colours <<<"$size"
[ "$w" -ge 480 ] && [ "$h" -ge 320 ] || fail "the screenshot is only ${w}x${h}"
[ "$colours" -gt 50 ] || fail "the screenshot has only $colours colours"

prog=$(sed -n 's/.*(program process \([0-9]*\)).*/\1/p' "$log")
display=$(sed -n 's/.*virtual display :\([0-9]*\) .*/\1/p' "$log")
[ -n "$prog" ] && [ -n "$display" ] || fail "the program or the display was not named"
kill -0 "$run_pid" 2>/dev/null || fail "make run is not running any more"
tr '\0' ' ' </proc/"$prog"/cmdline 2>/dev/null | grep -q 'Reelsmith.exe' || fail "the program is not running"
[ -S /tmp/.X11-unix/X"$display" ] || fail "the virtual display is not there"

# Ctrl+C: the interrupt goes to the whole group in the foreground.
kill -INT -- -"$run_pid"
for _ in $(seq 300); do kill -0 "$run_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$run_pid" 2>/dev/null && fail "make run did not end on the interrupt"
for _ in $(seq 100); do kill -0 "$prog" 2>/dev/null || break; sleep 0.1; done
kill -0 "$prog" 2>/dev/null && fail "the program still runs after the interrupt"
for _ in $(seq 100); do [ -e /tmp/.X11-unix/X"$display" ] || break; sleep 0.1; done
[ -e /tmp/.X11-unix/X"$display" ] && fail "the virtual display is still there"
run_pid=
cleanup
echo "make run: screenshot $shot (${w}x${h}), program and display ended on the interrupt"
