// The texture table and the image readers: generated images of every kind
// through the real upload, every failure message, damaged and lying files.
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "demoWriter.h"
#include "engine/messages.h"
#include "engine/settings.h"
#include "glTest.h"
#include "imageFiles.h"
#include "resources/Texturez.h"
#include "resources/texMan.h"

namespace {

namespace fs = std::filesystem;
using testimg::Bytes;
using testimg::Picture;
using testimg::Pixel;

using Message = std::pair<std::string, std::string>;  // caption, text
using Messages = std::vector<Message>;

GLint Param(uint32_t name, GLenum which) {
  GLint v = 0;
  glBindTexture(GL_TEXTURE_2D, name);
  glGetTexParameteriv(GL_TEXTURE_2D, which, &v);
  return v;
}

// Runs in a fresh directory (textures are opened by bare name) with the
// message layer captured in `shown`.
class TextureTable : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    fs::current_path(dir_);
    oldSink_ = messages::SetSink([this](const std::string& c, const std::string& t) { shown.push_back({c, t}); });
    texMan::TextureTable.assign(4, texMan::TTextureEntry{});
  }
  void TearDown() override {
    for (int32_t i = 0; i < texMan::TexCount(); ++i) texMan::DeleteTexture(i);
    texMan::TextureTable.clear();
    settings::BlankTextureSize = 512;
    messages::SetSink(std::move(oldSink_));
    fs::current_path(old_);
    fs::remove_all(dir_);
    GLTest::TearDown();
  }
  void Write(const std::string& name, const Bytes& b) { testutil::WriteAll(dir_ / name, b); }
  // Loads `bytes` saved as `name` into entry 0 with filter mode `typ`.
  const texMan::TTextureEntry& Load(const std::string& name, const Bytes& bytes, uint8_t typ = 0) {
    Write(name, bytes);
    texMan::TextureTable[0].Typ = typ;
    texMan::SetTextureFromFile(0, name);
    return texMan::TextureTable[0];
  }
  // Level 0 must hold `p` upright (alpha 255 unless withAlpha), each channel within tol.
  void ExpectTexture(const texMan::TTextureEntry& e, const Picture& p, bool withAlpha, int tol = 0) {
    const TexLevel l = ReadTexLevel0(e.GLName);
    ASSERT_TRUE(e.GLName != 0 && e.Width == p.w && e.Height == p.h && l.w == p.w && l.h == p.h);
    for (int y = 0; y < p.h; ++y)
      for (int x = 0; x < p.w; ++x) {
        const RGBA g = l.px[static_cast<size_t>((p.h - 1 - y) * l.w + x)];
        const Pixel w = p.at(x, y);
        ASSERT_TRUE(Near(g, RGBA{w.r, w.g, w.b, withAlpha ? w.a : uint8_t{255}}, tol))
            << "at x=" << x << " y=" << y << " from the top: " << g;
      }
  }
  Messages shown;

 private:
  fs::path dir_ = testutil::TempDir("tex"), old_ = fs::current_path();
  messages::Sink oldSink_;
};

TEST_F(TextureTable, Bmp24LoadsUprightAndOpaqueInAllRowLayouts) {
  const Picture p = testimg::Gradient(2, 4);  // 6-byte rows padded to 8
  ExpectTexture(Load("plain.bmp", testimg::MakeBMP(p)), p, false);
  ExpectTexture(Load("topdown.bmp", testimg::MakeBMP(p, {.topDown = true})), p, false);
  ExpectTexture(Load("v5.bmp", testimg::MakeBMP(p, {.infoSize = 124, .gap = 8})), p, false);
  // No data offset: the rows follow the headers and the colour table.
  ExpectTexture(Load("nooff.bmp", testimg::MakeBMP(p, {.gap = 8, .zeroOffset = true, .clrUsed = 2})), p, false);
  // GLU rescales a 3x5 image; the entry keeps the file's sides.
  const auto& odd = Load("odd.bmp", testimg::MakeBMP(testimg::Gradient(3, 5)));
  EXPECT_TRUE(odd.GLName != 0 && odd.Width == 3 && odd.Height == 5) << odd.Width << "x" << odd.Height;
  EXPECT_TRUE(shown.empty());
}

