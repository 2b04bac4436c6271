// texLoad: the demo's textures made with image files read on worker threads.
//
// Between Begin and Finish each image file added is read and decoded by a
// pool of worker threads, as many as the machine has. Finish, on the thread
// that owns the GL context, makes the textures in the order they were added:
// each entry's failure messages are shown when its turn comes, then it is
// uploaded with its mipmaps. Names, texture objects and messages therefore
// come out exactly as making them one after another gives them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace texLoad {

// The shell's part in a long load; called on the loading thread only.
struct THooks {
  // `done` of `total` textures are made. Called after each texture and, while
  // the loader waits for a worker, every few tens of milliseconds. It may
  // draw into the GL context and swap buffers.
  std::function<void(int32_t done, int32_t total)> Progress;
};
void SetHooks(THooks hooks);

// Worker threads for the next batch. 0, the default: as many as the
// machine has. 1: nothing is threaded, each texture is made as it is added,
// as texMan::SetTextureFromFile makes it.
void SetWorkers(int32_t workers);
// The workers a batch uses: the setting, with 0 made the machine's count.
int32_t Workers();

void Startup();
void Shutdown();  // stops the workers of an unfinished batch

void Begin();
// As texMan::SetTextureFromFile(index, fileName); made at the latest by Finish.
void Add(int32_t index, const std::string& fileName);
// Makes every texture added since Begin, in the order added, and stops the
// workers. An exception a reader threw is thrown again at its turn; the
// workers are stopped either way.
void Finish();

}  // namespace texLoad
