// opFader: the "Fader" operator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "engine/dllShared.h"
#include "engine/registry.h"

namespace opFader {

// One parameter set, stored raw in the demo file under "Fader<i>".
struct TFaderParams {
  float StartRed;
  float StartGreen;
  float StartBlue;
  float EndRed;
  float EndGreen;
  float EndBlue;
  float StartAlpha;
  float EndAlpha;
};
static_assert(sizeof(TFaderParams) == 32);
static_assert(std::is_trivially_copyable_v<TFaderParams>);
static_assert(offsetof(TFaderParams, StartRed) == 0);
static_assert(offsetof(TFaderParams, StartGreen) == 4);
static_assert(offsetof(TFaderParams, StartBlue) == 8);
static_assert(offsetof(TFaderParams, EndRed) == 12);
static_assert(offsetof(TFaderParams, EndGreen) == 16);
static_assert(offsetof(TFaderParams, EndBlue) == 20);
static_assert(offsetof(TFaderParams, StartAlpha) == 24);
static_assert(offsetof(TFaderParams, EndAlpha) == 28);

// The type's identity: name, counts, keys, record size and slots.
inline constexpr registry::TOperatorRow Identity = {"Fader", 4, 0, "FaderCount", "Fader", sizeof(TFaderParams), 8};

void Startup();   // 8 free slots
void Shutdown();
// Fills a zeroed descriptor with the type's name, counts and entries.
void Describe(dllShared::fOperator& op);
// Reads every parameter set from the open demo file.
void LoadParamSets(bool loadScriptSources);
// The loaded sets, for tools and tests.
std::vector<TFaderParams>& Sets();

}  // namespace opFader
