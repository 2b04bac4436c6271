// opWobble: the "Wobble Image" operator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "engine/dllShared.h"
#include "engine/registry.h"

namespace opWobble {

// One parameter set, stored raw in the demo file under "Wobble<i>".
struct TWobbleParams {
  int32_t Texture;
  uint8_t Grid;
  uint8_t Randomize;
  uint8_t Blur;
  uint8_t Twirl;
  uint8_t XAnim;
  uint8_t YAnim;
  uint8_t Padding[2];
};
static_assert(sizeof(TWobbleParams) == 12);
static_assert(std::is_trivially_copyable_v<TWobbleParams>);
static_assert(offsetof(TWobbleParams, Texture) == 0);
static_assert(offsetof(TWobbleParams, Grid) == 4);
static_assert(offsetof(TWobbleParams, Randomize) == 5);
static_assert(offsetof(TWobbleParams, Blur) == 6);
static_assert(offsetof(TWobbleParams, Twirl) == 7);
static_assert(offsetof(TWobbleParams, XAnim) == 8);
static_assert(offsetof(TWobbleParams, YAnim) == 9);
static_assert(offsetof(TWobbleParams, Padding) == 10);

// The type's identity: name, counts, keys, record size and slots.
inline constexpr registry::TOperatorRow Identity = {"Wobble Image", 7, 0, "WobbleCount", "Wobble", sizeof(TWobbleParams), 8};

void Startup();   // 8 free slots
void Shutdown();
// Fills a zeroed descriptor with the type's name, counts and entries.
void Describe(dllShared::fOperator& op);
// Reads every parameter set from the open demo file.
void LoadParamSets(bool loadScriptSources);
// The loaded sets, for tools and tests.
std::vector<TWobbleParams>& Sets();

}  // namespace opWobble
