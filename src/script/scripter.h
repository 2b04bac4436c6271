// scripter: the script engine's shared state.
//
// The variable banks are shared by every script and every instance; their
// sizes come with the scripts in the demo file.
#pragma once

#include <cstdint>
#include <vector>

namespace scripter {

extern std::vector<int32_t> IntVars;
extern std::vector<float> FloatVars;

void Startup();
void Shutdown();

}  // namespace scripter
