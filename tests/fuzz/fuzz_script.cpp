// The script interpreter and qvl check's verifier on any program and any
// variable banks. The interpreter draws into a recording stand-in for the
// GL calls, so no context is needed. A stack fault is the program's own
// fatal verdict and ends that input; every other run must come back
// within the instruction budget, having touched nothing outside its banks.
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/messages.h"
#include "fuzzKit.h"
#include "script/scriptCheck.h"
#include "script/scripter.h"

namespace {

uint64_t calls = 0;

scripter::GLCalls Recorder() {
  scripter::GLCalls g{};
  g.Begin = [](uint32_t) { ++calls; };
  g.End = [] { ++calls; };
  g.Vertex3f = [](float, float, float) { ++calls; };
  g.TexCoord2f = [](float, float) { ++calls; };
  g.Normal3f = [](float, float, float) { ++calls; };
  g.Color3f = [](float, float, float) { ++calls; };
  g.Color4f = [](float, float, float, float) { ++calls; };
  g.PushMatrix = [] { ++calls; };
  g.PopMatrix = [] { ++calls; };
  g.Translatef = [](float, float, float) { ++calls; };
  g.Rotatef = [](float, float, float, float) { ++calls; };
  g.Enable = [](uint32_t) { ++calls; };
  g.Disable = [](uint32_t) { ++calls; };
  g.BlendFunc = [](uint32_t, uint32_t) { ++calls; };
  g.BindTexture2D = [](uint32_t) { ++calls; };
  g.Lightfv = [](uint32_t, uint32_t, const float* v) { calls += v[0] == v[3]; };
  g.LineWidth = [](float) { ++calls; };
  return g;
}

}  // namespace

// Input: bank sizes (one byte each), time and elapsed (four bytes each,
// little-endian), then the program.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = (fuzzkit::Quiet(), scripter::GL = Recorder(), true);
  (void)ready;
  if (size < 10) return 0;
  int32_t time, elapsed;
  std::memcpy(&time, data + 2, 4);
  std::memcpy(&elapsed, data + 6, 4);
  scripter::IntVars.assign(data[0], 0);
  scripter::FloatVars.assign(data[1], 0.0f);
  // An exact-size copy: a read past the program's end shows up under ASan.
  const std::vector<uint8_t> code(data + 10, data + size);
  scriptCheck::Check(code, data[0], data[1]);
  for (int frame = 0; frame < 2; ++frame) {  // banks and registers carry over
    try {
      scripter::RunScript(code.data(), static_cast<int32_t>(code.size()), time + frame, elapsed, 0.5f);
    } catch (const messages::Fatal&) {
      return 0;
    }
  }
  return 0;
}
