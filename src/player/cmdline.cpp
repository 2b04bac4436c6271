#include "player/cmdline.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <limits>

namespace cmdline {

namespace {

constexpr int32_t MaxSide = 16384;
constexpr int32_t MaxRate = 10000;

bool ParseInt(const std::string& s, int64_t lo, int64_t hi, int32_t& out) {
  int64_t v = 0;
  const char* first = s.data();
  const char* last = s.data() + s.size();
  if (first != last && *first == '+') ++first;
  auto [p, ec] = std::from_chars(first, last, v);
  if (ec != std::errc() || p != last || first == last || v < lo || v > hi) return false;
  out = static_cast<int32_t>(v);
  return true;
}

bool ParseSize(const std::string& s, int32_t& w, int32_t& h) {
  const auto x = s.find_first_of("xX");
  if (x == std::string::npos) return false;
  return ParseInt(s.substr(0, x), 1, MaxSide, w) && ParseInt(s.substr(x + 1), 1, MaxSide, h);
}

}  // namespace

bool IsVideoPath(const std::string& path) {
  std::string lower = path;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  for (const char* ext : {".mp4", ".mkv", ".webm"}) {
    const std::string e = ext;
    if (lower.size() > e.size() && lower.compare(lower.size() - e.size(), e.size(), e) == 0) return true;
  }
  return false;
}

std::string HelpText() {
  return "Usage: qvlplay [-C DIR] [options]\n"
         "Plays demo.qvl (with music.mp3 and its images) from the current directory.\n"
         "\n"
         "  -C DIR               play the demo in DIR\n"
         "  --help               show this text and exit\n"
         "  --version            show the version and exit\n"
         "  --json FILE          play a JSON description (as qvl build reads it);\n"
         "                       its images and music.mp3 lie beside it\n"
         "  --watch              reload the demo when its files change; Space pauses,\n"
         "                       Left/Right seek 1 s (with Shift 100 ms), Home goes\n"
         "                       to 0, Tab shows the timeline\n"
         "  --load-threads N     read the demo's images on N threads (default: one a\n"
         "                       core; 1 reads them one after another)\n"
         "\n"
         "Playing without the setup window:\n"
         "  --no-setup           start at once with the settings below\n"
         "  --windowed           play in a window instead of full screen\n"
         "  --resolution WxH     the picture's size (default 800x600), up to the\n"
         "                       display's; 'desktop' takes the display's own size\n"
         "  --show-fps           show the frame rate\n"
         "  --no-sound           no music; the demo runs on its own clock\n"
         "  --sound-device N     0 = default output, N = N-th playback device\n"
         "  --loop               start again from the beginning when the demo ends\n"
         "\n"
         "  --display N          play on monitor N (0 = the first); without it, on\n"
         "                       the one the setup window was on\n"
         "  --vsync off          do not wait for the display's refresh (benchmarks)\n"
         "\n"
         "Rendering frames to files, with no window and no sound:\n"
         "  --capture DIR        write DIR/000000.png, DIR/000001.png, ... and, when\n"
         "                       the demo has music, DIR/audio.wav of the same span\n"
         "  --capture FILE.mp4   write a video with the music (also .mkv, .webm);\n"
         "                       needs the ffmpeg program\n"
         "  --timedemo           render the same frames as fast as possible, write\n"
         "                       nothing, and print the frame rate and frame times\n"
         "  --rate N             frames a second (required with --capture; 60 for\n"
         "                       --timedemo)\n"
         "  --size WxH           picture size (default 800x600)\n"
         "  --from MS            demo time of the first frame (default 0)\n"
         "  --to MS              last demo time to render (default: the end of the\n"
         "                       timeline's last event); an End Demo event stops earlier\n"
         "\n"
         "Keys while playing: Escape ends, F1 undoes the F2/F3 jumps,\n"
         "F2 one second back, F3 one second forward, F5 restart,\n"
         "Alt+Enter switches between full screen and a window.\n";
}

bool Parse(const std::vector<std::string>& args, TOptions& o, std::string& error) {
  o = TOptions{};
  bool setupOption = false;    // an option that only --no-setup uses
  bool captureOption = false;  // an option that only --capture uses
  std::string setupName, captureName;
  std::string windowName;  // the first option only a window uses
  bool hasRate = false;

  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& v) {
      if (i + 1 >= args.size()) {
        error = a + " needs a value";
        return false;
      }
      v = args[++i];
      return true;
    };
    auto markSetup = [&] {
      setupOption = true;
      if (setupName.empty()) setupName = a;
    };
    auto markCapture = [&] {
      captureOption = true;
      if (captureName.empty()) captureName = a;
    };
    std::string v;

