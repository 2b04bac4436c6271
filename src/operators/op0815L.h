// op0815L: the "0815 - Lines" operator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "engine/dllShared.h"
#include "engine/registry.h"

namespace op0815L {

// One parameter set, stored raw in the demo file under "0815L<i>".
struct TLinesParams {
  float Red;
  float Green;
  float Blue;
  float Opacity;
  uint8_t Unused[4];
  int32_t LineSteps;
  int32_t TimeScale;
  int32_t Shape;
  int32_t FixedEnds;
};
static_assert(sizeof(TLinesParams) == 36);
static_assert(std::is_trivially_copyable_v<TLinesParams>);
static_assert(offsetof(TLinesParams, Red) == 0);
static_assert(offsetof(TLinesParams, Green) == 4);
static_assert(offsetof(TLinesParams, Blue) == 8);
static_assert(offsetof(TLinesParams, Opacity) == 12);
static_assert(offsetof(TLinesParams, Unused) == 16);
static_assert(offsetof(TLinesParams, LineSteps) == 20);
static_assert(offsetof(TLinesParams, TimeScale) == 24);
static_assert(offsetof(TLinesParams, Shape) == 28);
static_assert(offsetof(TLinesParams, FixedEnds) == 32);

// The type's identity: name, counts, keys, record size and slots.
inline constexpr registry::TOperatorRow Identity = {"0815 - Lines", 7, 0, "0815LCount", "0815L", sizeof(TLinesParams), 8};

void Startup();   // 8 free slots
void Shutdown();
// Fills a zeroed descriptor with the type's name, counts and entries.
void Describe(dllShared::fOperator& op);
// Reads every parameter set from the open demo file.
void LoadParamSets(bool loadScriptSources);
// The loaded sets, for tools and tests.
std::vector<TLinesParams>& Sets();

}  // namespace op0815L
