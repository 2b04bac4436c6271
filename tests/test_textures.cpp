// The texture table and the image readers: generated images of every kind
// through the real upload, every failure message, damaged and lying files.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
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

struct Message {
  std::string caption, text;
  bool operator==(const Message&) const = default;
};

void PrintTo(const Message& m, std::ostream* os) { *os << m.caption << ": " << m.text; }

// Runs in a fresh directory (textures are opened by bare name) and captures
// the message layer.
class TextureFiles {
 public:
  TextureFiles() : dir_(testutil::TempDir("tex")), old_(fs::current_path()) {
    fs::current_path(dir_);
    oldSink_ = messages::SetSink([this](const std::string& c, const std::string& t) { shown.push_back({c, t}); });
  }
  ~TextureFiles() {
    messages::SetSink(std::move(oldSink_));
    fs::current_path(old_);
    fs::remove_all(dir_);
  }
  void Write(const std::string& name, const Bytes& b) {
    FILE* f = std::fopen((dir_ / name).string().c_str(), "wb");
    ASSERT_NE(f, nullptr);
    if (!b.empty()) std::fwrite(b.data(), 1, b.size(), f);
    std::fclose(f);
  }
  std::vector<Message> shown;

 private:
  fs::path dir_, old_;
  messages::Sink oldSink_;
};

// Level 0 of a texture object as GL holds it: rows bottom first, RGBA.
struct Level0 {
  int w = 0, h = 0;
  std::vector<uint8_t> rgba;
  Pixel at(int x, int y) const {  // y from the bottom
    const uint8_t* p = &rgba[(static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)) * 4];
    return {p[0], p[1], p[2], p[3]};
  }
};

Level0 ReadLevel0(uint32_t name) {
  Level0 l;
  glBindTexture(GL_TEXTURE_2D, name);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &l.w);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &l.h);
  l.rgba.resize(static_cast<size_t>(l.w) * static_cast<size_t>(l.h) * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  if (!l.rgba.empty()) glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, l.rgba.data());
  return l;
}

GLint Param(uint32_t name, GLenum which) {
  GLint v = 0;
  glBindTexture(GL_TEXTURE_2D, name);
  glGetTexParameteriv(GL_TEXTURE_2D, which, &v);
  return v;
}

bool Near(const Pixel& a, const Pixel& b, int tol) {
  auto d = [](int x, int y) { return x > y ? x - y : y - x; };
  return d(a.r, b.r) <= tol && d(a.g, b.g) <= tol && d(a.b, b.b) <= tol && d(a.a, b.a) <= tol;
}

class TextureTable : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    files = std::make_unique<TextureFiles>();
    texMan::TextureTable.assign(4, texMan::TTextureEntry{});
  }
  void TearDown() override {
    for (int32_t i = 0; i < texMan::TexCount(); ++i) texMan::DeleteTexture(i);
    texMan::TextureTable.clear();
    settings::BlankTextureSize = 512;
    files.reset();
    GLTest::TearDown();
  }
  // Loads `bytes` saved as `name` into entry 0 with filter mode `typ`.
  const texMan::TTextureEntry& Load(const std::string& name, const Bytes& bytes, uint8_t typ = 0) {
    files->Write(name, bytes);
    texMan::TextureTable[0].Typ = typ;
    texMan::SetTextureFromFile(0, name);
    return texMan::TextureTable[0];
  }
  // Level 0 must hold `p` exactly (alpha 255 unless withAlpha), bottom row first.
  void ExpectTexture(const texMan::TTextureEntry& e, const Picture& p, bool withAlpha) {
    ASSERT_NE(e.GLName, 0u);
    EXPECT_EQ(e.Width, p.w);
    EXPECT_EQ(e.Height, p.h);
    const Level0 l = ReadLevel0(e.GLName);
    ASSERT_EQ(l.w, p.w);
    ASSERT_EQ(l.h, p.h);
    for (int y = 0; y < p.h; ++y)
      for (int x = 0; x < p.w; ++x) {
        Pixel want = p.at(x, p.h - 1 - y);
        if (!withAlpha) want.a = 255;
        ASSERT_EQ(l.at(x, y), want) << "at x=" << x << " y=" << y << " from the bottom";
      }
  }
  std::unique_ptr<TextureFiles> files;
};

