#include "script/scriptCheck.h"

#include <algorithm>
#include <map>
#include <unordered_set>
#include <utility>

#include "script/opcodes.h"

namespace scriptCheck {

namespace {

constexpr int StackSize = 32;
// States (offset, depths, pass) the walk visits at most; a real program
// needs a few per byte.
constexpr size_t MaxStates = size_t{1} << 18;
constexpr size_t MaxFindings = 100;

// Instructions that only read and compute: running them twice is harmless.
bool Pure(uint8_t op) {
  const opcodes::TInstr* in = opcodes::Find(op);
  if (!in) return true;
  return op <= opcodes::LOADF || (op >= 6 && op <= 14) || op == 47 || (op >= 50 && op <= 54) || op == opcodes::BEAT;
}

struct TState {
  int32_t Pc;
  int8_t Ints, Floats;
  bool Shadow;
};

struct TWalk {
  const std::vector<uint8_t>& Code;
  const int32_t Len;
  const size_t IntVars, FloatVars;
  std::vector<bool> IsStart;  // the instruction starts reading from byte 0
  int32_t FirstEffect = 0;    // where the first instruction that does more than compute on the stacks starts
  std::map<std::pair<int32_t, std::string>, bool> Found;
  std::unordered_set<uint64_t> Seen;
  std::vector<TState> Work;
  bool Full = false;
  // A shadow pass starts the program again and the outer run goes on with
  // the stacks as the pass left them: every way the pass can end meets
  // every SHADOW the outer run reaches.
  bool PassEnds[StackSize + 1][StackSize + 1] = {};
  std::vector<std::pair<int8_t, int8_t>> PassEndList;
  std::vector<int32_t> ShadowExits;
  // Edges that no JMP takes, for finding loops only JEQ can leave.
  std::vector<std::pair<int32_t, int32_t>> Edges;
  std::vector<std::pair<int32_t, int32_t>> JeqEdges;  // from the PUSHI, with the JEQ's offset

  TWalk(const std::vector<uint8_t>& code, size_t intVars, size_t floatVars)
      : Code(code), Len(static_cast<int32_t>(code.size())), IntVars(intVars), FloatVars(floatVars) {}

  // A damaged program could yield a finding per byte; the first ones say enough.
  void Report(bool error, int32_t at, const std::string& message) {
    if (Found.size() < MaxFindings) Found.emplace(std::make_pair(at, message), error);
  }

  void Push(int32_t pc, int ints, int floats, bool shadow) {
    if (pc >= Len) {
      if (shadow) PassEnd(ints, floats);
      return;
    }
    if (Full) return;
    const uint64_t key = static_cast<uint64_t>(pc) << 16 | static_cast<uint64_t>(shadow) << 12 |
                         static_cast<uint64_t>(ints) << 6 | static_cast<uint64_t>(floats);
    if (!Seen.insert(key).second) return;
    if (Seen.size() >= MaxStates) {
      Full = true;
      Report(false, pc, "the program has too many paths to follow; the check of it stopped here");
    }
    Work.push_back({pc, static_cast<int8_t>(ints), static_cast<int8_t>(floats), shadow});
  }

  void PassEnd(int ints, int floats) {
    if (PassEnds[ints][floats]) return;
    PassEnds[ints][floats] = true;
    PassEndList.emplace_back(ints, floats);
    for (size_t k = 0; k < ShadowExits.size() && !Full; ++k) Push(ShadowExits[k], ints, floats, false);
  }

  void ShadowExit(int32_t pc) {
    if (std::find(ShadowExits.begin(), ShadowExits.end(), pc) != ShadowExits.end()) return;
    ShadowExits.push_back(pc);
    for (size_t k = 0; k < PassEndList.size() && !Full; ++k) Push(pc, PassEndList[k].first, PassEndList[k].second, false);
  }

  std::string CutOff(const opcodes::TInstr& in, int32_t pc) {
    return std::string(in.Name) + " is cut off by the end of the program (" +
           std::to_string(pc + 1 + opcodes::OperandBytes(in.Kind) - Len) + " operand byte(s) missing)";
  }

  // A constant target: false when the run ends there.
  bool Target(int32_t at, int32_t target) {
    if (target < 0 || target > Len) {
      Report(true, at, "jump target " + std::to_string(target) + " lies outside the program (0.." + std::to_string(Len) + ")");
      return false;
    }
    if (target < Len && !IsStart[static_cast<size_t>(target)])
      Report(true, at, "jump target " + std::to_string(target) + " is not an instruction start");
    return true;
  }

