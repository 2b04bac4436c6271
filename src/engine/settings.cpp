#include "engine/settings.h"

namespace settings {

bool StartPressed = false;
bool FullScreen = true;
int32_t ScreenWidth = 800;
int32_t ScreenHeight = 600;
int32_t BlankTextureSize = 512;
bool ShowFPS = false;
bool SoundOff = false;
int32_t SoundDevice = 0;
bool LoopDemo = false;
int32_t Display = 0;
bool VSync = true;

int32_t BlankTextureSizeFor(int32_t width, int32_t height) {
  const int32_t side = width < height ? width : height;
  int32_t size = 512;
  while (size <= side / 2) size *= 2;
  return size;
}

}  // namespace settings
