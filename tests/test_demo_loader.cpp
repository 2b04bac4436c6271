// The demo loader on files written by the project's writer: the title scan,
// defaults, array reads, and damaged or lying files.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "data/demo.h"
#include "data/filestuff.h"
#include "demoWriter.h"
#include "engine/registry.h"
#include "engine/scheduler.h"
#include "engine/settings.h"
#include "glTest.h"
#include "operators/opFader.h"
#include "operators/opTunnel.h"
#include "resources/mshman.h"
#include "resources/texMan.h"

namespace {

using filestuff::WriteBlock;
using filestuff::WriteInt;
using filestuff::WriteString;

void StartModules() {
  filestuff::Startup();
  mshman::Startup();
  texMan::Startup();
  registry::Startup();
  scheduler::Startup();
  demo::Startup();
}

std::string WriteIn(const std::filesystem::path& dir, const std::string& name, const std::function<void()>& values) {
  const std::string path = (dir / name).string();
  filestuff::WriteDemoFile(path, values);
  return path;
}

// Everything the loader fills is empty.
void ExpectNothingLoaded() {
  EXPECT_EQ(texMan::TexCount(), 0);
  EXPECT_EQ(mshman::MeshCount(), 0);
  EXPECT_EQ(demo::DemoData.EventCount, 0);
  EXPECT_TRUE(demo::DemoData.Events.empty());
  EXPECT_TRUE(opFader::Sets().empty());
  EXPECT_TRUE(opTunnel::Sets().empty());
  EXPECT_EQ(demo::MusicName, "");
}

class DemoLoader : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = testutil::TempDir("loader");
    StartModules();
  }
  void TearDown() override {
    demo::LoadDemoWithoutTextures((dir / "none").string(), false);  // clears what a test loaded
    std::filesystem::remove_all(dir);
  }
  std::string Write(const std::string& name, const std::function<void()>& values) { return WriteIn(dir, name, values); }
  // A small file with a little of everything, to show a later failure clears it.
  std::string Good() {
    return Write("good.qvl", [] {
      WriteString("Music", "tune");
      WriteInt("TexCount", 1);
      WriteString("Tex0Data", "a.bmp");
      WriteInt("EventCount", 1);
      const scheduler::TDemoEvent ev{100, 200, 3, {}, 0, 0};
      WriteBlock("Ev0", &ev, sizeof ev);
      WriteInt("FaderCount", 1);
      const opFader::TFaderParams f{1, 0, 0, 0, 1, 0, 1, 0};
      WriteBlock("Fader0", &f, sizeof f);
    });
  }
  std::filesystem::path dir;
};

TEST_F(DemoLoader, TitleScanComparesExactlyAndTakesTheFirst) {
  auto title = [&](const std::function<void()>& values) {
    demo::Startup();
    demo::ReadDemoTitle(Write("t.qvl", values));
    return demo::DemoTitle;
  };
  EXPECT_EQ(title([] {}), "Unknown");
  // The only case-sensitive lookup of the file: "demotitle" is not the title.
  EXPECT_EQ(title([] { WriteString("demotitle", "lower"); }), "Unknown");
  EXPECT_EQ(title([] {
              WriteString("DEMOTITLE", "upper");
              WriteString("DemoTitle", "first");
              WriteString("DemoTitle", "second");
            }),
            "first");
  // A stored empty title is a title.
  EXPECT_EQ(title([] { WriteString("DemoTitle", ""); }), "");

  // Missing file and foreign signature leave the title as it was.
  demo::DemoTitle = "kept";
  demo::ReadDemoTitle((dir / "absent.qvl").string());
  EXPECT_EQ(demo::DemoTitle, "kept");
  testutil::WriteAll(dir / "foreign.qvl", {'Q', 'u', 'o', 'r', 'v', 'a', 'l', 'i', 'n', '1', 0x1A, 0, 0, 0, 0});
  demo::ReadDemoTitle((dir / "foreign.qvl").string());
  EXPECT_EQ(demo::DemoTitle, "kept");

  // The loader never reads the title.
  const std::string path = Write("t2.qvl", [] { WriteString("DemoTitle", "from file"); });
  ASSERT_TRUE(demo::LoadDemoWithoutTextures(path, false));
  EXPECT_EQ(demo::DemoTitle, "kept");
}

