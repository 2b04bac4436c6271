// The offscreen context grows with the largest size asked of it; the message
// sink falls back to stderr where no box can be shown.
#include <gtest/gtest.h>
#include <GL/gl.h>
#include "engine/messages.h"
#include "platform/messageBox.h"
#include "platform/offscreen.h"
TEST(OffscreenResize, GrowingKeepsTheContextAndCoversTheNewSize) {
  ASSERT_TRUE(offscreen::Open(64, 64));
  GLuint tex = 0;
  glGenTextures(1, &tex);
  glBindTexture(GL_TEXTURE_2D, tex);
  ASSERT_TRUE(offscreen::Open(300, 200));
  EXPECT_TRUE(glIsTexture(tex));
  glClearColor(1, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  auto px = offscreen::ReadPixels(300, 200);
  EXPECT_EQ(px[(10 * 300 + 290) * 4], 255);
  EXPECT_EQ(px[(190 * 300 + 290) * 4], 255);
  glDeleteTextures(1, &tex);
  glClearColor(0, 0, 0, 0);
}
TEST(MessageBoxSink, WritesCaptionAndTextToStderrWithoutADisplay) {
  ASSERT_TRUE(offscreen::Open(64, 64));
  EXPECT_FALSE(messageBox::DisplayAvailable());
  messages::Sink old = messages::SetSink({});
  messageBox::InstallMessageBoxSink();
  testing::internal::CaptureStderr();
  messages::Show("TGA Texture", "File not found  - a.tga");
  const std::string err = testing::internal::GetCapturedStderr();
  messages::SetSink(std::move(old));
  EXPECT_EQ(err, "TGA Texture: File not found  - a.tga\n");
}
