// opEndDemo: the "End Demo" operator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "engine/dllShared.h"
#include "engine/registry.h"

namespace opEndDemo {

// One parameter set, stored raw in the demo file under "ED<i>".
struct TEndDemoParams {
  int32_t Value;
};
static_assert(sizeof(TEndDemoParams) == 4);
static_assert(std::is_trivially_copyable_v<TEndDemoParams>);
static_assert(offsetof(TEndDemoParams, Value) == 0);

// The type's identity: name, counts, keys, record size and slots.
inline constexpr registry::TOperatorRow Identity = {"End Demo", 1, 2, "EDCount", "ED", sizeof(TEndDemoParams), 8};

void Startup();   // 8 free slots
void Shutdown();
// Fills a zeroed descriptor with the type's name, counts and entries.
void Describe(dllShared::fOperator& op);
// Reads every parameter set from the open demo file.
void LoadParamSets(bool loadScriptSources);
// The loaded sets, for tools and tests.
std::vector<TEndDemoParams>& Sets();

}  // namespace opEndDemo
