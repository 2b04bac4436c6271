#include "authoring/authoring.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "data/demo.h"
#include "engine/messages.h"
#include "engine/scheduler.h"
#include "engine/settings.h"
#include "platform/fileWatch.h"
#include "player/mainloop.h"
#include "platform/muzax.h"
#include "resources/texMan.h"
#include "description/demoBuild.h"

namespace authoring {

namespace {

bool active = false;
std::string demoFile;
THooks hooks;
std::vector<unsigned char> lastSource;  // what demoFile held when the playing demo loaded
std::vector<unsigned char> lastDemo;    // the playing demo's bytes
std::string lastMessage;
std::vector<std::string> watching;  // what fileWatch was last given

void Say(const std::string& message) {
  lastMessage = message;
  if (hooks.Report) hooks.Report(message);
}

}  // namespace

void Begin(const std::string& file, const THooks& h, std::vector<unsigned char> source,
           std::vector<unsigned char> demo) {
  active = true;
  demoFile = file;
  hooks = h;
  lastSource = std::move(source);
  lastDemo = std::move(demo);
  lastMessage.clear();
  watching = WatchedFiles();
  fileWatch::Watch(watching);
}

void End() {
  active = false;
  hooks = THooks{};
  lastSource.clear();
  lastDemo.clear();
  lastMessage.clear();
  watching.clear();
  fileWatch::Shutdown();
}

bool Active() { return active; }

const std::string& LastMessage() { return lastMessage; }

std::vector<std::string> WatchedFiles() {
  std::vector<std::string> files{demoFile};
  if (hooks.ImageFiles)
    for (const std::string& f : hooks.ImageFiles()) files.push_back(f);
  if (hooks.SourceFiles)
    for (const std::string& f : hooks.SourceFiles()) files.push_back(f);
  files.push_back(MusicFile);
  return files;
}

TOutcome FilesChanged(const std::vector<std::string>& files) {
  if (!active) return TOutcome::Nothing;
  const std::vector<std::string> images = hooks.ImageFiles ? hooks.ImageFiles() : std::vector<std::string>{};
  const std::vector<std::string> parts = hooks.SourceFiles ? hooks.SourceFiles() : std::vector<std::string>{};
  bool demoChanged = false, partChanged = false, imageChanged = false, musicChanged = false;
  for (const std::string& f : files) {
    if (f == demoFile)
      demoChanged = true;
    else if (std::find(parts.begin(), parts.end(), f) != parts.end())
      demoChanged = partChanged = true;
    else if (f == MusicFile)
      musicChanged = true;
    else if (std::find(images.begin(), images.end(), f) != images.end())
      imageChanged = true;
  }

  TOutcome outcome = TOutcome::Nothing;
  if (demoChanged || imageChanged) {
    std::vector<unsigned char> source = lastSource, demo = lastDemo;
    std::string error;
    bool ok = true;
    if (demoChanged) {
      if (!hooks.ReadFile(demoFile, source)) {
        ok = false;
        error = demoFile + ": cannot read the file";
      } else if (source == lastSource && !imageChanged && !partChanged) {
        demoChanged = false;  // saved again unchanged
      } else if (hooks.Build) {
        ok = hooks.Build(source, demo, error);
      } else {
        demo = source;
      }
    }
    if (ok && (demoChanged || imageChanged)) {
      std::string warnings;
      if (hooks.Load(demo, warnings)) {
        lastSource = std::move(source);
        lastDemo = std::move(demo);
        Say("reloaded " + demoFile + (warnings.empty() ? "" : "; " + warnings));
        outcome = TOutcome::Reloaded;
        mainloop::Halted = false;
      } else {
        ok = false;
        error = warnings;
      }
    }
    if (!ok) {
      Say(error + " (the last good demo plays on)");
      // The failed load left nothing loaded; the last good one loaded before.
      std::string ignored;
      hooks.Load(lastDemo, ignored);
      outcome = TOutcome::KeptLastGood;
    }
  }
  if (musicChanged && hooks.ReloadMusic) {
    hooks.ReloadMusic();
    if (outcome == TOutcome::Nothing) {
      Say(std::string("reloaded ") + MusicFile);
      outcome = TOutcome::MusicReloaded;
    }
  }
  return outcome;
}

THooks RealHooks(const std::string& file, bool json) {
  THooks h;
  h.ReadFile = [](const std::string& path, std::vector<unsigned char>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
  };
  if (json)
    h.Build = [file](const std::vector<unsigned char>& text, std::vector<unsigned char>& demo, std::string& error) {
      if (tools::BuildDemoBytes(std::string(text.begin(), text.end()), ".", demo, error)) return true;
      error = "qvl build: " + file + ": " + error;
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
  h.ReloadMusic = [] {
    if (settings::SoundOff) return;
    const int32_t at = mainloop::BasePosition();
    muzax::OpenMusic(MusicFile);
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
  if (json) h.SourceFiles = [] { return tools::FilesReadByLastBuild(); };
  h.Report = [](const std::string& message) { std::fprintf(stderr, "qvlplay: %s\n", message.c_str()); };
  return h;
}

void FrameFault(const std::string& message) { Say(message + " (paused until the next save)"); }

void PollFiles(uint32_t now) {
  if (!active) return;
  const std::vector<std::string> changed = fileWatch::Changed(now);
  if (changed.empty()) return;
  FilesChanged(changed);
  // Watching afresh could miss a save made meanwhile: only when the demo
  // names other files now.
  const std::vector<std::string> files = WatchedFiles();
  if (files != watching) fileWatch::Watch(watching = files, !fileWatch::Notifying());
}

}  // namespace authoring