// ---- the readers through the real upload ----

TEST_F(TextureTable, Bmp24LoadsUprightAndOpaqueInAllRowLayouts) {
  const Picture p = testimg::Gradient(4, 4);
  ExpectTexture(Load("plain.bmp", testimg::MakeBMP(p)), p, false);
  ExpectTexture(Load("topdown.bmp", testimg::MakeBMP(p, {.topDown = true})), p, false);
  // A version-5 header and a gap before the rows: read from the data offset.
  ExpectTexture(Load("v5.bmp", testimg::MakeBMP(p, {.infoSize = 124, .gap = 8})), p, false);
  // No data offset: the rows follow the headers and the colour table.
  ExpectTexture(Load("nooff.bmp", testimg::MakeBMP(p, {.gap = 8, .zeroOffset = true, .clrUsed = 2})), p, false);
  EXPECT_TRUE(files->shown.empty());
}

TEST_F(TextureTable, BmpRowsPaddedToFourBytesAreReadAsStored) {
  // 3 pixels = 9 bytes a row, stored as 12: the padding must not shift rows.
  Texturez::TImage img;
  const Picture p = testimg::Gradient(3, 5);
  files->Write("odd.bmp", testimg::MakeBMP(p));
  ASSERT_TRUE(Texturez::ReadBMP("odd.bmp", &img));
  ASSERT_EQ(img.Pixels.size(), 3u * 5u * 3u);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 3; ++x) {
      const Pixel& want = p.at(x, 4 - y);
      const uint8_t* got = &img.Pixels[(static_cast<size_t>(y) * 3 + static_cast<size_t>(x)) * 3];
      ASSERT_EQ((Pixel{got[0], got[1], got[2], 255}), (Pixel{want.r, want.g, want.b, 255})) << x << "," << y;
    }
  // And it uploads: the entry keeps the file's size even though GLU rescales.
  const auto& e = Load("odd.bmp", testimg::MakeBMP(p));
  EXPECT_NE(e.GLName, 0u);
  EXPECT_EQ(e.Width, 3);
  EXPECT_EQ(e.Height, 5);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(TextureTable, TgaRawAndRleKeepByteOrderAlphaAndOrientation) {
  const Picture p = testimg::Gradient(8, 4);
  for (bool rle : {false, true})
    for (bool top : {false, true}) {
      SCOPED_TRACE(testing::Message() << "rle=" << rle << " topOrigin=" << top);
      ExpectTexture(Load("c24.tga", testimg::MakeTGA(p, {.bits = 24, .rle = rle, .topOrigin = top})), p, false);
      ExpectTexture(Load("c32.tga", testimg::MakeTGA(p, {.bits = 32, .rle = rle, .topOrigin = top})), p, true);
    }
  // The image ID between header and pixels is skipped.
  ExpectTexture(Load("id.tga", testimg::MakeTGA(p, {.bits = 32, .idLength = 13})), p, true);
  EXPECT_TRUE(files->shown.empty());
}

TEST_F(TextureTable, TgaFormatFollowsDepth) {
  const Picture p = testimg::Gradient(2, 2);
  Texturez::TImage img;
  files->Write("a.tga", testimg::MakeTGA(p, {.bits = 24}));
  ASSERT_TRUE(Texturez::ReadTGA("a.tga", &img));
  EXPECT_EQ(img.Format, static_cast<uint32_t>(GL_RGB));
  files->Write("b.tga", testimg::MakeTGA(p, {.bits = 32, .rle = true}));
  ASSERT_TRUE(Texturez::ReadTGA("b.tga", &img));
  EXPECT_EQ(img.Format, static_cast<uint32_t>(GL_RGBA));
  const auto& e = Load("b.tga", testimg::MakeTGA(p, {.bits = 32}));
  GLint internal = 0;
  glBindTexture(GL_TEXTURE_2D, e.GLName);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &internal);
  EXPECT_EQ(internal, GL_RGBA);
}

