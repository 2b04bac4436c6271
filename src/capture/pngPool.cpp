#include "capture/pngPool.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <mutex>
#include <thread>

#include "engine/paths.h"
#include "platform/pngWrite.h"
#include "platform/priority.h"

namespace pngPool {

namespace {

struct TJob {
  int64_t Frame = 0;
  std::vector<uint8_t> Pixels;
};

// Lives from Start to Finish.
struct TPool {
  std::string Dir;
  int Width = 0, Height = 0;
  size_t Capacity = 0;
  std::deque<TJob> Queue;
  // Pixel buffers of encoded frames, handed out again by Spare: no frame
  // pays for a fresh allocation and its page faults.
  std::vector<std::vector<uint8_t>> Spares;
  std::vector<std::thread> Workers;
  std::mutex Lock;
  std::condition_variable Changed;
  bool Closing = false;
  int64_t NextToWrite = 0;
  bool Failed = false;
  std::string Error;
} Pool;

void Work() {
  // Encoding can wait; the renderer's threads, which the frame rate hangs on, cannot.
  priority::Lower();
  std::vector<uint8_t> png;
  for (;;) {
    TJob job;
    {
      std::unique_lock<std::mutex> lock(Pool.Lock);
      Pool.Changed.wait(lock, [] { return Pool.Closing || !Pool.Queue.empty(); });
      if (Pool.Queue.empty()) return;
      job = std::move(Pool.Queue.front());
      Pool.Queue.pop_front();
      Pool.Changed.notify_all();
    }
    png.clear();
    const bool encoded = pngWrite::Encode({job.Pixels.data(), Pool.Width, Pool.Height, 3, true}, png);
    const std::string path = FrameFileName(Pool.Dir, job.Frame);

    // Jobs leave the queue in frame order, so every earlier frame is with a
    // worker that will get to its turn.
    std::unique_lock<std::mutex> lock(Pool.Lock);
    Pool.Spares.push_back(std::move(job.Pixels));
    Pool.Changed.wait(lock, [&] { return Pool.NextToWrite == job.Frame; });
    if (!Pool.Failed) {
      lock.unlock();
      const char* failure = !encoded ? "cannot encode " : !pngWrite::WriteFile(path, png) ? "cannot write " : nullptr;
      lock.lock();
      if (failure) {
        Pool.Failed = true;
        Pool.Error = failure + path;
      }
    }
    ++Pool.NextToWrite;
    Pool.Changed.notify_all();
  }
}

}  // namespace

std::string FrameFileName(const std::string& dir, int64_t frame) {
  char name[32];
  std::snprintf(name, sizeof name, "%06lld.png", static_cast<long long>(frame));
  return paths::Text(paths::Of(dir) / name);
}

void Start(const std::string& dir, int width, int height) {
  Pool.Dir = dir;
  Pool.Width = width;
  Pool.Height = height;
  Pool.Closing = false;
  Pool.NextToWrite = 0;
  Pool.Failed = false;
  Pool.Error.clear();
  const unsigned workers = std::max(1u, std::thread::hardware_concurrency());
  Pool.Capacity = workers * 2;
  for (unsigned i = 0; i < workers; ++i) Pool.Workers.emplace_back(Work);
}

std::vector<uint8_t> Spare() {
  std::lock_guard<std::mutex> lock(Pool.Lock);
  if (Pool.Spares.empty()) return {};
  std::vector<uint8_t> pixels = std::move(Pool.Spares.back());
  Pool.Spares.pop_back();
  return pixels;
}

bool Put(int64_t frame, std::vector<uint8_t>&& bottomUpRgba) {
  std::unique_lock<std::mutex> lock(Pool.Lock);
  Pool.Changed.wait(lock, [] { return Pool.Failed || Pool.Queue.size() < Pool.Capacity; });
  if (Pool.Failed) return false;
  Pool.Queue.push_back(TJob{frame, std::move(bottomUpRgba)});
  Pool.Changed.notify_all();
  return true;
}

bool Finish(std::string& error) {
  {
    std::lock_guard<std::mutex> lock(Pool.Lock);
    Pool.Closing = true;
    if (Pool.Failed) Pool.Queue.clear();
  }
  Pool.Changed.notify_all();
  for (auto& w : Pool.Workers) w.join();
  Pool.Workers.clear();
  Pool.Queue.clear();
  Pool.Spares.clear();
  error = Pool.Error;
  return !Pool.Failed;
}

}  // namespace pngPool
