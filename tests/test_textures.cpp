// The texture table and the image readers: generated images through the real upload, failure messages,
// damaged and lying files.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <tuple>

#include "demoWriter.h"
#include "engine/messages.h"
#include "engine/settings.h"
#include "glTest.h"
#include "imageFiles.h"
#include "player/openglx.h"
#include "resources/Texturez.h"
#include "resources/texLoad.h"
#include "resources/texMan.h"

namespace {

namespace fs = std::filesystem;
using testimg::Bytes, testimg::Picture, testimg::Pixel;
using Message = std::pair<std::string, std::string>;  // caption, text
using Messages = std::vector<Message>;

GLint Param(uint32_t name, GLenum which) {
  GLint v = 0;
  glBindTexture(GL_TEXTURE_2D, name), glGetTexParameteriv(GL_TEXTURE_2D, which, &v);
  return v;
}

// Runs in a fresh directory (textures are opened by bare name) with the messages captured in `shown`.
class TextureTable : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp(), fs::current_path(dir_);
    oldSink_ = messages::SetSink([this](const std::string& c, const std::string& t) { shown.push_back({c, t}); });
    texMan::TextureTable.assign(4, texMan::TTextureEntry{});
  }
  void TearDown() override {
    for (int32_t i = 0; i < texMan::TexCount(); ++i) texMan::DeleteTexture(i);
    texMan::TextureTable.clear(), settings::BlankTextureSize = 512, messages::SetSink(std::move(oldSink_));
    fs::current_path(old_), fs::remove_all(dir_), GLTest::TearDown();
  }
  void Write(const std::string& name, const Bytes& b) { testutil::WriteAll(dir_ / name, b); }
  // Loads `bytes` saved as `name` into entry 0 with filter mode `typ`.
  const texMan::TTextureEntry& Load(const std::string& name, const Bytes& bytes, uint8_t typ = 0) {
    Write(name, bytes), texMan::TextureTable[0].Typ = typ, texMan::SetTextureFromFile(0, name);
    return texMan::TextureTable[0];
  }
  // Level 0 must hold `p` upright (alpha 255 unless withAlpha), each channel within tol.
  void ExpectTexture(const texMan::TTextureEntry& e, const Picture& p, bool withAlpha, int tol = 0) {
    const TexLevel l = ReadTexLevel0(e.GLName);
    ASSERT_TRUE(e.GLName != 0 && e.Width == p.w && e.Height == p.h && l.w == p.w && l.h == p.h);
    for (int i = 0; i < p.w * p.h; ++i) {
      const RGBA g = l.px[static_cast<size_t>((p.h - 1 - i / p.w) * l.w + i % p.w)];
      const Pixel& w = p.px[static_cast<size_t>(i)];
      ASSERT_TRUE(Near(g, RGBA{w.r, w.g, w.b, withAlpha ? w.a : uint8_t{255}}, tol)) << "pixel " << i << " from the top: " << g;
    }
  }
  Messages shown;

 private:
  fs::path dir_ = testutil::TempDir("tex"), old_ = fs::current_path();
  messages::Sink oldSink_;
};

