#!/usr/bin/env bash
# Tests the Windows build (scripts/build-windows.sh first) under Wine, on an
# Xvfb of its own with Mesa underneath:
#   dlls      every DLL the zip's programs import is in the zip or in Windows
#   units     the unit-test program, cross-built (tests that drive programs
#             through a POSIX shell, Xvfb or xdotool are left out, named below)
#   dump      qvl.exe dump of the showcase is the Linux qvl dump
#   capture   qvlplay.exe --capture of the showcase against the Linux capture
#   window    --no-setup --windowed shows the window; F3 jumps a second
#             forward; Escape ends it with status 0
#   watch     --json --watch reloads the demo once when its description is saved
#   utf8      a demo in a folder with a non-ASCII name: dump and capture
#   video     --capture FILE.mp4 through a child ffmpeg.exe and its pipe
#   damaged   a damaged demo.qvl: the message, a non-zero exit, no crash dialog
# Wine runs in a private prefix under BUILD_DIR with its crash dialog off.
# The last line is "N passed, N failed".
set -uo pipefail
cd "$(dirname "$0")/.."
ROOT="$PWD"
OUT="$ROOT/${BUILD_DIR:-build-windows}"
NATIVE="$ROOT/${NATIVE_BUILD_DIR:-build}"
STAGE="$OUT/zip/qvl-windows-x64"
WORK="$OUT/wine-tests"
export WINEPREFIX="$OUT/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" SDL_AUDIODRIVER=dummy
unset SDL_VIDEODRIVER
passed=0
failed=0
pass() { echo "test-windows: PASS $1${2:+: $2}"; passed=$((passed + 1)); }
fail() { echo "test-windows: FAIL $1${2:+: $2}"; failed=$((failed + 1)); }

rm -rf "$WORK" && mkdir -p "$WORK"
exec 3>"$WORK/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset >"$WORK/xvfb.log" 2>&1 &
xvfb=$!
exec 3>&-
trap 'kill $xvfb 2>/dev/null; wineserver -k 2>/dev/null' EXIT
for _ in $(seq 100); do [ -s "$WORK/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$WORK/display")"

# A fresh prefix once; winedbg's crash dialog off (a crash then just ends the program).
if [ ! -f "$WINEPREFIX/system.reg" ]; then wineboot -i >/dev/null 2>&1; fi
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Auto /t REG_SZ /d 1 /f >/dev/null 2>&1
wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /t REG_SZ /d '' /f \
  >/dev/null 2>&1
wineserver -w

# ------------------------------------------------------------------ dlls
if bash scripts/check-windows-dlls.sh "$STAGE" >"$WORK/dlls.log" 2>&1; then
  pass dlls "$(grep -c . "$WORK/dlls.log") files checked"
else
  fail dlls "$(cat "$WORK/dlls.log")"
fi

