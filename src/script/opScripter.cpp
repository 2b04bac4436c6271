#include "script/opScripter.h"

#include "operators/opShape.h"
#include "script/scripter.h"

namespace opScripter {

namespace {

// Scripts are not fixed-size records: they have their own load step, but
// the slots are the shared ones.
opShape::Shape<TScript> shape;

QVL_OPERATOR_SHAPE_ENTRIES(shape)

void Render(uint8_t, int32_t, int32_t, int32_t, int32_t, float, float) {
  // The interpreter arrives with the script engine.
}

int32_t CheckedCount(std::string_view key, int32_t value, int32_t max) {
  if (value < 0 || value > max)
    throw dllShared::DataError("count " + std::to_string(value) + " under key \"" + std::string(key) +
                               "\" is damaged");
  return value;
}

}  // namespace

void Startup() { shape.InitInstances(8); }

void Shutdown() {
  shape.Sets.clear();
  shape.Slots.clear();
}

void Describe(dllShared::fOperator& op) {
  op.Name = "Scripter";
  op.ParamCount = 1;
  op.Kind = 2;
  DescribeInstances(op);
  op.Render = Render;
}

void LoadParamSets(bool loadScriptSources) {
  const dllShared::fHost& host = dllShared::Host;
  const int32_t count = CheckedCount("ScrCount", host.ReadInt("ScrCount", 0), opShape::MaxParamSets);
  const int32_t ints = CheckedCount("ScrICount", host.ReadInt("ScrICount", 0), MaxVars);
  const int32_t floats = CheckedCount("ScrFCount", host.ReadInt("ScrFCount", 0), MaxVars);
  scripter::IntVars.assign(static_cast<size_t>(ints), 0);
  scripter::FloatVars.assign(static_cast<size_t>(floats), 0.0f);
  shape.Sets.assign(static_cast<size_t>(count), TScript{});
  for (int32_t i = 0; i < count; ++i) {
    TScript& s = shape.Sets[static_cast<size_t>(i)];
    const std::string lenKey = dllShared::IndexedKey("ScrCLen", i);
    s.CodeLen = CheckedCount(lenKey, host.ReadInt(lenKey, 0), MaxCodeLen);
    s.Code.assign(static_cast<size_t>(s.CodeLen), 0);
    if (s.CodeLen > 0) host.ReadBlock(dllShared::IndexedKey("ScrC", i), s.Code.data(), s.CodeLen);
    if (!loadScriptSources) continue;
    const std::string srcKey = dllShared::IndexedKey("Scr", i, "SourceLen");
    s.SourceLineCount = CheckedCount(srcKey, host.ReadInt(srcKey, 0), opShape::MaxParamSets);
    s.SourceLines.assign(static_cast<size_t>(s.SourceLineCount), std::string());
    for (int32_t j = 0; j < s.SourceLineCount; ++j)
      host.ReadString(dllShared::IndexedKey("Scr" + std::to_string(i) + "Source", j), "",
                      s.SourceLines[static_cast<size_t>(j)]);
  }
}

std::vector<TScript>& Scripts() { return shape.Sets; }

}  // namespace opScripter
