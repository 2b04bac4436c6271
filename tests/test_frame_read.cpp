// Reading frames back: through pixel-buffer objects one frame behind, or at
// once with glReadPixels, every frame arrives once, in order, with the
// pixels a direct read gives.
#include <gtest/gtest.h>
#include <GL/gl.h>

#include "capture/frameRead.h"
#include "platform/offscreen.h"

TEST(FrameRead, DeferredAndPlainReadsHandOverEveryFrameInOrder) {
  ASSERT_TRUE(offscreen::Open(64, 48));
  const int w = 61, h = 37;  // rows of an odd length, unaligned
  for (const auto mode : {frameRead::TMode::Auto, frameRead::TMode::Plain}) {
    frameRead::Start(w, h, mode);
    EXPECT_EQ(frameRead::Deferred(), mode == frameRead::TMode::Auto);  // Mesa has the buffers
    std::vector<std::vector<uint8_t>> drawn, got;
    std::vector<uint8_t> px;
    for (int f = 0; f < 4; ++f) {
      glClearColor(0.2f * f, 0.5f, 1.0f - 0.2f * f, 1);
      glClear(GL_COLOR_BUFFER_BIT);
      glEnable(GL_SCISSOR_TEST);
      glScissor(f * 3, 2 * f, 5, 3);  // a patch that moves: rows and columns in their places
      glClearColor(1, 1, 0, 1);
      glClear(GL_COLOR_BUFFER_BIT);
      glDisable(GL_SCISSOR_TEST);
      drawn.emplace_back(size_t(w) * h * 3);
      glPixelStorei(GL_PACK_ALIGNMENT, 1);
      glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, drawn.back().data());
      if (frameRead::Read(px) == frameRead::TResult::Frame) got.push_back(px);
    }
    if (frameRead::Drain(px) == frameRead::TResult::Frame) got.push_back(px);
    EXPECT_EQ(frameRead::Drain(px), frameRead::TResult::None);
    EXPECT_TRUE(got == drawn) << got.size();
    frameRead::Shutdown();
  }
  glClearColor(0, 0, 0, 0);
}