TEST_F(TextureTable, BmpTgaAndJpegLoadUprightFilteredAsAskedAndBlanksTakeTheSetting) {
  const Picture p = testimg::Gradient(2, 4);  // 6-byte rows padded to 8
  ExpectTexture(Load("plain.bmp", testimg::MakeBMP(p)), p, false);
  ExpectTexture(Load("topdown.bmp", testimg::MakeBMP(p, {.topDown = true})), p, false);
  // No data offset: the rows follow the (version-5) headers and the colour table.
  ExpectTexture(Load("nooff.bmp", testimg::MakeBMP(p, {.infoSize = 124, .gap = 8, .zeroOffset = true, .clrUsed = 2})), p, false);
  Picture t = testimg::Gradient(8, 4);
  for (int x = 0; x < 8; ++x) t.at(x, 1) = t.at(0, 1);  // one row of equal pixels: a run packet
  for (bool rle : {false, true}) {
    ExpectTexture(Load("c24.tga", testimg::MakeTGA(t, {.bits = 24, .rle = rle, .topOrigin = rle})), t, false);
    ExpectTexture(Load("c32.tga", testimg::MakeTGA(t, {.bits = 32, .rle = rle, .topOrigin = !rle, .idLength = 13})), t, true);
  }
  // A run of 128 where 4 pixels are wanted: cut at the image's end.
  const Bytes overrun = testimg::TgaHeader(2, 2, {.bits = 32, .rle = true}, {255, 10, 20, 30, 40});
  ExpectTexture(Load("long.tga", overrun), Picture{2, 2, std::vector<Pixel>(4, Pixel{30, 20, 10, 40})}, true);
  const Picture q = testimg::Quadrants(16, 16);  // flat 8x8 blocks come back within a few steps
  ExpectTexture(Load("q.jpg", testimg::MakeJPEG(q)), q, false, 8);
  Picture grey = testimg::Gradient(8, 8);
  for (Pixel& c : grey.px) c = {c.r, c.r, c.r, 255};
  ExpectTexture(Load("grey.jpg", testimg::MakeJPEG(grey, 100, true)), grey, false, 4);

  // Filter modes; other modes keep OpenGL's default minification.
  const Bytes bmp = testimg::MakeBMP(testimg::Gradient(4, 4));
  const std::tuple<uint8_t, GLint, GLint> cases[] = {{0, GL_NEAREST, GL_NEAREST}, {1, GL_LINEAR, GL_LINEAR},
      {2, GL_LINEAR, GL_LINEAR_MIPMAP_NEAREST}, {3, GL_LINEAR, GL_LINEAR_MIPMAP_LINEAR}, {255, GL_LINEAR, GL_NEAREST_MIPMAP_LINEAR}};
  for (auto [typ, mag, min] : cases) {
    const auto& e = Load("f.bmp", bmp, typ);
    EXPECT_EQ(std::pair(Param(e.GLName, GL_TEXTURE_MAG_FILTER), Param(e.GLName, GL_TEXTURE_MIN_FILTER)), std::pair(mag, min)) << int(typ);
  }
  GLint w2 = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 2, GL_TEXTURE_WIDTH, &w2);
  EXPECT_EQ(w2, 1);
  // Blank textures take the size setting and linear filters.
  settings::BlankTextureSize = 1024;
  texMan::TextureTable[1].Typ = 0, texMan::TextureTable[1].FileName = "stale.bmp";  // Typ is ignored for blanks
  texMan::SetTextureFromFile(1, "");
  const auto& e = texMan::TextureTable[1];
  EXPECT_EQ(std::make_tuple(e.FileName, e.Width, e.Height, e.GLName != 0), std::make_tuple(std::string(), 1024, 1024, true));
  EXPECT_EQ(std::make_tuple(Param(e.GLName, GL_TEXTURE_MIN_FILTER), Param(e.GLName, GL_TEXTURE_MAG_FILTER), ReadTexLevel0(e.GLName).w),
            std::make_tuple(GL_LINEAR, GL_LINEAR, 1024));
  EXPECT_TRUE(shown.empty());
}

