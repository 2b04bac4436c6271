#include "capture/pngPool.h"

#include <png.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <mutex>
#include <thread>

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
  std::vector<std::thread> Workers;
  std::mutex Lock;
  std::condition_variable Changed;
  bool Closing = false;
  int64_t NextToWrite = 0;
  bool Failed = false;
  std::string Error;
} Pool;

void AppendBytes(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

void FlushNothing(png_structp) {}

// The screen has no transparency, so the file has none either. Rendered
// pictures are mostly flat runs and smooth gradients: the Sub filter at zlib
// level 1 packs them about 10 % larger than the default settings in a third
// of the time.
bool Encode(const std::vector<uint8_t>& bottomUp, int width, int height, std::vector<uint8_t>& out) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, &out, AppendBytes, FlushNothing);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
  png_set_compression_level(png, 1);
  png_write_info(png, info);
  const size_t row = static_cast<size_t>(width) * 3;
  for (int y = height - 1; y >= 0; --y)
    png_write_row(png, const_cast<png_bytep>(bottomUp.data() + static_cast<size_t>(y) * row));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && written;
}

void Work() {
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
    const bool encoded = Encode(job.Pixels, Pool.Width, Pool.Height, png);
    job.Pixels = {};
    const std::string path = FrameFileName(Pool.Dir, job.Frame);

    // Jobs leave the queue in frame order, so every earlier frame is with a
    // worker that will get to its turn.
    std::unique_lock<std::mutex> lock(Pool.Lock);
    Pool.Changed.wait(lock, [&] { return Pool.NextToWrite == job.Frame; });
    if (!Pool.Failed) {
      lock.unlock();
      const char* failure = !encoded ? "cannot encode " : !WriteFile(path, png) ? "cannot write " : nullptr;
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
  return (std::filesystem::path(dir) / name).string();
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
  error = Pool.Error;
  return !Pool.Failed;
}

}  // namespace pngPool
