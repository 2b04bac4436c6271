#include "player/playerMain.h"

#include <SDL.h>

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/modules.h"
#include "authoring/authoring.h"
#include "capture/capture.h"
#include "data/demo.h"
#include "data/filestuff.h"
#include "description/demoBuild.h"
#include "engine/messages.h"
#include "engine/paths.h"
#include "engine/settings.h"
#include "platform/fileWatch.h"
#include "platform/messageBox.h"
#include "player/cmdline.h"
#include "player/mainloop.h"
#include "player/openglx.h"
#include "player/playerHooks.h"
#include "player/startup.h"
#include "resources/texLoad.h"

namespace playerMain {

namespace {

constexpr const char* Version = "0.1.0";

// The window module uses all the others: it starts last and stops first.
void StartModules() {
  modules::StartModules();
  openglx::Startup();
}

void StopModules() {
  openglx::Shutdown();
  modules::StopModules();
}

// The display and the size the options ask for, checked against this
// machine's displays. False with the message printed.
bool CheckDisplayOptions(cmdline::TOptions& o) {
  if (!o.HasDisplay && !o.NoSetup) return true;
  const int32_t count = openglx::DisplayCount();
  if (o.HasDisplay && o.Display >= count) {
    std::fprintf(stderr, "qvlplay: there is no display %d (displays found: %d)\n", o.Display, count);
    return false;
  }
  if (!o.NoSetup) return true;
  int32_t w = 0, h = 0;
  const int32_t display = o.HasDisplay ? o.Display : 0;
  if (!openglx::DisplaySize(display, w, h)) {
    if (!o.DesktopSize) return true;  // nothing to measure against
    std::fprintf(stderr, "qvlplay: --resolution desktop: no display to take the size of\n");
    return false;
  }
  if (o.DesktopSize) {
    o.Width = w, o.Height = h;
  } else if (o.Width > w || o.Height > h) {
    std::fprintf(stderr, "qvlplay: --resolution %dx%d is larger than display %d (%dx%d)\n", o.Width, o.Height, display,
                 w, h);
    return false;
  }
  return true;
}

void ApplyNoSetupOptions(const cmdline::TOptions& o) {
  settings::StartPressed = true;
  settings::FullScreen = !o.Windowed;
  settings::ScreenWidth = o.Width;
  settings::ScreenHeight = o.Height;
  settings::BlankTextureSize = settings::BlankTextureSizeFor(o.Width, o.Height);
  settings::ShowFPS = o.ShowFPS;
  settings::SoundOff = o.NoSound;
  settings::SoundDevice = o.SoundDevice;
  settings::LoopDemo = o.Loop;
}

// The demo's bytes in memory: from the JSON description, or (with --watch)
// from demo.qvl, so a reload can always go back to them.
struct TDemoSource {
  std::string File = "demo.qvl";  // in the current directory
  bool Json = false;
  std::vector<unsigned char> Source, Demo;
  std::vector<std::string> FilesRead;  // by the description's build, besides File
};

bool ReadWhole(const std::string& path, std::vector<unsigned char>& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

// False when the description will not build; qvl build's message is out.
bool BuildFromJson(const std::string& shownName, TDemoSource& d) {
  demoBuild::TBuilt built;
  built.Error = "cannot open the file";
  if (ReadWhole(d.File, d.Source)) built = demoBuild::BuildDemoBytes(std::string(d.Source.begin(), d.Source.end()), ".");
  d.FilesRead = std::move(built.FilesRead);
  if (!built.Ok) {
    std::fprintf(stderr, "qvl build: %s: %s\n", shownName.c_str(), built.Error.c_str());
    return false;
  }
  d.Demo = std::move(built.Bytes);
  if (filestuff::OpenDemoBytes(d.File, d.Demo) == filestuff::OpenResult::Opened) {
    std::string title;
    if (filestuff::FindKey("DemoTitle")) filestuff::ReadString("DemoTitle", "", title), demo::DemoTitle = title;
    filestuff::CloseDemoFile();
  }
  return true;
}

int Play(cmdline::TOptions o, TDemoSource& d) {
  // An empty folder still plays (a black screen until Escape), but says why first.
  std::error_code ec;
  if (!d.Json && !std::filesystem::exists(paths::Of(d.File), ec))
    std::fprintf(stderr, "qvlplay: no demo.qvl in %s: nothing to play\n",
                 paths::Text(std::filesystem::current_path(ec)).c_str());
  if (d.Json || o.Watch) {
    openglx::SetDemoLoader([&d, &o] {
      if (!d.Json) ReadWhole(d.File, d.Source), d.Demo = d.Source;
      demo::LoadDemoBytes(d.File, d.Demo, false);
      if (o.Watch) {
        authoring::Begin(d.File, playerHooks::Authoring(d.File, d.Json), d.Source, d.Demo, d.FilesRead);
      }
    });
  }
  mainloop::Watching = o.Watch;
  if (o.Watch) mainloop::SetWatchHooks(playerHooks::Watch());

  if (o.Capture || o.TimeDemo) {
    capture::TCaptureJob job;
    job.Output = o.TimeDemo       ? capture::TOutput::TimeDemo
                 : o.CaptureVideo ? capture::TOutput::Video
                                  : capture::TOutput::Frames;
    job.Dir = o.CaptureDir;
    job.Rate = o.Rate;
    job.Width = o.CaptureWidth;
    job.Height = o.CaptureHeight;
    job.From = o.From;
    job.HasTo = o.HasTo;
    job.To = o.To;
    return capture::Run(job, playerHooks::Capture());
  }

  if (!CheckDisplayOptions(o)) return 1;
  // While authoring, messages go to the console (and the overlay), never
  // into a box that would stop the show.
  if (!o.Watch) messageBox::InstallMessageBoxSink();
  if (!d.Json) demo::ReadDemoTitle(d.File);
  settings::Display = o.Display;
  settings::VSync = o.VSync;
  if (o.NoSetup)
    ApplyNoSetupOptions(o);
  else
    startup::RunSetupDialog(demo::DemoTitle);
  // Without --display the demo plays where the setup window was.
  if (o.HasDisplay) settings::Display = o.Display;
  if (!settings::StartPressed) return 0;
  return mainloop::MainLoop() ? 0 : 1;
}

}  // namespace

int Run(int argc, char** argv) {
  std::vector<std::string> args(argv, argv + argc);
  cmdline::TOptions options;
  std::string error;
  if (!cmdline::Parse(args, options, error)) {
    std::fprintf(stderr, "qvlplay: %s (see qvlplay --help)\n", error.c_str());
    return 2;
  }
  if (options.Help) {
    std::fputs(cmdline::HelpText().c_str(), stdout);
    return 0;
  }
  if (options.Version) {
    std::printf("qvlplay %s\n", Version);
    return 0;
  }
  if (!options.Dir.empty()) {
    std::error_code ec;
    std::filesystem::current_path(paths::Of(options.Dir), ec);
    if (ec) {
      std::fprintf(stderr, "qvlplay: cannot enter %s: %s\n", options.Dir.c_str(), ec.message().c_str());
      return 2;
    }
  }

  TDemoSource source;
  if (!options.Json.empty()) {
    const std::filesystem::path json = paths::Of(options.Json);
    source.Json = true;
    source.File = paths::Text(json.filename());
    // Its images and music lie beside it: play from there.
    if (json.has_parent_path()) {
      std::error_code ec;
      if (options.Capture) options.CaptureDir = paths::Text(std::filesystem::absolute(paths::Of(options.CaptureDir), ec));
      std::filesystem::current_path(json.parent_path(), ec);
      if (ec) {
        std::fprintf(stderr, "qvl build: %s: cannot open the file\n", options.Json.c_str());
        return 1;
      }
    }
  }

  StartModules();
  texLoad::SetWorkers(options.LoadThreads);
  fileWatch::Startup();
  int rc = 0;
  try {
    rc = source.Json && !BuildFromJson(options.Json, source) ? 1 : Play(options, source);
  } catch (const messages::Fatal&) {
    // Already shown; the show ends as after Escape, but with a failure.
    openglx::KillGLWindow(false);
    mainloop::FreeResources();
    rc = 1;
  } catch (const std::exception& e) {
    // A damaged demo file (or any other fault that stops the show): say
    // what it was, put the screen back and end with a failure status.
    messages::Show("qvlplay", e.what());
    openglx::KillGLWindow(false);
    mainloop::FreeResources();
    rc = 1;
  }
  authoring::End();
  fileWatch::Shutdown();
  openglx::SetDemoLoader({});
  mainloop::SetWatchHooks({});
  StopModules();
  messages::SetSink({});
  SDL_Quit();
  return rc;
}

}  // namespace playerMain
