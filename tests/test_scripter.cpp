// The script interpreter through a recording GL table, and inside the player.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "data/filestuff.h"
#include "engine/messages.h"
#include "engine/scheduler.h"
#include "resources/texMan.h"
#include "script/opcodes.h"
#include "script/scripter.h"
#include "toolRun.h"

namespace {

namespace fs = std::filesystem;

enum : uint8_t {
  LOADI = 1, LOADF = 3, STOREI = 4, STOREF = 5, DIVI = 7, ADDI = 8, SUBI = 9, DIVF = 11, SUBF = 13,
  SINF = 14, STARTUBE = 15, JMP = 24, COLOR3 = 28, COLOR4 = 29, BINDTEX = 38, SETCMP = 45, JEQ = 46,
  MODI = 47, LIGHTV = 48, FTOI = 54, BEAT = 73, QUAD = 91, BOX = 92, SPHERE = 94, DISC = 95, RAYS = 99,
  SHADOW = 100};

// A program under construction: I() and F() are PUSHI and PUSHF.
struct P {
  std::vector<uint8_t> b;
  P& Op(std::initializer_list<uint8_t> ops) { return b.insert(b.end(), ops), *this; }
  P& I(int32_t v) { return Raw(0, &v); }
  P& F(float v) { return Raw(2, &v); }
  P& Raw(uint8_t op, const void* v) { return b.push_back(op), b.insert(b.end(), (const uint8_t*)v, (const uint8_t*)v + 4), *this; }
};

struct Call { std::string name; float a[4]; };
std::vector<Call> calls;
void Rec(const char* n, float a = 0, float b = 0, float c = 0, float d = 0) { calls.push_back({n, {a, b, c, d}}); }

#define REC(name) [](auto... a) { Rec(name, float(a)...); }
scripter::GLCalls Recorder() {
  return {REC("Begin"), REC("End"), REC("V"), REC("T"), REC("N"), [](float r, float g, float b) { Rec("C", r, g, b, 1); },
          REC("C"), REC("Push"), REC("Pop"), REC("Translate"), REC("Rotate"), REC("Enable"), REC("Disable"),
          REC("Blend"), REC("Bind"), [](uint32_t l, uint32_t p, const float* v) { Rec("Light", float(l), float(p), v[0], v[3]); },
          REC("LineWidth")};
}

class Script : public ::testing::Test {
 protected:
  void SetUp() override { scripter::GL = Recorder(), scripter::IntVars.assign(4, 0), scripter::FloatVars.assign(4, 0), calls.clear(); }
  void TearDown() override { scripter::GL = scripter::RealGL(); }
  static void Run(const P& p, int32_t time = 0) { scripter::RunScript(p.b.data(), int32_t(p.b.size()), time, 0, 0); }
  static std::vector<Call> Only(const std::string& name) {
    std::vector<Call> out;
    std::copy_if(calls.begin(), calls.end(), std::back_inserter(out), [&](const Call& c) { return c.name == name; });
    return out;
  }
  // The calls in order; colours, moves and vertices with their values.
  static std::string Names() {
    std::ostringstream s;
    for (const Call& c : calls) {
      const int n = c.name == "C" ? 4 : (c.name == "V" || c.name == "Translate") ? 3 : 0;
      s << c.name;
      for (int i = 0; i < n; ++i) s << (i ? "," : "(") << c.a[i] << (i == n - 1 ? ")" : "");
      s << " ";
    }
    return s.str();
  }
};

TEST_F(Script, IntegerAndFloatResults) {
  const int32_t min = INT32_MIN;  // and its negation
  struct { P prog; int32_t want; } cases[] = {
      {P().I(5).I(2).Op({DIVI}), 2}, {P().I(7).I(2).Op({DIVI}), 4}, {P().I(-5).I(2).Op({DIVI}), -2},
      {P().I(9).I(0).Op({DIVI}), 0}, {P().I(min).I(-1).Op({DIVI}), min}, {P().I(-7).I(2).Op({MODI}), -1},
      {P().I(7).I(-2).Op({MODI}), 1}, {P().I(7).I(0).Op({MODI}), 0}, {P().I(min).I(-1).Op({MODI}), 0},
      {P().I(10).I(3).Op({SUBI}), 7}, {P().I(0x7FFFFFFF).I(1).Op({ADDI}), min}, {P().F(2.5f).Op({FTOI}), 2},
      {P().F(3.5f).Op({FTOI}), 4}, {P().F(-0.5f).Op({FTOI}), 0}, {P().F(1e19f).Op({FTOI}), 0}, {P().F(NAN).Op({FTOI}), 0}};
  for (auto& c : cases) {
    Run(c.prog.Op({STOREI, 0}));
    EXPECT_EQ(scripter::IntVars[0], c.want) << ::testing::PrintToString(c.prog.b);
  }
  struct { P prog; int32_t time; float want; } fcases[] = {
      {P().F(10).F(3).Op({SUBF}), 0, 7.0f}, {P().F(1).F(3).Op({DIVF}), 0, 1.0f / 3.0f},
      {P().F(1).F(0).Op({DIVF}), 0, INFINITY}, {P().F(1e19f).Op({SINF}), 0, 0.0f},
      {P().I(2).F(120).Op({BEAT}), 1500, 0.5f}, {P().I(2).F(120).Op({BEAT}), 999, 0.999f},
      {P().I(1).F(9).Op({BEAT}), 6666, 6666.0f / 6667.0f}};  // the period 6666.67 rounds up
  for (auto& c : fcases) {
    Run(c.prog.Op({STOREF, 0}), c.time);
    EXPECT_FLOAT_EQ(scripter::FloatVars[0], c.want) << ::testing::PrintToString(c.prog.b);
  }
}

TEST_F(Script, ControlFlowAndBoundsEndRunsCleanly) {
  const uint8_t counting[37] = {0, 0, 0, 0, 0, 4, 0, 1, 0, 0, 1, 0, 0, 0, 8, 4, 0, 1, 0,
                                0, 5, 0, 0, 0, 0x2D, 0, 0x25, 0, 0, 0, 0x2E, 0, 7, 0, 0, 0, 0x18};  // counts to 5
  scripter::RunScript(counting, 37, 0, 0, 0);
  EXPECT_EQ(scripter::IntVars[0], 5);

  // The 51st JMP ends the run; the next run starts from byte 0, the variables carry over.
  const P forever = P().Op({LOADI, 1}).I(1).Op({ADDI, STOREI, 1}).I(0).Op({JMP});
  Run(forever), Run(forever);
  EXPECT_EQ(scripter::IntVars[1], 102);
  // A loop only JEQ closes is cut by the instruction budget: 3 + 6k + 1.
  Run(P().I(0).I(0).Op({SETCMP, LOADI, 2}).I(1).Op({ADDI, STOREI, 2}).I(11).Op({JEQ}));
  EXPECT_EQ(scripter::IntVars[2], (scripter::InstructionBudget - 4) / 6);

  // Each of these stores 9 first, then ends before storing 1.
  for (const P& p : {P().I(9).Op({STOREI, 3}).I(20).Op({JMP}).I(1).Op({STOREI, 3}),   // target == CodeLen
                     P().I(9).Op({STOREI, 3}).I(-5).Op({JMP}).I(1).Op({STOREI, 3}),   // negative target
                     P().I(9).Op({STOREI, 3}).I(0).F(120).Op({BEAT}).I(1).Op({STOREI, 3})}) {  // zero period
    Run(p);
    EXPECT_EQ(scripter::IntVars[3], 9) << ::testing::PrintToString(p.b);
    scripter::IntVars[3] = 0;
  }

  // Indices beyond the banks: a load gives 0, a store only pops.
  Run(P().I(5).Op({STOREI, 200, LOADI, 200, STOREI, 0}).F(2).Op({STOREF, 9, LOADF, 9, STOREF, 0, 17, 200}));
  EXPECT_TRUE(scripter::IntVars[0] == 0 && scripter::FloatVars[0] == 0.0f && calls.empty());
}

// A cut-off instruction does not run nor read past the end (the buffer is exactly the code's size).
TEST_F(Script, CodeEndsAtEveryOffset) {
  const P tail = P().I(7).Op({STOREI, 1}).F(0.5f).Op({STOREF, 1});
  for (size_t pad = 0; pad < 6; ++pad)
    for (size_t kept = 0; kept <= tail.b.size(); ++kept) {
      std::vector<uint8_t> code(pad, 0xff);  // one-byte no-operations
      code.insert(code.end(), tail.b.begin(), tail.b.begin() + static_cast<ptrdiff_t>(kept));
      scripter::IntVars[1] = 0, scripter::FloatVars[1] = 0;
      scripter::RunScript(code.data(), int32_t(code.size()), 0, 0, 0);
      EXPECT_EQ(scripter::IntVars[1], kept >= 7 ? 7 : 0) << pad << " " << kept;
      EXPECT_EQ(scripter::FloatVars[1], kept >= 14 ? 0.5f : 0.0f) << pad << " " << kept;
    }
}

TEST_F(Script, StackFaultsAreFatalWithTheirMessage) {
  P overflow, floatOverflow;
  for (int i = 0; i < 33; ++i) overflow.I(i), floatOverflow.F(1);
  const std::pair<P, std::string> cases[] = {
      {overflow, "Stack error (int push)"}, {P().Op({ADDI}), "Stack error (int pop)"},
      {floatOverflow, "Stack error (float push)"}, {P().F(1).F(2).F(3).Op({QUAD}), "Stack error (float pop)"},
      {P().Op({BEAT}), "Stack error (float pop)"},  // floats are popped first
      {P().F(0).F(0).F(0).Op({SHADOW, ADDI}), "Stack error (int pop)"}};
  std::string caption, text;
  auto old = messages::SetSink([&](const std::string& c, const std::string& t) { caption = c, text = t; });
  for (const auto& [prog, message] : cases) {
    EXPECT_THROW(Run(prog), messages::Fatal);
    EXPECT_EQ(caption + ": " + text, "bad error: " + message);
  }
  messages::SetSink(old);
  calls.clear();  // the shadow pass has been left: the next run draws in colour
  Run(P().F(1).F(0).F(0).Op({COLOR3}));
  EXPECT_EQ(Names(), "C(1,0,0,1) ");
}

// Every instruction pops and pushes what opcodes::Table says: with exactly
// its pops it runs, leaving exactly its pushes; with one fewer it faults.
// The one int it may pop is the offset after it, so a jump goes on there.
TEST_F(Script, EachInstructionHasTheTablesStackEffect) {
  auto old = messages::SetSink([](const std::string&, const std::string&) {});
  const auto fault = [](const P& p) -> std::string {
    try {
      Run(p);
    } catch (const messages::Fatal&) {
      return "fault";
    }
    return "ran";
  };
  for (const opcodes::TInstr& in : opcodes::Table) {
    SCOPED_TRACE(in.Name);
    const auto prog = [&](int ints, int floats, int storeI, int storeF) {
      P p;
      const int32_t after = 5 * (ints + floats) + 1 + opcodes::OperandBytes(in.Kind);
      for (int i = 0; i < ints; ++i) p.I(after - 5 * (in.IntPop - ints));
      for (int i = 0; i < floats; ++i) p.F(1);
      p.Op({in.Code}), p.b.resize(p.b.size() + static_cast<size_t>(opcodes::OperandBytes(in.Kind)));
      for (int i = 0; i < storeI; ++i) p.Op({STOREI, 0});
      for (int i = 0; i < storeF; ++i) p.Op({STOREF, 0});
      return p;
    };
    EXPECT_EQ(fault(prog(in.IntPop, in.FloatPop, in.IntPush, in.FloatPush)), "ran");
    EXPECT_EQ(fault(prog(in.IntPop, in.FloatPop, in.IntPush + 1, in.FloatPush)), "fault");
    EXPECT_EQ(fault(prog(in.IntPop, in.FloatPop, in.IntPush, in.FloatPush + 1)), "fault");
    if (in.IntPop > 0) EXPECT_EQ(fault(prog(in.IntPop - 1, in.FloatPop, 0, 0)), "fault");
    if (in.FloatPop > 0) EXPECT_EQ(fault(prog(in.IntPop, in.FloatPop - 1, 0, 0)), "fault");
  }
  messages::SetSink(old);
}

TEST_F(Script, ShadowPassDrawsBlackAndOffsetThenPutsThingsBack) {
  // SHADOW (0.1, -0.1, 0), red COLOR4, then QUAD with y0, x1, y1, x0.
  Run(P().F(0).F(-0.1f).F(0.1f).Op({SHADOW}).F(1).F(0).F(0).F(1).Op({COLOR4}).F(-2).F(3).F(4).F(-5).Op({QUAD}));
  EXPECT_EQ(Names(),
            "Disable C(0,0,0,1) Translate(0.1,-0.1,0) Begin T V(-5,4,-1) T V(3,4,-1) T V(3,-2,-1) T V(-5,-2,-1) End "
            "Translate(-0.1,0.1,-0) Enable C(1,0,0,1) Begin T V(-5,4,-1) T V(3,4,-1) T V(3,-2,-1) T V(-5,-2,-1) End ");

  calls.clear();  // a shadow run that ends early still moves back and turns depth testing on
  Run(P().F(0).F(0).F(0.25f).Op({SHADOW}).I(1).F(0).Op({BEAT}));
  EXPECT_EQ(Names(), "Disable C(0,0,0,1) Translate(0.25,0,0) Translate(-0.25,-0,-0) Enable ");
}

TEST_F(Script, ShapesTexturesAndLights) {
  // DISC n = 4: rim points (1, 0), (0, -1), (-1, 0), (0, 1), each after its predecessor.
  Run(P().I(4).F(1).Op({DISC}));
  auto v = Only("V");
  ASSERT_EQ(v.size(), 12u);
  const float want[8][2] = {{1, 0}, {0, 1}, {0, -1}, {1, 0}, {-1, 0}, {0, -1}, {0, 1}, {-1, 0}};  // vertices 1, 2
  for (int k = 0; k < 8; ++k)
    EXPECT_TRUE(std::hypot(v[k / 2 * 3 + 1 + k % 2].a[0] - want[k][0], v[k / 2 * 3 + 1 + k % 2].a[1] - want[k][1]) < 1e-6);
  EXPECT_EQ(Only("T")[1].a[0], 1.0f);  // tex 0.5 + 0.5 sin a

  calls.clear();  // SPHERE with negative n and r draws the same as positive; n = 3 and r = 0 draw nothing
  Run(P().I(-8).F(-2).Op({SPHERE}));
  const auto negative = std::exchange(calls, {});
  Run(P().I(8).F(2).Op({SPHERE}).I(3).F(2).Op({SPHERE}).I(8).F(0).Op({SPHERE}));
  ASSERT_EQ(negative.size(), calls.size());
  for (size_t i = 0; i < calls.size(); ++i)
    EXPECT_EQ(std::memcmp(negative[i].a, calls[i].a, sizeof calls[i].a), 0) << i;
  EXPECT_TRUE(Only("Begin").size() == 4u && Only("V").size() == 4u * 18u);
  EXPECT_NEAR(Only("V")[0].a[1], -2 * std::cos(3.14159265 / 4), 1e-6);  // lat1 of band 0

  calls.clear();  // RAYS k = 2: each segment ends at twice its start, white fading out
  Run(P().I(4).F(2).F(1).Op({RAYS}));
  v = Only("V");
  ASSERT_EQ(v.size(), 2u * 5u * 2u);
  for (size_t i = 0; i < v.size(); i += 2)
    for (int c = 0; c < 3; ++c) EXPECT_EQ(v[i + 1].a[c], 2 * v[i].a[c]);
  EXPECT_TRUE(calls.back().name == "End" && Only("C").back().a[3] == 0.0f);

  calls.clear();  // STARTUBE n = 0 begins and ends and leaves the colour alone; BOX takes hx from the top
  Run(P().I(0).F(1).F(1).F(0).F(1).Op({STARTUBE}).F(3).F(2).F(1).Op({BOX}));
  EXPECT_EQ(Names().substr(0, 55), "Begin End Begin T V(-1,-2,-3) T V(1,-2,-3) T V(1,2,-3) ");

  calls.clear();  // a shape the budget cannot pay for ends the run without drawing
  Run(P().I(100000).F(1).Op({SPHERE}).F(1).F(1).F(1).Op({COLOR3}));
  EXPECT_TRUE(calls.empty());

  const auto saved = std::exchange(texMan::TextureTable, {{}});
  texMan::TextureTable[0].GLName = 77;
  Run(P().I(0).Op({BINDTEX}).I(-1).Op({BINDTEX}).I(1).Op({BINDTEX}));  // -1 and the count bind nothing
  texMan::TextureTable = saved;
  EXPECT_EQ(std::vector<float>({calls[0].a[0], calls[1].a[0], calls[2].a[0]}), (std::vector<float>{77, 0, 0}));

  Run(P().I(0x4000).I(0x1201).F(4).F(3).F(2).F(1).Op({LIGHTV}));  // c0 is the value pushed last
  EXPECT_EQ(std::vector<float>(calls.back().a, calls.back().a + 4), (std::vector<float>{0x4000, 0x1201, 1, 4}));
}

class ScriptPlayer : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = testutil::TempDir("scripter"); }
  void TearDown() override { fs::remove_all(dir_); }
  testutil::RunResult Capture(const std::vector<uint8_t>& code, int32_t codeLen) {
    filestuff::WriteDemoFile((dir_ / "demo.qvl").string(), [&] {
      scheduler::TDemoEvent e{500, 1000, 0, {}, 2, 0};
      filestuff::WriteInt("EventCount", 1), filestuff::WriteBlock("Ev0", &e, sizeof e);
      filestuff::WriteInt("ScrCount", 1), filestuff::WriteInt("ScrCLen0", codeLen);
      if (!code.empty()) filestuff::WriteBlock("ScrC0", code.data(), static_cast<int32_t>(code.size()));
    });
    return testutil::Run("timeout 60 env SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy " +
                         testutil::Quote(QVL_PLAYER_PATH) + " -C " + testutil::Quote(dir_.string()) +
                         " --capture out --rate 10 --size 16x16 --to 800");
  }
  size_t Frames() const { return std::distance(fs::directory_iterator(dir_ / "out"), fs::directory_iterator{}); }
  fs::path dir_;
};

TEST_F(ScriptPlayer, StackFaultEndsTheCaptureLoopingJeqDoesNot) {
  P overflow;
  for (int i = 0; i < 33; ++i) overflow.I(i);
  auto r = Capture(overflow.b, int32_t(overflow.b.size()));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("bad error: Stack error (int push)"), std::string::npos) << r.err;
  EXPECT_EQ(Frames(), 5u);  // 0 .. 400 ms, before the event

  r = Capture(P().I(0).I(0).Op({SETCMP}).I(11).Op({JEQ}).b, 16);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Frames(), 9u);

  // A length with no code behind it is an empty program, not 200 zero bytes (40 pushes).
  EXPECT_EQ(Capture({}, 200).status, 0);
}

}  // namespace