TEST_F(TextureTable, TgaRawAndRleKeepByteOrderAlphaAndOrientation) {
  Picture p = testimg::Gradient(8, 4);
  for (int x = 0; x < 8; ++x) p.at(x, 1) = p.at(0, 1);  // one row of equal pixels: a run packet
  for (bool rle : {false, true})
    for (bool top : {false, true}) {
      SCOPED_TRACE(testing::Message() << "rle=" << rle << " topOrigin=" << top);
      ExpectTexture(Load("c24.tga", testimg::MakeTGA(p, {.bits = 24, .rle = rle, .topOrigin = top})), p, false);
      ExpectTexture(Load("c32.tga", testimg::MakeTGA(p, {.bits = 32, .rle = rle, .topOrigin = top})), p, true);
    }
  ExpectTexture(Load("id.tga", testimg::MakeTGA(p, {.bits = 32, .idLength = 13})), p, true);
  // A run of 128 where 4 pixels are wanted: cut at the image's end.
  Bytes overrun = testimg::TgaHeader(2, 2, {.bits = 32, .rle = true});
  overrun.insert(overrun.end(), {255, 10, 20, 30, 40});
  ExpectTexture(Load("long.tga", overrun), Picture{2, 2, std::vector<Pixel>(4, Pixel{30, 20, 10, 40})}, true);
  EXPECT_TRUE(shown.empty());
}

TEST_F(TextureTable, JpegLoadsUprightOpaqueAndGreyAsRgb) {
  // 8x8 flat blocks without chroma subsampling come back within a few steps.
  const Picture q = testimg::Quadrants(16, 16);
  ExpectTexture(Load("q.jpg", testimg::MakeJPEG(q)), q, false, 8);
  Picture grey = testimg::Gradient(8, 8);
  for (Pixel& c : grey.px) c = {c.r, c.r, c.r, 255};
  ExpectTexture(Load("grey.jpg", testimg::MakeJPEG(grey, 100, true)), grey, false, 4);
  EXPECT_TRUE(shown.empty());
}

TEST_F(TextureTable, FilterModesAndTheWholeMipmapChain) {
  const Bytes bmp = testimg::MakeBMP(testimg::Gradient(4, 4));
  const struct {
    uint8_t typ;
    GLint mag, min;
  } cases[] = {{0, GL_NEAREST, GL_NEAREST}, {1, GL_LINEAR, GL_LINEAR}, {2, GL_LINEAR, GL_LINEAR_MIPMAP_NEAREST},
               {3, GL_LINEAR, GL_LINEAR_MIPMAP_LINEAR},  // other modes keep OpenGL's default minification
               {255, GL_LINEAR, GL_NEAREST_MIPMAP_LINEAR}};
  for (const auto& c : cases) {
    const auto& e = Load("f.bmp", bmp, c.typ);
    EXPECT_EQ(std::pair(Param(e.GLName, GL_TEXTURE_MAG_FILTER), Param(e.GLName, GL_TEXTURE_MIN_FILTER)),
              std::pair(c.mag, c.min)) << "Typ " << int(c.typ);
  }
  GLint w2 = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 2, GL_TEXTURE_WIDTH, &w2);
  EXPECT_EQ(w2, 1);
}

TEST_F(TextureTable, BlankTexturesTakeTheSettingAndLinearFilters) {
  for (int32_t size : {512, 1024}) {
    settings::BlankTextureSize = size;
    texMan::TextureTable[1].Typ = 0;  // ignored for blanks
    texMan::TextureTable[1].FileName = "stale.bmp";
    texMan::SetTextureFromFile(1, "");
    const auto& e = texMan::TextureTable[1];
    ASSERT_NE(e.GLName, 0u);
    EXPECT_EQ(std::tie(e.FileName, e.Width, e.Height), std::make_tuple(std::string(), size, size));
    EXPECT_EQ(std::make_tuple(Param(e.GLName, GL_TEXTURE_MIN_FILTER), Param(e.GLName, GL_TEXTURE_MAG_FILTER),
                              ReadTexLevel0(e.GLName).w),
              std::make_tuple(GL_LINEAR, GL_LINEAR, size));
  }
  EXPECT_TRUE(shown.empty());
}