TEST_F(TextureTable, RlePacketBoundaries) {
  // 257 pixels in one row: a run header of 255 writes 128 pixels, a raw
  // header of 127 copies 128, a run header of 128 writes one.
  Bytes b = testimg::TgaHeader(257, 1, {.bits = 24, .rle = true});
  b.insert(b.end(), {255, 1, 2, 3});
  b.push_back(127);
  for (int i = 0; i < 128; ++i) b.insert(b.end(), {static_cast<uint8_t>(i), 0, 9});
  b.insert(b.end(), {128, 7, 8, 9});
  files->Write("rle.tga", b);
  Texturez::TImage img;
  ASSERT_TRUE(Texturez::ReadTGA("rle.tga", &img));
  ASSERT_EQ(img.Pixels.size(), 257u * 3u);
  auto px = [&](size_t i) { return std::vector<uint8_t>(img.Pixels.begin() + 3 * i, img.Pixels.begin() + 3 * i + 3); };
  EXPECT_EQ(px(0), (std::vector<uint8_t>{3, 2, 1}));
  EXPECT_EQ(px(127), (std::vector<uint8_t>{3, 2, 1}));
  EXPECT_EQ(px(128), (std::vector<uint8_t>{9, 0, 0}));
  EXPECT_EQ(px(255), (std::vector<uint8_t>{9, 0, 127}));
  EXPECT_EQ(px(256), (std::vector<uint8_t>{9, 8, 7}));
  EXPECT_TRUE(files->shown.empty());
}

TEST_F(TextureTable, RleRunPastTheImageIsCutOverrunOfInputIsAShortRead) {
  // 4 pixels wanted, a run of 128 given: the first 4 are kept.
  Bytes b = testimg::TgaHeader(2, 2, {.bits = 32, .rle = true});
  b.insert(b.end(), {255, 10, 20, 30, 40});
  files->Write("long.tga", b);
  Texturez::TImage img;
  ASSERT_TRUE(Texturez::ReadTGA("long.tga", &img));
  EXPECT_EQ(img.Pixels, (Bytes{30, 20, 10, 40, 30, 20, 10, 40, 30, 20, 10, 40, 30, 20, 10, 40}));

  // A raw packet that promises more pixels than the input holds.
  Bytes c = testimg::TgaHeader(2, 2, {.bits = 24, .rle = true});
  c.insert(c.end(), {3, 1, 2, 3, 4, 5, 6});
  files->Write("short.tga", c);
  EXPECT_FALSE(Texturez::ReadTGA("short.tga", &img));
  EXPECT_EQ(files->shown, (std::vector<Message>{{"TGA File Error", "Couldn't read file \"short.tga\"."}}));
}

TEST_F(TextureTable, JpegLoadsUprightOpaqueAndGreyAsRgb) {
  const Picture p = testimg::Quadrants(16, 16);
  const auto& e = Load("q.jpg", testimg::MakeJPEG(p));
  ASSERT_NE(e.GLName, 0u);
  EXPECT_EQ(e.Width, 16);
  EXPECT_EQ(e.Height, 16);
  const Level0 l = ReadLevel0(e.GLName);
  ASSERT_EQ(l.w, 16);
  // Row 0 in GL is the image's bottom row: blue on the left, white on the right.
  EXPECT_TRUE(Near(l.at(3, 3), Pixel{0, 0, 255, 255}, 8));
  EXPECT_TRUE(Near(l.at(12, 3), Pixel{255, 255, 255, 255}, 8));
  EXPECT_TRUE(Near(l.at(3, 12), Pixel{255, 0, 0, 255}, 8));
  EXPECT_TRUE(Near(l.at(12, 12), Pixel{0, 255, 0, 255}, 8));

  Picture grey = testimg::Gradient(8, 8);
  const auto& g = Load("grey.jpg", testimg::MakeJPEG(grey, 100, true));
  ASSERT_NE(g.GLName, 0u);
  const Level0 gl = ReadLevel0(g.GLName);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      const Pixel c = gl.at(x, y);
      ASSERT_EQ(c.r, c.g);
      ASSERT_EQ(c.g, c.b);
      ASSERT_EQ(c.a, 255);
      ASSERT_NEAR(c.r, grey.at(x, 7 - y).r, 4);
    }
  EXPECT_TRUE(files->shown.empty());
}

