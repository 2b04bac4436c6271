// opEffect: the "Render To Texture" operator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "engine/dllShared.h"
#include "engine/registry.h"

namespace opEffect {

// One parameter set, stored raw in the demo file under "Rn2Tex<i>".
struct TRenderToTextureParams {
  int32_t Texture;
  int32_t RenderBeneath;
};
static_assert(sizeof(TRenderToTextureParams) == 8);
static_assert(std::is_trivially_copyable_v<TRenderToTextureParams>);
static_assert(offsetof(TRenderToTextureParams, Texture) == 0);
static_assert(offsetof(TRenderToTextureParams, RenderBeneath) == 4);

// The type's identity: name, counts, keys, record size and slots.
inline constexpr registry::TOperatorRow Identity = {"Render To Texture", 2, 1, "Rn2TexCount", "Rn2Tex", sizeof(TRenderToTextureParams), 8};

void Startup();   // 8 free slots
void Shutdown();
// Fills a zeroed descriptor with the type's name, counts and entries.
void Describe(dllShared::fOperator& op);
// Reads every parameter set from the open demo file.
void LoadParamSets(bool loadScriptSources);
// The loaded sets, for tools and tests.
std::vector<TRenderToTextureParams>& Sets();

}  // namespace opEffect
