// registry: the fifteen operator types, in type-number order.
#pragma once

#include <cstdint>
#include <string_view>

#include "engine/dllShared.h"

namespace registry {

inline constexpr int32_t OperatorCount = 15;

// One row per type: what the demo file stores of it.
struct TOperatorRow {
  const char* Name;
  int32_t ParamCount;
  uint8_t Kind;
  const char* CountKey;
  std::string_view SetPrefix;  // empty for the Scripter, whose keys are its own
  int32_t SetSize;             // 0 for the Scripter (its sets vary)
};
extern const TOperatorRow Rows[OperatorCount];

// Operators[type]: the descriptor of each type; filled by RegisterOperators.
// Tests may point an entry at a descriptor of their own.
extern dllShared::fOperator* Operators[OperatorCount];

void Startup();  // every operator module's start-up (8 free slots each)
void Shutdown();
// Fills fHost slots 0, 2 and 3 and the descriptor table.
void RegisterOperators();
// Every type's LoadParamSets, Fader first, Tunnel last.
void LoadAllParamSets(bool loadScriptSources);
// Empties every type's parameter sets and frees every slot, as before a load.
void ClearAllParamSets();

}  // namespace registry