TEST_F(DemoLoader, TitleWhoseValueLiesOutsideTheFileIsDamage) {
  const std::string path = Write("t.qvl", [] { WriteString("DemoTitle", "abc"); });
  auto bytes = testutil::ReadAll(path);
  bytes.resize(bytes.size() - 2);  // the string's length byte says 3
  testutil::WriteAll(path, bytes);
  EXPECT_THROW(demo::ReadDemoTitle(path), filestuff::ReadError);
  EXPECT_EQ(demo::DemoTitle, "Unknown");
}

TEST_F(DemoLoader, MissingKeysTakeTheirDefaults) {
  const std::string path = Write("d.qvl", [] {
    WriteInt("TexCount", 2);
    const uint8_t typ = 3;
    WriteBlock("tex1typ", &typ, 1);  // lookups ignore letter case
    WriteInt("MshCount", 1);
    WriteInt("msh0GroupCount", 1);
    WriteInt("msh0Advanced", 2);  // only exactly 1 is advanced
    WriteInt("EventCount", 2);
    const scheduler::TDemoEvent ev{5, 6, 7, {}, 8, 9};
    WriteBlock("Ev1", &ev, sizeof ev);
  });
  ASSERT_TRUE(demo::LoadDemoWithoutTextures(path, false));
  EXPECT_EQ(demo::MusicName, "");
  ASSERT_EQ(texMan::TexCount(), 2);
  EXPECT_EQ(texMan::TextureTable[0].Name, "Unknown?");
  EXPECT_EQ(texMan::TextureTable[0].FileName, "");
  EXPECT_EQ(texMan::TextureTable[0].Typ, 0);
  EXPECT_EQ(texMan::TextureTable[1].Typ, 3);
  EXPECT_EQ(texMan::TextureTable[1].GLName, 0u);

  ASSERT_EQ(mshman::MeshCount(), 1);
  const mshman::TMesh& m = mshman::MeshStore[0];
  EXPECT_FALSE(m.Advanced);
  EXPECT_EQ(m.VertCount, 0);
  ASSERT_EQ(m.Groups.size(), 1u);
  EXPECT_EQ(m.Groups[0].Mode, 0);
  EXPECT_EQ(m.Groups[0].Alpha, 0.0f);
  EXPECT_EQ(m.Groups[0].States[4], 0);

  // Events keep their index order; a missing one stays all zero.
  ASSERT_EQ(demo::DemoData.EventCount, 2);
  EXPECT_EQ(demo::DemoData.Events[0].Start, 0);
  EXPECT_EQ(demo::DemoData.Events[1].Start, 5);
  EXPECT_EQ(demo::DemoData.Events[1].ParamSet, 9);
}

