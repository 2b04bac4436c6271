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

}  // namespace settings
