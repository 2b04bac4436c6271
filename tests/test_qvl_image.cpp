// qvl image: an image as the player loads it, written back as a PNG.
#include <gtest/gtest.h>

#include <filesystem>

#include "imageFiles.h"
#include "toolRun.h"

namespace {

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
  EXPECT_EQ(r.out + r.err, "8x4\n");
  const testimg::Picture png = testimg::ReadPng((dir / "out.png").string().c_str());
  EXPECT_TRUE(png.w == 8 && png.h == 4 && png.px == p.px) << png.w << "x" << png.h;

  // GLU rescales a 3x5 image; the printed size is still the file's. The
  // directory before the last backslash is dropped, as in the player.
  testutil::WriteAll(dir / "odd.bmp", testimg::MakeBMP(testimg::Gradient(3, 5)));
  r = Image("'C:\\art\\odd.bmp' -o odd.png");
  EXPECT_EQ(std::make_pair(r.status, r.out), std::make_pair(0, std::string("3x5\n"))) << r.err;
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
    EXPECT_EQ(std::make_tuple(r.status, r.out, r.err), std::make_tuple(1, std::string(), std::string(err))) << file;
    EXPECT_FALSE(std::filesystem::exists(dir / "out.png")) << file;
  }
  for (const char* args : {"", "a.bmp", "a.bmp b.bmp -o x.png"}) EXPECT_EQ(Image(args).status, 2) << args;
  EXPECT_NE(Image("--help").out.find("usage: qvl image FILE -o OUT.png"), std::string::npos);
}

}  // namespace
