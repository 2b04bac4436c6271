// Test helper: a shell script run against an X display of its own (Xvfb, no
// window manager), with functions that wait for what can be seen (a window,
// a pixel, a process ending) up to a deadline and send keys to a window by
// its id, so that window tests hold on a busy machine.
//
// Functions the script can use:
//   window NAME [P]  waits for a visible window whose name starts with NAME (of process P); sets $w
//   key KEYS...      sends KEYS to window $w (xdotool key names)
//   px X Y           prints the R G B of the screen pixel at X, Y (no cursor)
//   grab X Y W H F   writes that rectangle of the screen to F as raw RGB
//   waitfor CMD...   runs CMD every tenth of a second until it succeeds; 1 at the deadline
//   waituntil TEXT   the same for shell text, expanded afresh each time ('[ "$(geometry)" = ... ]')
//   waitpx X Y TEST  until TEST (shell, on $r $g $b) holds for pixel X, Y; prints "r g b"
//   geometry         prints window $w's "X Y WIDTH HEIGHT"
//   boxes            prints "box: NAME" for each other visible window and presses Return in it
//   finish P         presses Escape in $w until process P has ended; prints "exit STATUS" and
//                    waits for the server to drop the window
#pragma once

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "toolRun.h"

namespace testutil {

inline bool HaveX() { return Run("command -v Xvfb && command -v xdotool && command -v ffmpeg").status == 0; }

// Runs `body` with bash in `dir` on a fresh Xvfb of `screen` (WxHxDEPTH),
// SDL on X11 with dummy audio; everything ends after `seconds`.
inline RunResult UnderXvfb(const std::filesystem::path& dir, const std::string& body,
                           const std::string& screen = "1920x1080x24", int seconds = 180) {
  const std::string script = R"sh(set -u
cd "$(dirname "$0")"
DEADLINE=${DEADLINE:-30}
# -noreset: xdotool's short connections would otherwise reset the server.
exec 3>display; Xvfb -displayfd 3 -screen 0 )sh" + screen + R"sh( -nolisten tcp -noreset 2>xvfb.log & XVFB=$!; exec 3>&-
trap 'kill $XVFB 2>/dev/null; jobs -p | xargs -r kill 2>/dev/null' EXIT
waitfor() { local end=$(( $(date +%s) + DEADLINE )); while ! "$@"; do [ $(date +%s) -ge $end ] && return 1; sleep 0.1; done; }
waituntil() { waitfor eval "$1"; }
waitfor test -s display || exit 91
export DISPLAY=:$(cat display) SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy
w=
found() { w=$(xdotool search --onlyvisible --name "^$1" 2>/dev/null | head -n1); [ -n "$w" ]; }
ended() { ! kill -0 $1 2>/dev/null; }
shown() { found "$1" && return 0; [ -z "$2" ] || ! ended $2 || { wait $2; echo "no window $1: player ended with $?"; exit 90; }; false; }
window() { waitfor shown "$1" "${2:-}" || { echo "no window $1"; exit 90; }; }
# An xdotool whose window vanished between press and release leaves the key
# down in the server, where the next window to get the focus would see it:
# release it for certain.
key() { xdotool key --window "$w" "$@"; local rc=$?; xdotool keyup "$@" 2>/dev/null; return $rc; }
grab() { ffmpeg -loglevel error -f x11grab -draw_mouse 0 -video_size $3x$4 -i "$DISPLAY+$1,$2" -frames:v 1 -f rawvideo -pix_fmt rgb24 -y "$5"; }
px() { grab $1 $2 1 1 px.raw && od -An -tu1 px.raw | xargs; }
pixelholds() { local t=$3 v; v=$(px $1 $2) || return 1; set -- $v; r=${1:-0} g=${2:-0} b=${3:-0}; eval "$t"; }
waitpx() { waitfor pixelholds "$1" "$2" "$3" && echo $r $g $b; }
geometry() { ( eval $(xdotool getwindowgeometry --shell "$w"); echo $X $Y $WIDTH $HEIGHT ); }
boxes() { for b in $(xdotool search --onlyvisible --name . 2>/dev/null); do [ "$b" = "$w" ] && continue
  echo "box: $(xdotool getwindowname $b)"; xdotool key --window $b Return; done; }
pressedout() { key Escape 2>/dev/null; sleep 0.2; ended $1; }
gone() { ! xdotool getwindowname "$w" >/dev/null 2>&1; }
finish() { waitfor pressedout $1 || kill $1; wait $1; echo exit $?; waitfor gone; }
)sh" + body;
  WriteAll(dir / "x.sh", std::vector<unsigned char>(script.begin(), script.end()));
  return Run("timeout " + std::to_string(seconds) + " bash " + Quote((dir / "x.sh").string()));
}

// The script's output as label -> the rest of its line ("px 1 2 3" gives px -> "1 2 3").
inline std::map<std::string, std::string> Labelled(const std::string& out) {
  std::map<std::string, std::string> seen;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    const auto space = line.find(' ');
    seen[line.substr(0, space)] = space == std::string::npos ? "" : line.substr(space + 1);
  }
  return seen;
}

}  // namespace testutil
