// authoring: reloads the playing demo when its files change, keeping the
// last demo that loaded whenever a new one will not.
//
// Everything it does to the player goes through hooks, so the decisions can
// be tried without a window; the program entry hands in the player's.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace authoring {

inline constexpr const char* MusicFile = "music.mp3";

struct THooks {
  // A whole file; false when it cannot be read.
  std::function<bool(const std::string& path, std::vector<unsigned char>& bytes)> ReadFile;
  // A JSON description into a demo file's bytes; false with the message.
  // `filesRead` gets the other files the description is built from
  // (assembly files), on failure too: a change to one rebuilds. Empty when
  // the watched demo file is itself the demo.
  std::function<bool(const std::vector<unsigned char>& text, std::vector<unsigned char>& demo,
                     std::vector<std::string>& filesRead, std::string& error)>
      Build;
  // Makes these bytes the playing demo. False with the reason (nothing is
  // then loaded); true with any warnings (an image that would not load).
  std::function<bool(const std::vector<unsigned char>& demo, std::string& message)> Load;
  // A reload succeeded: a frame that failed may be drawn again.
  std::function<void()> Reloaded;
  // music.mp3 changed on disk.
  std::function<void()> ReloadMusic;
  // The image files the playing demo names.
  std::function<std::vector<std::string>()> ImageFiles;
  // Messages for the console.
  std::function<void(const std::string&)> Report;
};

enum class TOutcome { Nothing, Reloaded, KeptLastGood, MusicReloaded };

// Starts watching (through fileWatch) after the first load: `source` is what `demoFile` held,
// `demo` the demo made of it, `sourceFiles` the other files its build read.
void Begin(const std::string& demoFile, const THooks& hooks, std::vector<unsigned char> source,
           std::vector<unsigned char> demo, std::vector<std::string> sourceFiles = {});
void End();
bool Active();

// Acts on a batch of changed files (names as WatchedFiles gives them).
TOutcome FilesChanged(const std::vector<std::string>& files);

// The demo file, the images the demo names and the music.
std::vector<std::string> WatchedFiles();
// What the last reload did, for the overlay; empty before the first.
const std::string& LastMessage();

// A frame of the playing demo failed with `message`.
void FrameFault(const std::string& message);
// Checks the watched files and reloads; called between frames.
void PollFiles(uint32_t now);

}  // namespace authoring
