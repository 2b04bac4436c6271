// qvl dump, build and check, run as the built tool.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>

#include <nlohmann/json.hpp>

#include "data/filestuff.h"
#include "demoWriter.h"
#include "toolRun.h"

namespace {

using nlohmann::json;
using testutil::Qvl;
using testutil::Quote;

// tests/data/every-key.json has every operator type, every key family, and the values that are easy to
// lose on the way through JSON: Latin-1 names, -0, a denormal, the largest float, infinities, a NaN with
// a payload, non-zero padding bytes.
const std::string kFullDescription = testutil::Slurp(QVL_SOURCE_DIR "/tests/data/every-key.json");

class QvlTools : public testutil::DirTest {
 protected:
  void SetUp() override { filestuff::Startup(); }
  testutil::RunResult BuildRun(const std::string& desc, const std::string& out) {
    const auto json = dir / "desc.json";
    std::ofstream(json, std::ios::binary) << desc;
    return Qvl("build " + Quote(json.string()) + " -o " + Quote(out));
  }
  std::string Build(const std::string& desc, const std::string& name = "demo.qvl") {
    const std::string out = (dir / name).string();
    const auto r = BuildRun(desc, out);
    EXPECT_EQ(r.status, 0) << r.err;
    return out;
  }
  json Dump(const std::string& path) {
    const auto r = Qvl("dump " + Quote(path));
    EXPECT_EQ(r.status, 0) << r.err;
    return json::parse(r.out);
  }
};

TEST_F(QvlTools, DumpAfterBuildReproducesTheDescription) {
  const std::string path = Build(kFullDescription);
  EXPECT_EQ(Dump(path), json::parse(kFullDescription));

  // MiddleRot is shown X, Y, Z but stored X, Z, Y; strings are stored 8-bit.
  ASSERT_EQ(filestuff::OpenDemoFile(path), filestuff::OpenResult::Opened);
  float raw[18];
  filestuff::ReadBlock("Bezier0", raw, sizeof raw);
  std::string title;
  filestuff::ReadString("DemoTitle", "", title);
  EXPECT_EQ(std::make_tuple(raw[15], raw[16], raw[17], title), std::make_tuple(1.0f, 3.0f, 2.0f, "D\xE9mo"));
  filestuff::CloseDemoFile();
}

TEST_F(QvlTools, BuildAfterDumpGivesAFileThatDumpsTheSame) {
  // Missing keys, an odd "Advanced", shadowed and unknown entries, non-ASCII names.
  const std::string path = (dir / "odd.qvl").string();
  filestuff::WriteDemoFile(path, [] {
    filestuff::WriteString("demotitle", "not the title");
    filestuff::WriteInt("TexCount", 2);
    filestuff::WriteString("Tex1Name", "caf\xE9");
    filestuff::WriteInt("MshCount", 1);
    filestuff::WriteInt("msh0Advanced", 2);
    filestuff::WriteInt("msh0VertCount", 1);
    const float v[3] = {1.5f, -2.0f, 0.1f};
    filestuff::WriteBlock("msh0Vert", v, sizeof v);
    filestuff::WriteInt("EventCount", 1);
    filestuff::WriteInt("TEXCOUNT", 9);  // shadowed by the first entry
    filestuff::WriteString("Extra", "for an editor");
    filestuff::WriteInt("ShwImgCount", 1);
    const unsigned char set[24] = {1, 0, 0, 0, 0, 0, 0x80, 0x3f, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 0xAA, 0xBB};
    filestuff::WriteBlock("ShwImg0", set, sizeof set);
  });
  json first = Dump(path);
  EXPECT_EQ(json::array({first["title"], first["textures"][1]["Name"], first["meshes"][0]["Advanced"],
                         first["operators"]["Show Image"][0]["Reserved"], first["unread"][0]["Name"],
                         first["unread"][1]["Name"], first["unread"][2]["Name"], first["unread"].size()}),
            json::parse(R"(["Unknown", "caf\u00e9", false, "aabb", "demotitle", "TEXCOUNT", "Extra", 3])"));

  json second = Dump(Build(first.dump(), "again.qvl"));
  EXPECT_TRUE(second["unread"].empty());
  first.erase("unread");
  second.erase("unread");
  EXPECT_EQ(second, first);
}

TEST_F(QvlTools, BadDescriptionNamesItsPathAndWritesNothing) {
  const std::pair<const char*, const char*> cases[] = {
      {R"({"events": [{"Start": 0, "Length": 1, "Track": "x", "OpType": 0, "ParamSet": 0}]})", "/events/0/Track"},
      {R"({"operators": {"Fader": [{"StartRed": 1e39}]}})", "/operators/Fader/0/StartRed"},
      {R"({"textures": [{"Name": "a", "FileName": "\u0100.bmp", "Typ": 0}]})", "/textures/0/FileName"},
  };
  const std::string out = (dir / "out.qvl").string();
  for (const auto& [desc, path] : cases) {
    SCOPED_TRACE(desc);
    const auto r = BuildRun(desc, out);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(path), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(out) || std::filesystem::exists(out + ".tmp"));
  }
  // A failed build leaves an existing demo as it was.
  Build(R"({"music": "old"})", "out.qvl");
  const auto before = testutil::ReadAll(out);
  for (const char* bad : {R"({"music": 1})", "{\"music\": "}) {
    EXPECT_EQ(BuildRun(bad, out).status, 2);
    EXPECT_EQ(testutil::ReadAll(out), before);
  }
}

