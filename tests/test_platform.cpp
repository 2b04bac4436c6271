// The platform layer's child processes and font lookup, as the video export
// and the windows use them.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "platform/childProcess.h"
#include "platform/fonts.h"

namespace {

// A child fed through its stdin, one that fails, one that is not there and
// one that is ended at once: each has its status, none is left running.
TEST(ChildProcess, FeedsWaitsAndKills) {
  EXPECT_TRUE(childProcess::OnPath("sh"));
  EXPECT_FALSE(childProcess::OnPath("no-such-program-here"));
  childProcess::TChild child;
  std::string error;
  ASSERT_TRUE(childProcess::Spawn("sh", {"-c", "read x && test \"$x\" = hello"}, true, child, error)) << error;
  EXPECT_TRUE(childProcess::Write(child, "hello\n", 6));
  EXPECT_TRUE(childProcess::Wait(child));
  EXPECT_EQ(child.Process, -1);
  ASSERT_TRUE(childProcess::Spawn("sh", {"-c", "exit 3"}, false, child, error));
  EXPECT_FALSE(childProcess::Wait(child));
  ASSERT_TRUE(childProcess::Spawn("no-such-program-here", {}, false, child, error));  // exec fails in the child
  EXPECT_FALSE(childProcess::Wait(child));
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(childProcess::Spawn("sleep", {"30"}, true, child, error));
  childProcess::Kill(child);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  childProcess::Kill(child);  // harmless on none
}

TEST(Fonts, ArialOrItsStandInIsAFileAndTrueTypeOnlyWhenItSaysSo) {
  const std::string any = fonts::FileFor("Arial");
  const std::string ttf = fonts::TrueTypeFileFor("Arial");
  EXPECT_FALSE(any.empty());  // the install script brings a metric-compatible face
  EXPECT_TRUE(any.ends_with(".ttf") || any.ends_with(".otf") ? ttf == any : ttf.empty()) << any;
}

}  // namespace