  void Step(const TState& s) {
    const int32_t pc = s.Pc;
    int ints = s.Ints, floats = s.Floats;
    const uint8_t op = Code[static_cast<size_t>(pc)];
    const opcodes::TInstr* in = opcodes::Find(op);
    if (!in) {
      Edges.emplace_back(pc, pc + 1);
      return Push(pc + 1, ints, floats, s.Shadow);
    }
    const int32_t next = pc + 1 + opcodes::OperandBytes(in->Kind);
    if (next > Len) {
      Report(true, pc, CutOff(*in, pc));
      if (s.Shadow) PassEnd(ints, floats);
      return;
    }
    // PUSHI right before JMP or JEQ: a jump whose target can be followed.
    if (op == opcodes::PUSHI && next < Len && (Code[static_cast<size_t>(next)] == opcodes::JMP || Code[static_cast<size_t>(next)] == opcodes::JEQ)) {
      if (ints == StackSize) return Report(true, pc, "Stack error (int push) at PUSHI: this ends the player");
      const auto target = static_cast<int32_t>(static_cast<uint32_t>(Code[static_cast<size_t>(pc) + 1]) |
                                               static_cast<uint32_t>(Code[static_cast<size_t>(pc) + 2]) << 8 |
                                               static_cast<uint32_t>(Code[static_cast<size_t>(pc) + 3]) << 16 |
                                               static_cast<uint32_t>(Code[static_cast<size_t>(pc) + 4]) << 24);
      const bool go = Target(next, target);
      if (Code[static_cast<size_t>(next)] == opcodes::JMP) {
        if (s.Shadow) PassEnd(ints + 1, floats);  // the jump past the limit ends the run as it stands
        if (go) Push(target, ints, floats, s.Shadow);
        else if (s.Shadow) PassEnd(ints, floats);
        return;
      }
      Edges.emplace_back(pc, next + 1);
      if (go && target < Len) {
        Edges.emplace_back(pc, target);
        JeqEdges.emplace_back(pc, next);
      }
      if (go) Push(target, ints, floats, s.Shadow);
      else if (s.Shadow) PassEnd(ints, floats);
      return Push(next + 1, ints, floats, s.Shadow);
    }
    if (floats < in->FloatPop) return Report(true, pc, std::string("Stack error (float pop) at ") + in->Name + ": this ends the player");
    floats -= in->FloatPop;
    if (op == opcodes::JMP && s.Shadow) PassEnd(ints, floats);
    if (ints < in->IntPop) return Report(true, pc, std::string("Stack error (int pop) at ") + in->Name + ": this ends the player");
    ints -= in->IntPop;
    if (op == opcodes::BEAT && s.Shadow) PassEnd(ints, floats);  // a zero period ends the run here
    if (ints + in->IntPush > StackSize) return Report(true, pc, std::string("Stack error (int push) at ") + in->Name + ": this ends the player");
    if (floats + in->FloatPush > StackSize) return Report(true, pc, std::string("Stack error (float push) at ") + in->Name + ": this ends the player");
    ints += in->IntPush;
    floats += in->FloatPush;
    if (in->Kind == opcodes::Operand::Index) {
      const bool isInt = op == opcodes::LOADI || op == opcodes::STOREI;
      const size_t bank = isInt ? IntVars : FloatVars;
      const uint8_t index = Code[static_cast<size_t>(pc) + 1];
      if (index >= bank)
        Report(true, pc, std::string(in->Name) + " " + std::to_string(index) + " is beyond the " + std::to_string(bank) +
                             (isInt ? " integer" : " float") + " variables of the demo");
    }
    if (op == opcodes::JMP) return;  // a target only known at run time is not followed
    if (op == opcodes::SHADOW) {
      if (pc != FirstEffect) Report(false, pc, "SHADOW is not at the start: everything before it runs twice");
      if (!s.Shadow) {
        Push(0, 0, 0, true);
        return ShadowExit(next);
      }
    }
    Edges.emplace_back(pc, next);
    Push(next, ints, floats, s.Shadow);
  }