# ------------------------------------------------------------------ units
# These run programs through sh (timeout, env, quoting, lame) or drive Xvfb
# and xdotool; cmd.exe under Wine offers none of it. The programs' own runs
# under Wine are the tests below.
SHELL_TESTS="PlayerProgram.*:PlayerCommandLine.*:QvlDirGet.*:QvlImage.*:QvlTools.*:ScriptAsm.Tool*:ScriptPlayer.StackFault*:ScriptTools.*:AuthoringWindow.*:ChildProcess.*:MuzaxStreams.*"
# These count on SDL's offscreen driver (EGL): no display for message boxes,
# and a player window that is never shown. Windows has no such driver.
OFFSCREEN_TESTS="MessageBoxSink.*:PlayerWindow.*"
echo "test-windows: left out, need a POSIX shell, Xvfb or xdotool: ${SHELL_TESTS//:/ }"
echo "test-windows: left out, need SDL's offscreen driver: ${OFFSCREEN_TESTS//:/ }"
cp "$STAGE"/*.dll "$STAGE/LiberationSans-Regular.ttf" "$OUT/qvl/"
(cd "$OUT/qvl" && timeout 1200 wine qvl_tests.exe --gtest_filter="-$SHELL_TESTS:$OFFSCREEN_TESTS" >"$WORK/units.log" 2>&1)
units=$?
summary="$(grep -E '^\[  PASSED  \]|^\[  FAILED  \] [0-9]+ test|^\[  SKIPPED \] [0-9]+' "$WORK/units.log" | tr -d '\r' | tr '\n' ' ')"
if [ "$units" = 0 ]; then pass units "$summary"; else fail units "exit $units; $summary"; grep -a "FAILED" "$WORK/units.log" | tr -d '\r' | head -20; fi

# ------------------------------------------------------------------ dump
mkdir -p "$WORK/show"
cp "$STAGE/showcase/"* "$WORK/show/"
(cd "$WORK/show" && timeout 120 wine qvlplay.exe --help >/dev/null 2>&1)
(cd "$WORK/show" && timeout 120 wine "$STAGE/qvl.exe" dump demo.qvl >"$WORK/dump-windows.txt" 2>"$WORK/dump.err")
rc=$?
(cd "$NATIVE/example" && "$NATIVE/qvl" dump demo.qvl >"$WORK/dump-linux.txt")
# Text written to the Windows console ends its lines with CR LF.
if [ "$rc" = 0 ] && [ -s "$WORK/dump-linux.txt" ] && tr -d '\r' <"$WORK/dump-windows.txt" | cmp -s - "$WORK/dump-linux.txt"; then
  pass dump "$(wc -l <"$WORK/dump-linux.txt") lines alike"
else
  fail dump "exit $rc; $(head -c 300 "$WORK/dump.err")"
fi

# ------------------------------------------------------------------ capture
(cd "$WORK/show" && timeout 600 wine qvlplay.exe --capture 'frames' --rate 2 --size 320x240 >"$WORK/capture.log" 2>&1)
rc=$?
(cd "$NATIVE/example" && SDL_VIDEODRIVER=offscreen "$NATIVE/qvlplay" --capture "$WORK/frames-linux" --rate 2 \
  --size 320x240 >/dev/null 2>&1)
# Both draw with Mesa's llvmpipe (EGL on Linux, GLX under Wine): an edge pixel
# may differ, at most 0.1 % of all pixels by more than 32.
if [ "$rc" = 0 ] && cmp_out="$(python3 scripts/compare-frames.py "$WORK/frames-linux" "$WORK/show/frames" 0.001)"; then
  pass capture "$cmp_out"
else
  fail capture "exit $rc; ${cmp_out:-} $(tail -c 300 "$WORK/capture.log")"
fi

# ------------------------------------------------------------------ window
# A demo red for 2.5 s, then green: after a restart one F3 stays in the
# red (1 s and what the keys took), three reach the green. `px` reads the
# window's centre pixel without the mouse pointer, which a centred window has
# over it; the waits poll what the window shows, each up to a deadline.
WIN="$WORK/window"
mkdir -p "$WIN"
cp "$STAGE"/*.dll "$STAGE/qvlplay.exe" "$STAGE/LiberationSans-Regular.ttf" "$WIN/"
fader_demo() {  # TITLE FIRST SECOND: FIRST for 2.5 s, then SECOND; each "1,0,0" or "0,1,0"
  local a=(${2//,/ }) b=(${3//,/ })
  cat <<EOF
{"title":"$1","events":[
 {"Op":"Fader","Track":0,"Start":0,"Length":2500,"ParamSet":0},
 {"Op":"Fader","Track":0,"Start":2500,"Length":600000,"ParamSet":1}],
 "operators":{"Fader":[
 {"StartRed":${a[0]},"StartGreen":${a[1]},"StartBlue":${a[2]},"EndRed":${a[0]},"EndGreen":${a[1]},"EndBlue":${a[2]},"StartAlpha":1,"EndAlpha":1},
 {"StartRed":${b[0]},"StartGreen":${b[1]},"StartBlue":${b[2]},"EndRed":${b[0]},"EndGreen":${b[1]},"EndBlue":${b[2]},"StartAlpha":1,"EndAlpha":1}]}}
EOF
}
fader_demo "Wine test" 1,0,0 0,1,0 >"$WIN/d.json"
"$NATIVE/qvl" build "$WIN/d.json" -o "$WIN/demo.qvl" >"$WORK/window-build.log" 2>&1
px() {  # the colour at the centre of window $w: red, green or the R G B values
  eval "$(xdotool getwindowgeometry --shell "$w" 2>/dev/null)"
  local c
  c="$(ffmpeg -loglevel error -f x11grab -draw_mouse 0 -video_size 1x1 -i "$DISPLAY+$((X + WIDTH / 2)),$((Y + HEIGHT / 2))" \
    -frames:v 1 -f rawvideo -pix_fmt rgb24 - | od -An -tu1 | xargs)"
  case "$c" in "255 0 0") echo red ;; "0 255 0") echo green ;; *) echo "$c" ;; esac
}
wait_px() {  # COLOUR SECONDS: polls until the window shows COLOUR; prints what it saw last
  local seen="" i
  for i in $(seq $(($2 * 10))); do
    seen="$(px)"
    [ "$seen" = "$1" ] && break
    sleep 0.1
  done
  echo "$seen"
}
find_window() {  # TITLE PID: the visible window of that title into $w, waiting up to 60 s while PID runs
  local i
  for i in $(seq 600); do
    w="$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1)"
    [ -n "$w" ] && return 0
    kill -0 "$2" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}
end_window() {  # PID: Escape until it ends (up to 20 s), then its status in $rc
  local i
  for i in $(seq 40); do
    xdotool windowfocus "$w" 2>/dev/null; xdotool key --window "$w" Escape
    sleep 0.5
    kill -0 "$1" 2>/dev/null || break
  done
  kill -0 "$1" 2>/dev/null && { kill "$1"; sleep 1; }
  wait "$1"
  rc=$?
}
(cd "$WIN" && exec wine qvlplay.exe --no-setup --windowed --resolution 320x240 >"$WORK/window.out" 2>&1) &
player=$!
w=""
seen=""
rc=1
if find_window 'Now playing: Wine test' $player; then
  xdotool windowfocus --sync "$w" 2>/dev/null
  seen="start:$(wait_px red 30)"
  # F1 drops the jumps so far, F5 restarts; keys 0.2 s apart land in frames of their own.
  xdotool key --delay 200 --window "$w" F1 F5; seen="$seen restart:$(wait_px red 10)"
  xdotool key --delay 200 --window "$w" F1 F5 F3; sleep 0.3; seen="$seen one:$(px)"
  xdotool key --delay 200 --window "$w" F1 F5 F3 F3 F3; seen="$seen three:$(wait_px green 10)"
  end_window $player
else
  wait $player
  rc=$?
fi
if [ "$rc" = 0 ] && [ "$seen" = "start:red restart:red one:red three:green" ]; then
  pass window "window shown, $seen, Escape ended it with status 0"
else
  fail window "window ${w:-not found}, $seen, exit $rc; $(tail -c 300 "$WORK/window.out")"
fi

# ------------------------------------------------------------------ watch
# --watch: the description saved under a temporary name and renamed over the
# old one (as editors save) reloads the playing demo once, green where it was red.
WATCH="$WORK/watch"
mkdir -p "$WATCH"
cp "$STAGE"/*.dll "$STAGE/qvlplay.exe" "$STAGE/LiberationSans-Regular.ttf" "$WATCH/"
fader_demo "Watch test" 1,0,0 1,0,0 >"$WATCH/d.json"
(cd "$WATCH" && exec wine qvlplay.exe --json d.json --watch --no-setup --windowed --resolution 320x240 \
  >"$WORK/watch.out" 2>&1) &
player=$!
w=""
seen=""
rc=1
if find_window 'Now playing: Watch test' $player; then
  seen="before:$(wait_px red 30)"
  fader_demo "Watch test" 0,1,0 0,1,0 >"$WATCH/d.json.new"
  mv "$WATCH/d.json.new" "$WATCH/d.json"
  seen="$seen after:$(wait_px green 20)"
  end_window $player
else
  wait $player
  rc=$?
fi
reloads="$(tr -d '\r' <"$WORK/watch.out" | grep -c '^qvlplay: reloaded d.json')"
if [ "$rc" = 0 ] && [ "$seen" = "before:red after:green" ] && [ "$reloads" = 1 ]; then
  pass watch "$seen, $reloads reload"
else
  fail watch "window ${w:-not found}, $seen, $reloads reloads, exit $rc; $(tail -c 300 "$WORK/watch.out")"
fi

# ------------------------------------------------------------------ utf8
# A demo in a folder whose name no ANSI code page holds: qvl.exe reads it,
# qvlplay.exe captures it into another such folder, frames and sound.
NAMED="$WORK/utf8/Démo ☃ 日本"
mkdir -p "$NAMED"
cp "$STAGE/showcase/"* "$NAMED/"
(cd "$WORK/utf8" && timeout 120 wine "$STAGE/qvl.exe" dump "Démo ☃ 日本/demo.qvl" >"$WORK/utf8-dump.txt" 2>&1 &&
  timeout 600 wine "$STAGE/showcase/qvlplay.exe" -C "Démo ☃ 日本" --capture "Bilder ü" --rate 1 --to 2000 \
    --size 320x240 >"$WORK/utf8.out" 2>&1)
rc=$?
got="$(ls "$NAMED/Bilder ü" 2>/dev/null | xargs)"
if [ "$rc" = 0 ] && [ "$got" = "000000.png 000001.png 000002.png audio.wav" ] &&
   tr -d '\r' <"$WORK/utf8-dump.txt" | cmp -s - "$WORK/dump-linux.txt"; then
  pass utf8 "dump alike; $got"
else
  fail utf8 "exit $rc; files: $got; $(tail -c 300 "$WORK/utf8.out")"
fi

# ------------------------------------------------------------------ video
# --capture FILE.mp4 through a child ffmpeg.exe beside the player, fed down a
# pipe; the relay (tests/wine/ffmpegRelay.cpp) hands the frames on to the
# Linux ffmpeg. The file appears under its own name only when complete.
VID="$WORK/video"
mkdir -p "$VID"
cp "$STAGE/showcase/"* "$VID/"
cp "$OUT/qvl/ffmpeg_relay.exe" "$VID/ffmpeg.exe"
(cd "$VID" && timeout 600 wine qvlplay.exe --capture "film é.mp4" --rate 10 --to 2900 --size 320x240 \
  >"$WORK/video.out" 2>&1)
rc=$?
frames="$(ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 \
  "$VID/film é.mp4" 2>/dev/null)"
audio="$(ffprobe -v error -select_streams a:0 -show_entries stream=codec_name -of csv=p=0 "$VID/film é.mp4" 2>/dev/null)"
left="$(ls -A "$VID" | grep -c '^\.film')"
if [ "$rc" = 0 ] && [ "$frames" = 30 ] && [ "$audio" = aac ] && [ "$left" = 0 ]; then
  pass video "$frames frames, $audio sound, no temporary file left"
else
  fail video "exit $rc, ${frames:-no} frames, sound ${audio:-none}, $left temporaries; $(tail -c 300 "$WORK/video.out")"
fi

# ------------------------------------------------------------------ damaged
# The message goes to stderr (no box: the headless dummy driver), the exit is
# non-zero, and no crash dialog or backtrace appears.
BAD="$WORK/damaged"
mkdir -p "$BAD"
cp "$STAGE"/*.dll "$STAGE/qvlplay.exe" "$BAD/"
head -c 100 "$WIN/demo.qvl" >"$BAD/demo.qvl"
(cd "$BAD" && SDL_VIDEODRIVER=dummy WINEDEBUG=err+all timeout 120 wine qvlplay.exe --no-setup --windowed \
  >"$WORK/damaged.out" 2>"$WORK/damaged.err")
rc=$?
message="$(tr -d '\r' <"$WORK/damaged.err" | grep '^qvlplay: demo.qvl: ' | head -1)"
if [ "$rc" != 0 ] && [ "$rc" != 124 ] && [ -n "$message" ] &&
   ! grep -qi 'unhandled exception\|backtrace\|winedbg' "$WORK/damaged.err"; then
  pass damaged "exit $rc: $message"
else
  fail damaged "exit $rc: $(head -c 400 "$WORK/damaged.err")"
fi

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
