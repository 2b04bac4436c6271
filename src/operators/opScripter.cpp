#include "operators/opScripter.h"

#include <algorithm>

#include "operators/opShape.h"
#include "script/scripter.h"

namespace opScripter {

namespace {

// Scripts are not fixed-size records: they have their own load step, but
// the slots are the shared ones.
opShape::Shape<TScript> shape;

QVL_OPERATOR_SHAPE_ENTRIES(shape)

// The render size and alpha do not reach the script: it is neither scaled
// nor faded.
void Render(uint8_t slot, int32_t, int32_t, int32_t time, int32_t elapsed, float progress, float) {
  const opShape::PlainSlot* s = shape.Bound(slot);
  if (!s) return;
  const TScript& script = shape.SetOf(*s);
  const auto len = std::min<size_t>(static_cast<size_t>(std::max(script.CodeLen, 0)), script.Code.size());
  scripter::RunScript(script.Code.data(), static_cast<int32_t>(len), time, elapsed, progress);
}

// Reads a block that may be missing: a missing one leaves `out` empty, so
// that its script is empty rather than a run of zero bytes (which would be
// PUSHI 0 over and over, a stack fault). Absence shows as a buffer left as
// it was, so an all-zero block is read once more over a different fill.
void ReadCode(const std::string& key, int32_t len, std::vector<uint8_t>& out) {
  const dllShared::fHost& host = dllShared::Host;
  out.assign(static_cast<size_t>(len), 0);
  host.ReadBlock(key, out.data(), len);
  if (std::any_of(out.begin(), out.end(), [](uint8_t b) { return b != 0; })) return;
  std::vector<uint8_t> probe(static_cast<size_t>(len), 0xFF);
  host.ReadBlock(key, probe.data(), len);
  if (std::all_of(probe.begin(), probe.end(), [](uint8_t b) { return b == 0xFF; })) out.clear();
}

int32_t CheckedCount(std::string_view key, int32_t value, int32_t max) {
  if (value < 0 || value > max)
    throw dllShared::DataError("count " + std::to_string(value) + " under key \"" + std::string(key) +
                               "\" is damaged");
  return value;
}

}  // namespace

void Startup() { shape.InitInstances(Identity.Slots); }

void Shutdown() {
  shape.Sets.clear();
  shape.Slots.clear();
}

void Describe(dllShared::fOperator& op) {
    DescribeCommon(op);
  op.Render = Render;
}

void LoadParamSets(bool loadScriptSources) {
  const dllShared::fHost& host = dllShared::Host;
  const int32_t count = CheckedCount(Identity.CountKey, host.ReadInt(Identity.CountKey, 0), opShape::MaxParamSets);
  const int32_t ints = CheckedCount("ScrICount", host.ReadInt("ScrICount", 0), MaxVars);
  const int32_t floats = CheckedCount("ScrFCount", host.ReadInt("ScrFCount", 0), MaxVars);
  scripter::IntVars.assign(static_cast<size_t>(ints), 0);
  scripter::FloatVars.assign(static_cast<size_t>(floats), 0.0f);
  shape.Sets.assign(static_cast<size_t>(count), TScript{});
  for (int32_t i = 0; i < count; ++i) {
    TScript& s = shape.Sets[static_cast<size_t>(i)];
    const std::string lenKey = dllShared::IndexedKey("ScrCLen", i);
    s.CodeLen = CheckedCount(lenKey, host.ReadInt(lenKey, 0), MaxCodeLen);
    s.Code.clear();
    if (s.CodeLen > 0) ReadCode(dllShared::IndexedKey("ScrC", i), s.CodeLen, s.Code);
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
