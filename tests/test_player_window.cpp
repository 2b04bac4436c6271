// The playback window on the offscreen video driver: creation with its
// full-screen fallback, the GL state InitGL leaves, the frame-rate font and
// the resize rule.
#include <gtest/gtest.h>

#include <SDL.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <GL/gl.h>

#include "demoWriter.h"
#include "engine/dllShared.h"
#include "engine/messages.h"
#include "engine/registry.h"
#include "engine/scheduler.h"
#include "engine/settings.h"
#include "player/mainloop.h"
#include "player/openglx.h"
#include "tools/headless/offscreen.h"

namespace {

namespace fs = std::filesystem;

class PlayerWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    savedHost_ = dllShared::Host;
    std::copy(std::begin(registry::Operators), std::end(registry::Operators), savedOps_.begin());
    savedSettings_ = {settings::SoundOff, settings::ShowFPS, settings::ScreenWidth, settings::ScreenHeight};
    settings::SoundOff = true;
    settings::ShowFPS = false;
    oldCwd_ = fs::current_path();
    dir_ = testutil::TempDir("player-window");
    fs::current_path(dir_);  // no demo.qvl here: an empty timeline
    oldSink_ = messages::SetSink([this](const std::string& c, const std::string& t) { boxes_.emplace_back(c, t); });
  }
  void TearDown() override {
    openglx::KillGLWindow(false);
    messages::SetSink(oldSink_);
    fs::current_path(oldCwd_);
    fs::remove_all(dir_);
    dllShared::Host = savedHost_;
    std::copy(savedOps_.begin(), savedOps_.end(), std::begin(registry::Operators));
    settings::SoundOff = savedSettings_.soundOff;
    settings::ShowFPS = savedSettings_.showFps;
    settings::ScreenWidth = savedSettings_.w;
    settings::ScreenHeight = savedSettings_.h;
    openglx::FontBase = 0;
    // Give the shared offscreen context of the other GL tests back.
    if (offscreen::IsOpen()) offscreen::Open(1, 1);
  }

  bool Shown(const std::string& caption, const std::string& text) const {
    return std::find(boxes_.begin(), boxes_.end(), std::make_pair(caption, text)) != boxes_.end();
  }

  dllShared::fHost savedHost_{};
  std::array<dllShared::fOperator*, registry::OperatorCount> savedOps_{};
  struct {
    bool soundOff, showFps;
    int32_t w, h;
  } savedSettings_{};
  fs::path oldCwd_, dir_;
  messages::Sink oldSink_;
  std::vector<std::pair<std::string, std::string>> boxes_;
};

// The refused full-screen mode is tried under X (test_player_run): the
// offscreen driver takes any size.
TEST_F(PlayerWindow, WindowedStartIsVisibleWithItsClientSize) {
  settings::ScreenWidth = 123;
  settings::ScreenHeight = 77;
  ASSERT_TRUE(openglx::CreateGLWindow(123, 77, false, 32));
  EXPECT_TRUE(std::none_of(boxes_.begin(), boxes_.end(), [](const auto& b) { return b.first == "Whoops..."; }));
  SDL_Window* w = SDL_GL_GetCurrentWindow();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(SDL_GetWindowFlags(w) & SDL_WINDOW_FULLSCREEN, 0u);
  EXPECT_NE(SDL_GetWindowFlags(w) & SDL_WINDOW_SHOWN, 0u);
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);
  int cw = 0, ch = 0;
  SDL_GetWindowSize(w, &cw, &ch);
  EXPECT_EQ(cw, 123);
  EXPECT_EQ(ch, 77);
  EXPECT_EQ(std::string(SDL_GetWindowTitle(w)).rfind("Now playing: ", 0), 0u);
  EXPECT_EQ(scheduler::RenderWidth, 123);
  EXPECT_EQ(scheduler::RenderHeight, 77);
}

