#include "operators/roster.h"

#include "engine/scheduler.h"
#include "operators/op0815L.h"
#include "operators/opBezier.h"
#include "operators/opDrawMesh.h"
#include "operators/opEfFade.h"
#include "operators/opEffect.h"
#include "operators/opEndDemo.h"
#include "operators/opFader.h"
#include "operators/opImage.h"
#include "operators/opImgDist.h"
#include "operators/opLinear.h"
#include "operators/opPart1.h"
#include "operators/opScripter.h"
#include "operators/opSineMove.h"
#include "operators/opTunnel.h"
#include "operators/opWobble.h"
#include "resources/texMan.h"

namespace roster {

using registry::OperatorCount;
using registry::Operators;

// The modules in type-number order, written once: the rows and the entries
// below are both made from it. SCRIPTS marks the one whose sets are not
// fixed-size records.
#define QVL_ROSTER(X, SCRIPTS)                                                              \
  X(opFader) X(opImage) SCRIPTS(opScripter) X(opPart1) X(opEfFade) X(opEffect) X(opImgDist) \
  X(opBezier) X(opDrawMesh) X(op0815L) X(opEndDemo) X(opWobble) X(opLinear) X(opSineMove)  \
  X(opTunnel)

#define QVL_ROW(m) m::Identity,
const registry::TOperatorRow Rows[OperatorCount] = {QVL_ROSTER(QVL_ROW, QVL_ROW)};
#undef QVL_ROW

namespace {

using TRawSet = std::pair<int32_t, const unsigned char*>;

template <auto Sets>
TRawSet RawSetOf(int32_t index) {
  auto& sets = Sets();
  const auto n = static_cast<int32_t>(sets.size());
  const unsigned char* p = (index >= 0 && index < n) ? reinterpret_cast<const unsigned char*>(&sets[index]) : nullptr;
  return {n, p};
}

// Each module's own steps, in registry order.
struct ModuleEntry {
  void (*Startup)();
  void (*Shutdown)();
  void (*Describe)(dllShared::fOperator&);
  void (*LoadParamSets)(bool);
  TRawSet (*RawSet)(int32_t index);  // null when the sets are not records
};

#define QVL_ENTRY(m) {m::Startup, m::Shutdown, m::Describe, m::LoadParamSets, RawSetOf<&m::Sets>},
#define QVL_SCRIPT_ENTRY(m) {m::Startup, m::Shutdown, m::Describe, m::LoadParamSets, nullptr},
const ModuleEntry Modules[OperatorCount] = {QVL_ROSTER(QVL_ENTRY, QVL_SCRIPT_ENTRY)};
#undef QVL_ENTRY
#undef QVL_SCRIPT_ENTRY

// The fixed table the Operators pointers point into.
dllShared::fOperator table[OperatorCount];

}  // namespace

void Startup() {
  for (const ModuleEntry& m : Modules) m.Startup();
}

void Shutdown() {
  for (int i = OperatorCount - 1; i >= 0; --i) Modules[i].Shutdown();
  for (auto& op : Operators) op = nullptr;
}

void RegisterOperators() {
  dllShared::Host.InterfaceTag = 16;
  dllShared::Host.GetTextureInfo = texMan::GetTextureInfo;
  dllShared::Host.RenderFollowing = scheduler::RenderFollowing;
  for (int i = 0; i < OperatorCount; ++i) {
    dllShared::fOperator op{};
    Modules[i].Describe(op);
    table[i] = op;
    Operators[i] = &table[i];
  }
}

void ClearAllParamSets() {
  for (const ModuleEntry& m : Modules) {
    m.Shutdown();
    m.Startup();
  }
}

std::pair<int32_t, const unsigned char*> RawSet(int32_t type, int32_t index) {
  if (type < 0 || type >= OperatorCount || !Modules[type].RawSet) return {0, nullptr};
  return Modules[type].RawSet(index);
}

void LoadAllParamSets(bool loadScriptSources) {
  for (const ModuleEntry& m : Modules) m.LoadParamSets(loadScriptSources);
}

}  // namespace roster
