// opScripter: the "Scripter" operator, one compiled script per parameter set.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/dllShared.h"
#include "engine/registry.h"

namespace opScripter {

struct TScript {
  int32_t CodeLen = 0;
  std::vector<uint8_t> Code;
  int32_t SourceLineCount = 0;  // 0 unless sources were loaded
  std::vector<std::string> SourceLines;
};

// A larger program, or variable bank, is damage.
inline constexpr int32_t MaxCodeLen = 1 << 20;
inline constexpr int32_t MaxVars = 1 << 16;

// The type's identity: name, counts, keys, record size and slots.
inline constexpr registry::TOperatorRow Identity = {"Scripter", 1, 2, "ScrCount", "", 0, 8};

void Startup();  // 8 free slots
void Shutdown();
void Describe(dllShared::fOperator& op);
// Reads the scripts and sizes the variable banks; sources only when asked.
void LoadParamSets(bool loadScriptSources);
std::vector<TScript>& Scripts();

}  // namespace opScripter
