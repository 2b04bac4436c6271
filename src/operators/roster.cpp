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

using namespace std::string_view_literals;

const registry::TOperatorRow Rows[OperatorCount] = {
    {"Fader", 4, 0, "FaderCount", "Fader", 32},
    {"Show Image", 6, 0, "ShwImgCount", "ShwImg", 24},
    {"Scripter", 1, 2, "ScrCount", "", 0},
    {"Particles 1", 11, 0, "PSys1Count", "PSys1", 68},
    {"Effect Fader", 2, 1, "EfFadeCount", "EfFade", 8},
    {"Render To Texture", 2, 1, "Rn2TexCount", "Rn2Tex", 8},
    {"Image Distortion", 6, 0, "ImgDstCount", "ImgDst", 24},
    {"Bezier", 6, 1, "BezierCount", "Bezier", 72},
    {"Simple DrawMesh", 5, 0, "DrawMCount", "DrawM", 44},
    {"0815 - Lines", 7, 0, "0815LCount", "0815L", 36},
    {"End Demo", 1, 2, "EDCount", "ED", 4},
    {"Wobble Image", 7, 0, "WobbleCount", "Wobble", 12},
    {"Linear", 5, 1, "LinearCount", "Linear", 52},
    {"Sinemove", 5, 1, "SiMoCount", "SiMo", 52},
    {"Tunnel", 7, 0, "TunnelCount", "Tunne\xF6"sv, 28},
};

namespace {

// Each module's own steps, in registry order.
struct ModuleEntry {
  void (*Startup)();
  void (*Shutdown)();
  void (*Describe)(dllShared::fOperator&);
  void (*LoadParamSets)(bool);
};

const ModuleEntry Modules[OperatorCount] = {
    {opFader::Startup, opFader::Shutdown, opFader::Describe, opFader::LoadParamSets},
    {opImage::Startup, opImage::Shutdown, opImage::Describe, opImage::LoadParamSets},
    {opScripter::Startup, opScripter::Shutdown, opScripter::Describe, opScripter::LoadParamSets},
    {opPart1::Startup, opPart1::Shutdown, opPart1::Describe, opPart1::LoadParamSets},
    {opEfFade::Startup, opEfFade::Shutdown, opEfFade::Describe, opEfFade::LoadParamSets},
    {opEffect::Startup, opEffect::Shutdown, opEffect::Describe, opEffect::LoadParamSets},
    {opImgDist::Startup, opImgDist::Shutdown, opImgDist::Describe, opImgDist::LoadParamSets},
    {opBezier::Startup, opBezier::Shutdown, opBezier::Describe, opBezier::LoadParamSets},
    {opDrawMesh::Startup, opDrawMesh::Shutdown, opDrawMesh::Describe, opDrawMesh::LoadParamSets},
    {op0815L::Startup, op0815L::Shutdown, op0815L::Describe, op0815L::LoadParamSets},
    {opEndDemo::Startup, opEndDemo::Shutdown, opEndDemo::Describe, opEndDemo::LoadParamSets},
    {opWobble::Startup, opWobble::Shutdown, opWobble::Describe, opWobble::LoadParamSets},
    {opLinear::Startup, opLinear::Shutdown, opLinear::Describe, opLinear::LoadParamSets},
    {opSineMove::Startup, opSineMove::Shutdown, opSineMove::Describe, opSineMove::LoadParamSets},
    {opTunnel::Startup, opTunnel::Shutdown, opTunnel::Describe, opTunnel::LoadParamSets},
};

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

void LoadAllParamSets(bool loadScriptSources) {
  for (const ModuleEntry& m : Modules) m.LoadParamSets(loadScriptSources);
}

}  // namespace roster