TEST_F(DemoLoader, FillsEveryTableAndHandsTheEventsToTheScheduler) {
  const std::string path = Write("f.qvl", [] {
    WriteString("Music", "song.mp3");
    WriteInt("TexCount", 1);
    WriteString("Tex0Name", "logo");
    WriteString("Tex0Data", "C:\\art\\logo.bmp");
    WriteInt("EventCount", 3);
    // Start times out of order: the loader keeps the file's order.
    for (int i = 0; i < 3; ++i) {
      const scheduler::TDemoEvent ev{3000 - i * 1000, 500, static_cast<uint8_t>(i), {}, 0, 0};
      WriteBlock(dllShared::IndexedKey("Ev", i), &ev, sizeof ev);
    }
    WriteInt("FaderCount", 1);
    const opFader::TFaderParams f{0.5f, 0, 0, 0, 0, 0, 1, 0};
    WriteBlock("Fader0", &f, sizeof f);
    WriteInt("TunnelCount", 1);
    const opTunnel::TTunnelParams t{2, 1, 2, 3, 4, 5, 6};
    WriteBlock("Tunne\xF6" "0", &t, sizeof t);
  });
  ASSERT_TRUE(demo::LoadDemoWithoutTextures(path, false));
  EXPECT_EQ(demo::MusicName, "song.mp3");
  ASSERT_EQ(texMan::TexCount(), 1);
  EXPECT_EQ(texMan::TextureTable[0].Name, "logo");
  EXPECT_EQ(texMan::TextureTable[0].FileName, "C:\\art\\logo.bmp");  // as stored; no texture was made
  ASSERT_EQ(demo::DemoData.EventCount, 3);
  EXPECT_EQ(demo::DemoData.Events[0].Start, 3000);
  EXPECT_EQ(demo::DemoData.Events[2].Start, 1000);
  ASSERT_EQ(opFader::Sets().size(), 1u);
  EXPECT_EQ(opFader::Sets()[0].StartRed, 0.5f);
  ASSERT_EQ(opTunnel::Sets().size(), 1u);
  EXPECT_EQ(opTunnel::Sets()[0].Blending, 6);
}

TEST_F(DemoLoader, ArraysAreOneNamedReadAndUnnamedReadsAfterIt) {
  const mshman::TMeshVector verts[3] = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}};
  const mshman::TMeshFace faces[2] = {{0, 1, 2}, {2, 0, -1}};
  const std::string path = Write("a.qvl", [&] {
    WriteInt("MshCount", 2);
    WriteString("msh0Data", "cube.3ds");
    WriteInt("msh0VertCount", 3);
    WriteInt("msh0Advanced", 1);
    WriteInt("msh0NormCount", 1);
    WriteInt("msh0TexCount", 1);
    WriteInt("msh0GroupCount", 1);
    WriteBlock("msh0Vert", verts, sizeof verts);
    WriteBlock("msh0Norm", &verts[2], 12);
    const unsigned char tex[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    WriteBlock("msh0Tex", tex, 8);
    WriteInt("msh0Group0FaceCount", 2);
    WriteBlock("msh0Group0Faces", faces, sizeof faces);
    WriteInt("msh0Group0Mode", 4);
    WriteInt("msh0Group0Tex1", 1);
    WriteInt("msh0Group0Tex2", 2);
    WriteInt("msh0Group0TexMode", 3);
    const unsigned char states[5] = {9, 8, 7, 6, 5};
    WriteBlock("msh0Group0States", states, 5);
    const float alpha = 0.75f;
    WriteBlock("msh0Group0Alpha", &alpha, 4);
    // Mesh 1: VertCount 1 with its only vertex as the file's last bytes. An
    // unnamed read after the named one would run past the end.
    WriteInt("msh1VertCount", 1);
    WriteBlock("msh1Vert", &verts[1], 12);
  });
  ASSERT_TRUE(demo::LoadDemoWithoutTextures(path, false));
  ASSERT_EQ(mshman::MeshCount(), 2);
  const mshman::TMesh& m = mshman::MeshStore[0];
  EXPECT_EQ(m.FileName, "cube.3ds");
  EXPECT_TRUE(m.Advanced);
  ASSERT_EQ(m.Vertices.size(), 3u);
  EXPECT_EQ(m.Vertices[2].Z, 9.0f);
  EXPECT_EQ(m.Vertices[1].X, 4.0f);
  ASSERT_EQ(m.Normals.size(), 1u);
  EXPECT_EQ(m.Normals[0].Y, 8.0f);
  ASSERT_EQ(m.TexCoords.size(), 1u);
  EXPECT_EQ(m.TexCoords[0].Raw[7], 8);
  const mshman::TMeshGroup& g = m.Groups.at(0);
  ASSERT_EQ(g.Faces.size(), 2u);
  EXPECT_EQ(g.Faces[1].VertexIndex, 2);
  EXPECT_EQ(g.Faces[1].Aux, -1);
  EXPECT_EQ(g.Mode, 4);
  EXPECT_EQ(g.Tex1, 1);
  EXPECT_EQ(g.Tex2, 2);
  EXPECT_EQ(g.TexMode, 3);
  EXPECT_EQ(g.States[0], 9);
  EXPECT_EQ(g.States[4], 5);
  EXPECT_EQ(g.Alpha, 0.75f);
  ASSERT_EQ(mshman::MeshStore[1].Vertices.size(), 1u);
  EXPECT_EQ(mshman::MeshStore[1].Vertices[0].Y, 5.0f);
}

