#include "authoring/authoring.h"

#include <algorithm>

#include "platform/fileWatch.h"

namespace authoring {

namespace {

bool active = false;
std::string demoFile;
THooks hooks;
std::vector<unsigned char> lastSource;  // what demoFile held when the playing demo loaded
std::vector<unsigned char> lastDemo;    // the playing demo's bytes
std::string lastMessage;
std::vector<std::string> watching;  // what fileWatch was last given
std::vector<std::string> sourceFiles;  // what the last build read besides demoFile

void Say(const std::string& message) {
  lastMessage = message;
  if (hooks.Report) hooks.Report(message);
}

}  // namespace

void Begin(const std::string& file, const THooks& h, std::vector<unsigned char> source,
           std::vector<unsigned char> demo, std::vector<std::string> sources) {
  active = true;
  demoFile = file;
  hooks = h;
  lastSource = std::move(source);
  lastDemo = std::move(demo);
  lastMessage.clear();
  sourceFiles = std::move(sources);
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
  sourceFiles.clear();
  fileWatch::Shutdown();
}

bool Active() { return active; }

const std::string& LastMessage() { return lastMessage; }

std::vector<std::string> WatchedFiles() {
  std::vector<std::string> files{demoFile};
  if (hooks.ImageFiles)
    for (const std::string& f : hooks.ImageFiles()) files.push_back(f);
  for (const std::string& f : sourceFiles) files.push_back(f);
  files.push_back(MusicFile);
  return files;
}

TOutcome FilesChanged(const std::vector<std::string>& files) {
  if (!active) return TOutcome::Nothing;
  const std::vector<std::string> images = hooks.ImageFiles ? hooks.ImageFiles() : std::vector<std::string>{};
  const std::vector<std::string> parts = sourceFiles;
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
        ok = hooks.Build(source, demo, sourceFiles, error);
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
        if (hooks.Reloaded) hooks.Reloaded();
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