TEST_F(TextureTable, NamesLoseDirectoriesUpToTheLastBackslashAndChooseByExtension) {
  Write("logo.bmp", testimg::MakeBMP(testimg::Gradient(2, 2)));
  texMan::SetTextureFromFile(2, "C:\\art\\logo.bmp");
  EXPECT_TRUE(texMan::TextureTable[2].FileName == "logo.bmp" && texMan::TextureTable[2].GLName != 0);
  // A forward slash is part of the name: "art/logo.bmp" does not exist here.
  texMan::SetTextureFromFile(3, "C:\\x\\art/logo.bmp");
  EXPECT_TRUE(texMan::TextureTable[3].FileName == "art/logo.bmp" && texMan::TextureTable[3].GLName == 0);
  EXPECT_EQ(shown, (Messages{{"BMP Unit", "Error opening art/logo.bmp"}}));

  shown.clear();
  const Bytes jpg = testimg::MakeJPEG(testimg::Quadrants(8, 8));
  EXPECT_NE(Load("logo.Jpg", jpg).GLName, 0u);
  for (const char* name : {"logo.jpeg", "logo.png", "jpg", ""}) {
    if (*name) Write(name, jpg);
    texMan::SetTextureFromFile(0, *name ? name : "a\\");  // "a\" leaves an empty bare name
    EXPECT_TRUE(texMan::TextureTable[0].GLName == 0 && texMan::TextureTable[0].Width == 0) << name;
  }
  EXPECT_TRUE(shown.empty());
}

TEST_F(TextureTable, DeleteTextureAndInfoStayInsideTheTable) {
  const uint32_t name = Load("d.bmp", testimg::MakeBMP(testimg::Gradient(2, 2))).GLName;
  ASSERT_NE(name, 0u);
  texMan::TextureTable[0].Name = "Pic";
  texMan::DeleteTexture(-1);
  texMan::DeleteTexture(texMan::TexCount());
  EXPECT_TRUE(texMan::TextureTable[0].GLName == name && texMan::TextureTable[0].Name == "Pic");

  dllShared::TTextureInfo info{};
  texMan::GetTextureInfo(0, &info);
  EXPECT_TRUE(info.Width == 2 && info.Height == 2 && info.GLName == static_cast<int32_t>(name));
  for (int32_t bad : {-1, texMan::TexCount(), INT32_MAX, INT32_MIN}) {
    info = {7, 7, 7};
    texMan::GetTextureInfo(bad, &info);
    EXPECT_TRUE(info.Width == 0 && info.Height == 0 && info.GLName == 0) << bad;
  }

  texMan::DeleteTexture(0);
  const auto& d = texMan::TextureTable[0];
  EXPECT_TRUE(d.GLName == 0 && d.Name.empty() && d.FileName.empty() && d.Width == 2);  // sizes and mode stay
  EXPECT_EQ(glIsTexture(name), GL_FALSE);
}

Bytes BmpWithSides(int32_t w, int32_t h) {
  Bytes b = testimg::MakeBMP(testimg::Gradient(2, 2));
  testimg::Set32(b, 18, static_cast<uint32_t>(w));
  testimg::Set32(b, 22, static_cast<uint32_t>(h));
  return b;
}