TEST_F(DemoLoader, ArrayWithoutItsKeyStaysZeroInsteadOfReadingStrayBytes) {
  const std::string path = Write("z.qvl", [] {
    WriteInt("MshCount", 1);
    WriteInt("msh0VertCount", 2);
    const float junk[6] = {1, 2, 3, 4, 5, 6};
    WriteBlock("msh0Norm", junk, sizeof junk);  // not the vertices
  });
  ASSERT_TRUE(demo::LoadDemoWithoutTextures(path, false));
  const mshman::TMesh& m = mshman::MeshStore.at(0);
  ASSERT_EQ(m.Vertices.size(), 2u);
  EXPECT_EQ(m.Vertices[0].X, 0.0f);
  EXPECT_EQ(m.Vertices[1].X, 0.0f);
}

TEST_F(DemoLoader, MissingOrForeignFileLoadsNothingAndSaysFalse) {
  ASSERT_TRUE(demo::LoadDemoWithoutTextures(Good(), false));
  EXPECT_EQ(texMan::TexCount(), 1);
  EXPECT_FALSE(demo::LoadDemoWithoutTextures((dir / "absent.qvl").string(), false));
  ExpectNothingLoaded();

  ASSERT_TRUE(demo::LoadDemoWithoutTextures(Good(), false));
  testutil::WriteAll(dir / "foreign.qvl", {'n', 'o', 't', ' ', 'a', ' ', 'd', 'e', 'm', 'o', '!', 0, 0, 0, 0});
  EXPECT_FALSE(demo::LoadDemoWithoutTextures((dir / "foreign.qvl").string(), false));
  ExpectNothingLoaded();
}

