// The script interpreter: numbers, control flow, the shadow pass, the
// shapes (through a recording GL table), stack faults, and the Scripter
// inside the player.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "data/filestuff.h"
#include "engine/messages.h"
#include "engine/scheduler.h"
#include "glTest.h"
#include "resources/texMan.h"
#include "script/scripter.h"
#include "toolRun.h"

namespace {

namespace fs = std::filesystem;

enum : uint8_t {
  LOADI = 1, LOADF = 3, STOREI = 4, STOREF = 5, MULI = 6, DIVI = 7, ADDI = 8, SUBI = 9, MULF = 10,
  DIVF = 11, SUBF = 13, SINF = 14, STARTUBE = 15, JMP = 24, COLOR3 = 28, COLOR4 = 29, BINDTEX = 38,
  SETCMP = 45, JEQ = 46, MODI = 47, LIGHTV = 48, TIME = 50, ELAPSED = 51, PROGRESS = 52, ITOF = 53,
  FTOI = 54, BEAT = 73, QUAD = 91, BOX = 92, SPHERE = 94, DISC = 95, RAYS = 99, SHADOW = 100,
};

// A program under construction: I() and F() are PUSHI and PUSHF.
struct P {
  std::vector<uint8_t> b;
  P& Op(std::initializer_list<uint8_t> ops) { return b.insert(b.end(), ops), *this; }
  P& I(int32_t v) { return Raw(0, &v); }
  P& F(float v) { return Raw(2, &v); }
  P& Raw(uint8_t op, const void* v) {
    b.push_back(op);
    b.insert(b.end(), static_cast<const uint8_t*>(v), static_cast<const uint8_t*>(v) + 4);
    return *this;
  }
};

struct Call {
  std::string name;
  float a[4];
};
std::vector<Call> calls;
void Rec(const char* n, float a = 0, float b = 0, float c = 0, float d = 0) { calls.push_back({n, {a, b, c, d}}); }

#define REC(name) [](auto... a) { Rec(name, float(a)...); }
scripter::GLCalls Recorder() {
  return {REC("Begin"), REC("End"), REC("V"), REC("T"), REC("N"),
          [](float r, float g, float b) { Rec("C", r, g, b, 1); },
          REC("C"), REC("Push"), REC("Pop"), REC("Translate"), REC("Rotate"), REC("Enable"), REC("Disable"),
          REC("Blend"), REC("Bind"),
          [](uint32_t l, uint32_t p, const float* v) { Rec("Light", float(l), float(p), v[0], v[3]); },
          REC("LineWidth")};
}
#undef REC

class Script : public ::testing::Test {
 protected:
  void SetUp() override {
    scripter::GL = Recorder();
    scripter::IntVars.assign(4, 0);
    scripter::FloatVars.assign(4, 0);
    calls.clear();
  }
  void TearDown() override { scripter::GL = scripter::RealGL(); }
  static void Run(const P& p, int32_t time = 0) {
    scripter::RunScript(p.b.data(), static_cast<int32_t>(p.b.size()), time, 0, 0.0f);
  }
  // The calls of one kind, in order.
  static std::vector<Call> Only(const std::string& name) {
    std::vector<Call> out;
    for (const Call& c : calls)
      if (c.name == name) out.push_back(c);
    return out;
  }
  // The calls in order; colours, moves and vertices with their values.
  static std::string Names() {
    std::ostringstream s;
    for (const Call& c : calls) {
      s << c.name;
      const int n = c.name == "C" ? 4 : (c.name == "V" || c.name == "Translate") ? 3 : 0;
      for (int i = 0; i < n; ++i) s << (i ? "," : "(") << c.a[i] << (i == n - 1 ? ")" : "");
      s << " ";
    }
    return s.str();
  }
};

TEST_F(Script, IntegerResults) {
  const int32_t min = std::numeric_limits<int32_t>::min();
  struct Case { P prog; int32_t want; } cases[] = {
      {P().I(5).I(2).Op({DIVI}), 2}, {P().I(7).I(2).Op({DIVI}), 4}, {P().I(-5).I(2).Op({DIVI}), -2},
      {P().I(9).I(0).Op({DIVI}), 0}, {P().I(min).I(-1).Op({DIVI}), min}, {P().I(-7).I(2).Op({MODI}), -1},
      {P().I(7).I(-2).Op({MODI}), 1}, {P().I(7).I(0).Op({MODI}), 0}, {P().I(min).I(-1).Op({MODI}), 0},
      {P().I(10).I(3).Op({SUBI}), 7}, {P().I(0x7FFFFFFF).I(1).Op({ADDI}), min},
      {P().I(0x10000).I(0x10000).Op({MULI}), 0}, {P().F(2.5f).Op({FTOI}), 2}, {P().F(3.5f).Op({FTOI}), 4},
      {P().F(-0.5f).Op({FTOI}), 0}, {P().F(3e9f).Op({FTOI}), -1294967296},
      {P().F(1e19f).Op({FTOI}), 0}, {P().F(NAN).Op({FTOI}), 0}, {P().F(INFINITY).Op({FTOI}), 0},
      {P().Raw(0, "\x00\x00\x00\x80"), min}, {P().Op({TIME}), 1234},
  };
  for (auto& c : cases) {
    c.prog.Op({STOREI, 0});
    Run(c.prog, 1234);
    EXPECT_EQ(scripter::IntVars[0], c.want) << ::testing::PrintToString(c.prog.b);
  }
}

TEST_F(Script, FloatResults) {
  struct Case { P prog; int32_t time; float want; } cases[] = {
      {P().F(10).F(3).Op({SUBF}), 0, 7.0f}, {P().F(1).F(3).Op({DIVF}), 0, 1.0f / 3.0f},
      {P().F(1).F(0).Op({DIVF}), 0, INFINITY}, {P().F(1e19f).Op({SINF}), 0, 0.0f},
      {P().F(1.5f).Op({SINF}), 0, std::sin(1.5f)}, {P().I(16777217).Op({ITOF}), 0, 16777216.0f},
      {P().Raw(2, "\x00\x00\x80\x3F"), 0, 1.0f}, {P().F(3).F(0.5f).Op({MULF}), 0, 1.5f},
      {P().I(2).F(120).Op({BEAT}), 1500, 0.5f}, {P().I(2).F(120).Op({BEAT}), 999, 0.999f},
      {P().I(2).F(-120).Op({BEAT}), 1500, -0.5f}, {P().I(1).F(60).Op({BEAT}), -1, 0.295f},
      {P().I(1).F(9).Op({BEAT}), 6666, 6666.0f / 6667.0f},  // the period 6666.67 rounds up
  };
  for (auto& c : cases) {
    c.prog.Op({STOREF, 0});
    Run(c.prog, c.time);
    EXPECT_FLOAT_EQ(scripter::FloatVars[0], c.want) << ::testing::PrintToString(c.prog.b);
  }
}

TEST_F(Script, ControlFlowAndBoundsEndRunsCleanly) {
  const uint8_t counting[37] = {0, 0, 0, 0, 0, 4, 0, 1, 0, 0, 1, 0, 0, 0, 8, 4, 0, 1, 0,
                                0, 5, 0, 0, 0, 0x2D, 0, 0x25, 0, 0, 0, 0x2E, 0, 7, 0, 0, 0, 0x18};  // counts to 5
  scripter::RunScript(counting, 37, 0, 0, 0);
  EXPECT_EQ(scripter::IntVars[0], 5);

  // The 51st JMP ends the run; the next run starts from byte 0, the
  // variables carry over.
  const P forever = P().Op({LOADI, 1}).I(1).Op({ADDI, STOREI, 1}).I(0).Op({JMP});
  Run(forever);
  Run(forever);
  EXPECT_EQ(scripter::IntVars[1], 102);

  // A loop only JEQ closes is cut by the instruction budget: 3 + 6k + 1.
  const P jeq = P().I(0).I(0).Op({SETCMP, LOADI, 2}).I(1).Op({ADDI, STOREI, 2}).I(11).Op({JEQ});
  Run(jeq);
  EXPECT_EQ(scripter::IntVars[2], (scripter::InstructionBudget - 4) / 6);

  // Each of these stores 9 first, then ends before storing 1.
  const P endings[] = {
      P().I(9).Op({STOREI, 3}).I(20).Op({JMP}).I(1).Op({STOREI, 3}),   // target == CodeLen
      P().I(9).Op({STOREI, 3}).I(-5).Op({JMP}).I(1).Op({STOREI, 3}),   // negative target
      P().I(9).Op({STOREI, 3}).I(0).I(0).Op({SETCMP}).I(999).Op({JEQ}).I(1).Op({STOREI, 3}),
      P().I(9).Op({STOREI, 3}).I(0).F(120).Op({BEAT}).I(1).Op({STOREI, 3}),  // zero period
  };
  for (size_t i = 0; i < std::size(endings); ++i) {
    scripter::IntVars[3] = 0;
    Run(endings[i]);
    EXPECT_EQ(scripter::IntVars[3], 9) << i;
  }

  // Indices beyond the banks: a load gives 0, a store only pops.
  Run(P().I(5).Op({STOREI, 200, LOADI, 200, STOREI, 0}).F(2).Op({STOREF, 9, LOADF, 9, STOREF, 0, 17, 200}));
  EXPECT_TRUE(scripter::IntVars[0] == 0 && scripter::FloatVars[0] == 0.0f && calls.empty());
}

// An instruction that fits runs; one whose operands are cut off does not
// and reads nothing past the end (the code sits in a buffer of exactly its
// size, so the sanitizer build sees any stray read).
TEST_F(Script, CodeEndsAtEveryOffset) {
  const P tail = P().I(7).Op({STOREI, 1}).F(0.5f).Op({STOREF, 1});
  for (size_t pad = 0; pad < 12; ++pad)
    for (size_t kept = 0; kept <= tail.b.size(); ++kept) {
      std::vector<uint8_t> code(pad, 0xff);  // one-byte no-operations
      code.insert(code.end(), tail.b.begin(), tail.b.begin() + static_cast<ptrdiff_t>(kept));
      scripter::IntVars[1] = 0, scripter::FloatVars[1] = 0;
      scripter::RunScript(code.data(), static_cast<int32_t>(code.size()), 0, 0, 0.0f);
      EXPECT_EQ(scripter::IntVars[1], kept >= 7 ? 7 : 0) << pad << " " << kept;
      EXPECT_EQ(scripter::FloatVars[1], kept >= 14 ? 0.5f : 0.0f) << pad << " " << kept;
    }
}

TEST_F(Script, StackFaultsAreFatalWithTheirMessage) {
  P overflow;
  for (int i = 0; i < 33; ++i) overflow.I(i);
  P floatOverflow;
  for (int i = 0; i < 33; ++i) floatOverflow.F(1);
  const std::pair<P, std::string> cases[] = {
      {overflow, "Stack error (int push)"},
      {P().Op({ADDI}), "Stack error (int pop)"},
      {P().F(1).F(2).F(3).Op({QUAD}), "Stack error (float pop)"},
      {floatOverflow, "Stack error (float push)"},
      {P().Op({BEAT}), "Stack error (float pop)"},  // floats are popped first
      {P().F(0).F(0).F(0).Op({SHADOW, ADDI}), "Stack error (int pop)"},
  };
  std::string caption, text;
  auto old = messages::SetSink([&](const std::string& c, const std::string& t) { caption = c, text = t; });
  for (const auto& [prog, message] : cases) {
    text.clear();
    EXPECT_THROW(Run(prog), messages::Fatal);
    EXPECT_EQ(caption, "bad error");
    EXPECT_EQ(text, message);
  }
  messages::SetSink(old);
  // The shadow pass has been left: the next run draws in colour.
  calls.clear();
  Run(P().F(1).F(0).F(0).Op({COLOR3}));
  EXPECT_EQ(Names(), "C(1,0,0,1) ");
}

TEST_F(Script, ShadowPassDrawsBlackAndOffsetThenPutsThingsBack) {
  // SHADOW (0.1, -0.1, 0), red COLOR4, then QUAD with y0, x1, y1, x0.
  Run(P().F(0).F(-0.1f).F(0.1f).Op({SHADOW}).F(1).F(0).F(0).F(1).Op({COLOR4}).F(-2).F(3).F(4).F(-5).Op({QUAD}));
  EXPECT_EQ(Names(),
            "Disable C(0,0,0,1) Translate(0.1,-0.1,0) Begin T V(-5,4,-1) T V(3,4,-1) T V(3,-2,-1) T V(-5,-2,-1) End "
            "Translate(-0.1,0.1,-0) Enable C(1,0,0,1) Begin T V(-5,4,-1) T V(3,4,-1) T V(3,-2,-1) T V(-5,-2,-1) End ");

  // A shadow run that ends early still moves back and turns depth testing on.
  calls.clear();
  Run(P().F(0).F(0).F(0.25f).Op({SHADOW}).I(1).F(0).Op({BEAT}));
  EXPECT_EQ(Names(), "Disable C(0,0,0,1) Translate(0.25,0,0) Translate(-0.25,-0,-0) Enable ");
}

TEST_F(Script, ShapesVertexForVertex) {
  // DISC n = 4: rim points (1, 0), (0, -1), (-1, 0), (0, 1), each after its predecessor.
  Run(P().I(4).F(1).Op({DISC}));
  auto v = Only("V");
  ASSERT_EQ(v.size(), 12u);
  const float rim[5][2] = {{0, 1}, {1, 0}, {0, -1}, {-1, 0}, {0, 1}};
  for (int k = 0; k < 4; ++k)
    for (int c = 0; c < 2; ++c) {
      EXPECT_NEAR(v[3 * k + 1].a[c], rim[k + 1][c], 1e-6) << k;
      EXPECT_NEAR(v[3 * k + 2].a[c], rim[k][c], 1e-6) << k;
    }
  EXPECT_EQ(Only("T")[1].a[0], 1.0f);  // tex 0.5 + 0.5 sin a

  // SPHERE with negative n and r draws the same as positive; n = 3 draws nothing.
  calls.clear();
  Run(P().I(-8).F(-2).Op({SPHERE}));
  const auto negative = calls;
  calls.clear();
  Run(P().I(8).F(2).Op({SPHERE}).I(3).F(2).Op({SPHERE}).I(8).F(0).Op({SPHERE}));
  ASSERT_EQ(negative.size(), calls.size());
  for (size_t i = 0; i < calls.size(); ++i)
    EXPECT_EQ(std::memcmp(negative[i].a, calls[i].a, sizeof calls[i].a), 0) << i;
  EXPECT_EQ(Only("Begin").size(), 4u);
  EXPECT_EQ(Only("V").size(), 4u * 18u);
  EXPECT_NEAR(Only("V")[0].a[1], -2 * std::cos(3.14159265 / 4), 1e-6);  // lat1 of band 0
  EXPECT_NEAR(Only("N")[0].a[0], std::cos(3.14159265 / 4), 1e-6);

  // RAYS k = 2: each segment ends at twice its start, white fading out.
  calls.clear();
  Run(P().I(4).F(2).F(1).Op({RAYS}));
  v = Only("V");
  ASSERT_EQ(v.size(), 2u * 5u * 2u);
  for (size_t i = 0; i < v.size(); i += 2)
    for (int c = 0; c < 3; ++c) EXPECT_EQ(v[i + 1].a[c], 2 * v[i].a[c]);
  EXPECT_TRUE(calls.back().name == "End" && Only("C").back().a[3] == 0.0f);

  // STARTUBE n = 0 still begins and ends, and leaves the colour alone; BOX takes hx from the top.
  calls.clear();
  Run(P().I(0).F(1).F(1).F(0).F(1).Op({STARTUBE}).F(3).F(2).F(1).Op({BOX}));
  EXPECT_EQ(Names().substr(0, 55), "Begin End Begin T V(-1,-2,-3) T V(1,-2,-3) T V(1,2,-3) ");

  // A shape the budget cannot pay for ends the run without drawing.
  calls.clear();
  Run(P().I(100000).F(1).Op({SPHERE}).F(1).F(1).F(1).Op({COLOR3}));
  EXPECT_TRUE(calls.empty());
}

TEST_F(Script, TexturesLightsAndTimeInputs) {
  const auto saved = texMan::TextureTable;
  texMan::TextureTable.assign(1, {});
  texMan::TextureTable[0].GLName = 77;
  Run(P().I(0).Op({BINDTEX}).I(-1).Op({BINDTEX}).I(1).Op({BINDTEX}));
  texMan::TextureTable = saved;
  EXPECT_EQ(Names(), "Bind Bind Bind ");
  EXPECT_EQ(std::vector<float>({calls[0].a[0], calls[1].a[0], calls[2].a[0]}), (std::vector<float>{77, 0, 0}));

  Run(P().I(0x4000).I(0x1201).F(4).F(3).F(2).F(1).Op({LIGHTV}));  // c0 is the value pushed last
  EXPECT_EQ(std::vector<float>(calls.back().a, calls.back().a + 4), (std::vector<float>{0x4000, 0x1201, 1, 4}));

  P p = P().Op({ELAPSED, STOREI, 1, PROGRESS, STOREF, 1});
  scripter::RunScript(p.b.data(), static_cast<int32_t>(p.b.size()), 9, 40, 0.25f);
  EXPECT_TRUE(scripter::IntVars[1] == 40 && scripter::FloatVars[1] == 0.25f);
}

class ScriptGL : public GLTest {};

TEST_F(ScriptGL, ShadowIsSeenBlackAndShifted) {
  glClearColor(0.5f, 0.5f, 0.5f, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glDisable(GL_TEXTURE_2D);
  P p = P().F(0).F(-0.1f).F(0.1f).Op({SHADOW}).F(1).F(1).F(1).Op({COLOR3});
  p.F(-0.2f).F(0.2f).F(0.2f).F(-0.2f).Op({QUAD});
  scripter::RunScript(p.b.data(), static_cast<int32_t>(p.b.size()), 0, 0, 0);
  const int c = Width() / 2;  // 0.2 at z = -1 is about 62 pixels here
  for (auto [x, y, want] : {std::tuple{c, c, RGBA{255, 255, 255, 255}}, {c + 70, c - 40, {0, 0, 0, 255}},
                            {c - 70, c, {128, 128, 128, 255}}})
    EXPECT_TRUE(Near(ReadPixel(x, y), want)) << x << "," << y << ": " << ReadPixel(x, y);
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  glClearColor(0, 0, 0, 0);
}

// The Scripter inside qvlplay --capture.
class ScriptPlayer : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = testutil::TempDir("scripter"); }
  void TearDown() override { fs::remove_all(dir_); }
  testutil::RunResult Capture(const std::vector<uint8_t>& code, int32_t codeLen) {
    filestuff::WriteDemoFile((dir_ / "demo.qvl").string(), [&] {
      scheduler::TDemoEvent e{};
      e.Start = 500, e.Length = 1000, e.OpType = 2;
      filestuff::WriteInt("EventCount", 1);
      filestuff::WriteBlock("Ev0", &e, sizeof e);
      filestuff::WriteInt("ScrCount", 1);
      filestuff::WriteInt("ScrCLen0", codeLen);
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
  auto r = Capture(overflow.b, static_cast<int32_t>(overflow.b.size()));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("bad error: Stack error (int push)"), std::string::npos) << r.err;
  EXPECT_EQ(Frames(), 5u);  // 0 .. 400 ms, before the event

  const P loop = P().I(0).I(0).Op({SETCMP}).I(11).Op({JEQ});
  r = Capture(loop.b, static_cast<int32_t>(loop.b.size()));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Frames(), 9u);

  // A length with no code behind it is an empty program, not 200 zero bytes (40 pushes).
  r = Capture({}, 200);
  EXPECT_EQ(r.status, 0) << r.err;
}

}  // namespace
