// The platform layer's child processes and font lookup, as the video export
// and the windows use them; file names beyond ASCII.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/paths.h"
#include "imageFiles.h"
#include "platform/childProcess.h"
#include "platform/fonts.h"
#include "platform/memory.h"
#include "platform/pngWrite.h"
#include "resources/Texturez.h"

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

// The player starts again once with huge pages, keeping what else the tunables said.
TEST(HugePages, TheTunableIsAddedOnceAndNothingElseIsLost) {
  EXPECT_EQ(memory::TunablesWithHugePages(nullptr), "glibc.malloc.hugetlb=1");
  EXPECT_EQ(memory::TunablesWithHugePages(""), "glibc.malloc.hugetlb=1");
  EXPECT_EQ(memory::TunablesWithHugePages("glibc.malloc.check=0"), "glibc.malloc.check=0:glibc.malloc.hugetlb=1");
  EXPECT_EQ(memory::TunablesWithHugePages("glibc.malloc.check=0:glibc.malloc.hugetlb=1"), std::nullopt);
  EXPECT_EQ(memory::TunablesWithHugePages("glibc.malloc.hugetlb=0"), std::nullopt);  // the user's choice stands
}

// Names no single-byte code page holds: an image read from such a folder, a
// picture written into it (on Windows this takes the programs' UTF-8 manifest).
TEST(FileNames, ANonAsciiFolderIsReadAndWritten) {
  const std::string dir = paths::Text(std::filesystem::temp_directory_path()) + "/qvl D\xc3\xa9mo \xe2\x98\x83 \xe6\x97\xa5";
  std::error_code ec;
  std::filesystem::remove_all(paths::Of(dir), ec);
  ASSERT_TRUE(std::filesystem::create_directories(paths::Of(dir), ec)) << ec.message();
  const testimg::Picture picture = testimg::Quadrants(4, 2);
  const testimg::Bytes bmp = testimg::MakeBMP(picture);
  std::ofstream(paths::Of(dir + "/bild \xc3\xbc.bmp"), std::ios::binary)
      .write(reinterpret_cast<const char*>(bmp.data()), static_cast<std::streamsize>(bmp.size()));
  Texturez::TImage image;
  ASSERT_TRUE(Texturez::ReadBMP(dir + "/bild \xc3\xbc.bmp", &image));
  EXPECT_EQ(image.Width, 4);
  const uint8_t rgb[3 * 4] = {};
  ASSERT_TRUE(pngWrite::Write(dir + "/frame \xc3\xa9.png", {rgb, 2, 2, 3, false}));
  EXPECT_TRUE(std::filesystem::is_regular_file(paths::Of(dir) / u8"frame \u00e9.png"));
  std::filesystem::remove_all(paths::Of(dir), ec);
}

}  // namespace