// Each file is damaged in one way; each must end with a clear error naming
// the file, and leave nothing of the earlier good load nor of itself.
TEST_F(DemoLoader, DamagedAndLyingFilesEndWithAClearErrorAndNothingLoaded) {
  struct Case {
    const char* name;
    std::function<void()> values;
    const char* mentions;
  };
  const scheduler::TDemoEvent ev{0, 10, 0, {}, 0, 0};
  const Case cases[] = {
      {"negative texture count", [] { WriteInt("TexCount", -1); }, "TexCount"},
      {"negative event count", [] { WriteInt("EventCount", -5); }, "EventCount"},
      {"event count beyond the file",
       [&] {
         WriteInt("EventCount", 100000000);
         WriteBlock("Ev0", &ev, sizeof ev);
       },
       "EventCount"},
      {"texture count beyond the directory", [] { WriteInt("TexCount", 2000000000); }, "TexCount"},
      {"group count beyond the directory",
       [] {
         WriteInt("MshCount", 1);
         WriteInt("msh0GroupCount", 1 << 30);
       },
       "msh0GroupCount"},
      {"negative vertex count",
       [] {
         WriteInt("MshCount", 1);
         WriteInt("msh0VertCount", -3);
       },
       "msh0VertCount"},
      {"vertex array running past the end",
       [] {
         WriteInt("MshCount", 1);
         WriteInt("msh0VertCount", 3);
         const float v[3] = {1, 2, 3};
         WriteBlock("msh0Vert", v, sizeof v);
       },
       "msh0Vert"},
      {"face count far beyond the file",
       [] {
         WriteInt("MshCount", 1);
         WriteInt("msh0GroupCount", 1);
         WriteInt("msh0Group0FaceCount", 0x7fffffff);
         const int32_t f[3] = {0, 0, 0};
         WriteBlock("msh0Group0Faces", f, sizeof f);
       },
       "msh0Group0Face"},
      {"string running past the end",
       [] {
         WriteInt("TexCount", 1);
         WriteBlock("Tex0Name", "\xF0" "abc", 4);  // length byte 240, three bytes follow
       },
       "Tex0Name"},
      {"negative operator set count", [] { WriteInt("FaderCount", -1); }, "FaderCount"},
      {"short operator set",
       [] {
         WriteInt("BezierCount", 1);
         WriteBlock("Bezier0", "short", 5);
       },
       "Bezier0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(demo::LoadDemoWithoutTextures(Good(), false));
    const std::string path = Write("bad.qvl", c.values);
    try {
      demo::LoadDemoWithoutTextures(path, false);
      ADD_FAILURE() << "no error";
    } catch (const dllShared::DataError& e) {
      const std::string what = e.what();
      EXPECT_NE(what.find(path), std::string::npos) << what;
      EXPECT_NE(what.find(c.mentions), std::string::npos) << what;
    }
    ExpectNothingLoaded();
    EXPECT_FALSE(filestuff::IsOpen());
  }
}

TEST_F(DemoLoader, ValueOffsetOutsideTheFileIsDamage) {
  const std::string path = Write("o.qvl", [] { WriteInt("EventCount", 1); });
  auto bytes = testutil::ReadAll(path);
  const int32_t offset = 1 << 20;  // the only entry's offset, after count, length byte and name
  std::memcpy(bytes.data() + 15 + 1 + 10, &offset, 4);
  testutil::WriteAll(path, bytes);
  EXPECT_THROW(demo::LoadDemoWithoutTextures(path, false), filestuff::ReadError);
  ExpectNothingLoaded();
}

class DemoLoaderGL : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    dir = testutil::TempDir("loadergl");
    StartModules();
  }
  void TearDown() override {
    demo::LoadDemo((dir / "none").string(), false);
    std::filesystem::remove_all(dir);
    GLTest::TearDown();
  }
  std::filesystem::path dir;
};

TEST_F(DemoLoaderGL, EmptyFileNameMakesABlankTextureAndAFailureClearsIt) {
  const int32_t old = settings::BlankTextureSize;
  settings::BlankTextureSize = 64;
  const std::string path = WriteIn(dir, "b.qvl", [] {
    WriteInt("TexCount", 1);
    WriteString("Tex0Name", "target");
    WriteString("Tex0Data", "");
  });
  ASSERT_TRUE(demo::LoadDemo(path, false));
  ASSERT_EQ(texMan::TexCount(), 1);
  EXPECT_EQ(texMan::TextureTable[0].Width, 64);
  EXPECT_EQ(texMan::TextureTable[0].Height, 64);
  const GLuint name = texMan::TextureTable[0].GLName;
  EXPECT_NE(name, 0u);
  EXPECT_TRUE(glIsTexture(name));

  // A damaged file after the textures were made deletes them again.
  const std::string bad = WriteIn(dir, "bad.qvl", [] {
    WriteInt("TexCount", 1);
    WriteString("Tex0Data", "");
    WriteInt("EventCount", -1);
  });
  EXPECT_THROW(demo::LoadDemo(bad, false), filestuff::ReadError);
  EXPECT_EQ(texMan::TexCount(), 0);
  settings::BlankTextureSize = old;
}

}  // namespace
