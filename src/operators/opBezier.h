// opBezier: the "Bezier" operator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "engine/dllShared.h"
#include "engine/registry.h"

namespace opBezier {

// One parameter set, stored raw in the demo file under "Bezier<i>".
struct TBezierParams {
  dllShared::TVector3 StartPos;
  dllShared::TVector3 EndPos;
  dllShared::TVector3 MiddlePos;
  dllShared::TVector3 StartRot;
  dllShared::TVector3 EndRot;
  dllShared::TVectorXZY MiddleRot;
};
static_assert(sizeof(TBezierParams) == 72);
static_assert(std::is_trivially_copyable_v<TBezierParams>);
static_assert(offsetof(TBezierParams, StartPos) == 0);
static_assert(offsetof(TBezierParams, EndPos) == 12);
static_assert(offsetof(TBezierParams, MiddlePos) == 24);
static_assert(offsetof(TBezierParams, StartRot) == 36);
static_assert(offsetof(TBezierParams, EndRot) == 48);
static_assert(offsetof(TBezierParams, MiddleRot) == 60);

// The type's identity: name, counts, keys, record size and slots.
inline constexpr registry::TOperatorRow Identity = {"Bezier", 6, 1, "BezierCount", "Bezier", sizeof(TBezierParams), 8};

void Startup();   // 8 free slots
void Shutdown();
// Fills a zeroed descriptor with the type's name, counts and entries.
void Describe(dllShared::fOperator& op);
// Reads every parameter set from the open demo file.
void LoadParamSets(bool loadScriptSources);
// The loaded sets, for tools and tests.
std::vector<TBezierParams>& Sets();

}  // namespace opBezier
