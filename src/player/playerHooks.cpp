#include "player/playerHooks.h"

#include <cstdio>
#include <exception>
#include <fstream>
#include <iterator>
#include <vector>

#include "data/demo.h"
#include "description/demoBuild.h"
#include "engine/messages.h"
#include "engine/scheduler.h"
#include "engine/settings.h"
#include "platform/muzax.h"
#include "player/openglx.h"
#include "player/overlay.h"
#include "resources/texMan.h"

namespace playerHooks {

authoring::THooks Authoring(const std::string& file, bool json) {
  authoring::THooks h;
  h.ReadFile = [](const std::string& path, std::vector<unsigned char>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
  };
  if (json)
    h.Build = [file](const std::vector<unsigned char>& text, std::vector<unsigned char>& demo,
                     std::vector<std::string>& filesRead, std::string& error) {
      demoBuild::TBuilt built = demoBuild::BuildDemoBytes(std::string(text.begin(), text.end()), ".");
      filesRead = std::move(built.FilesRead);
      if (built.Ok) {
        demo = std::move(built.Bytes);
        return true;
      }
      error = "qvl build: " + file + ": " + built.Error;
      return false;
    };
  h.Load = [file](const std::vector<unsigned char>& demo, std::string& message) {
    // An image that will not load would show a box: collect its text instead.
    std::string warnings;
    const messages::Sink old = messages::SetSink([&](const std::string& caption, const std::string& text) {
      warnings += (warnings.empty() ? "" : "; ") + caption + ": " + text;
    });
    bool ok = false;
    try {
      scheduler::ResetTracks();
      ok = demo::LoadDemoBytes(file, demo, false);
      if (!ok) warnings = file + ": not a demo file";
    } catch (const std::exception& e) {
      warnings = e.what();
    }
    scheduler::ResetTracks();
    messages::SetSink(old);
    message = warnings;
    return ok;
  };
  h.Reloaded = [] { mainloop::Halted = false; };
  h.ReloadMusic = [] {
    if (settings::SoundOff) return;
    const int32_t at = mainloop::BasePosition();
    muzax::OpenMusic(authoring::MusicFile);
    const bool playing = muzax::MusicAvailable();
    if (playing) {
      muzax::SeekMusic(at);
      if (!mainloop::Paused) muzax::PlayMusic();
    }
    // A half-written file plays nothing; the frame clock carries on meanwhile.
    mainloop::UseFrameClock(!playing, at);
  };
  h.ImageFiles = [] {
    std::vector<std::string> names;
    for (const texMan::TTextureEntry& e : texMan::TextureTable)
      if (!e.FileName.empty()) names.push_back(e.FileName);
    return names;
  };
  h.Report = [](const std::string& message) { std::fprintf(stderr, "qvlplay: %s\n", message.c_str()); };
  return h;
}

capture::THooks Capture() {
  capture::THooks h;
  h.OpenScene = [](int32_t width, int32_t height) {
    openglx::ResizeGLScene(width, height);
    openglx::InitGL();
  };
  h.SetTime = [](int32_t ms) { mainloop::DemoTime = ms; };
  h.DecodeMusic = [](const std::string& fileName, int32_t fromMs, int64_t frames, int32_t rate, int32_t& sampleRate,
                     std::vector<int16_t>& stereo, std::string& error) {
    muzax::TPcm pcm;
    if (!muzax::DecodeSpan(fileName, fromMs, frames, rate, pcm, error)) return false;
    sampleRate = pcm.Rate;
    stereo = std::move(pcm.Samples);
    return true;
  };
  h.FreeDemo = mainloop::FreeResources;
  return h;
}

mainloop::TWatchHooks Watch() {
  mainloop::TWatchHooks h;
  h.WindowOpened = overlay::Startup;
  h.WindowClosing = overlay::Shutdown;
  h.BetweenFrames = authoring::PollFiles;
  h.DrawOverlay = overlay::Draw;
  h.FrameFault = authoring::FrameFault;
  return h;
}

}  // namespace playerHooks
