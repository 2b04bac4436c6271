#include "capture/videoOut.h"

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/paths.h"
#include "platform/childProcess.h"

namespace videoOut {

namespace {

struct TFormat {
  const char* Extension;
  const char* Muxer;
  std::vector<std::string> Video;  // codec options
  std::vector<std::string> Audio;
};

// Quality first, then speed: visually clean at the sizes demos are watched.
const TFormat Formats[] = {
    {".mp4", "mp4", {"-c:v", "libx264", "-preset", "veryfast", "-crf", "18", "-pix_fmt", "yuv420p"},
     {"-c:a", "aac", "-b:a", "192k"}},
    {".mkv", "matroska", {"-c:v", "libx264", "-preset", "veryfast", "-crf", "18", "-pix_fmt", "yuv420p"},
     {"-c:a", "aac", "-b:a", "192k"}},
    {".webm", "webm",
     {"-c:v", "libvpx-vp9", "-crf", "30", "-b:v", "0", "-deadline", "realtime", "-cpu-used", "8", "-row-mt", "1",
      "-pix_fmt", "yuv420p"},
     {"-c:a", "libopus", "-b:a", "160k"}},
};

// Lives from Start to Finish or Abort.
struct TExport {
  std::string Path;
  const TFormat* Format = nullptr;
  std::string Silent;  // the video without sound
  std::string Muxed;   // the finished file before its rename
  size_t FrameBytes = 0;
  childProcess::TChild Encoder;
} Out;

// Frames on their way down the pipe: a thread of their own writes them, so
// that the next frame is drawn while ffmpeg reads this one. A few frames
// queue up at most; Put waits while the queue is full.
constexpr size_t FeedFrames = 3;
struct TFeed {
  std::deque<std::vector<uint8_t>> Queue;
  std::vector<std::vector<uint8_t>> Spares;  // written frames' buffers
  std::thread Writer;
  std::mutex Lock;
  std::condition_variable Changed;
  bool Closing = false;
  bool Failed = false;
} Feed;

void WriteFrames() {
  for (;;) {
    std::vector<uint8_t> frame;
    {
      std::unique_lock<std::mutex> lock(Feed.Lock);
      Feed.Changed.wait(lock, [] { return Feed.Closing || !Feed.Queue.empty(); });
      if (Feed.Queue.empty()) return;
      frame = std::move(Feed.Queue.front());
      Feed.Queue.pop_front();
    }
    const bool written = childProcess::Write(Out.Encoder, frame.data(), frame.size());
    std::lock_guard<std::mutex> lock(Feed.Lock);
    Feed.Spares.push_back(std::move(frame));
    if (!written) {
      Feed.Failed = true;
      Feed.Queue.clear();
    }
    Feed.Changed.notify_all();
  }
}

// Writes what is queued (nothing after a failure) and ends the thread.
// False when a write failed.
bool StopFeed() {
  {
    std::lock_guard<std::mutex> lock(Feed.Lock);
    Feed.Closing = true;
  }
  Feed.Changed.notify_all();
  if (Feed.Writer.joinable()) Feed.Writer.join();
  const bool ok = !Feed.Failed;
  Feed.Queue.clear();
  Feed.Spares.clear();
  Feed.Closing = false;
  Feed.Failed = false;
  return ok;
}

const TFormat* FormatOf(const std::string& path) {
  std::string lower = path;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  for (const TFormat& f : Formats) {
    const size_t n = std::strlen(f.Extension);
    if (lower.size() > n && lower.compare(lower.size() - n, n, f.Extension) == 0) return &f;
  }
  return nullptr;
}

void RemoveTemporaries() {
  std::error_code ec;
  if (!Out.Silent.empty()) std::filesystem::remove(paths::Of(Out.Silent), ec);
  if (!Out.Muxed.empty()) std::filesystem::remove(paths::Of(Out.Muxed), ec);
}

}  // namespace

std::string TempName(const std::string& path, const char* what) {
  const std::filesystem::path p = paths::Of(path);
  const long id = childProcess::ProcessId();
  return paths::Text(p.parent_path() / paths::Of("." + paths::Text(p.filename()) + "." + what + "-" + std::to_string(id)));
}

bool HaveFfmpeg() { return childProcess::OnPath("ffmpeg"); }

bool Start(const std::string& path, int width, int height, int32_t rate, std::string& error) {
  Out = TExport{};
  Out.Path = path;
  Out.Format = FormatOf(path);
  if (!Out.Format) {
    error = "a video file name ends in .mp4, .mkv or .webm, not " + path;
    return false;
  }
  if (width % 2 != 0 || height % 2 != 0) {
    error = "a video needs an even width and height, not " + std::to_string(width) + "x" + std::to_string(height);
    return false;
  }
  const auto parent = paths::Of(path).parent_path();
  std::error_code ec;
  if (!parent.empty() && !std::filesystem::is_directory(parent, ec)) {
    error = "cannot write " + path + ": there is no directory " + paths::Text(parent);
    return false;
  }
  if (!HaveFfmpeg()) {
    error = "video export needs the ffmpeg program, which was not found on PATH";
    return false;
  }
  Out.Silent = TempName(path, "video");
  Out.Muxed = TempName(path, "part");
  Out.FrameBytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 3;
  const std::string size = std::to_string(width) + "x" + std::to_string(height);
  std::vector<std::string> args = {"-hide_banner", "-loglevel", "error", "-y", "-f", "rawvideo", "-pix_fmt", "rgb24",
                                   "-s", size, "-framerate", std::to_string(rate), "-i", "pipe:0",
                                   // frames come bottom row first; the flip only turns ffmpeg's row pointers
                                   "-vf", "vflip"};
  args.insert(args.end(), Out.Format->Video.begin(), Out.Format->Video.end());
  args.insert(args.end(), {"-f", "matroska", Out.Silent});
  if (!childProcess::Spawn("ffmpeg", args, true, Out.Encoder, error)) {
    Out = TExport{};
    return false;
  }
  Feed.Writer = std::thread(WriteFrames);
  return true;
}

std::vector<uint8_t> Spare() {
  std::lock_guard<std::mutex> lock(Feed.Lock);
  if (Feed.Spares.empty()) return {};
  std::vector<uint8_t> frame = std::move(Feed.Spares.back());
  Feed.Spares.pop_back();
  return frame;
}

bool Put(std::vector<uint8_t>&& bottomUpRgb, std::string& error) {
  std::unique_lock<std::mutex> lock(Feed.Lock);
  Feed.Changed.wait(lock, [] { return Feed.Failed || Feed.Queue.size() < FeedFrames; });
  if (Feed.Failed || bottomUpRgb.size() != Out.FrameBytes) {
    error = "ffmpeg stopped taking frames";
    return false;
  }
  Feed.Queue.push_back(std::move(bottomUpRgb));
  Feed.Changed.notify_all();
  return true;
}

bool Finish(const std::string& wavPath, std::string& error) {
  if (!StopFeed()) {
    error = "ffmpeg stopped taking frames";
    Abort();
    return false;
  }
  const bool encoded = childProcess::Wait(Out.Encoder);
  if (!encoded) {
    error = "ffmpeg could not make the video";
    Abort();
    return false;
  }
  std::vector<std::string> args = {"-hide_banner", "-loglevel", "error", "-y", "-i", Out.Silent};
  if (!wavPath.empty()) args.insert(args.end(), {"-i", wavPath, "-map", "0:v", "-map", "1:a"});
  args.insert(args.end(), {"-c:v", "copy"});
  if (!wavPath.empty()) args.insert(args.end(), Out.Format->Audio.begin(), Out.Format->Audio.end());
  if (std::strcmp(Out.Format->Muxer, "mp4") == 0) args.insert(args.end(), {"-movflags", "+faststart"});
  args.insert(args.end(), {"-f", Out.Format->Muxer, Out.Muxed});
  childProcess::TChild mux;
  std::string ignored;
  if (!childProcess::Spawn("ffmpeg", args, false, mux, ignored) || !childProcess::Wait(mux)) {
    error = "ffmpeg could not put the sound into the video";
    Abort();
    return false;
  }
  std::error_code ec;
  std::filesystem::rename(paths::Of(Out.Muxed), paths::Of(Out.Path), ec);
  if (ec) {
    error = "cannot write " + Out.Path + ": " + ec.message();
    Abort();
    return false;
  }
  Out.Muxed.clear();
  RemoveTemporaries();
  Out = TExport{};
  return true;
}

void Abort() {
  {
    // The frame being written goes on; ffmpeg reads it or has gone.
    std::lock_guard<std::mutex> lock(Feed.Lock);
    Feed.Queue.clear();
  }
  StopFeed();
  childProcess::Kill(Out.Encoder);
  RemoveTemporaries();
  Out = TExport{};
}

}  // namespace videoOut