TEST_F(TextureTable, NamesLoseDirectoriesByBackslashExtensionsChooseAndIndicesStayInside) {
  Write("logo.bmp", testimg::MakeBMP(testimg::Gradient(2, 2)));
  texMan::SetTextureFromFile(2, "C:\\art\\logo.bmp"), texMan::SetTextureFromFile(3, "C:\\x\\art/logo.bmp");
  EXPECT_TRUE(texMan::TextureTable[2].FileName == "logo.bmp" && texMan::TextureTable[2].GLName != 0);
  // A forward slash is part of the name: "art/logo.bmp" does not exist here.
  EXPECT_TRUE(texMan::TextureTable[3].FileName == "art/logo.bmp" && texMan::TextureTable[3].GLName == 0);
  EXPECT_EQ(shown, (Messages{{"BMP Unit", "Error opening art/logo.bmp"}}));

  const Bytes jpg = testimg::MakeJPEG(testimg::Quadrants(8, 8));
  EXPECT_NE(Load("logo.Jpg", jpg).GLName, 0u);
  for (const char* name : {"logo.jpeg", "logo.png", "jpg", ""}) {
    if (*name) Write(name, jpg);
    texMan::SetTextureFromFile(0, *name ? name : "a\\");  // "a\" leaves an empty bare name
    EXPECT_TRUE(texMan::TextureTable[0].GLName == 0 && texMan::TextureTable[0].Width == 0) << name;
  }
  EXPECT_EQ(shown.size(), 1u);

  // DeleteTexture and GetTextureInfo stay inside the table.
  const uint32_t name = Load("d.bmp", testimg::MakeBMP(testimg::Gradient(2, 2))).GLName;
  ASSERT_NE(name, 0u);
  texMan::TextureTable[0].Name = "Pic";
  texMan::DeleteTexture(-1), texMan::DeleteTexture(texMan::TexCount());
  EXPECT_TRUE(texMan::TextureTable[0].GLName == name && texMan::TextureTable[0].Name == "Pic");
  dllShared::TTextureInfo info{};
  texMan::GetTextureInfo(0, &info);
  EXPECT_TRUE(info.Width == 2 && info.Height == 2 && info.GLName == static_cast<int32_t>(name));
  for (int32_t bad : {-1, texMan::TexCount()}) {
    info = {7, 7, 7}, texMan::GetTextureInfo(bad, &info);
    EXPECT_TRUE(info.Width == 0 && info.Height == 0 && info.GLName == 0) << bad;
  }
  texMan::DeleteTexture(0);
  const auto& d = texMan::TextureTable[0];
  EXPECT_TRUE(d.GLName == 0 && d.Name.empty() && d.FileName.empty() && d.Width == 2);  // sizes and mode stay
  EXPECT_EQ(glIsTexture(name), GL_FALSE);
}

// A TGA may store its rows from either side and either end: every origin reads as the same upright picture.
TEST(TgaOrigins, AllFourOriginsRawAndRunLengthGiveTheSamePixels) {
  const Pixel tl{200, 0, 0, 10}, tr{0, 200, 0, 20}, bl{0, 0, 200, 30}, br{250, 250, 250, 40}, mid{1, 2, 3, 50}, run{7, 8, 9, 60};
  const Picture p{4, 2, {tl, mid, mid, tr, bl, run, run, br}};  // top row first; the bottom run makes a run packet
  // Bottom row first, red first: what the upload is handed whatever the origin.
  const Bytes want24 = {0, 0, 200, 7, 8, 9, 7, 8, 9, 250, 250, 250, 200, 0, 0, 1, 2, 3, 1, 2, 3, 0, 200, 0};
  const Bytes want32 = {0, 0, 200, 30, 7, 8, 9, 60, 7, 8, 9, 60, 250, 250, 250, 40, 200, 0, 0, 10, 1, 2, 3, 50, 1, 2, 3, 50, 0, 200, 0, 20};
  for (int bits : {24, 32})
    for (bool rle : {false, true})
      for (bool top : {false, true})
        for (bool right : {false, true}) {
          const Bytes file = testimg::MakeTGA(p, {.bits = bits, .rle = rle, .topOrigin = top, .rightOrigin = right});
          Texturez::TImage img;
          ASSERT_TRUE(Texturez::ReadTGABytes(file.data(), file.size(), "o.tga", &img));
          EXPECT_TRUE(img.Width == 4 && img.Height == 2 && Bytes(img.Pixels.begin(), img.Pixels.end()) == (bits == 24 ? want24 : want32))
              << bits << " bits, rle " << rle << ", top " << top << ", right " << right;
        }
}

Bytes BmpWithSides(int32_t w, int32_t h) {
  Bytes b = testimg::MakeBMP(testimg::Gradient(2, 2));
  testimg::Set32(b, 18, static_cast<uint32_t>(w)), testimg::Set32(b, 22, static_cast<uint32_t>(h));
  return b;
}

struct Case { std::string name; Bytes bytes /* empty: not written */; Message want; };

