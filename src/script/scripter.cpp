// scripter: the script interpreter. In order: its state by lifetime (whole
// program, per run); the arithmetic helpers and operand reads; the dispatch
// tables, checked against the opcode table; Execute, one handler per
// instruction; the GL table and the entry points.
#include "script/scripter.h"

#include <GL/gl.h>

#include <array>
#include <cmath>
#include <cstring>
#include <limits>

#include "engine/messages.h"
#include "resources/texMan.h"
#include "script/opcodes.h"
#include "script/scriptShapes.h"

namespace scripter {

// DIVI, DIVF, BEAT and the shapes round through a 64-bit mantissa; stored
// demos were made with exactly that precision.
static_assert(std::numeric_limits<long double>::digits == 64, "long double must have a 64-bit mantissa");

// ---- whole program ----
std::vector<int32_t> IntVars;
std::vector<float> FloatVars;
int32_t CmpA = 0, CmpB = 0;
GLCalls GL = RealGL();

namespace {

constexpr int32_t StackSize = 32;
constexpr int32_t MaxJumps = 50;

// ---- per run (the shadow pass nests once and shares all of it) ----
int32_t IntStack[StackSize];
float FloatStack[StackSize];
int32_t IntDepth = 0, FloatDepth = 0;
bool ShadowPass = false;
float ShadowOffset[3] = {0, 0, 0};
float LightVector[4] = {0, 0, 0, 0};
int64_t BudgetLeft = 0;

struct Inputs {
  const uint8_t* Code;
  int32_t CodeLen;
  int32_t Time;
  int32_t Elapsed;
  float Progress;
};

// ---- arithmetic and operands ----

// The low 32 bits of x rounded to the nearest integer (halves to even) as
// a 64-bit integer; infinities, NaN and magnitudes of 2^63 or more give 0.
int32_t RoundLow32(long double x) {
  if (!(std::fabs(x) < 0x1p63L)) return 0;
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(std::llrint(x))));
}

int32_t Div(int32_t a, int32_t b) {
  if (b == 0) return 0;
  const long double r = 1.0L / static_cast<long double>(b);
  return RoundLow32(static_cast<long double>(a) * r);
}

int32_t Mod(int32_t a, int32_t b) { return (b == 0 || b == -1) ? 0 : a % b; }

float Sin(float a) {
  if (!(std::fabs(a) < 0x1p63f)) return 0.0f;
  return static_cast<float>(std::sin(static_cast<long double>(a)));
}

int32_t Wrap(uint32_t v) { return static_cast<int32_t>(v); }

int32_t ReadI32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return Wrap(v);
}

float ReadF32(const uint8_t* p) {
  float v;
  std::memcpy(&v, p, 4);
  return v;
}

[[noreturn]] __attribute__((noinline, cold)) void IntPushError() { ScriptError("Stack error (int push)"); }
[[noreturn]] __attribute__((noinline, cold)) void IntPopError() { ScriptError("Stack error (int pop)"); }
[[noreturn]] __attribute__((noinline, cold)) void FloatPushError() { ScriptError("Stack error (float push)"); }
[[noreturn]] __attribute__((noinline, cold)) void FloatPopError() { ScriptError("Stack error (float pop)"); }

void Execute(const Inputs& in);

// Runs the whole program again as a black, offset shadow; the outer run
// continues with the stacks as the nested one leaves them.
void ShadowRun(const Inputs& in, const float* xyz) {
  ShadowPass = true;
  ShadowOffset[0] = xyz[0];
  ShadowOffset[1] = xyz[1];
  ShadowOffset[2] = xyz[2];
  struct Off {
    ~Off() { ShadowPass = false; }
  } off;
  Execute(in);
}

// ---- dispatch tables ----

// Operand bytes after each opcode byte, for the checked step near the end
// of the code.
constexpr std::array<uint8_t, 256> OperandLengths() {
  std::array<uint8_t, 256> a{};
  // Walks the table itself: comparing pointers into it is not a constant
  // expression under GCC's undefined-behaviour sanitizer.
  for (const opcodes::TInstr& i : opcodes::Table) a[i.Code] = opcodes::OperandBytes(i.Kind);
  return a;
}
constexpr std::array<uint8_t, 256> OperandLength = OperandLengths();
constexpr int MaxOperandBytes = 4;

