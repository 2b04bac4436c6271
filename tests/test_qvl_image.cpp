// qvl image: an image as the player loads it, written back as a PNG.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "imageFiles.h"
#include "toolRun.h"

namespace {

namespace fs = std::filesystem;

class QvlImage : public testutil::DirTest {
 protected:
  testutil::RunResult Image(const std::string& args) {
    // The GL driver keeps a few allocations to the end of the process; a
    // sanitizer build's leak report about them would land in stderr.
    return testutil::Run("cd " + testutil::Quote(dir.string()) +
                         " && ASAN_OPTIONS=\"${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0\" " +
                         testutil::Quote(QVL_TOOL_PATH) + " image " + args);
  }
};

TEST_F(QvlImage, WritesLevelZeroTopRowFirstAndPrintsTheFilesSize) {
  const testimg::Picture p = testimg::Gradient(8, 4);
  testutil::WriteAll(dir / "pic.tga", testimg::MakeTGA(p, {.bits = 32, .rle = true}));
  auto r = Image("pic.tga -o out.png");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "8x4\n");
  EXPECT_EQ(r.err, "");
  const testimg::Picture png = testimg::ReadPng((dir / "out.png").c_str());
  ASSERT_TRUE(png.w == 8 && png.h == 4) << png.w << "x" << png.h;
  EXPECT_TRUE(png.px == p.px);

  // GLU rescales a 3x5 image; the printed size is still the file's. The
  // directory before the last backslash is dropped, as in the player.
  testutil::WriteAll(dir / "odd.bmp", testimg::MakeBMP(testimg::Gradient(3, 5)));
  r = Image("'C:\\art\\odd.bmp' -o odd.png");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "3x5\n");
  EXPECT_GT(testimg::ReadPng((dir / "odd.png").c_str()).w, 0);
}

TEST_F(QvlImage, NoTextureMeansNoPngTheReadersMessageAndStatusOne) {
  testutil::WriteAll(dir / "bad.bmp", testimg::MakeBMP(testimg::Gradient(2, 2), {.bitCount = 32}));
  testutil::WriteAll(dir / "pic.jpeg", testimg::MakeJPEG(testimg::Quadrants(8, 8)));
  const std::pair<const char*, const char*> cases[] = {
      {"none.tga", "TGA Texture: File not found  - none.tga\n"},
      {"bad.bmp", "BMP Unit: Couldn't load \"bad.bmp\". Only uncompressed 24bit BMP supported.\n"},
      {"pic.jpeg", ""},  // an unknown extension loads nothing and says nothing
  };
  for (const auto& [file, err] : cases) {
    const auto r = Image(std::string(file) + " -o out.png");
    EXPECT_EQ(r.status, 1) << file;
    EXPECT_EQ(r.out, "") << file;
    EXPECT_EQ(r.err, err);
    EXPECT_FALSE(fs::exists(dir / "out.png")) << file;
  }
}

TEST_F(QvlImage, BadArgumentsAreStatusTwo) {
  for (const char* args : {"", "a.bmp", "a.bmp b.bmp -o x.png"}) EXPECT_EQ(Image(args).status, 2) << args;
  const auto help = Image("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("usage: qvl image FILE -o OUT.png"), std::string::npos);
}

}  // namespace