    if (a == "--help" || a == "-h") {
      o.Help = true;
    } else if (a == "--version") {
      o.Version = true;
    } else if (a == "-C") {
      if (!value(v)) return false;
      if (v.empty()) {
        error = "-C needs a directory";
        return false;
      }
      o.Dir = v;
    } else if (a == "--json") {
      if (!value(v)) return false;
      if (v.empty()) {
        error = "--json needs a file";
        return false;
      }
      o.Json = v;
    } else if (a == "--watch") {
      o.Watch = true;
    } else if (a == "--load-threads") {
      if (!value(v)) return false;
      if (!ParseInt(v, 1, 256, o.LoadThreads)) {
        error = "--load-threads wants a thread count from 1 to 256, not '" + v + "'";
        return false;
      }
    } else if (a == "--no-setup") {
      o.NoSetup = true;
    } else if (a == "--windowed") {
      markSetup();
      o.Windowed = true;
    } else if (a == "--resolution") {
      markSetup();
      if (!value(v)) return false;
      o.DesktopSize = v == "desktop";
      if (!o.DesktopSize && !ParseSize(v, o.Width, o.Height)) {
        error = "--resolution wants WIDTHxHEIGHT, for example 1024x768, or desktop, not '" + v + "'";
        return false;
      }
    } else if (a == "--show-fps") {
      markSetup();
      o.ShowFPS = true;
    } else if (a == "--no-sound") {
      markSetup();
      o.NoSound = true;
    } else if (a == "--sound-device") {
      markSetup();
      if (!value(v)) return false;
      if (!ParseInt(v, 0, 255, o.SoundDevice)) {
        error = "--sound-device wants a device number from 0 to 255, not '" + v + "'";
        return false;
      }
    } else if (a == "--loop") {
      markSetup();
      o.Loop = true;
    } else if (a == "--display") {
      if (!value(v)) return false;
      if (!ParseInt(v, 0, 255, o.Display)) {
        error = "--display wants a display number from 0, not '" + v + "'";
        return false;
      }
      o.HasDisplay = true;
      if (windowName.empty()) windowName = a;
    } else if (a == "--vsync") {
      if (!value(v)) return false;
      if (v != "on" && v != "off") {
        error = "--vsync wants on or off, not '" + v + "'";
        return false;
      }
      o.VSync = v == "on";
      if (windowName.empty()) windowName = a;
    } else if (a == "--capture") {
      if (!value(v)) return false;
      if (v.empty()) {
        error = "--capture needs a directory";
        return false;
      }
      o.Capture = true;
      o.CaptureDir = v;
      o.CaptureVideo = IsVideoPath(v);
    } else if (a == "--timedemo") {
      o.TimeDemo = true;
    } else if (a == "--rate") {
      markCapture();
      if (!value(v)) return false;
      if (!ParseInt(v, 1, MaxRate, o.Rate)) {
        error = "--rate wants frames a second from 1 to " + std::to_string(MaxRate) + ", not '" + v + "'";
        return false;
      }
      hasRate = true;
    } else if (a == "--size") {
      markCapture();
      if (!value(v)) return false;
      if (!ParseSize(v, o.CaptureWidth, o.CaptureHeight)) {
        error = "--size wants WIDTHxHEIGHT, for example 640x480, not '" + v + "'";
        return false;
      }
    } else if (a == "--from" || a == "--to") {
      markCapture();
      if (!value(v)) return false;
      int32_t ms = 0;
      if (!ParseInt(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), ms)) {
        error = a + " wants a time in milliseconds, not '" + v + "'";
        return false;
      }
      if (a == "--from") {
        o.From = ms;
      } else {
        o.To = ms;
        o.HasTo = true;
      }
    } else {
      error = "unknown argument '" + a + "'";
      return false;
    }
  }

  if (o.Help || o.Version) return true;
  if (o.Capture && o.TimeDemo) {
    error = "--timedemo cannot be used with --capture";
    return false;
  }
  const std::string headless = o.TimeDemo ? "--timedemo" : "--capture";
  if ((o.Capture || o.TimeDemo) && (o.NoSetup || setupOption || !windowName.empty())) {
    error = (o.NoSetup ? std::string("--no-setup") : setupOption ? setupName : windowName) + " cannot be used with " +
            headless;
    return false;
  }
  if (!o.Capture && !o.TimeDemo && captureOption) {
    error = captureName + " needs --capture";
    return false;
  }
  if (o.TimeDemo && !hasRate) o.Rate = 60;
  if (!o.Capture && setupOption && !o.NoSetup) {
    error = setupName + " needs --no-setup";
    return false;
  }
  if (o.Capture && o.Watch) {
    error = "--watch cannot be used with --capture";
    return false;
  }
  if (o.Capture && !hasRate) {
    error = "--capture needs --rate";
    return false;
  }
  if (o.HasTo && o.To < o.From) {
    error = "--to lies before --from";
    return false;
  }
  return true;
}

}  // namespace cmdline