// Every failure the readers report, each under its own name.
std::vector<Case> FailureCases() {
  const Picture p = testimg::Gradient(4, 4);
  auto cut = [](Bytes b, size_t keep) { return b.resize(keep), b; };
  const Bytes bmp = testimg::MakeBMP(p), tga = testimg::MakeTGA(p, {.bits = 32}), rle = testimg::MakeTGA(p, {.rle = true});
  const Bytes jpg = testimg::MakeJPEG(testimg::Quadrants(64, 64), 90);
  const Bytes hugeRle = testimg::TgaHeader(16384, 16384, {.bits = 32, .rle = true}, {255, 1, 2, 3, 4});  // from a few bytes
  const Bytes longId = cut(testimg::TgaHeader(1, 1, {.idLength = 200}), 18);  // an image ID longer than the file

  return {
      {"none.bmp", {}, {"BMP Unit", "Error opening none.bmp"}}, {"none.jpg", {}, {"BMP Unit", "Couldn't load JPG - \"none.jpg\""}},
      {"pal.bmp", testimg::MakeBMP(p, {.zeroOffset = true, .clrUsed = 1000}), {"BMP Unit", "Error reading palette"}},
      {"data.bmp", cut(bmp, bmp.size() - 5), {"BMP Unit", "Error reading bitmap data"}},
      {"hdr.bmp", Bytes(30, 0), {"BMP Unit", "Error reading bitmap header - \"hdr.bmp\""}},
      {"pal8.bmp", testimg::MakeBMP(p, {.bitCount = 8}), {"BMP Unit", "Couldn't load \"pal8.bmp\". Only uncompressed 24bit BMP supported."}},
      {"big.bmp", BmpWithSides(16384, 16384), {"BMP Unit", "Error reading bitmap data"}},
      {"cut.jpg", cut(jpg, jpg.size() / 2), {"BMP Unit", "Couldn't decode JPG - \"cut.jpg\""}},
      {"none.tga", {}, {"TGA Texture", "File not found  - none.tga"}}, {"hdr.tga", Bytes(10, 2), {"TGA File Error", "Couldn't read file \"hdr.tga\"."}},
      {"bw.tga", testimg::MakeTGA(p, {.imageType = 3}), {"TGA File Error", "Couldn't load \"bw.tga\". Only 24 and 32bit TGA supported."}},
      {"map.tga", testimg::MakeTGA(p, {.colorMapType = 1}), {"TGA File Error", "Couldn't load \"map.tga\". Colormapped TGA files not supported."}},
      {"c16.tga", testimg::MakeTGA(p, {.bits = 16}), {"TGA File Error", "Couldn't load \"c16.tga\". Only 24 and 32 bit TGA files supported."}},
      {"short.tga", cut(tga, tga.size() - 1), {"TGA File Error", "Couldn't read file \"short.tga\"."}},
      {"rshort.tga", cut(rle, rle.size() - 1), {"TGA File Error", "Couldn't read file \"rshort.tga\"."}},
      {"huge.tga", hugeRle, {"TGA File Error", "Couldn't read file \"huge.tga\"."}},
      {"id.tga", longId, {"TGA File Error", "Couldn't read file \"id.tga\"."}},
      {"big.tga", testimg::TgaHeader(65535, 2, {}), {"TGA File Error", "Couldn't load \"big.tga\". Bad image size."}},
      {"zero.tga", testimg::TgaHeader(0, 5, {}), {"TGA File Error", "Couldn't load \"zero.tga\". Bad image size."}},
  };
}

TEST_F(TextureTable, EveryFailureAndEveryLyingHeaderHasItsMessageAndLeavesTheEntryEmpty) {
  std::vector<Case> cases = FailureCases();
  for (auto [w, h] : {std::pair{0, 2}, {-2, 2}, {16385, 1}, {INT32_MAX, INT32_MAX}})
    cases.push_back({"lie.bmp", BmpWithSides(w, h), {"BMP Unit", "Couldn't load \"lie.bmp\". Bad image size."}});

  for (const Case& c : cases) {
    shown.clear(), texMan::TextureTable[1] = {};
    if (!c.bytes.empty()) Write(c.name, c.bytes);
    texMan::SetTextureFromFile(1, c.name);
    const auto& e = texMan::TextureTable[1];
    EXPECT_TRUE(shown == Messages{c.want} && e.GLName == 0 && e.Width == 0 && e.Height == 0) << c.name << ": " << testing::PrintToString(shown);
  }
}

