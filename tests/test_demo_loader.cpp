// The demo loader: the title scan, defaults, array reads, damaged or lying files.
#include <gtest/gtest.h>

#include <tuple>

#include "app/modules.h"
#include "data/demo.h"
#include "demoWriter.h"
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
using Values = std::function<void()>;

void ExpectNothingLoaded() {
  EXPECT_EQ(std::make_tuple(texMan::TexCount(), mshman::MeshCount(), demo::DemoData.EventCount,
                            demo::DemoData.Events.size(), opFader::Sets().size(), demo::MusicName),
            std::make_tuple(0, 0, 0, size_t(0), size_t(0), std::string()));
}

class DemoLoader : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    modules::StartModules();
  }
  void TearDown() override {
    demo::LoadDemo((dir / "none").string(), false);  // clears what a test loaded
    std::filesystem::remove_all(dir);
    GLTest::TearDown();
  }
  std::string Write(const std::string& name, const Values& values) {
    const std::string path = (dir / name).string();
    filestuff::WriteDemoFile(path, values);
    return path;
  }
  bool Load(const std::string& name, const Values& values) {
    return demo::LoadDemoWithoutTextures(Write(name, values), false);
  }
  // A little of everything, to show a later failure clears it.
  void LoadGood() {
    ASSERT_TRUE(Load("good.qvl", [] {
      const scheduler::TDemoEvent ev{100, 200, 3, {}, 0, 0};
      const opFader::TFaderParams f{1, 0, 0, 0, 1, 0, 1, 0};
      WriteString("Music", "tune");
      for (const char* count : {"TexCount", "MshCount", "EventCount", "FaderCount"}) WriteInt(count, 1);
      WriteBlock("Ev0", &ev, sizeof ev);
      WriteBlock("Fader0", &f, sizeof f);
    }));
  }
  std::filesystem::path dir = testutil::TempDir("loader");
};

TEST_F(DemoLoader, TitleScanComparesExactlyAndTakesTheFirst) {
  auto title = [&](const Values& values) {
    demo::Startup();
    demo::ReadDemoTitle(Write("t.qvl", values));
    return demo::DemoTitle;
  };
  EXPECT_EQ(title([] {}), "Unknown");
  EXPECT_EQ(title([] {
              WriteString("DEMOTITLE", "upper");  // the scan compares exactly
              WriteString("DemoTitle", "first");
              WriteString("DemoTitle", "second");
            }),
            "first");

  // Missing file and foreign signature leave the title as it was; the loader never reads it.
  demo::DemoTitle = "kept";
  demo::ReadDemoTitle((dir / "absent.qvl").string());
  testutil::WriteAll(dir / "foreign.qvl", {'Q', 'u', 'o', 'r', 'v', 'a', 'l', 'i', 'n', '1', 0x1A, 0, 0, 0, 0});
  demo::ReadDemoTitle((dir / "foreign.qvl").string());
  ASSERT_TRUE(Load("t2.qvl", [] { WriteString("DemoTitle", "from file"); }));
  EXPECT_EQ(demo::DemoTitle, "kept");
}

TEST_F(DemoLoader, MissingKeysTakeTheirDefaults) {
  // Without TexCount every Tex key is ignored.
  ASSERT_TRUE(Load("n.qvl", [] { WriteString("Tex0Data", "a.bmp"); }));
  EXPECT_EQ(texMan::TexCount(), 0);
  ASSERT_TRUE(Load("d.qvl", [] {
    WriteInt("TexCount", 2);
    WriteBlock("tex1typ", "\x03", 1);  // lookups ignore letter case
    WriteInt("MshCount", 1), WriteInt("msh0GroupCount", 1);
    WriteInt("msh0Advanced", 2);  // only exactly 1 is advanced
    WriteInt("msh0VertCount", 2);
    const float junk[6] = {1, 2, 3, 4, 5, 6};
    WriteBlock("msh0Norm", junk, sizeof junk);  // not the vertices: they stay zero
    WriteInt("EventCount", 2);
    const scheduler::TDemoEvent ev{5, 6, 7, {}, 8, 9};
    WriteBlock("Ev1", &ev, sizeof ev);  // a missing event stays all zero
  }));
  ASSERT_TRUE(texMan::TexCount() == 2 && mshman::MeshCount() == 1 && demo::DemoData.EventCount == 2);
  const auto& t = texMan::TextureTable;
  const mshman::TMesh& m = mshman::MeshStore[0];
  ASSERT_EQ(std::make_pair(m.Vertices.size(), m.Groups.size()), std::make_pair(size_t(2), size_t(1)));
  EXPECT_EQ(std::make_tuple(t[0].Name, t[0].Typ, t[1].Typ, m.Advanced, m.Vertices[0].X, m.Vertices[1].X,
                            m.Groups[0].Mode, demo::DemoData.Events[0].Start, demo::DemoData.Events[1].ParamSet),
            std::make_tuple("Unknown?", 0, 3, false, 0.0f, 0.0f, 0, 0, 9));
}