TEST_F(TextureTable, JpegShowsUprightOnAQuadWithTZeroAtTheBottom) {
  const auto& e = Load("q.jpg", testimg::MakeJPEG(testimg::Quadrants(16, 16)), 1);
  ASSERT_NE(e.GLName, 0u);
  glBindTexture(GL_TEXTURE_2D, e.GLName);
  glBegin(GL_QUADS);
  glTexCoord2f(0, 0);
  glVertex3f(-0.5f, -0.5f, -1.4f);
  glTexCoord2f(1, 0);
  glVertex3f(0.5f, -0.5f, -1.4f);
  glTexCoord2f(1, 1);
  glVertex3f(0.5f, 0.5f, -1.4f);
  glTexCoord2f(0, 1);
  glVertex3f(-0.5f, 0.5f, -1.4f);
  glEnd();
  const int c = Width() / 2, q = Width() / 8;
  EXPECT_TRUE(::Near(ReadPixel(c - q, c + q), RGBA{255, 0, 0, 255}, 8)) << ReadPixel(c - q, c + q);
  EXPECT_TRUE(::Near(ReadPixel(c + q, c + q), RGBA{0, 255, 0, 255}, 8));
  EXPECT_TRUE(::Near(ReadPixel(c - q, c - q), RGBA{0, 0, 255, 255}, 8));
  EXPECT_TRUE(::Near(ReadPixel(c + q, c - q), RGBA{255, 255, 255, 255}, 8));
}

// ---- upload, blank textures, table operations ----

TEST_F(TextureTable, FilterModes) {
  const Bytes bmp = testimg::MakeBMP(testimg::Gradient(4, 4));
  const std::pair<GLint, GLint> want[] = {{GL_NEAREST, GL_NEAREST},
                                          {GL_LINEAR, GL_LINEAR},
                                          {GL_LINEAR, GL_LINEAR_MIPMAP_NEAREST},
                                          {GL_LINEAR, GL_LINEAR_MIPMAP_LINEAR},
                                          {GL_LINEAR, GL_NEAREST_MIPMAP_LINEAR},  // OpenGL's default
                                          {GL_LINEAR, GL_NEAREST_MIPMAP_LINEAR}};
  const uint8_t typs[] = {0, 1, 2, 3, 4, 255};
  for (size_t i = 0; i < 6; ++i) {
    const auto& e = Load("f.bmp", bmp, typs[i]);
    EXPECT_EQ(Param(e.GLName, GL_TEXTURE_MAG_FILTER), want[i].first) << "Typ " << int(typs[i]);
    EXPECT_EQ(Param(e.GLName, GL_TEXTURE_MIN_FILTER), want[i].second) << "Typ " << int(typs[i]);
    GLint env = 0;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &env);
    EXPECT_EQ(env, GL_MODULATE);
  }
  // The whole chain is built: the 1x1 level exists.
  const auto& e = Load("f.bmp", bmp, 3);
  glBindTexture(GL_TEXTURE_2D, e.GLName);
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
    EXPECT_EQ(e.FileName, "");
    EXPECT_EQ(e.Width, size);
    EXPECT_EQ(e.Height, size);
    EXPECT_EQ(Param(e.GLName, GL_TEXTURE_MIN_FILTER), GL_LINEAR);
    EXPECT_EQ(Param(e.GLName, GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    GLint w = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    EXPECT_EQ(w, size);
  }
  EXPECT_TRUE(files->shown.empty());
}

TEST_F(TextureTable, DirectoriesUpToTheLastBackslashAreDropped) {
  files->Write("logo.bmp", testimg::MakeBMP(testimg::Gradient(2, 2)));
  texMan::SetTextureFromFile(2, "C:\\art\\logo.bmp");
  EXPECT_EQ(texMan::TextureTable[2].FileName, "logo.bmp");
  EXPECT_NE(texMan::TextureTable[2].GLName, 0u);
  // A forward slash is part of the name: "art/logo.bmp" does not exist here.
  texMan::SetTextureFromFile(3, "C:\\x\\art/logo.bmp");
  EXPECT_EQ(texMan::TextureTable[3].FileName, "art/logo.bmp");
  EXPECT_EQ(texMan::TextureTable[3].GLName, 0u);
  EXPECT_EQ(files->shown, (std::vector<Message>{{"BMP Unit", "Error opening art/logo.bmp"}}));
}