// What a load leaves in every entry: its fields, its object's place among the names made, its filters and
// every mipmap level's pixels.
using Snapshot = std::vector<std::tuple<std::string, int32_t, int32_t, uint32_t, GLint, std::vector<uint8_t>>>;
Snapshot TakeSnapshot() {
  uint32_t first = UINT32_MAX;
  for (const auto& e : texMan::TextureTable) first = e.GLName ? std::min(first, e.GLName) : first;
  Snapshot out;
  for (const auto& e : texMan::TextureTable) {
    std::vector<uint8_t> levels;
    for (GLint level = 0, w = 1, h = 1; e.GLName && w > 0; ++level) {
      glBindTexture(GL_TEXTURE_2D, e.GLName), glPixelStorei(GL_PACK_ALIGNMENT, 1);
      glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &w), glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &h);
      const size_t at = levels.size();
      levels.resize(at + static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
      if (w > 0) glGetTexImage(GL_TEXTURE_2D, level, GL_RGBA, GL_UNSIGNED_BYTE, levels.data() + at);
    }
    out.emplace_back(e.FileName, e.Width, e.Height, e.GLName ? e.GLName - first + 1 : 0, e.GLName ? Param(e.GLName, GL_TEXTURE_MIN_FILTER) : 0, levels);
  }
  return out;
}

// Good images of every kind among every failure, a blank, a name with directories and one without a reader:
// on worker threads the textures, the object order, the messages and their order are those of one after another.
TEST_F(TextureTable, ParallelLoadingMakesWhatOneAfterAnotherMakes) {
  std::vector<std::string> names;
  Messages want;
  const std::vector<Case> failures = FailureCases();
  for (size_t i = 0; i < failures.size(); ++i) {
    const Picture p = testimg::Gradient(static_cast<int>(8 + 9 * i), static_cast<int>(40 + i));  // sides of every kind
    const std::string good[] = {"g" + std::to_string(i) + ".jpg", "g" + std::to_string(i) + (i % 2 ? ".bmp" : ".tga")};
    Write(good[0], testimg::MakeJPEG(p, 90)), Write(good[1], i % 2 ? testimg::MakeBMP(p) : testimg::MakeTGA(p, {.bits = 32, .rle = i % 4 == 0}));
    if (!failures[i].bytes.empty()) Write(failures[i].name, failures[i].bytes);
    names.insert(names.end(), {good[0], failures[i].name, good[1]});
    want.push_back(failures[i].want);
  }
  Write("p.jpg", testimg::MakeJPEG(testimg::Quadrants(512, 256), 95));
  names.insert(names.end(), {"", "C:\\art\\p.jpg", "p.png", "p.jpg"});
  std::vector<std::pair<Snapshot, Messages>> runs;
  // One after another; a thread a core; more threads than cores; the JPEG rows expanded by the portable pass.
  for (auto [workers, decoderRgba] : {std::pair{1, true}, {0, true}, {3, true}, {0, false}}) {
    Texturez::UseDecoderRgba(decoderRgba);
    texMan::TextureTable.assign(names.size(), texMan::TTextureEntry{}), shown.clear();
    std::vector<std::pair<int32_t, int32_t>> progress;
    texLoad::SetWorkers(workers), texLoad::SetHooks({[&](int32_t done, int32_t total) { progress.emplace_back(done, total); }});
    texLoad::Begin();
    for (size_t i = 0; i < names.size(); ++i) texMan::TextureTable[i].Typ = static_cast<uint8_t>(i % 5), texLoad::Add(static_cast<int32_t>(i), names[i]);
    texLoad::Finish();
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), std::pair(texMan::TexCount(), texMan::TexCount())) << workers;
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end())) << workers;
    EXPECT_EQ(shown, want) << workers;
    runs.emplace_back(TakeSnapshot(), shown);
    for (int32_t i = 0; i < texMan::TexCount(); ++i) texMan::DeleteTexture(i);
  }
  texLoad::SetWorkers(0), texLoad::SetHooks({}), Texturez::UseDecoderRgba(true);
  const Snapshot& serial = runs[0].first;
  for (size_t i = 0; i < names.size(); ++i) {  // the failures are empty, the others made
    const bool made = names[i] != "p.png" && (i >= 3 * failures.size() || i % 3 != 1);
    EXPECT_EQ(std::get<3>(serial[i]) != 0, made) << names[i];
  }
  EXPECT_EQ(std::get<0>(serial[serial.size() - 3]), "p.jpg");
  EXPECT_TRUE(runs[1] == runs[0] && runs[2] == runs[0] && runs[3] == runs[0]);
}

