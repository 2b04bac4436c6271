// Descriptors and parameter-editing entries of Fader, Show Image, Effect
// Fader, End Demo and the three movement operators.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/registry.h"
#include "operators/opBezier.h"
#include "operators/opEfFade.h"
#include "operators/opImage.h"
#include "operators/opLinear.h"
#include "operators/opSineMove.h"

namespace {

using dllShared::fdPosition;
using dllShared::fdSlider;
using dllShared::fdTexture;
using dllShared::fOperator;

class OpEdit : public ::testing::Test {
 protected:
  void SetUp() override {
    registry::Startup();
    registry::RegisterOperators();
  }
  void TearDown() override {
    registry::Shutdown();
    registry::Startup();
  }
  static fOperator& Op(int32_t type) { return *registry::Operators[type]; }

  // Describes parameter `param` of `set`, expecting a record of `kind`.
  template <class Record>
  static Record Info(int32_t type, int32_t set, int32_t param, uint8_t kind) {
    uint8_t got = 0xEE;
    void* r = Op(type).GetParamInfo(set, param, &got);
    EXPECT_NE(r, nullptr) << "type " << type << " param " << param;
    EXPECT_EQ(got, kind) << "type " << type << " param " << param;
    return r ? *static_cast<Record*>(r) : Record{};
  }
  static void ExpectSlider(const fdSlider& s, const char* label, int32_t min, int32_t max, int32_t value) {
    EXPECT_STREQ(s.Label, label);
    EXPECT_EQ(s.Min, min) << label;
    EXPECT_EQ(s.Max, max) << label;
    EXPECT_EQ(s.Value, value) << label;
    EXPECT_EQ(s.Reserved, 0) << label;
  }
  static void ExpectPosition(const fdPosition& p, const char* label, float x, float y, float z, float step) {
    EXPECT_STREQ(p.Label, label);
    EXPECT_EQ(p.X, x) << label;
    EXPECT_EQ(p.Y, y) << label;
    EXPECT_EQ(p.Z, z) << label;
    EXPECT_EQ(p.Step, step) << label;
  }
  // Beyond the list (and for a set that does not exist): no record, and
  // the kind byte untouched.
  static void ExpectNoInfo(int32_t type, int32_t set, int32_t param) {
    uint8_t kind = 0xEE;
    EXPECT_EQ(Op(type).GetParamInfo(set, param, &kind), nullptr) << "type " << type << " param " << param;
    EXPECT_EQ(kind, 0xEE);
  }
  static void SetInt(int32_t type, int32_t set, int32_t param, int32_t v) { Op(type).SetParamValue(set, param, &v); }
  static void SetXYZ(int32_t type, int32_t set, int32_t param, float x, float y, float z) {
    const float v[3] = {x, y, z};
    Op(type).SetParamValue(set, param, v);
  }
};

TEST_F(OpEdit, DescriptorsNameTheTypesAndFillOnlyTheirEntries) {
  struct Row {
    int32_t type;
    const char* name;
    int32_t params;
    uint8_t kind;
    bool editable;
  };
  const Row rows[] = {{0, "Fader", 4, 0, false},  {1, "Show Image", 6, 0, true}, {4, "Effect Fader", 2, 1, true},
                      {7, "Bezier", 6, 1, true},  {10, "End Demo", 1, 2, false}, {12, "Linear", 5, 1, true},
                      {13, "Sinemove", 5, 1, true}};
  for (const Row& r : rows) {
    const fOperator& op = Op(r.type);
    EXPECT_STREQ(op.Name, r.name);
    EXPECT_EQ(op.ParamCount, r.params) << r.name;
    EXPECT_EQ(op.Kind, r.kind) << r.name;
    EXPECT_EQ(op.GetParamInfo != nullptr, r.editable) << r.name;
    EXPECT_EQ(op.SetParamValue != nullptr, r.editable) << r.name;
    EXPECT_EQ(op.NewParamSet != nullptr, r.editable) << r.name;
    EXPECT_EQ(op.DeleteParamSet != nullptr, r.editable) << r.name;
    EXPECT_TRUE(op.CreateInstance && op.FreeInstance && op.Render && op.Restart && op.InitInstances) << r.name;
  }
}

TEST_F(OpEdit, EffectFaderSlidersAreOpacitiesTimes512) {
  const int32_t type = 4;
  EXPECT_EQ(Op(type).NewParamSet(), 0);
  ExpectSlider(Info<fdSlider>(type, 0, 0, 0), "Start", 0, 512, 0);
  ExpectSlider(Info<fdSlider>(type, 0, 1, 0), "End", 0, 512, 512);
  SetInt(type, 0, 0, 128);
  EXPECT_FLOAT_EQ(opEfFade::Sets()[0].StartAlpha, 0.25f);
  EXPECT_EQ(Info<fdSlider>(type, 0, 0, 0).Value, 128);
  SetInt(type, 0, 2, 512);  // no such parameter: nothing changes
  EXPECT_FLOAT_EQ(opEfFade::Sets()[0].EndAlpha, 1.0f);
  ExpectNoInfo(type, 0, 2);
  ExpectNoInfo(type, 0, -1);
  ExpectNoInfo(type, 1, 0);

  // Deleting the first of three moves the others down.
  EXPECT_EQ(Op(type).NewParamSet(), 1);
  EXPECT_EQ(Op(type).NewParamSet(), 2);
  SetInt(type, 1, 0, 256);
  SetInt(type, 2, 0, 384);
  Op(type).DeleteParamSet(0);
  ASSERT_EQ(opEfFade::Sets().size(), 2u);
  EXPECT_FLOAT_EQ(opEfFade::Sets()[0].StartAlpha, 0.5f);
  EXPECT_FLOAT_EQ(opEfFade::Sets()[1].StartAlpha, 0.75f);
}

TEST_F(OpEdit, ShowImageParametersScaleRoundAndKeepTheirPlaces) {
  const int32_t type = 1;
  EXPECT_EQ(Op(type).NewParamSet(), 0);
  const fdTexture tex = Info<fdTexture>(type, 0, 0, 2);
  EXPECT_STREQ(tex.Label, "Select Texture");
  EXPECT_EQ(tex.Value, 0);
  ExpectSlider(Info<fdSlider>(type, 0, 1, 0), "Size/Zoom", 0, 512, 512);
  ExpectSlider(Info<fdSlider>(type, 0, 2, 0), "Draw Mode", 0, 2, 0);
  ExpectSlider(Info<fdSlider>(type, 0, 3, 0), "Blend Mode", 0, 4, 0);
  ExpectSlider(Info<fdSlider>(type, 0, 4, 0), "Alpha", 0, 512, 512);
  ExpectPosition(Info<fdPosition>(type, 0, 5, 6), "Position", 0, 0, 0, 0.01f);
  ExpectNoInfo(type, 0, 6);

  SetInt(type, 0, 1, 256);
  EXPECT_FLOAT_EQ(opImage::Sets()[0].Zoom, 0.5f);
  EXPECT_EQ(Info<fdSlider>(type, 0, 1, 0).Value, 256);
  SetInt(type, 0, 0, 3);
  SetInt(type, 0, 2, 0x102);  // the low byte only
  SetInt(type, 0, 3, 4);
  SetInt(type, 0, 4, 64);
  SetXYZ(type, 0, 5, 0.25f, 9.0f, -0.5f);  // the editor's z is the picture's y
  const opImage::TShowImageParams& p = opImage::Sets()[0];
  EXPECT_EQ(p.Texture, 3);
  EXPECT_EQ(p.DrawMode, 2);
  EXPECT_EQ(p.BlendMode, 4);
  EXPECT_FLOAT_EQ(p.Alpha, 0.125f);
  EXPECT_EQ(p.X, 0.25f);
  EXPECT_EQ(p.Y, -0.5f);
  ExpectPosition(Info<fdPosition>(type, 0, 5, 6), "Position", 0.25f, 0, -0.5f, 0.01f);

  // Reported values are rounded to nearest, halves to even.
  opImage::Sets()[0].Zoom = 1.0f / 1024;  // 0.5
  EXPECT_EQ(Info<fdSlider>(type, 0, 1, 0).Value, 0);
  opImage::Sets()[0].Zoom = 3.0f / 1024;  // 1.5
  EXPECT_EQ(Info<fdSlider>(type, 0, 1, 0).Value, 2);
  opImage::Sets()[0].Alpha = 0.7f / 512;  // 0.7
  EXPECT_EQ(Info<fdSlider>(type, 0, 4, 0).Value, 1);
}

TEST_F(OpEdit, LinearAndSinemoveListStartPoseThenEndPose) {
  for (int32_t type : {12, 13}) {
    SCOPED_TRACE(type);
    EXPECT_EQ(Op(type).NewParamSet(), 0);
    ExpectPosition(Info<fdPosition>(type, 0, 0, 6), "Start Pos", 0, 0, 0, 0.01f);
    ExpectPosition(Info<fdPosition>(type, 0, 1, 6), "Start Rot", 0, 0, 0, 1.0f);
    ExpectPosition(Info<fdPosition>(type, 0, 2, 6), "End Pos", 0, 0, 0, 0.01f);
    ExpectPosition(Info<fdPosition>(type, 0, 3, 6), "End Rot", 0, 0, 0, 1.0f);
    ExpectNoInfo(type, 0, 5);
    SetXYZ(type, 0, 0, 1, 2, 3);
    SetXYZ(type, 0, 1, 4, 5, 6);
    SetXYZ(type, 0, 2, 7, 8, 9);
    SetXYZ(type, 0, 3, 10, 11, 12);
    ExpectPosition(Info<fdPosition>(type, 0, 2, 6), "End Pos", 7, 8, 9, 0.01f);
  }
  // The record keeps both positions first, then both rotations.
  const float want[12] = {1, 2, 3, 7, 8, 9, 4, 5, 6, 10, 11, 12};
  EXPECT_EQ(std::memcmp(&opLinear::Sets()[0], want, sizeof want), 0);
  EXPECT_EQ(std::memcmp(&opSineMove::Sets()[0], want, sizeof want), 0);

  ExpectSlider(Info<fdSlider>(12, 0, 4, 0), "Hold position", 0, 1, 0);
  SetInt(12, 0, 4, 0x201);
  EXPECT_EQ(opLinear::Sets()[0].HoldPosition, 1);
  ExpectSlider(Info<fdSlider>(13, 0, 4, 0), "Speed", 1, 10000, 1000);
  SetInt(13, 0, 4, 250);
  EXPECT_EQ(opSineMove::Sets()[0].Speed, 250);
}

TEST_F(OpEdit, BezierMiddleRotationIsStoredXZY) {
  const int32_t type = 7;
  EXPECT_EQ(Op(type).NewParamSet(), 0);
  const char* labels[6] = {"Start Pos", "Start Rot", "Middle Pos", "Middle Rot", "End Pos", "End Rot"};
  for (int32_t n = 0; n < 6; ++n)
    ExpectPosition(Info<fdPosition>(type, 0, n, 6), labels[n], 0, 0, 0, n % 2 == 0 ? 0.01f : 1.0f);
  ExpectNoInfo(type, 0, 6);

  SetXYZ(type, 0, 3, 1, 2, 3);
  float stored[3];
  std::memcpy(stored, reinterpret_cast<const char*>(&opBezier::Sets()[0]) + 60, sizeof stored);
  EXPECT_EQ(stored[0], 1.0f);
  EXPECT_EQ(stored[1], 3.0f);
  EXPECT_EQ(stored[2], 2.0f);

  const float file[3] = {10, 20, 30};
  std::memcpy(reinterpret_cast<char*>(&opBezier::Sets()[0]) + 60, file, sizeof file);
  ExpectPosition(Info<fdPosition>(type, 0, 3, 6), "Middle Rot", 10, 30, 20, 1.0f);

  // Every other triple in record order: Start, End, Middle positions, then
  // Start and End rotations.
  SetXYZ(type, 0, 0, 1, 1, 1);
  SetXYZ(type, 0, 4, 2, 2, 2);
  SetXYZ(type, 0, 2, 3, 3, 3);
  SetXYZ(type, 0, 1, 4, 4, 4);
  SetXYZ(type, 0, 5, 5, 5, 5);
  const float want[15] = {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5, 5, 5};
  EXPECT_EQ(std::memcmp(&opBezier::Sets()[0], want, sizeof want), 0);
}

}  // namespace
