// Parameter-editing entries: one operator for each shape of entry, and the movers' record orders.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <sstream>

#include "engine/registry.h"
#include "operators/roster.h"
#include "operators/opBezier.h"
#include "operators/opEfFade.h"
#include "operators/opImage.h"
#include "operators/opLinear.h"

namespace {

using dllShared::fOperator;

class OpEdit : public ::testing::Test {
 protected:
  void SetUp() override { roster::Startup(), roster::RegisterOperators(); }
  void TearDown() override { roster::Shutdown(), roster::Startup(); }
  static fOperator& Op(int32_t type) { return *registry::Operators[type]; }

  // Parameter `param` of `set` as "kind label values", or "none" when there is no record (the kind
  // byte must then stay untouched).
  static std::string Info(int32_t type, int32_t set, int32_t param) {
    uint8_t kind = 0xEE;
    const void* r = Op(type).GetParamInfo(set, param, &kind);
    if (!r) return kind == 0xEE ? "none" : "none, but kind set";
    std::ostringstream s;
    s << int(kind) << " ";
    if (const auto* v = static_cast<const dllShared::fdSlider*>(r); kind == 0)
      s << v->Label << " " << v->Min << ".." << v->Max << " = " << v->Value << (v->Reserved ? " reserved!" : "");
    if (const auto* v = static_cast<const dllShared::fdTexture*>(r); kind == 2) s << v->Label << " = " << v->Value;
    if (const auto* v = static_cast<const dllShared::fdPosition*>(r); kind == 6)
      s << v->Label << " (" << v->X << ", " << v->Y << ", " << v->Z << ") step " << v->Step;
    return s.str();
  }
  static void SetInt(int32_t type, int32_t set, int32_t param, int32_t v) { Op(type).SetParamValue(set, param, &v); }
  static void SetXYZ(int32_t type, int32_t set, int32_t param, float x, float y, float z) {
    const float v[3] = {x, y, z};
    Op(type).SetParamValue(set, param, v);
  }
};

TEST_F(OpEdit, SetsAreNumberedInOrderAndDeletingMovesTheOthersDown) {
  EXPECT_EQ((std::array{Op(4).NewParamSet(), Op(4).NewParamSet(), Op(4).NewParamSet()}), (std::array{0, 1, 2}));
  for (int32_t n : {0, 1, 2}) SetInt(4, n, 0, 128 * (n + 1));
  SetInt(4, 0, 2, 0);  // no such parameter: nothing changes
  EXPECT_FLOAT_EQ(opEfFade::Sets()[0].EndAlpha, 1.0f);
  for (auto [set, param] : {std::pair{0, 2}, {0, -1}, {3, 0}}) EXPECT_EQ(Info(4, set, param), "none");
  Op(4).DeleteParamSet(0);
  ASSERT_EQ(opEfFade::Sets().size(), 2u);
  EXPECT_EQ((std::array{opEfFade::Sets()[0].StartAlpha, opEfFade::Sets()[1].StartAlpha}), (std::array{0.5f, 0.75f}));
}

TEST_F(OpEdit, ShowImageParametersScaleRoundAndKeepTheirPlaces) {
  EXPECT_EQ(Op(1).NewParamSet(), 0);
  const char* defaults[] = {"2 Select Texture = 0", "0 Size/Zoom 0..512 = 512", "0 Draw Mode 0..2 = 0", "0 Blend Mode 0..4 = 0",
                            "0 Alpha 0..512 = 512", "6 Position (0, 0, 0) step 0.01", "none"};
  for (int32_t n = 0; n < 7; ++n) EXPECT_EQ(Info(1, 0, n), defaults[n]);
  SetInt(1, 0, 1, 256), SetInt(1, 0, 0, 3), SetInt(1, 0, 2, 0x102) /* the low byte only */, SetInt(1, 0, 4, 64);
  SetXYZ(1, 0, 5, 0.25f, 9.0f, -0.5f);  // the editor's z is the picture's y
  EXPECT_EQ(Info(1, 0, 1), "0 Size/Zoom 0..512 = 256");
  const opImage::TShowImageParams& p = opImage::Sets()[0];
  EXPECT_TRUE(p.Zoom == 0.5f && p.Texture == 3 && p.DrawMode == 2 && p.Alpha == 0.125f && p.X == 0.25f && p.Y == -0.5f);
  EXPECT_EQ(Info(1, 0, 5), "6 Position (0.25, 0, -0.5) step 0.01");
  // Reported values round to nearest, halves to even.
  for (auto [zoom, want] : {std::pair{1.0f / 1024, "= 0"}, {3.0f / 1024, "= 2"}, {0.7f / 512, "= 1"}}) {
    opImage::Sets()[0].Zoom = zoom;
    EXPECT_TRUE(Info(1, 0, 1).ends_with(want)) << zoom << ": " << Info(1, 0, 1);
  }
}

TEST_F(OpEdit, LinearKeepsBothPositionsThenBothRotationsBezierItsMiddleRotationXZY) {
  EXPECT_EQ(Op(12).NewParamSet(), 0);
  EXPECT_EQ(Info(12, 0, 2), "6 End Pos (0, 0, 0) step 0.01");
  for (int32_t n = 0; n < 4; ++n) SetXYZ(12, 0, n, 3 * n + 1, 3 * n + 2, 3 * n + 3);
  const float want[12] = {1, 2, 3, 7, 8, 9, 4, 5, 6, 10, 11, 12};
  EXPECT_EQ(std::memcmp(&opLinear::Sets()[0], want, sizeof want), 0);
  SetInt(12, 0, 4, 0x201);
  EXPECT_TRUE(opLinear::Sets()[0].HoldPosition == 1 && Info(12, 0, 5) == "none");

  EXPECT_EQ(Op(7).NewParamSet(), 0);
  // Record order: Start, End, Middle positions, Start, End, Middle rotations.
  const int32_t param[] = {0, 4, 2, 1, 5, 3};
  for (int32_t i = 0; i < 6; ++i) SetXYZ(7, 0, param[i], 3 * i + 1, 3 * i + 2, 3 * i + 3);
  const float bezier[18] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 18, 17};
  EXPECT_EQ(std::memcmp(&opBezier::Sets()[0], bezier, sizeof bezier), 0);
  EXPECT_EQ(Info(7, 0, 3), "6 Middle Rot (16, 17, 18) step 1");
}

}  // namespace