TEST_F(TextureTable, ExtensionIsTheLastFourCharactersIgnoringCase) {
  const Bytes jpg = testimg::MakeJPEG(testimg::Quadrants(8, 8));
  EXPECT_NE(Load("logo.Jpg", jpg).GLName, 0u);
  for (const char* name : {"logo.jpeg", "logo.png", "jpg", ""}) {
    texMan::DeleteTexture(0);
    if (*name) files->Write(name, jpg);
    texMan::TextureTable[0].FileName = "x";
    texMan::SetTextureFromFile(0, *name ? name : "a\\");  // "a\" leaves an empty bare name
    EXPECT_EQ(texMan::TextureTable[0].GLName, 0u) << name;
    EXPECT_EQ(texMan::TextureTable[0].Width, 0) << name;
  }
  EXPECT_TRUE(files->shown.empty());
}

TEST_F(TextureTable, DeleteTextureAndInfoStayInsideTheTable) {
  const auto& e = Load("d.bmp", testimg::MakeBMP(testimg::Gradient(2, 2)));
  texMan::TextureTable[0].Name = "Pic";
  const uint32_t name = e.GLName;
  ASSERT_NE(name, 0u);
  texMan::DeleteTexture(-1);
  texMan::DeleteTexture(texMan::TexCount());
  EXPECT_EQ(texMan::TextureTable[0].GLName, name);
  EXPECT_EQ(texMan::TextureTable[0].Name, "Pic");

  dllShared::TTextureInfo info{};
  texMan::GetTextureInfo(0, &info);
  EXPECT_EQ(info.Width, 2);
  EXPECT_EQ(info.GLName, static_cast<int32_t>(name));
  for (int32_t bad : {-1, texMan::TexCount(), INT32_MAX, INT32_MIN}) {
    info = {7, 7, 7};
    texMan::GetTextureInfo(bad, &info);
    EXPECT_EQ(info.Width, 0);
    EXPECT_EQ(info.Height, 0);
    EXPECT_EQ(info.GLName, 0);
  }

  texMan::DeleteTexture(0);
  const auto& d = texMan::TextureTable[0];
  EXPECT_EQ(d.GLName, 0u);
  EXPECT_EQ(d.Name, "");
  EXPECT_EQ(d.FileName, "");
  EXPECT_EQ(d.Width, 2);  // sizes and mode stay
  EXPECT_EQ(glIsTexture(name), GL_FALSE);
}

// ---- failure messages ----