// The handlers by opcode byte, written once: H(n) has a handler below, N is a
// no-operation. The computed-goto table is made from it, and it is checked
// against opcodes::Table at compile time.
#define QVL_HANDLERS(H, N) \
  H(0), H(1), H(2), H(3), H(4), H(5), H(6), H(7), H(8), H(9), H(10), H(11), H(12), H(13), H(14), H(15), \
  H(16), N, N, N, N, N, N, N, H(24), H(25), H(26), H(27), H(28), H(29), H(30), H(31), \
  H(32), H(33), H(34), H(35), H(36), H(37), H(38), N, N, N, N, N, N, H(45), H(46), H(47), \
  H(48), H(49), H(50), H(51), H(52), H(53), H(54), N, N, N, N, N, N, N, N, N, \
  N, N, N, N, N, N, N, N, N, H(73), N, N, N, N, N, N, \
  N, N, N, N, N, N, N, N, N, N, N, H(91), H(92), H(93), H(94), H(95), \
  H(96), N, N, H(99), H(100), N, N, N, N, N, N, N, N, N, N, N, \
  N, N, N, N, N, N, N, N, N, N, N, N, N, N, N, N, \
  N, N, N, N, N, N, N, N, N, N, N, N, N, N, N, N, \
  N, N, N, N, N, N, N, N, N, N, N, N, N, N, N, N, \
  N, N, N, N, N, N, N, N, N, N, N, N, N, N, N, N, \
  N, N, N, N, N, N, N, N, N, N, N, N, N, N, N, N, \
  N, N, N, N, N, N, N, N, N, N, N, N, N, N, N, N, \
  N, N, N, N, N, N, N, N, N, N, N, N, N, N, N, N, \
  N, N, N, N, N, N, N, N, N, N, N, N, N, N, N, N, \
  N, N, N, N, N, N, N, N, N, N, N, N, N, N, N, N

#define QVL_CODE_OF(n) n
#define QVL_NO_CODE -1
constexpr std::array<int, 256> HandledCodes = {QVL_HANDLERS(QVL_CODE_OF, QVL_NO_CODE)};
#undef QVL_CODE_OF
#undef QVL_NO_CODE

constexpr bool HandlersFollowTheTable() {
  std::array<bool, 256> inTable{};
  for (const opcodes::TInstr& i : opcodes::Table) inTable[i.Code] = true;
  for (int c = 0; c < 256; ++c)
    if (HandledCodes[static_cast<size_t>(c)] != (inTable[static_cast<size_t>(c)] ? c : -1)) return false;
  return true;
}
static_assert(HandlersFollowTheTable(), "QVL_HANDLERS and opcodes::Table name different opcodes");

// ---- the interpreter ----

// Computed goto where the compiler has it; the portable `switch` runs the
// same handlers otherwise.
#if (defined(__GNUC__) || defined(__clang__)) && !defined(QVL_SCRIPT_SWITCH)
#define QVL_THREADED 1
#else
#define QVL_THREADED 0
#endif