TEST_F(TextureTable, EveryFailureAndEveryLyingHeaderHasItsMessageAndLeavesTheEntryEmpty) {
  const Picture p = testimg::Gradient(4, 4);
  auto cut = [](Bytes b, size_t keep) { return b.resize(keep), b; };
  const Bytes bmp = testimg::MakeBMP(p), tga = testimg::MakeTGA(p, {.bits = 32});
  const Bytes rle = testimg::MakeTGA(p, {.bits = 24, .rle = true});
  const Bytes jpg = testimg::MakeJPEG(testimg::Quadrants(64, 64), 90);
  Bytes hugeRle = testimg::TgaHeader(16384, 16384, {.bits = 32, .rle = true});  // from a few bytes
  hugeRle.insert(hugeRle.end(), {255, 1, 2, 3, 4});
  Bytes longId = testimg::TgaHeader(1, 1, {});
  longId[0] = 200;  // an image ID longer than the file
  const std::string only24 = ". Only uncompressed 24bit BMP supported.", tgaDepth = ". Only 24 and 32 bit TGA files supported.";

  struct Case {
    std::string name;
    Bytes bytes;  // empty: the file is not written
    Message want;
  };
  std::vector<Case> cases = {
      {"none.bmp", {}, {"BMP Unit", "Error opening none.bmp"}},
      {"pal.bmp", testimg::MakeBMP(p, {.zeroOffset = true, .clrUsed = 1000}), {"BMP Unit", "Error reading palette"}},
      {"data.bmp", cut(bmp, bmp.size() - 5), {"BMP Unit", "Error reading bitmap data"}},
      {"hdr.bmp", Bytes(30, 0), {"BMP Unit", "Error reading bitmap header - \"hdr.bmp\""}},
      {"pal8.bmp", testimg::MakeBMP(p, {.bitCount = 8}), {"BMP Unit", "Couldn't load \"pal8.bmp\"" + only24}},
      {"rle.bmp", testimg::MakeBMP(p, {.compression = 1}), {"BMP Unit", "Couldn't load \"rle.bmp\"" + only24}},
      {"big.bmp", BmpWithSides(16384, 16384), {"BMP Unit", "Error reading bitmap data"}},
      {"none.jpg", {}, {"BMP Unit", "Couldn't load JPG - \"none.jpg\""}},
      {"junk.jpg", Bytes(100, 0x55), {"BMP Unit", "Couldn't decode JPG - \"junk.jpg\""}},
      {"cut.jpg", cut(jpg, jpg.size() / 2), {"BMP Unit", "Couldn't decode JPG - \"cut.jpg\""}},
      {"none.tga", {}, {"TGA Texture", "File not found  - none.tga"}},
      {"bw.tga", testimg::MakeTGA(p, {.imageType = 3}),
       {"TGA File Error", "Couldn't load \"bw.tga\". Only 24 and 32bit TGA supported."}},
      {"map.tga", testimg::MakeTGA(p, {.bits = 24, .colorMapType = 1}),
       {"TGA File Error", "Couldn't load \"map.tga\". Colormapped TGA files not supported."}},
      {"c16.tga", testimg::MakeTGA(p, {.bits = 16}), {"TGA File Error", "Couldn't load \"c16.tga\"" + tgaDepth}},
      {"c40.tga", testimg::MakeTGA(p, {.bits = 40}), {"TGA File Error", "Couldn't load \"c40.tga\"" + tgaDepth}},
      {"short.tga", cut(tga, tga.size() - 1), {"TGA File Error", "Couldn't read file \"short.tga\"."}},
      {"rshort.tga", cut(rle, rle.size() - 1), {"TGA File Error", "Couldn't read file \"rshort.tga\"."}},
      {"hdr.tga", Bytes(10, 2), {"TGA File Error", "Couldn't read file \"hdr.tga\"."}},
      {"huge.tga", hugeRle, {"TGA File Error", "Couldn't read file \"huge.tga\"."}},
      {"id.tga", longId, {"TGA File Error", "Couldn't read file \"id.tga\"."}},
      {"big.tga", testimg::TgaHeader(65535, 2, {}), {"TGA File Error", "Couldn't load \"big.tga\". Bad image size."}},
      {"zero.tga", testimg::TgaHeader(0, 5, {}), {"TGA File Error", "Couldn't load \"zero.tga\". Bad image size."}},
  };
  const std::pair<int32_t, int32_t> badSides[] = {{0, 2}, {2, 0}, {-2, 2}, {16385, 1}, {1, INT32_MIN}, {INT32_MAX, INT32_MAX}};
  for (auto [w, h] : badSides)
    cases.push_back({"lie.bmp", BmpWithSides(w, h), {"BMP Unit", "Couldn't load \"lie.bmp\". Bad image size."}});

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    shown.clear();
    if (!c.bytes.empty()) Write(c.name, c.bytes);
    texMan::TextureTable[1] = {};
    texMan::SetTextureFromFile(1, c.name);
    EXPECT_EQ(shown, Messages{c.want});
    const auto& e = texMan::TextureTable[1];
    EXPECT_TRUE(e.GLName == 0 && e.Width == 0 && e.Height == 0);
  }
}

}  // namespace
