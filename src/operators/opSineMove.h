// opSineMove: the "Sinemove" operator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "engine/dllShared.h"
#include "engine/registry.h"

namespace opSineMove {

// One parameter set, stored raw in the demo file under "SiMo<i>".
struct TSineMoveParams {
  dllShared::TVector3 StartPos;
  dllShared::TVector3 EndPos;
  dllShared::TVector3 StartRot;
  dllShared::TVector3 EndRot;
  int32_t Speed;
};
static_assert(sizeof(TSineMoveParams) == 52);
static_assert(std::is_trivially_copyable_v<TSineMoveParams>);
static_assert(offsetof(TSineMoveParams, StartPos) == 0);
static_assert(offsetof(TSineMoveParams, EndPos) == 12);
static_assert(offsetof(TSineMoveParams, StartRot) == 24);
static_assert(offsetof(TSineMoveParams, EndRot) == 36);
static_assert(offsetof(TSineMoveParams, Speed) == 48);

// The type's identity: name, counts, keys, record size and slots.
inline constexpr registry::TOperatorRow Identity = {"Sinemove", 5, 1, "SiMoCount", "SiMo", sizeof(TSineMoveParams), 8};

void Startup();   // 8 free slots
void Shutdown();
// Fills a zeroed descriptor with the type's name, counts and entries.
void Describe(dllShared::fOperator& op);
// Reads every parameter set from the open demo file.
void LoadParamSets(bool loadScriptSources);
// The loaded sets, for tools and tests.
std::vector<TSineMoveParams>& Sets();

}  // namespace opSineMove
