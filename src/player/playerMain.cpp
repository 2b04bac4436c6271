#include "player/playerMain.h"

#include <SDL.h>

#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "data/demo.h"
#include "data/filestuff.h"
#include "engine/dllShared.h"
#include "engine/messages.h"
#include "engine/modules.h"
#include "engine/registry.h"
#include "engine/scheduler.h"
#include "engine/settings.h"
#include "player/capture.h"
#include "player/cmdline.h"
#include "player/mainloop.h"
#include "player/openglx.h"
#include "player/startup.h"
#include "resources/mshman.h"
#include "resources/texMan.h"
#include "script/scripter.h"
#include "tools/headless/messageBox.h"

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

void ApplyNoSetupOptions(const cmdline::TOptions& o) {
  settings::StartPressed = true;
  settings::FullScreen = !o.Windowed;
  settings::ScreenWidth = o.Width;
  settings::ScreenHeight = o.Height;
  settings::BlankTextureSize = cmdline::BlankTextureSizeFor(o.Width, o.Height);
  settings::ShowFPS = o.ShowFPS;
  settings::SoundOff = o.NoSound;
  settings::SoundDevice = o.SoundDevice;
  settings::LoopDemo = o.Loop;
}

int Play(const cmdline::TOptions& o) {
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
    return capture::Run(job);
  }

  messageBox::InstallMessageBoxSink();
  demo::ReadDemoTitle("demo.qvl");
  if (o.NoSetup)
    ApplyNoSetupOptions(o);
  else
    startup::RunSetupDialog(demo::DemoTitle);
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
    std::filesystem::current_path(options.Dir, ec);
    if (ec) {
      std::fprintf(stderr, "qvlplay: cannot enter %s: %s\n", options.Dir.c_str(), ec.message().c_str());
      return 2;
    }
  }

  StartModules();
  int rc = 0;
  try {
    rc = Play(options);
  } catch (const std::exception& e) {
    // A damaged demo file (or any other fault that stops the show): say
    // what it was, put the screen back and end with a failure status.
    messages::Show("qvlplay", e.what());
    openglx::KillGLWindow(false);
    mainloop::FreeResources();
    rc = 1;
  }
  StopModules();
  messages::SetSink({});
  SDL_Quit();
  return rc;
}

}  // namespace playerMain
