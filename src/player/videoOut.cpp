#include "player/videoOut.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

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
#ifndef _WIN32
  pid_t Child = -1;
  int Pipe = -1;
#endif
} Out;

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
  if (!Out.Silent.empty()) std::filesystem::remove(Out.Silent, ec);
  if (!Out.Muxed.empty()) std::filesystem::remove(Out.Muxed, ec);
}

#ifndef _WIN32
// Runs ffmpeg with `args`; with `pipeOut` its stdin is a pipe we write to.
// Its own chatter is kept to errors, which go to our stderr.
bool Spawn(const std::vector<std::string>& args, int* pipeOut, pid_t& child) {
  int fds[2] = {-1, -1};
  if (pipeOut && pipe(fds) != 0) return false;
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>("ffmpeg"));
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  child = fork();
  if (child < 0) {
    if (pipeOut) {
      close(fds[0]);
      close(fds[1]);
    }
    return false;
  }
  if (child == 0) {
    if (pipeOut) {
      dup2(fds[0], STDIN_FILENO);
      close(fds[0]);
      close(fds[1]);
    } else {
      const int null = open("/dev/null", O_RDONLY);
      if (null >= 0) dup2(null, STDIN_FILENO);
    }
    // Ctrl-C is ours to handle: the export is cleaned up by this program.
    signal(SIGINT, SIG_IGN);
    execvp("ffmpeg", argv.data());
    _exit(127);
  }
  if (pipeOut) {
    close(fds[0]);
    fcntl(fds[1], F_SETFD, FD_CLOEXEC);
    *pipeOut = fds[1];
  }
  return true;
}

bool Wait(pid_t child) {
  int status = 0;
  while (waitpid(child, &status, 0) < 0)
    if (errno != EINTR) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
#endif

}  // namespace

std::string TempName(const std::string& path, const char* what) {
  const std::filesystem::path p(path);
#ifndef _WIN32
  const long id = static_cast<long>(getpid());
#else
  const long id = 0;
#endif
  return (p.parent_path() / ("." + p.filename().string() + "." + what + "-" + std::to_string(id))).string();
}

bool HaveFfmpeg() {
  const char* path = std::getenv("PATH");
  if (!path) return false;
  std::string dirs = path;
  size_t start = 0;
  while (start <= dirs.size()) {
    const size_t end = std::min(dirs.find(':', start), dirs.size());
    const std::string dir = dirs.substr(start, end - start);
    const auto candidate = std::filesystem::path(dir.empty() ? "." : dir) / "ffmpeg";
#ifndef _WIN32
    if (access(candidate.c_str(), X_OK) == 0 && !std::filesystem::is_directory(candidate)) return true;
#endif
    start = end + 1;
  }
  return false;
}

#ifdef _WIN32
bool Start(const std::string&, int, int, int32_t, std::string& error) {
  error = "video export is not available on this system; capture to a directory instead";
  return false;
}
bool Put(const uint8_t*, std::string&) { return false; }
bool Finish(const std::string&, std::string&) { return false; }
void Abort() {}
#else

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
  const auto parent = std::filesystem::path(path).parent_path();
  std::error_code ec;
  if (!parent.empty() && !std::filesystem::is_directory(parent, ec)) {
    error = "cannot write " + path + ": there is no directory " + parent.string();
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
                                   "-s", size, "-framerate", std::to_string(rate), "-i", "pipe:0"};
  args.insert(args.end(), Out.Format->Video.begin(), Out.Format->Video.end());
  args.insert(args.end(), {"-f", "matroska", Out.Silent});
  if (!Spawn(args, &Out.Pipe, Out.Child)) {
    error = "cannot start ffmpeg: " + std::string(std::strerror(errno));
    Out = TExport{};
    return false;
  }
  return true;
}

bool Put(const uint8_t* rgb, std::string& error) {
  size_t done = 0;
  while (done < Out.FrameBytes) {
    const ssize_t n = write(Out.Pipe, rgb + done, Out.FrameBytes - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = "ffmpeg stopped taking frames";
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

bool Finish(const std::string& wavPath, std::string& error) {
  close(Out.Pipe);
  Out.Pipe = -1;
  const bool encoded = Wait(Out.Child);
  Out.Child = -1;
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
  pid_t mux = -1;
  if (!Spawn(args, nullptr, mux) || !Wait(mux)) {
    error = "ffmpeg could not put the sound into the video";
    Abort();
    return false;
  }
  std::error_code ec;
  std::filesystem::rename(Out.Muxed, Out.Path, ec);
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
  if (Out.Pipe >= 0) close(Out.Pipe);
  if (Out.Child > 0) {
    kill(Out.Child, SIGTERM);
    Wait(Out.Child);
  }
  RemoveTemporaries();
  Out = TExport{};
}
#endif

}  // namespace videoOut