TEST_F(PlayerWindow, InitGLLeavesTheBaselineStateAndWarnsWithoutMeshes) {
  dllShared::Host.DrawMesh = nullptr;
  ASSERT_TRUE(openglx::CreateGLWindow(64, 64, false, 32));
  EXPECT_TRUE(Shown(":(", "crash"));
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  GLint v = 0;
  glGetIntegerv(GL_DEPTH_FUNC, &v);
  EXPECT_EQ(v, GL_LESS);
  glGetIntegerv(GL_BLEND_SRC, &v);
  EXPECT_EQ(v, GL_SRC_ALPHA);
  glGetIntegerv(GL_BLEND_DST, &v);
  EXPECT_EQ(v, GL_ONE_MINUS_SRC_ALPHA);
  glGetIntegerv(GL_SHADE_MODEL, &v);
  EXPECT_EQ(v, GL_SMOOTH);
  glGetIntegerv(GL_MATRIX_MODE, &v);
  EXPECT_EQ(v, GL_MODELVIEW);
  // Without the overlay no font is made.
  EXPECT_EQ(openglx::FontBase, 0u);
  EXPECT_FALSE(glIsList(1));
}

TEST_F(PlayerWindow, ZeroHeightResizeKeepsAViewportOfOneRow) {
  ASSERT_TRUE(openglx::CreateGLWindow(64, 64, false, 32));
  openglx::WindowProc({openglx::TMsgKind::Size, 200, 0});
  GLint vp[4] = {};
  glGetIntegerv(GL_VIEWPORT, vp);
  EXPECT_EQ(vp[2], 200);
  EXPECT_EQ(vp[3], 1);
  GLfloat p[16] = {};
  glGetFloatv(GL_PROJECTION_MATRIX, p);
  EXPECT_NEAR(p[5] / p[0], 200.0f, 0.01f);  // aspect width / 1
}

TEST_F(PlayerWindow, FrameRateTextIsDrawnTopLeftInWhite) {
  settings::ShowFPS = true;
  settings::ScreenWidth = 160;
  settings::ScreenHeight = 120;
  ASSERT_TRUE(openglx::CreateGLWindow(160, 120, false, 32));
  ASSERT_NE(openglx::FontBase, 0u);
  for (uint32_t i = 0; i < 96; ++i) EXPECT_TRUE(glIsList(openglx::FontBase + i)) << i;

  mainloop::ResetLoopState();
  openglx::FPSText = "FPS: 888";
  mainloop::RenderFrame();
  // White pixels in the top-left quarter and elsewhere.
  auto count = [] {
    glFinish();
    const auto px = offscreen::ReadPixels(160, 120);
    std::pair<int, int> n{0, 0};
    for (int y = 0; y < 120; ++y)
      for (int x = 0; x < 160; ++x) {
        const uint8_t* c = &px[(static_cast<size_t>(y) * 160 + static_cast<size_t>(x)) * 4];
        if (c[0] > 200 && c[1] > 200 && c[2] > 200) ++(x < 80 && y < 60 ? n.first : n.second);
      }
    return n;
  };
  const auto drawn = count();
  EXPECT_GT(drawn.first, 15);
  EXPECT_EQ(drawn.second, 0);

  // An empty text draws nothing.
  openglx::FPSText.clear();
  mainloop::RenderFrame();
  EXPECT_EQ(count(), std::make_pair(0, 0));
  mainloop::ResetLoopState();
}

TEST(PlayerWindowKeys, SdlKeysMapToWindowsVirtualKeys) {
  EXPECT_EQ(openglx::VirtualKeyOf(SDLK_ESCAPE), 27);
  EXPECT_EQ(openglx::VirtualKeyOf(SDLK_F1), 112);
  EXPECT_EQ(openglx::VirtualKeyOf(SDLK_F2), 113);
  EXPECT_EQ(openglx::VirtualKeyOf(SDLK_F3), 114);
  EXPECT_EQ(openglx::VirtualKeyOf(SDLK_F5), 116);
  EXPECT_EQ(openglx::VirtualKeyOf(SDLK_a), 'A');
  EXPECT_EQ(openglx::VirtualKeyOf(SDLK_9), '9');
  EXPECT_EQ(openglx::VirtualKeyOf(SDLK_MENU), 0);
}

}  // namespace
