// The player's message sink falls back to stderr where no box can be shown.
#include <gtest/gtest.h>

#include "engine/messages.h"
#include "platform/messageBox.h"
#include "platform/offscreen.h"

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
