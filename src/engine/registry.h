// registry: the operator types as the engine sees them: a type number, the
// descriptor it plays through, and the facts the demo file stores of it.
// The operators' roster fills the table; the engine only reads it.
#pragma once

#include <cstdint>
#include <string_view>

#include "engine/dllShared.h"

namespace registry {

inline constexpr int32_t OperatorCount = 15;

// An operator type's identity: what the demo file stores of it.
struct TOperatorRow {
  const char* Name;
  int32_t ParamCount;
  uint8_t Kind;
  const char* CountKey;
  std::string_view SetPrefix;  // empty for the Scripter, whose keys are its own
  int32_t SetSize;             // 0 for the Scripter (its sets vary)
  int32_t Slots;               // instance slots free after start-up
};

// Operators[type]: the descriptor of each type; filled by the roster's
// RegisterOperators. Tests may point an entry at a descriptor of their own.
extern dllShared::fOperator* Operators[OperatorCount];

}  // namespace registry
