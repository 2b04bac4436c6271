// opLinear: the "Linear" operator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "engine/dllShared.h"
#include "engine/registry.h"

namespace opLinear {

// One parameter set, stored raw in the demo file under "Linear<i>".
struct TLinearParams {
  dllShared::TVector3 StartPos;
  dllShared::TVector3 EndPos;
  dllShared::TVector3 StartRot;
  dllShared::TVector3 EndRot;
  uint8_t HoldPosition;
  uint8_t Padding[3];
};
static_assert(sizeof(TLinearParams) == 52);
static_assert(std::is_trivially_copyable_v<TLinearParams>);
static_assert(offsetof(TLinearParams, StartPos) == 0);
static_assert(offsetof(TLinearParams, EndPos) == 12);
static_assert(offsetof(TLinearParams, StartRot) == 24);
static_assert(offsetof(TLinearParams, EndRot) == 36);
static_assert(offsetof(TLinearParams, HoldPosition) == 48);
static_assert(offsetof(TLinearParams, Padding) == 49);

// The type's identity: name, counts, keys, record size and slots.
inline constexpr registry::TOperatorRow Identity = {"Linear", 5, 1, "LinearCount", "Linear", sizeof(TLinearParams), 8};

void Startup();   // 8 free slots
void Shutdown();
// Fills a zeroed descriptor with the type's name, counts and entries.
void Describe(dllShared::fOperator& op);
// Reads every parameter set from the open demo file.
void LoadParamSets(bool loadScriptSources);
// The loaded sets, for tools and tests.
std::vector<TLinearParams>& Sets();

}  // namespace opLinear