  // Loops made of fall-through and JEQ alone: the JMP limit never ends them.
  void JeqLoops() {
    if (JeqEdges.empty()) return;
    std::sort(Edges.begin(), Edges.end());
    Edges.erase(std::unique(Edges.begin(), Edges.end()), Edges.end());
    const size_t n = static_cast<size_t>(Len) + 1;
    std::vector<int32_t> first(n + 1, 0);
    for (const auto& e : Edges) ++first[static_cast<size_t>(e.first) + 1];
    for (size_t i = 0; i < n; ++i) first[i + 1] += first[i];
    std::vector<int32_t> to(Edges.size());
    for (size_t k = 0; k < Edges.size(); ++k) to[k] = Edges[k].second;  // Edges are sorted by their source
    // Tarjan's components, without recursion.
    std::vector<int32_t> index(n, -1), low(n, 0), comp(n, -1), stack, callPc, callEdge;
    std::vector<bool> on(n, false);
    int32_t counter = 0, comps = 0;
    for (const auto& root : Edges) {
      if (index[static_cast<size_t>(root.first)] >= 0) continue;
      callPc.push_back(root.first);
      callEdge.push_back(first[static_cast<size_t>(root.first)]);
      index[static_cast<size_t>(root.first)] = low[static_cast<size_t>(root.first)] = counter++;
      stack.push_back(root.first);
      on[static_cast<size_t>(root.first)] = true;
      while (!callPc.empty()) {
        const auto v = static_cast<size_t>(callPc.back());
        int32_t& e = callEdge.back();
        if (e < first[v + 1]) {
          const auto w = static_cast<size_t>(to[static_cast<size_t>(e++)]);
          if (index[w] < 0) {
            index[w] = low[w] = counter++;
            stack.push_back(static_cast<int32_t>(w));
            on[w] = true;
            callPc.push_back(static_cast<int32_t>(w));
            callEdge.push_back(first[w]);
          } else if (on[w]) {
            low[v] = std::min(low[v], index[w]);
          }
          continue;
        }
        if (low[v] == index[v]) {
          int32_t w;
          do {
            w = stack.back();
            stack.pop_back();
            on[static_cast<size_t>(w)] = false;
            comp[static_cast<size_t>(w)] = comps;
          } while (static_cast<size_t>(w) != v);
          ++comps;
        }
        callPc.pop_back();
        callEdge.pop_back();
        if (!callPc.empty()) {
          const auto u = static_cast<size_t>(callPc.back());
          low[u] = std::min(low[u], low[v]);
        }
      }
    }
    std::vector<bool> warned(static_cast<size_t>(comps), false);
    std::sort(JeqEdges.begin(), JeqEdges.end(), [](const auto& a, const auto& b) { return a.second < b.second; });
    for (const auto& [from, jeq] : JeqEdges) {
      const int32_t target = static_cast<int32_t>(static_cast<uint32_t>(Code[static_cast<size_t>(from) + 1]) |
                                                  static_cast<uint32_t>(Code[static_cast<size_t>(from) + 2]) << 8 |
                                                  static_cast<uint32_t>(Code[static_cast<size_t>(from) + 3]) << 16 |
                                                  static_cast<uint32_t>(Code[static_cast<size_t>(from) + 4]) << 24);
      const int32_t c = comp[static_cast<size_t>(from)];
      if (c < 0 || c != comp[static_cast<size_t>(target)] || warned[static_cast<size_t>(c)]) continue;
      warned[static_cast<size_t>(c)] = true;
      Report(false, jeq, "JEQ closes a loop without a JMP: only JEQ can leave it, so it may run until the instruction limit");
    }
  }
};

}  // namespace

std::vector<TFinding> Check(const std::vector<uint8_t>& code, size_t intVars, size_t floatVars) {
  std::vector<TFinding> out;
  if (code.empty() || code.size() > (size_t{1} << 30)) return out;
  TWalk w(code, intVars, floatVars);
  w.IsStart.assign(code.size(), false);
  int32_t firstEffect = -1;
  for (int32_t pc = 0; pc < w.Len;) {
    w.IsStart[static_cast<size_t>(pc)] = true;
    const opcodes::TInstr* in = opcodes::Find(code[static_cast<size_t>(pc)]);
    const int32_t next = pc + 1 + (in ? opcodes::OperandBytes(in->Kind) : 0);
    if (next > w.Len) w.Report(true, pc, w.CutOff(*in, pc));
    if (firstEffect < 0 && !Pure(code[static_cast<size_t>(pc)])) firstEffect = pc;
    pc = next;
  }
  w.FirstEffect = firstEffect < 0 ? w.Len : firstEffect;
  w.Push(0, 0, 0, false);
  while (!w.Work.empty()) {
    const TState s = w.Work.back();
    w.Work.pop_back();
    w.Step(s);
  }
  w.JeqLoops();
  for (const auto& [key, error] : w.Found) out.push_back({error, key.first, key.second});
  return out;
}

}  // namespace scriptCheck