// One run: steps the program counter through the code. The stack tops,
// the program counter and the budget live in locals while the loop runs
// and go back to the module state around anything that reads them (the
// shadow pass).
//
// Every handler ends by dispatching the next instruction itself. While the
// program counter is more than MaxOperandBytes before the end, any
// instruction's operands lie inside the code, so one comparison covers both
// the end of the code and the operands; the last few bytes take a checked
// step instead.
#if defined(__GNUC__) && !defined(__clang__)
// Merging the handlers' identical dispatch tails into one would give every
// instruction the same indirect jump to predict.
__attribute__((optimize("no-crossjumping")))
#endif
void Execute(const Inputs& in) {
  // Stack tops as pointers: `it` and `ft` point one past the top entry.
  int32_t* it = IntStack;
  float* ft = FloatStack;
  int32_t* const iEnd = IntStack + StackSize;
  float* const fEnd = FloatStack + StackSize;
  int32_t* const iv = IntVars.data();
  const size_t ivCount = IntVars.size();
  float* const fv = FloatVars.data();
  const size_t fvCount = FloatVars.size();
  const uint8_t* const code = in.Code;
  const int64_t len = in.CodeLen;
  const uint8_t* const end = code + len;
  const uint8_t* const fastEnd = len > MaxOperandBytes ? end - MaxOperandBytes : code;
  const uint8_t* pc = code;  // the opcode byte that runs next
  int32_t jumps = 0;
  int64_t budget = BudgetLeft;
  const bool shadow = ShadowPass;

  if (shadow) {
    GL.Disable(GL_DEPTH_TEST);
    GL.Color4f(0.0f, 0.0f, 0.0f, 1.0f);
    GL.Translatef(ShadowOffset[0], ShadowOffset[1], ShadowOffset[2]);
  }

#define NEED_I(k) \
  if (it < IntStack + (k)) [[unlikely]] IntPopError()
#define NEED_F(k) \
  if (ft < FloatStack + (k)) [[unlikely]] FloatPopError()
#define PUSH_I(v)                                \
  do {                                           \
    if (it == iEnd) [[unlikely]] IntPushError(); \
    *it++ = (v);                                 \
  } while (0)
#define PUSH_F(v)                                  \
  do {                                             \
    if (ft == fEnd) [[unlikely]] FloatPushError(); \
    *ft++ = (v);                                   \
  } while (0)
// A shape pays one instruction per vertex; one the budget cannot pay for
// ends the run instead of drawing.
#define PAY(vertices)                 \
  do {                                \
    const int64_t cost_ = (vertices); \
    if (cost_ > budget) goto early;   \
    budget -= cost_;                  \
  } while (0)
#if QVL_THREADED
#define QVL_LABEL_OF(n) &&op##n
#define QVL_NO_LABEL &&nop
  static const void* const labels[256] = {QVL_HANDLERS(QVL_LABEL_OF, QVL_NO_LABEL)};
#undef QVL_LABEL_OF
#undef QVL_NO_LABEL
#define OP(n) op##n
#define DEFAULT_OP nop
#define RUN goto* labels[*pc]
#else
#define OP(n) case n
#define DEFAULT_OP default
#define RUN goto run
#endif
// Pays one from the budget and runs the instruction at `pc`.
#define NEXT                                   \
  do {                                         \
    if (pc >= fastEnd) [[unlikely]] goto step; \
    if (--budget < 0) [[unlikely]] goto early; \
    RUN;                                       \
  } while (0)
// Advances past an instruction of `n` operand bytes and runs the next.
#define ADVANCE(n) \
  pc += 1 + (n);   \
  NEXT

step:
  if (pc >= end) goto done;
  if (--budget < 0) goto early;
  if (end - pc <= OperandLength[*pc]) goto done;
  RUN;

#if !QVL_THREADED
run:
  switch (*pc) {
#endif
  OP(0):  // PUSHI
    PUSH_I(ReadI32(pc + 1));
    ADVANCE(4);
  OP(1): {  // LOADI
    const uint8_t i = pc[1];
    PUSH_I(i < ivCount ? iv[i] : 0);
    ADVANCE(1);
  }
  OP(2):  // PUSHF
    PUSH_F(ReadF32(pc + 1));
    ADVANCE(4);
  OP(3): {  // LOADF
    const uint8_t i = pc[1];
    PUSH_F(i < fvCount ? fv[i] : 0.0f);
    ADVANCE(1);
  }
  OP(4): {  // STOREI
    const uint8_t i = pc[1];
    NEED_I(1);
    --it;
    if (i < ivCount) iv[i] = it[0];
    ADVANCE(1);
  }
  OP(5): {  // STOREF
    const uint8_t i = pc[1];
    NEED_F(1);
    --ft;
    if (i < fvCount) fv[i] = ft[0];
    ADVANCE(1);
  }
  OP(6):  // MULI
    NEED_I(2);
    --it;
    it[-1] = Wrap(static_cast<uint32_t>(it[-1]) * static_cast<uint32_t>(it[0]));
    ADVANCE(0);
  OP(7):  // DIVI
    NEED_I(2);
    --it;
    it[-1] = Div(it[-1], it[0]);
    ADVANCE(0);
  OP(8):  // ADDI
    NEED_I(2);
    --it;
    it[-1] = Wrap(static_cast<uint32_t>(it[-1]) + static_cast<uint32_t>(it[0]));
    ADVANCE(0);
  OP(9):  // SUBI
    NEED_I(2);
    --it;
    it[-1] = Wrap(static_cast<uint32_t>(it[-1]) - static_cast<uint32_t>(it[0]));
    ADVANCE(0);
  OP(10):  // MULF
    NEED_F(2);
    --ft;
    ft[-1] = ft[-1] * ft[0];
    ADVANCE(0);
  OP(11):  // DIVF
    NEED_F(2);
    --ft;
    ft[-1] = static_cast<float>(static_cast<long double>(ft[-1]) * (1.0L / ft[0]));
    ADVANCE(0);
  OP(12):  // ADDF
    NEED_F(2);
    --ft;
    ft[-1] = ft[-1] + ft[0];
    ADVANCE(0);
  OP(13):  // SUBF
    NEED_F(2);
    --ft;
    ft[-1] = ft[-1] - ft[0];
    ADVANCE(0);
  OP(14):  // SINF
    NEED_F(1);
    ft[-1] = Sin(ft[-1]);
    ADVANCE(0);
  OP(15): {  // STARTUBE
    NEED_F(4);
    ft -= 4;
    NEED_I(1);
    --it;
    PAY(shapes::StarTubeVertices(it[0]));
    shapes::StarTube(it[0], ft[0], ft[1], ft[2], ft[3]);
    ADVANCE(0);
  }
  OP(16):  // LINEWIDTH
    NEED_F(1);
    GL.LineWidth(*--ft);
    ADVANCE(0);
  OP(24):  // JMP
    if (++jumps > MaxJumps) goto early;
    NEED_I(1);
    {
      const int32_t target = *--it;
      if (target < 0 || target >= len) goto done;
      pc = code + target;
    }
    NEXT;
  OP(25):
    GL.PushMatrix();
    ADVANCE(0);
  OP(26):
    GL.PopMatrix();
    ADVANCE(0);
  OP(27):  // TRANSLATE
    NEED_F(3);
    ft -= 3;
    GL.Translatef(ft[0], ft[1], ft[2]);
    ADVANCE(0);
  OP(28):  // COLOR3
    NEED_F(3);
    ft -= 3;
    if (!shadow) GL.Color3f(ft[0], ft[1], ft[2]);
    ADVANCE(0);
  OP(29):  // COLOR4
    NEED_F(4);
    ft -= 4;
    if (!shadow) GL.Color4f(ft[0], ft[1], ft[2], ft[3]);
    ADVANCE(0);
  OP(30):  // ROTATE
    NEED_F(4);
    ft -= 4;
    GL.Rotatef(ft[0], ft[1], ft[2], ft[3]);
    ADVANCE(0);
  OP(31):  // BEGIN
    NEED_I(1);
    GL.Begin(static_cast<uint32_t>(*--it));
    ADVANCE(0);
  OP(32):
    GL.End();
    ADVANCE(0);
  OP(33):  // VERTEX
    NEED_F(3);
    ft -= 3;
    GL.Vertex3f(ft[0], ft[1], ft[2]);
    ADVANCE(0);
  OP(34):  // TEXCOORD
    NEED_F(2);
    ft -= 2;
    GL.TexCoord2f(ft[0], ft[1]);
    ADVANCE(0);
  OP(35):  // ENABLE
    NEED_I(1);
    GL.Enable(static_cast<uint32_t>(*--it));
    ADVANCE(0);
  OP(36):  // DISABLE
    NEED_I(1);
    GL.Disable(static_cast<uint32_t>(*--it));
    ADVANCE(0);
  OP(37):  // BLENDFUNC
    NEED_I(2);
    it -= 2;
    GL.BlendFunc(static_cast<uint32_t>(it[0]), static_cast<uint32_t>(it[1]));
    ADVANCE(0);
  OP(38): {  // BINDTEX: a 0-based table index; outside the table binds 0
    NEED_I(1);
    const int32_t i = *--it;
    const bool inside = i >= 0 && i < texMan::TexCount() && static_cast<size_t>(i) < texMan::TextureTable.size();
    GL.BindTexture2D(inside ? texMan::TextureTable[static_cast<size_t>(i)].GLName : 0);
    ADVANCE(0);
  }
  OP(45):  // SETCMP
    NEED_I(2);
    it -= 2;
    CmpA = it[1];
    CmpB = it[0];
    ADVANCE(0);
  OP(46):  // JEQ
    NEED_I(1);
    --it;
    if (CmpA != CmpB) {
      ADVANCE(0);
    }
    if (it[0] < 0 || it[0] >= len) goto done;
    pc = code + it[0];
    NEXT;
  OP(47):  // MODI
    NEED_I(2);
    --it;
    it[-1] = Mod(it[-1], it[0]);
    ADVANCE(0);
  OP(48):  // LIGHTV: the value pushed last is element 0
    NEED_F(4);
    ft -= 4;
    for (int k = 0; k < 4; ++k) LightVector[k] = ft[3 - k];
    NEED_I(2);
    it -= 2;
    GL.Lightfv(static_cast<uint32_t>(it[0]), static_cast<uint32_t>(it[1]), LightVector);
    ADVANCE(0);
  OP(49): {  // LIGHT1
    static const float ambient[4] = {0.5f, 0.5f, 0.5f, 1.0f};
    static const float diffuse[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    static const float position[4] = {0.0f, 0.0f, 2.0f, 1.0f};
    GL.Lightfv(GL_LIGHT1, GL_AMBIENT, ambient);
    GL.Lightfv(GL_LIGHT1, GL_DIFFUSE, diffuse);
    GL.Lightfv(GL_LIGHT1, GL_POSITION, position);
    GL.Enable(GL_LIGHT1);
    ADVANCE(0);
  }
  OP(50):
    PUSH_I(in.Time);
    ADVANCE(0);
  OP(51):
    PUSH_I(in.Elapsed);
    ADVANCE(0);
  OP(52):
    PUSH_F(in.Progress);
    ADVANCE(0);
  OP(53):  // ITOF
    NEED_I(1);
    --it;
    PUSH_F(static_cast<float>(it[0]));
    ADVANCE(0);
  OP(54):  // FTOI
    NEED_F(1);
    --ft;
    PUSH_I(RoundLow32(ft[0]));
    ADVANCE(0);
  OP(73): {  // BEAT
    NEED_F(1);
    const float bpm = *--ft;
    NEED_I(1);
    const int32_t beats = *--it;
    const long double perBeat = (60.0L / bpm) * 1000.0L;
    const int32_t period = RoundLow32(static_cast<long double>(beats) * perBeat);
    if (period == 0) goto early;
    const int64_t rest = static_cast<int64_t>(static_cast<uint32_t>(in.Time)) % period;
    PUSH_F(static_cast<float>(static_cast<long double>(rest) / period));
    ADVANCE(0);
  }
  OP(91):  // QUAD
    NEED_F(4);
    ft -= 4;
    PAY(4);
    shapes::Quad(ft[0], ft[1], ft[2], ft[3]);
    ADVANCE(0);
  OP(92):  // BOX: hx is on top
    NEED_F(3);
    ft -= 3;
    PAY(24);
    shapes::Box(ft[2], ft[1], ft[0]);
    ADVANCE(0);
  OP(93):  // RING
    NEED_F(2);
    ft -= 2;
    NEED_I(1);
    --it;
    PAY(shapes::RingVertices(it[0]));
    shapes::Ring(it[0], ft[1], ft[0]);
    ADVANCE(0);
  OP(94):  // SPHERE
    NEED_F(1);
    --ft;
    NEED_I(1);
    --it;
    PAY(shapes::SphereVertices(it[0], ft[0]));
    shapes::Sphere(it[0], ft[0]);
    ADVANCE(0);
  OP(95):  // DISC
    NEED_F(1);
    --ft;
    NEED_I(1);
    --it;
    PAY(shapes::DiscVertices(it[0]));
    shapes::Disc(it[0], ft[0]);
    ADVANCE(0);
  OP(96):  // CONE
    NEED_F(2);
    ft -= 2;
    NEED_I(1);
    --it;
    PAY(shapes::DiscVertices(it[0]));
    shapes::Cone(it[0], ft[1], ft[0]);
    ADVANCE(0);
  OP(99):  // RAYS
    NEED_F(2);
    ft -= 2;
    NEED_I(1);
    --it;
    PAY(shapes::SphereVertices(it[0], ft[1]));
    shapes::Rays(it[0], ft[1], ft[0]);
    ADVANCE(0);
  OP(100): {  // SHADOW: x is on top
    NEED_F(3);
    ft -= 3;
    if (!shadow) {
      const float xyz[3] = {ft[2], ft[1], ft[0]};
      BudgetLeft = budget;
      ShadowRun(in, xyz);
      budget = BudgetLeft;
      it = IntStack + IntDepth;
      ft = FloatStack + FloatDepth;
    }
    ADVANCE(0);
  }
  DEFAULT_OP:  // unlisted opcodes are one-byte no-operations
    ADVANCE(0);
#if !QVL_THREADED
  }
#endif

done:
early:
  // Even a nested run that ends early puts the shadow offset and the depth
  // test back, so the outer run draws in the right place.
  if (shadow) {
    GL.Translatef(-ShadowOffset[0], -ShadowOffset[1], -ShadowOffset[2]);
    GL.Enable(GL_DEPTH_TEST);
  }
  IntDepth = static_cast<int32_t>(it - IntStack);
  FloatDepth = static_cast<int32_t>(ft - FloatStack);
  BudgetLeft = budget < 0 ? 0 : budget;
#undef NEED_I
#undef NEED_F
#undef PUSH_I
#undef PUSH_F
#undef PAY
#undef OP
#undef DEFAULT_OP
#undef RUN
#undef NEXT
#undef ADVANCE
}
}  // namespace

