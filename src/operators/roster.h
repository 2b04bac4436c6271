// roster: the fifteen operator modules in type-number order, with their
// start-up and shutdown, their descriptors and their parameter sets.
#pragma once

#include <cstdint>
#include <utility>

#include "engine/registry.h"

namespace roster {

// Rows[type]: each type's identity.
extern const registry::TOperatorRow Rows[registry::OperatorCount];

void Startup();  // every operator module's start-up (8 free slots each)
void Shutdown();
// Fills fHost slots 0, 2 and 3 and registry::Operators.
void RegisterOperators();
// Every type's LoadParamSets, Fader first, Tunnel last.
void LoadAllParamSets(bool loadScriptSources);
// The number of sets of `type` and the bytes of set `index` as stored in
// the demo file (null when there is no such set); {0, null} for the
// Scripter, whose sets are not fixed-size records.
std::pair<int32_t, const unsigned char*> RawSet(int32_t type, int32_t index);
// Empties every type's parameter sets and frees every slot, as before a load.
void ClearAllParamSets();

}  // namespace roster