TEST_F(QvlTools, DumpAndCheckRefuseDamagedFilesWithTheFileName) {
  const std::string path = (dir / "cut.qvl").string();
  filestuff::WriteDemoFile(path, [] { filestuff::WriteInt("EventCount", 50000000); });
  for (const char* cmd : {"dump", "check"}) {
    const auto r = Qvl(std::string(cmd) + " " + Quote(path));
    EXPECT_EQ(std::make_pair(r.status, r.out), std::make_pair(2, std::string())) << cmd;
    EXPECT_NE(r.err.find(path), std::string::npos) << r.err;
  }
}

TEST_F(QvlTools, CheckFindsEachProblemAndNothingInACleanDemo) {
  const json clean = json::parse(testutil::Slurp(QVL_SOURCE_DIR "/tests/data/check-clean.json"));
  for (const char* file : {"a.bmp", "b.TGA", "b.jpeg", "music.mp3"}) testutil::WriteAll(dir / file, {0});
  const auto r = Qvl("check " + Quote(Build(clean.dump())));
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "");

  const std::pair<std::function<void(json&)>, const char*> cases[] = {
      {[](json& d) { d["events"][0]["Track"] = 32; }, "error: event 0 lies on track 32"},
      {[](json& d) { d["events"][1].erase("Op"), d["events"][1]["OpType"] = 15; },
       "error: event 1 names operator type 15"},
      {[](json& d) { d["events"][2]["ParamSet"] = 1; }, "error: event 2 (End Demo) names parameter set 1 of 1"},
      {[](json& d) { d["operators"]["Show Image"][0]["Texture"] = 4; },
       "error: Show Image set 0: Texture 4 is beyond the 3 textures"},
      {[](json& d) { d["operators"]["Simple DrawMesh"][0]["Mesh"] = 2; },
       "error: Simple DrawMesh set 0: Mesh 2 is beyond the 1 meshes"},
      {[](json& d) { d["meshes"][0]["Groups"][0]["Tex1"] = 9; }, "error: mesh 0 group 0: Tex1 9"},
      {[](json& d) { d["textures"][0]["FileName"] = "gone.bmp"; },
       "error: texture 0 (\"gone.bmp\"): the image file is missing"},
      {[](json& d) { d["textures"][1]["FileName"] = "b.jpeg"; },
       "error: texture 1 (\"b.jpeg\"): no image reader takes this extension"},
      {[](json& d) { d["meshes"][0]["Groups"][0]["Faces"][1][1] = -1; },
       "error: mesh 0 group 0: 1 face(s) index outside"},
      {[](json& d) { d["events"][2]["Length"] = 0; }, "error: event 2 (End Demo) has length 0"},
      {[](json& d) { d["events"][1]["Start"] = 1000; }, "warning: event 0 and event 1 overlap on track 0"},
  };
  for (const auto& [spoil, line] : cases) {
    SCOPED_TRACE(line);
    json d = clean;
    spoil(d);
    const auto r = Qvl("check " + Quote(Build(d.dump())));
    EXPECT_EQ(r.status, std::string(line).starts_with("error") ? 1 : 0);
    EXPECT_NE(("\n" + r.out).find(std::string("\n") + line), std::string::npos) << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
  }
  std::filesystem::remove(dir / "music.mp3");
  const auto nomusic = Qvl("check " + Quote(Build(clean.dump())));
  EXPECT_EQ(nomusic.status, 0);
  EXPECT_TRUE(nomusic.out.starts_with("warning: no music.mp3 beside the demo file")) << nomusic.out;
}

}  // namespace
