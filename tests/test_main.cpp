// Test entry. Every test runs headless: with no driver chosen by the caller,
// video goes to the offscreen driver and sound to the dummy one.
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
#ifdef _WIN32
  // Windows has no offscreen GL driver: video stays on the system's own.
  if (!std::getenv("SDL_AUDIODRIVER")) _putenv_s("SDL_AUDIODRIVER", "dummy");
#else
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
#endif
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
