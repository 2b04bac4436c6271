// The interpreter's dispatch on an arithmetic-only loop, beside Lua 5.4
// running the same loop (when the build found it):
//   a = a * 3 + 7;  b = b - a;  f = f * 0.5 + 0.25
// Five arithmetic operations an iteration. Ours takes 18 instructions for
// it, loops through an always-taken JEQ and is stopped by the run's
// instruction budget; Lua's is a numeric for over local variables.
// ns_per_op compares the whole loops; ns_per_insn compares the dispatch:
// Lua 5.4 runs 6 instructions an iteration here (MULK, ADDI, SUB, MULK,
// ADDK, FORLOOP; a successful arithmetic instruction skips its metamethod
// fallback), a stack machine needs three times as many.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "script/scripter.h"

#ifdef QVL_HAVE_LUA
#include <lua.hpp>
#endif

namespace {

constexpr int OpsPerIteration = 5;
constexpr int InsnsPerIteration = 18;
constexpr int LuaInsnsPerIteration = 6;

struct Asm {
  std::vector<uint8_t> b;
  void Op(uint8_t op) { b.push_back(op); }
  void Idx(uint8_t op, uint8_t i) { b.insert(b.end(), {op, i}); }
  void I(int32_t v) {
    b.push_back(0);
    uint8_t x[4];
    std::memcpy(x, &v, 4);
    b.insert(b.end(), x, x + 4);
  }
  void F(float v) {
    b.push_back(2);
    uint8_t x[4];
    std::memcpy(x, &v, 4);
    b.insert(b.end(), x, x + 4);
  }
};

std::vector<uint8_t> LoopProgram() {
  enum : uint8_t { LOADI = 1, LOADF = 3, STOREI = 4, STOREF = 5, MULI = 6, ADDI = 8, SUBI = 9 };
  enum : uint8_t { MULF = 10, ADDF = 12, SETCMP = 45, JEQ = 46 };
  Asm a;
  a.I(0);
  a.I(0);
  a.Op(SETCMP);  // CmpA = CmpB: every JEQ is taken
  const auto loop = static_cast<int32_t>(a.b.size());
  a.Idx(LOADI, 0), a.I(3), a.Op(MULI), a.I(7), a.Op(ADDI), a.Idx(STOREI, 0);
  a.Idx(LOADI, 1), a.Idx(LOADI, 0), a.Op(SUBI), a.Idx(STOREI, 1);
  a.Idx(LOADF, 0), a.F(0.5f), a.Op(MULF), a.F(0.25f), a.Op(ADDF), a.Idx(STOREF, 0);
  a.I(loop), a.Op(JEQ);
  return a.b;
}

void BM_Script(benchmark::State& state) {
  const std::vector<uint8_t> code = LoopProgram();
  scripter::IntVars.assign(2, 0);
  scripter::FloatVars.assign(1, 0.0f);
  for (auto _ : state) {
    scripter::RunScript(code.data(), static_cast<int32_t>(code.size()), 0, 0, 0.0f);
    benchmark::DoNotOptimize(scripter::IntVars.data());
  }
  const double insns = static_cast<double>(scripter::InstructionBudget);
  const double iterations = (insns - 3) / InsnsPerIteration;
  using C = benchmark::Counter;
  const auto perRun = C::kIsIterationInvariantRate | C::kInvert;
  state.counters["ns_per_insn"] = C(insns / 1e9, perRun);
  state.counters["ns_per_op"] = C(iterations * OpsPerIteration / 1e9, perRun);
}
BENCHMARK(BM_Script)->Unit(benchmark::kMillisecond);

#ifdef QVL_HAVE_LUA
void BM_Lua(benchmark::State& state) {
  constexpr int64_t iterations = (scripter::InstructionBudget - 3) / InsnsPerIteration;
  lua_State* L = luaL_newstate();
  const char* source =
      "local n = ...\n"
      "local a, b, f = 0, 0, 0.0\n"
      "for i = 1, n do\n"
      "  a = a * 3 + 7\n"
      "  b = b - a\n"
      "  f = f * 0.5 + 0.25\n"
      "end\n"
      "return a + b + f\n";
  if (luaL_loadstring(L, source) != LUA_OK) {
    state.SkipWithError(lua_tostring(L, -1));
    lua_close(L);
    return;
  }
  const int chunk = luaL_ref(L, LUA_REGISTRYINDEX);
  for (auto _ : state) {
    lua_rawgeti(L, LUA_REGISTRYINDEX, chunk);
    lua_pushinteger(L, iterations);
    lua_call(L, 1, 1);
    benchmark::DoNotOptimize(lua_tonumber(L, -1));
    lua_pop(L, 1);
  }
  lua_close(L);
  using C = benchmark::Counter;
  const auto perRun = C::kIsIterationInvariantRate | C::kInvert;
  state.counters["ns_per_insn"] = C(static_cast<double>(iterations) * LuaInsnsPerIteration / 1e9, perRun);
  state.counters["ns_per_op"] = C(static_cast<double>(iterations) * OpsPerIteration / 1e9, perRun);
}
BENCHMARK(BM_Lua)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
