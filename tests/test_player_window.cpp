// The playback window on the offscreen video driver: creation, the resize rule and the frame-rate text.
#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <tuple>

#include <GL/gl.h>

#include "demoWriter.h"
#include "engine/dllShared.h"
#include "engine/messages.h"
#include "engine/registry.h"
#include "engine/scheduler.h"
#include "engine/settings.h"
#include "player/mainloop.h"
#include "player/openglx.h"
#include "platform/offscreen.h"
#include "platform/present.h"

namespace {

namespace fs = std::filesystem;

class PlayerWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    savedHost_ = dllShared::Host;
    std::copy(std::begin(registry::Operators), std::end(registry::Operators), savedOps_.begin());
    savedSettings_ = {settings::SoundOff, settings::ShowFPS, settings::ScreenWidth, settings::ScreenHeight};
    settings::SoundOff = true, settings::ShowFPS = false;
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
    std::tie(settings::SoundOff, settings::ShowFPS, settings::ScreenWidth, settings::ScreenHeight) = savedSettings_;
    openglx::FontBase = 0;
    mainloop::ResetLoopState();
    if (offscreen::IsOpen()) offscreen::Open(1, 1);  // give the other GL tests their context back
  }

  dllShared::fHost savedHost_{};
  std::array<dllShared::fOperator*, registry::OperatorCount> savedOps_{};
  std::tuple<bool, bool, int32_t, int32_t> savedSettings_;
  fs::path oldCwd_ = fs::current_path(), dir_ = testutil::TempDir("player-window");
  messages::Sink oldSink_;
  std::vector<std::pair<std::string, std::string>> boxes_;
};

TEST_F(PlayerWindow, WindowedStartStateFrameRateTextAndResize) {
  dllShared::Host.DrawMesh = nullptr;
  settings::ShowFPS = true;
  std::tie(settings::ScreenWidth, settings::ScreenHeight) = std::make_pair(160, 120);
  ASSERT_TRUE(openglx::CreateGLWindow(160, 120, false, 32));
  // No mesh drawing: the warning box, and no full-screen complaint.
  EXPECT_EQ(boxes_, (std::vector<std::pair<std::string, std::string>>{{":(", "crash"}}));
  ASSERT_NE(SDL_GL_GetCurrentWindow(), nullptr);
  EXPECT_EQ(SDL_GetWindowFlags(SDL_GL_GetCurrentWindow()) & (SDL_WINDOW_FULLSCREEN | SDL_WINDOW_SHOWN), SDL_WINDOW_SHOWN);
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);
  EXPECT_EQ(std::make_pair(scheduler::RenderWidth, scheduler::RenderHeight), std::make_pair(160, 120));

  // The frame-rate text: white pixels in the top-left quarter and nowhere else.
  auto drawn = [](const std::string& text) {
    mainloop::ResetLoopState();
    openglx::FPSText = text;
    mainloop::RenderFrame();
    const auto px = offscreen::ReadPixels(160, 120);
    std::pair<int, int> n{0, 0};
    for (size_t i = 0; i < px.size(); i += 4)
      if (px[i] > 200 && px[i + 1] > 200 && px[i + 2] > 200) ++(i / 4 % 160 < 80 && i / 640 < 60 ? n.first : n.second);
    return n;
  };
  const auto n = drawn("FPS: 888");
  EXPECT_TRUE(n.first > 15 && n.second == 0) << n.first << " " << n.second;
  EXPECT_EQ(drawn(""), std::make_pair(0, 0));

  // The picture keeps its size when the window's changes. Drawn straight into
  // the window (no framebuffer objects), the viewport follows, and a zero
  // height keeps one row.
  ASSERT_TRUE(present::Active());
  openglx::WindowProc({openglx::TMsgKind::Size, 200, 0});
  GLint vp[4] = {};
  glGetIntegerv(GL_VIEWPORT, vp);
  EXPECT_EQ(std::make_pair(vp[2], vp[3]), std::make_pair(160, 120));
  present::Close();
  openglx::WindowProc({openglx::TMsgKind::Size, 200, 0});
  glGetIntegerv(GL_VIEWPORT, vp);
  EXPECT_EQ(std::make_pair(vp[2], vp[3]), std::make_pair(200, 1));
  GLfloat p[16] = {};
  glGetFloatv(GL_PROJECTION_MATRIX, p);
  EXPECT_NEAR(p[5] / p[0], 200.0f, 0.01f);  // aspect width / 1

  // Restored from the task bar: the client size comes back. Alt+F5 is a
  // system key and leaves the key table alone.
  openglx::TMessage m;
  while (openglx::PeekMessage(m)) {
  }
  SDL_Event e[2]{};
  e[0].type = SDL_WINDOWEVENT, e[0].window.event = SDL_WINDOWEVENT_RESTORED;
  e[1].type = SDL_KEYDOWN, e[1].key.keysym.sym = SDLK_F5, e[1].key.keysym.mod = KMOD_LALT;
  for (SDL_Event& one : e) SDL_PushEvent(&one);
  ASSERT_TRUE(openglx::PeekMessage(m));
  EXPECT_EQ(std::make_tuple(m.Kind, m.A, m.B), std::make_tuple(openglx::TMsgKind::Size, 160, 120));
  ASSERT_TRUE(openglx::PeekMessage(m));
  EXPECT_EQ(m.Kind, openglx::TMsgKind::Other);
}

}  // namespace