// The start frame's bar: nothing for the first half second of a load, then a thin bar along the bottom edge
// as long as the share of textures made, drawn again only when that changes. The state is the player's after.
TEST_F(TextureTable, LoadBarWaitsHalfASecondThenGrowsAlongTheBottomEdge) {
  const auto red = [] { glClearColor(1, 0, 0, 1), glClear(GL_COLOR_BUFFER_BIT), glClearColor(0, 0, 0, 0); };
  const auto drawn = [this] { glReadBuffer(GL_FRONT); const RGBA c = ReadPixel(Width() / 2, Height() / 2); return glReadBuffer(GL_BACK), c != RGBA{255, 0, 0, 255}; };
  openglx::TLoadBar bar;
  red(), openglx::SwapBuffers(), bar(1, 4);
  EXPECT_FALSE(drawn());  // a short load looks as if there were no bar
  bar.Start -= std::chrono::seconds(1), bar(1, 4);
  ASSERT_TRUE(drawn());
  glReadBuffer(GL_FRONT);
  EXPECT_EQ(std::make_tuple(ReadPixel(0, 0), ReadPixel(Width() / 4 - 2, 2), ReadPixel(Width() / 4 + 2, 0), ReadPixel(2, 3)),
            std::make_tuple(RGBA{128, 128, 128, 255}, RGBA{128, 128, 128, 255}, RGBA{0, 0, 0, 0}, RGBA{0, 0, 0, 0}));
  glReadBuffer(GL_BACK);
  red(), openglx::SwapBuffers(), bar(1, 4);
  EXPECT_FALSE(drawn());  // the same count again
  GLint depthTest = 0, texturing = 0, matrixMode = 0;
  glGetIntegerv(GL_DEPTH_TEST, &depthTest), glGetIntegerv(GL_TEXTURE_2D, &texturing), glGetIntegerv(GL_MATRIX_MODE, &matrixMode);
  EXPECT_EQ(std::make_tuple(depthTest, texturing, matrixMode), std::make_tuple(1, 1, GL_MODELVIEW));
}

// A batch ended by an exception (here from the message sink) stops there: its workers are stopped, the entries
// after it stay unmade, and the next batch starts clean.
TEST_F(TextureTable, ABatchEndedByAnExceptionStopsItsWorkersAndLeavesTheRestUnmade) {
  Write("a.jpg", testimg::MakeJPEG(testimg::Quadrants(64, 64)));
  texMan::TextureTable.assign(6, texMan::TTextureEntry{});
  messages::Sink kept = messages::SetSink([](const std::string&, const std::string&) { throw std::runtime_error("stop"); });
  texLoad::SetWorkers(2), texLoad::Begin();
  for (int32_t i = 0; i < 6; ++i) texLoad::Add(i, i == 2 ? "none.jpg" : "a.jpg");
  EXPECT_THROW(texLoad::Finish(), std::runtime_error);
  messages::SetSink(std::move(kept));
  const auto made = [](size_t i) { return texMan::TextureTable[i].GLName != 0; };
  EXPECT_TRUE(made(1) && !made(2) && !made(3) && !made(5));
  texLoad::Begin(), texLoad::Add(3, "a.jpg"), texLoad::Finish(), texLoad::SetWorkers(0);
  EXPECT_TRUE(made(3) && shown.empty());
}

}  // namespace
