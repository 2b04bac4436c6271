// qvl image: an image as the player loads it, written back as a PNG.
#include <gtest/gtest.h>
#include <png.h>

#include <filesystem>
#include <string>
#include <vector>

#include "imageFiles.h"
#include "toolRun.h"

namespace {

namespace fs = std::filesystem;

struct Png {
  int w = 0, h = 0;
  std::vector<uint8_t> rgba;  // top row first
};

bool ReadPng(const fs::path& path, Png* out) {
  png_image img{};
  img.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&img, path.string().c_str())) return false;
  img.format = PNG_FORMAT_RGBA;
  out->w = static_cast<int>(img.width);
  out->h = static_cast<int>(img.height);
  out->rgba.resize(PNG_IMAGE_SIZE(img));
  return png_image_finish_read(&img, nullptr, out->rgba.data(), 0, nullptr) != 0;
}

class QvlImage : public ::testing::Test {
 protected:
  void SetUp() override { dir = testutil::TempDir("image"); }
  void TearDown() override { fs::remove_all(dir); }
  testutil::RunResult Image(const std::string& args) {
    // The GL driver keeps a few allocations to the end of the process; a
    // sanitizer build's leak report about them would land in the stderr
    // compared here.
    return testutil::Run("cd " + testutil::Quote(dir.string()) +
                         " && ASAN_OPTIONS=\"${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0\" " +
                         testutil::Quote(QVL_TOOL_PATH) +
                         " image " + args);
  }
  fs::path dir;
};

TEST_F(QvlImage, WritesLevelZeroTopRowFirstAndPrintsTheFileSize) {
  const testimg::Picture p = testimg::Gradient(8, 4);
  testutil::WriteAll(dir / "pic.tga", testimg::MakeTGA(p, {.bits = 32, .rle = true}));
  const auto r = Image("pic.tga -o out.png");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "8x4\n");
  EXPECT_EQ(r.err, "");
  Png png;
  ASSERT_TRUE(ReadPng(dir / "out.png", &png));
  ASSERT_EQ(png.w, 8);
  ASSERT_EQ(png.h, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 8; ++x) {
      const uint8_t* got = &png.rgba[(static_cast<size_t>(y) * 8 + static_cast<size_t>(x)) * 4];
      const testimg::Pixel& want = p.at(x, y);
      ASSERT_EQ((testimg::Pixel{got[0], got[1], got[2], got[3]}), want) << x << "," << y;
    }
}

TEST_F(QvlImage, ReportsTheFileSizeEvenWhenTheTextureIsRescaled) {
  testutil::WriteAll(dir / "odd.bmp", testimg::MakeBMP(testimg::Gradient(3, 5)));
  // The directory before the last backslash is dropped, as in the player.
  const auto r = Image("'C:\\art\\odd.bmp' -o out.png");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "3x5\n");
  Png png;
  ASSERT_TRUE(ReadPng(dir / "out.png", &png));
  EXPECT_GT(png.w, 0);
  EXPECT_GT(png.h, 0);
}

TEST_F(QvlImage, NoTextureMeansNoPngTheReadersMessageAndStatusOne) {
  auto r = Image("none.tga -o out.png");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "TGA Texture: File not found  - none.tga\n");

  testutil::WriteAll(dir / "bad.bmp", testimg::MakeBMP(testimg::Gradient(2, 2), {.bitCount = 32}));
  r = Image("bad.bmp -o out.png");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "BMP Unit: Couldn't load \"bad.bmp\". Only uncompressed 24bit BMP supported.\n");

  // Unknown extensions load nothing and say nothing.
  testutil::WriteAll(dir / "pic.jpeg", testimg::MakeJPEG(testimg::Quadrants(8, 8)));
  r = Image("pic.jpeg -o out.png");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "");
  EXPECT_FALSE(fs::exists(dir / "out.png"));
}

TEST_F(QvlImage, BadArgumentsAreStatusTwo) {
  EXPECT_EQ(Image("").status, 2);
  EXPECT_EQ(Image("a.bmp").status, 2);
  EXPECT_EQ(Image("a.bmp b.bmp -o x.png").status, 2);
  const auto help = Image("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("usage: qvl image FILE -o OUT.png"), std::string::npos);
}

}  // namespace
