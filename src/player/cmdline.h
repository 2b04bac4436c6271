// cmdline: the player's command line. With no arguments the player shows
// its setup window and plays demo.qvl from the current directory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cmdline {

struct TOptions {
  bool Help = false;
  bool Version = false;
  std::string Dir;  // -C: play the demo in this directory
  std::string Json;  // --json: play this JSON description instead of demo.qvl
  bool Watch = false;  // --watch: reload on change, pause and seek, timeline
  int32_t LoadThreads = 0;  // --load-threads: image readers; 0 one a core

  // --no-setup and the settings it takes instead of the setup window.
  bool NoSetup = false;
  bool Windowed = false;
  int32_t Width = 800;
  int32_t Height = 600;
  bool DesktopSize = false;  // --resolution desktop: the display's own size
  bool ShowFPS = false;
  bool NoSound = false;
  int32_t SoundDevice = 0;
  bool Loop = false;
  bool HasDisplay = false;  // --display: with or without the setup window
  int32_t Display = 0;
  bool VSync = true;  // --vsync off

  // --capture: frames as PNG files into a directory, or a video file when
  // the name ends in .mp4, .mkv or .webm; no window, no sound.
  bool Capture = false;
  std::string CaptureDir;
  bool CaptureVideo = false;
  // --timedemo: the frames --capture would render, timed, nothing written.
  bool TimeDemo = false;
  int32_t Rate = 0;  // frames a second
  int32_t CaptureWidth = 800;
  int32_t CaptureHeight = 600;
  int32_t From = 0;  // ms
  bool HasTo = false;
  int32_t To = 0;  // ms
};

// argv[0] is the program name. False with a one-line message in `error`.
bool Parse(const std::vector<std::string>& args, TOptions& out, std::string& error);

std::string HelpText();

// True when `path` names a video file (.mp4, .mkv, .webm, any case).
bool IsVideoPath(const std::string& path);

}  // namespace cmdline
