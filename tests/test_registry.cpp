// The registry and the operators' shared shape.
#include <gtest/gtest.h>

#include <array>

#include "data/filestuff.h"
#include "demoWriter.h"
#include "engine/registry.h"
#include "operators/roster.h"
#include "operators/opFader.h"
#include "operators/opTunnel.h"
#include "operators/opScripter.h"
#include "script/scripter.h"

namespace {

class Registry : public ::testing::Test {
 protected:
  void SetUp() override { filestuff::Startup(), roster::Startup(), roster::RegisterOperators(); }
  void TearDown() override { filestuff::CloseDemoFile(), roster::Shutdown(), roster::Startup(), std::filesystem::remove_all(dir); }
  void Load(const std::function<void()>& values) {
    const std::string path = (dir / "r.qvl").string();
    filestuff::WriteDemoFile(path, values);
    ASSERT_EQ(filestuff::OpenDemoFile(path), filestuff::OpenResult::Opened);
    roster::LoadAllParamSets(false);
  }
  std::filesystem::path dir = testutil::TempDir("registry");
};

TEST_F(Registry, SlotsAreLowestFreeFirstAndBoundedByTheSetArray) {
  const float set[8] = {1, 0, 0, 0, 1, 0, 1, 0};
  Load([&] { filestuff::WriteInt("FaderCount", 2), filestuff::WriteBlock("Fader1", set, sizeof set); });
  const dllShared::fOperator* fader = registry::Operators[0];
  EXPECT_TRUE(fader->CreateInstance(2) == -1 && fader->CreateInstance(-1) == -1);  // only sets 0 and 1 exist
  for (int i = 0; i < 8; ++i) EXPECT_EQ(fader->CreateInstance(i % 2), i);
  EXPECT_EQ(fader->CreateInstance(0), -1);  // a ninth is refused
  fader->FreeInstance(200);                 // ignored
  EXPECT_EQ(fader->CreateInstance(0), -1);
  fader->FreeInstance(5), fader->FreeInstance(3);
  EXPECT_EQ((std::array{fader->CreateInstance(1), fader->CreateInstance(1)}), (std::array{3, 5}));

  // Set 0 had no key: zero-filled; set 1 as written.
  ASSERT_EQ(opFader::Sets().size(), 2u);
  EXPECT_TRUE(opFader::Sets()[0].StartRed == 0 && opFader::Sets()[1].StartRed == 1 && opFader::Sets()[1].StartAlpha == 1);
}

TEST_F(Registry, TunnelSetsUseTheirNonAsciiPrefix) {
  opTunnel::TTunnelParams p{};
  p.Texture = 3, p.Radius = 0.7f;
  Load([&] { filestuff::WriteInt("TunnelCount", 1), filestuff::WriteBlock("TUNNE\xF6" "0", &p, sizeof p); });
  ASSERT_EQ(opTunnel::Sets().size(), 1u);
  EXPECT_TRUE(opTunnel::Sets()[0].Texture == 3 && opTunnel::Sets()[0].Radius == 0.7f);
}

TEST_F(Registry, DamagedCountsAreErrorsNotAllocations) {
  EXPECT_THROW(Load([] { filestuff::WriteInt("PSys1Count", -3); }), dllShared::DataError);
  EXPECT_THROW(Load([] { filestuff::WriteInt("BezierCount", 0x7FFFFFFF); }), dllShared::DataError);
  EXPECT_THROW(Load([] { filestuff::WriteInt("ScrCount", 1); filestuff::WriteInt("ScrCLen0", 1 << 30); }),
               dllShared::DataError);
  // A set whose block runs past the end of the file.
  EXPECT_THROW(Load([] { filestuff::WriteInt("BezierCount", 1), filestuff::WriteInt("Bezier0", 0); }),
               filestuff::ReadError);
}

TEST_F(Registry, ScriptsAndVariableBanks) {
  Load([] {
    filestuff::WriteInt("ScrCount", 2), filestuff::WriteInt("ScrICount", 3), filestuff::WriteInt("ScrFCount", 4);
    const uint8_t code[3] = {7, 8, 9};
    filestuff::WriteInt("ScrCLen1", 3), filestuff::WriteBlock("ScrC1", code, 3);
    filestuff::WriteInt("Scr1SourceLen", 1), filestuff::WriteString("Scr1Source0", "line");
  });
  ASSERT_EQ(opScripter::Scripts().size(), 2u);
  EXPECT_EQ(opScripter::Scripts()[1].Code, (std::vector<uint8_t>{7, 8, 9}));
  EXPECT_TRUE(opScripter::Scripts()[0].CodeLen == 0 && opScripter::Scripts()[1].SourceLineCount == 0);  // sources only on request
  EXPECT_EQ(std::pair(scripter::IntVars.size(), scripter::FloatVars.size()), std::pair(size_t{3}, size_t{4}));
}

TEST(ColourPacking, RoundsHalfToEven) {
  EXPECT_EQ(dllShared::PackColor(1.0f, 0.0f, 0.5f), 255 + 0 * 256 + 128 * 65536);  // 127.5 -> 128
  EXPECT_EQ(dllShared::ToSlider(2.5f / 512, 512), 2);  // 2.5 -> 2
}

}  // namespace
