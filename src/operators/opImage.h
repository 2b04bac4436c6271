// opImage: the "Show Image" operator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "engine/dllShared.h"
#include "engine/registry.h"

namespace opImage {

// One parameter set, stored raw in the demo file under "ShwImg<i>".
struct TShowImageParams {
  int32_t Texture;
  float X;
  float Y;
  float Zoom;
  float Alpha;
  uint8_t DrawMode;
  uint8_t BlendMode;
  uint8_t Reserved[2];
};
static_assert(sizeof(TShowImageParams) == 24);
static_assert(std::is_trivially_copyable_v<TShowImageParams>);
static_assert(offsetof(TShowImageParams, Texture) == 0);
static_assert(offsetof(TShowImageParams, X) == 4);
static_assert(offsetof(TShowImageParams, Y) == 8);
static_assert(offsetof(TShowImageParams, Zoom) == 12);
static_assert(offsetof(TShowImageParams, Alpha) == 16);
static_assert(offsetof(TShowImageParams, DrawMode) == 20);
static_assert(offsetof(TShowImageParams, BlendMode) == 21);
static_assert(offsetof(TShowImageParams, Reserved) == 22);

// The type's identity: name, counts, keys, record size and slots.
inline constexpr registry::TOperatorRow Identity = {"Show Image", 6, 0, "ShwImgCount", "ShwImg", sizeof(TShowImageParams), 8};

void Startup();   // 8 free slots
void Shutdown();
// Fills a zeroed descriptor with the type's name, counts and entries.
void Describe(dllShared::fOperator& op);
// Reads every parameter set from the open demo file.
void LoadParamSets(bool loadScriptSources);
// The loaded sets, for tools and tests.
std::vector<TShowImageParams>& Sets();

}  // namespace opImage