TEST_F(DemoLoader, FillsEveryTableReadingArraysNamedThenUnnamed) {
  const mshman::TMeshVector verts[3] = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}};
  const mshman::TMeshFace faces[2] = {{0, 1, 2}, {2, 0, -1}};
  ASSERT_TRUE(Load("f.qvl", [&] {
    WriteString("Music", "song.mp3");
    WriteInt("TexCount", 1);
    WriteString("Tex0Data", "C:\\art\\logo.bmp");
    WriteInt("EventCount", 3);
    for (int i = 0; i < 3; ++i) {  // start times out of order: the file's order stays
      const scheduler::TDemoEvent ev{3000 - i * 1000, 500, static_cast<uint8_t>(i), {}, 0, 0};
      WriteBlock(dllShared::IndexedKey("Ev", i), &ev, sizeof ev);
    }
    WriteInt("TunnelCount", 1);
    const opTunnel::TTunnelParams t{2, 1, 2, 3, 4, 5, 6};
    WriteBlock("Tunne\xF6" "0", &t, sizeof t);
    WriteInt("MshCount", 2);
    WriteInt("msh0VertCount", 3);
    for (const char* key : {"msh0Advanced", "msh0NormCount", "msh0GroupCount"}) WriteInt(key, 1);
    WriteBlock("msh0Vert", verts, sizeof verts);
    WriteBlock("msh0Norm", &verts[2], 12);
    WriteInt("msh0Group0FaceCount", 2);
    WriteBlock("msh0Group0Faces", faces, sizeof faces);
    WriteInt("msh0Group0Tex2", 2);
    WriteBlock("msh0Group0States", "\x09\x08\x07\x06\x05", 5);
    // The vertex is the file's last bytes: an unnamed read after the named one would run past the end.
    WriteInt("msh1VertCount", 1);
    WriteBlock("msh1Vert", &verts[1], 12);
  }));
  const mshman::TMesh& m = mshman::MeshStore[0];
  ASSERT_TRUE(texMan::TexCount() == 1 && demo::DemoData.EventCount == 3 && opTunnel::Sets().size() == 1 &&
              mshman::MeshCount() == 2 && m.Vertices.size() == 3 && m.Normals.size() == 1 && m.Groups.size() == 1 &&
              m.Groups[0].Faces.size() == 2 && mshman::MeshStore[1].Vertices.size() == 1);
  const mshman::TMeshGroup& g = m.Groups[0];
  EXPECT_EQ(std::make_tuple(demo::MusicName, texMan::TextureTable[0].FileName, opTunnel::Sets()[0].Blending,
                            demo::DemoData.Events[0].Start, demo::DemoData.Events[2].Start),
            std::make_tuple("song.mp3", "C:\\art\\logo.bmp", 6, 3000, 1000));
  EXPECT_EQ(std::make_tuple(m.Advanced, m.Vertices[2].Z, m.Normals[0].Y, g.Faces[1].Aux, g.Tex2, g.States[4],
                            mshman::MeshStore[1].Vertices[0].Y),
            std::make_tuple(true, 9.0f, 8.0f, -1, 2, uint8_t{5}, 5.0f));
}

// A missing or foreign file loads nothing and says false; a damaged one ends
// with an error naming the file and the key, leaving nothing loaded.
TEST_F(DemoLoader, DamagedAndLyingFilesEndWithAClearErrorAndNothingLoaded) {
  testutil::WriteAll(dir / "foreign.qvl", {'n', 'o', 't', ' ', 'a', ' ', 'd', 'e', 'm', 'o', '!', 0, 0, 0, 0});
  for (const char* name : {"absent.qvl", "foreign.qvl"}) {
    LoadGood();
    EXPECT_FALSE(demo::LoadDemoWithoutTextures((dir / name).string(), false));
    ExpectNothingLoaded();
  }
  struct Case {
    const char* name;
    Values values;
    const char* mentions;
  };
  static const float v[5] = {1, 2, 3, 4, 5};
  const Case cases[] = {
      {"count beyond the directory", [] { WriteInt("TexCount", 2000000000); }, "TexCount"},
      {"event count beyond the file", [] { WriteInt("EventCount", 100000000); WriteBlock("Ev0", v, 20); },
       "EventCount"},
      {"group count beyond the directory", [] { WriteInt("MshCount", 1); WriteInt("msh0GroupCount", 1 << 30); },
       "msh0GroupCount"},
      {"vertex array running past the end",
       [] { WriteInt("MshCount", 1); WriteInt("msh0VertCount", 3); WriteBlock("msh0Vert", v, 12); }, "msh0Vert"},
      {"short operator set", [] { WriteInt("BezierCount", 1); WriteBlock("Bezier0", "short", 5); }, "Bezier0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoadGood();
    const std::string path = Write("bad.qvl", c.values);
    try {
      demo::LoadDemoWithoutTextures(path, false);
      ADD_FAILURE() << "no error";
    } catch (const dllShared::DataError& e) {
      EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(c.mentions), std::string::npos) << e.what();
    }
    ExpectNothingLoaded();
    EXPECT_FALSE(filestuff::IsOpen());
  }
}

TEST_F(DemoLoader, EmptyFileNameMakesABlankTextureAndAFailureClearsIt) {
  const int32_t old = settings::BlankTextureSize;
  settings::BlankTextureSize = 64;
  const auto blank = [](int32_t events) {
    return [events] { WriteInt("TexCount", 1), WriteString("Tex0Data", ""), WriteInt("EventCount", events); };
  };
  ASSERT_TRUE(demo::LoadDemo(Write("b.qvl", blank(0)), false));
  ASSERT_EQ(texMan::TexCount(), 1);
  EXPECT_EQ(std::make_pair(texMan::TextureTable[0].Width, texMan::TextureTable[0].Height), std::make_pair(64, 64));
  EXPECT_TRUE(glIsTexture(texMan::TextureTable[0].GLName));
  // A damaged file after the textures were made deletes them again.
  EXPECT_THROW(demo::LoadDemo(Write("bad.qvl", blank(-1)), false), filestuff::ReadError);
  EXPECT_EQ(texMan::TexCount(), 0);
  settings::BlankTextureSize = old;
}

}  // namespace