TEST_F(TextureTable, EveryFailureHasItsMessageAndLeavesTheEntryEmpty) {
  const Picture p = testimg::Gradient(4, 4);
  Bytes bmpShort = testimg::MakeBMP(p);
  bmpShort.resize(bmpShort.size() - 5);
  Bytes tgaShort = testimg::MakeTGA(p, {.bits = 32});
  tgaShort.resize(tgaShort.size() - 1);
  Bytes rleShort = testimg::MakeTGA(p, {.bits = 24, .rle = true});
  rleShort.resize(rleShort.size() - 1);
  Bytes jpgShort = testimg::MakeJPEG(testimg::Quadrants(64, 64), 90);
  jpgShort.resize(jpgShort.size() / 2);
  Bytes bigTga = testimg::TgaHeader(65535, 2, {});

  struct Case {
    const char* name;
    Bytes bytes;  // empty: the file is not written
    Message want;
  };
  const Case cases[] = {
      {"none.bmp", {}, {"BMP Unit", "Error opening none.bmp"}},
      {"pal.bmp", testimg::MakeBMP(p, {.zeroOffset = true, .clrUsed = 1000}), {"BMP Unit", "Error reading palette"}},
      {"data.bmp", bmpShort, {"BMP Unit", "Error reading bitmap data"}},
      {"hdr.bmp", Bytes(30, 0), {"BMP Unit", "Error reading bitmap header - \"hdr.bmp\""}},
      {"pal8.bmp", testimg::MakeBMP(p, {.bitCount = 8}),
       {"BMP Unit", "Couldn't load \"pal8.bmp\". Only uncompressed 24bit BMP supported."}},
      {"rle.bmp", testimg::MakeBMP(p, {.compression = 1}),
       {"BMP Unit", "Couldn't load \"rle.bmp\". Only uncompressed 24bit BMP supported."}},
      {"none.jpg", {}, {"BMP Unit", "Couldn't load JPG - \"none.jpg\""}},
      {"junk.jpg", Bytes(100, 0x55), {"BMP Unit", "Couldn't decode JPG - \"junk.jpg\""}},
      {"cut.jpg", jpgShort, {"BMP Unit", "Couldn't decode JPG - \"cut.jpg\""}},
      {"none.tga", {}, {"TGA Texture", "File not found  - none.tga"}},
      {"bw.tga", testimg::MakeTGA(p, {.imageType = 3}),
       {"TGA File Error", "Couldn't load \"bw.tga\". Only 24 and 32bit TGA supported."}},
      {"map.tga", testimg::MakeTGA(p, {.bits = 24, .colorMapType = 1}),
       {"TGA File Error", "Couldn't load \"map.tga\". Colormapped TGA files not supported."}},
      {"c16.tga", testimg::MakeTGA(p, {.bits = 16}),
       {"TGA File Error", "Couldn't load \"c16.tga\". Only 24 and 32 bit TGA files supported."}},
      {"c40.tga", testimg::MakeTGA(p, {.bits = 40}),
       {"TGA File Error", "Couldn't load \"c40.tga\". Only 24 and 32 bit TGA files supported."}},
      {"short.tga", tgaShort, {"TGA File Error", "Couldn't read file \"short.tga\"."}},
      {"rshort.tga", rleShort, {"TGA File Error", "Couldn't read file \"rshort.tga\"."}},
      {"hdr.tga", Bytes(10, 2), {"TGA File Error", "Couldn't read file \"hdr.tga\"."}},
      {"big.tga", bigTga, {"TGA File Error", "Couldn't load \"big.tga\". Bad image size."}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    files->shown.clear();
    if (!c.bytes.empty()) files->Write(c.name, c.bytes);
    texMan::TextureTable[1] = {};
    texMan::SetTextureFromFile(1, c.name);
    EXPECT_EQ(files->shown, std::vector<Message>{c.want});
    EXPECT_EQ(texMan::TextureTable[1].GLName, 0u);
    EXPECT_EQ(texMan::TextureTable[1].Width, 0);
    EXPECT_EQ(texMan::TextureTable[1].Height, 0);
  }
}

// ---- damaged and lying files, without GL ----

using ReadFn = bool (*)(const std::string&, Texturez::TImage*);

// Whatever the bytes, a reader either yields a consistent image or shows
// exactly one message.
void ExpectSound(TextureFiles& f, ReadFn read, const std::string& name, const Bytes& b) {
  f.Write(name, b);
  f.shown.clear();
  Texturez::TImage img;
  if (read(name, &img)) {
    ASSERT_TRUE(f.shown.empty());
    ASSERT_GT(img.Width, 0);
    ASSERT_GT(img.Height, 0);
    const size_t bpp = img.Format == GL_RGBA ? 4 : 3;
    ASSERT_EQ(img.Pixels.size(), static_cast<size_t>(img.Width) * static_cast<size_t>(img.Height) * bpp);
  } else {
    ASSERT_EQ(f.shown.size(), 1u);
  }
}

TEST(TextureReaders, LyingHeadersAreRefusedBeforeAllocating) {
  TextureFiles f;
  Texturez::TImage img;
  auto bmpWith = [](int32_t w, int32_t h) {
    Bytes b = testimg::MakeBMP(testimg::Gradient(2, 2));
    testimg::Set32(b, 18, static_cast<uint32_t>(w));
    testimg::Set32(b, 22, static_cast<uint32_t>(h));
    return b;
  };
  const std::pair<int32_t, int32_t> sides[] = {{0, 2}, {2, 0}, {-2, 2}, {16385, 1}, {1, INT32_MIN}, {INT32_MAX, INT32_MAX}};
  for (auto [w, h] : sides) {
    f.Write("lie.bmp", bmpWith(w, h));
    f.shown.clear();
    EXPECT_FALSE(Texturez::ReadBMP("lie.bmp", &img)) << w << "x" << h;
    EXPECT_EQ(f.shown, (std::vector<Message>{{"BMP Unit", "Couldn't load \"lie.bmp\". Bad image size."}}));
  }
  // Within the limit but far more than the file holds.
  f.Write("big.bmp", bmpWith(16384, 16384));
  f.shown.clear();
  EXPECT_FALSE(Texturez::ReadBMP("big.bmp", &img));
  EXPECT_EQ(f.shown, (std::vector<Message>{{"BMP Unit", "Error reading bitmap data"}}));

  // An RLE image of 16384 x 16384 pixels from a few bytes.
  Bytes rle = testimg::TgaHeader(16384, 16384, {.bits = 32, .rle = true});
  rle.insert(rle.end(), {255, 1, 2, 3, 4});
  f.Write("big.tga", rle);
  f.shown.clear();
  EXPECT_FALSE(Texturez::ReadTGA("big.tga", &img));
  EXPECT_EQ(f.shown, (std::vector<Message>{{"TGA File Error", "Couldn't read file \"big.tga\"."}}));
  Bytes zero = testimg::TgaHeader(0, 5, {});
  f.Write("zero.tga", zero);
  f.shown.clear();
  EXPECT_FALSE(Texturez::ReadTGA("zero.tga", &img));
  EXPECT_EQ(f.shown, (std::vector<Message>{{"TGA File Error", "Couldn't load \"zero.tga\". Bad image size."}}));
  // An image ID longer than the file.
  f.shown.clear();
  Bytes idOnly = testimg::TgaHeader(1, 1, {});
  idOnly[0] = 200;
  f.Write("id.tga", idOnly);
  EXPECT_FALSE(Texturez::ReadTGA("id.tga", &img));
  EXPECT_EQ(f.shown.size(), 1u);
}

TEST(TextureReaders, TruncationsAndByteFlipsNeverBreakAReader) {
  TextureFiles f;
  const Picture p = testimg::Gradient(7, 5);
  const std::pair<std::pair<const char*, ReadFn>, Bytes> samples[] = {
      {{"s.bmp", Texturez::ReadBMP}, testimg::MakeBMP(p)},
      {{"s.bmp", Texturez::ReadBMP}, testimg::MakeBMP(p, {.topDown = true})},
      {{"s.tga", Texturez::ReadTGA}, testimg::MakeTGA(p, {.bits = 24})},
      {{"s.tga", Texturez::ReadTGA}, testimg::MakeTGA(p, {.bits = 32, .rle = true, .topOrigin = true})},
      {{"s.tga", Texturez::ReadTGA}, testimg::MakeTGA(testimg::Quadrants(40, 8), {.bits = 24, .rle = true})},
      {{"s.jpg", Texturez::ReadJPG}, testimg::MakeJPEG(testimg::Quadrants(24, 16), 75)},
  };
  std::mt19937 rng(1234);
  for (const auto& [reader, good] : samples) {
    SCOPED_TRACE(reader.first);
    ExpectSound(f, reader.second, reader.first, good);
    EXPECT_TRUE(f.shown.empty());
    for (size_t len = 0; len < good.size(); ++len)
      ExpectSound(f, reader.second, reader.first, Bytes(good.begin(), good.begin() + static_cast<ptrdiff_t>(len)));
    for (int round = 0; round < 300; ++round) {
      Bytes b = good;
      const int flips = 1 + static_cast<int>(rng() % 4);
      for (int k = 0; k < flips; ++k) {
        // Mostly the headers, where the lies live.
        const size_t at = (rng() % 2) ? rng() % std::min<size_t>(b.size(), 64) : rng() % b.size();
        b[at] = static_cast<uint8_t>(rng());
      }
      ExpectSound(f, reader.second, reader.first, b);
    }
  }
}

}  // namespace
