#include "script/scripter.h"

namespace scripter {

std::vector<int32_t> IntVars;
std::vector<float> FloatVars;

void Startup() {}

void Shutdown() {
  IntVars.clear();
  FloatVars.clear();
}

}  // namespace scripter
