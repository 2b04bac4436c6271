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

int32_t BlankTextureSizeFor(int32_t width, int32_t height) { return width == 1280 && height == 1024 ? 1024 : 512; }

}  // namespace settings
