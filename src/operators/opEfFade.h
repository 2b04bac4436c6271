// opEfFade: the "Effect Fader" operator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "engine/dllShared.h"
#include "engine/registry.h"

namespace opEfFade {

// One parameter set, stored raw in the demo file under "EfFade<i>".
struct TEffectFadeParams {
  float StartAlpha;
  float EndAlpha;
};
static_assert(sizeof(TEffectFadeParams) == 8);
static_assert(std::is_trivially_copyable_v<TEffectFadeParams>);
static_assert(offsetof(TEffectFadeParams, StartAlpha) == 0);
static_assert(offsetof(TEffectFadeParams, EndAlpha) == 4);

// The type's identity: name, counts, keys, record size and slots.
inline constexpr registry::TOperatorRow Identity = {"Effect Fader", 2, 1, "EfFadeCount", "EfFade", sizeof(TEffectFadeParams), 8};

void Startup();   // 8 free slots
void Shutdown();
// Fills a zeroed descriptor with the type's name, counts and entries.
void Describe(dllShared::fOperator& op);
// Reads every parameter set from the open demo file.
void LoadParamSets(bool loadScriptSources);
// The loaded sets, for tools and tests.
std::vector<TEffectFadeParams>& Sets();

}  // namespace opEfFade
