#include "resources/texLoad.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "engine/messages.h"
#include "resources/Texturez.h"
#include "resources/texMan.h"

namespace texLoad {

namespace {

// One entry to make. A worker fills Image, Ok, Messages and Error, then
// sets Done; the loading thread reads them only after Done.
struct TJob {
  int32_t Index = 0;
  std::string FileName;              // as added; empty for a blank texture
  std::string Bare;                  // the name it is opened by
  Texturez::TReader Read = nullptr;  // null: nothing to read
  Texturez::TImage Image;
  bool Ok = false;
  std::vector<std::pair<std::string, std::string>> Messages;  // caption, text
  std::exception_ptr Error;
  bool Done = false;
};

THooks hooks;
int32_t workerSetting = 0;

// The batch. `jobs` only grows during a batch (a deque keeps the
// references workers hold); the mutex guards everything below it.
std::deque<TJob> jobs;
std::vector<std::thread> threads;
std::mutex mutex;
std::condition_variable wakeWorkers, jobDone;
// Pixel buffers of images already made, kept for the next reads: a batch
// reuses a few buffers instead of taking fresh pages for every image.
std::vector<Texturez::TPixels> spare;
size_t nextToRead = 0;  // the first job no worker has taken
size_t made = 0;        // jobs made by Finish so far
bool stopping = false;
bool inBatch = false;

// Read images wait for their turn in memory; a worker runs at most this
// far ahead of the textures made, which bounds the memory a batch holds.
size_t ReadAhead() { return 2 * static_cast<size_t>(Workers()); }

void Read(TJob& job) {
  // The messages wait for the job's turn, to be shown in table order.
  messages::Sink old = messages::SetThreadSink(
      [&job](const std::string& caption, const std::string& text) { job.Messages.emplace_back(caption, text); });
  try {
    job.Ok = job.Read(job.Bare, &job.Image);
  } catch (...) {
    job.Error = std::current_exception();
  }
  messages::SetThreadSink(std::move(old));
}

void Work() {
  std::unique_lock lock(mutex);
  for (;;) {
    wakeWorkers.wait(lock, [] { return stopping || (nextToRead < jobs.size() && nextToRead < made + ReadAhead()); });
    if (stopping) return;
    TJob& job = jobs[nextToRead++];
    if (job.Read) {
      if (!spare.empty()) {
        job.Image.Pixels = std::move(spare.back());
        job.Image.Pixels.clear();  // the capacity stays
        spare.pop_back();
      }
      lock.unlock();
      Read(job);
      lock.lock();
    }
    job.Done = true;
    jobDone.notify_all();
  }
}

void StopWorkers() {
  {
    std::lock_guard lock(mutex);
    stopping = true;
  }
  wakeWorkers.notify_all();
  for (std::thread& t : threads) t.join();
  threads.clear();
  jobs.clear();
  spare.clear();
  nextToRead = made = 0;
  stopping = false;
  inBatch = false;
}

void Progress(int32_t done) {
  if (hooks.Progress) hooks.Progress(done, texMan::TexCount());
}

// Makes job `i` once a worker has read it, showing progress while waiting.
void Make(size_t i) {
  TJob& job = jobs[i];
  {
    std::unique_lock lock(mutex);
    while (!job.Done) {
      if (jobDone.wait_for(lock, std::chrono::milliseconds(40), [&job] { return job.Done; })) break;
      lock.unlock();
      Progress(static_cast<int32_t>(i));
      lock.lock();
    }
  }
  for (const auto& [caption, text] : job.Messages) messages::Show(caption, text);
  if (job.Error) std::rethrow_exception(job.Error);
  texMan::SetTextureFromImage(job.Index, job.FileName, job.Read && job.Ok ? &job.Image : nullptr);
  {
    std::lock_guard lock(mutex);
    if (spare.size() < ReadAhead() + static_cast<size_t>(Workers())) spare.push_back(std::move(job.Image.Pixels));
    ++made;
  }
  job.Image = {};  // the rest of its memory goes now, not with the batch
  wakeWorkers.notify_all();
  Progress(static_cast<int32_t>(i + 1));
}

}  // namespace

void SetHooks(THooks h) { hooks = std::move(h); }

void SetWorkers(int32_t workers) { workerSetting = std::max(0, workers); }

int32_t Workers() {
  if (workerSetting > 0) return workerSetting;
  return static_cast<int32_t>(std::max(1u, std::thread::hardware_concurrency()));
}

void Startup() {}

void Shutdown() {
  if (inBatch) StopWorkers();
  hooks = {};
}

void Begin() {
  if (inBatch) Finish();
  inBatch = true;
}

void Add(int32_t index, const std::string& fileName) {
  if (!inBatch || Workers() == 1) {
    texMan::SetTextureFromFile(index, fileName);
    if (inBatch) Progress(index + 1);
    return;
  }
  TJob job;
  job.Index = index;
  job.FileName = fileName;
  // What the entry will be opened by; an entry outside the table reads nothing.
  if (!fileName.empty() && index >= 0 && index < texMan::TexCount()) {
    job.Bare = texMan::BareName(fileName);
    job.Read = Texturez::ReaderFor(job.Bare);
  }
  {
    std::lock_guard lock(mutex);
    jobs.push_back(std::move(job));
    if (threads.empty())
      for (int32_t n = Workers(); n > 0; --n) threads.emplace_back(Work);
  }
  wakeWorkers.notify_one();
}

void Finish() {
  if (!inBatch) return;
  // The workers stop however this ends, a reader's exception included.
  struct Stop {
    ~Stop() { StopWorkers(); }
  } stop;
  for (size_t i = 0; i < jobs.size(); ++i) Make(i);
}

}  // namespace texLoad