// ---- the GL table and the entry points ----

GLCalls RealGL() {
  GLCalls g;
  g.Begin = [](uint32_t m) { glBegin(m); };
  g.End = [] { glEnd(); };
  g.Vertex3f = [](float x, float y, float z) { glVertex3f(x, y, z); };
  g.TexCoord2f = [](float s, float t) { glTexCoord2f(s, t); };
  g.Normal3f = [](float x, float y, float z) { glNormal3f(x, y, z); };
  g.Color3f = [](float r, float gg, float b) { glColor3f(r, gg, b); };
  g.Color4f = [](float r, float gg, float b, float a) { glColor4f(r, gg, b, a); };
  g.PushMatrix = [] { glPushMatrix(); };
  g.PopMatrix = [] { glPopMatrix(); };
  g.Translatef = [](float x, float y, float z) { glTranslatef(x, y, z); };
  g.Rotatef = [](float a, float x, float y, float z) { glRotatef(a, x, y, z); };
  g.Enable = [](uint32_t c) { glEnable(c); };
  g.Disable = [](uint32_t c) { glDisable(c); };
  g.BlendFunc = [](uint32_t s, uint32_t d) { glBlendFunc(s, d); };
  g.BindTexture2D = [](uint32_t n) { glBindTexture(GL_TEXTURE_2D, n); };
  g.Lightfv = [](uint32_t l, uint32_t p, const float* v) { glLightfv(l, p, v); };
  g.LineWidth = [](float w) { glLineWidth(w); };
  return g;
}

void RunScript(const uint8_t* code, int32_t codeLen, int32_t time, int32_t elapsed, float progress) {
  if (!code || codeLen <= 0) return;
  ShadowPass = false;
  BudgetLeft = InstructionBudget;
  Execute(Inputs{code, codeLen, time, elapsed, progress});
}

void ScriptError(const char* message) {
  // The run is abandoned; the next one starts clean.
  ShadowPass = false;
  messages::ShowFatal("bad error", message);
}

void Startup() {
  CmpA = CmpB = 0;
  GL = RealGL();
}

void Shutdown() {
  IntVars.clear();
  FloatVars.clear();
}

}  // namespace scripter
