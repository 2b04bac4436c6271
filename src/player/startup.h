// startup: the setup window shown before the demo plays.
//
// The window's behaviour (its settings, its controls and what each control id
// does) lives apart from its drawing, so it can be driven with no display:
// BeginDialog starts one run, Click / Choose / Mnemonic / CloseBox are what the
// user does, Destroyed says the run is over. RunSetupDialog is the on-screen
// window built on these.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace startup {

// Sets the settings to their initial values, shows the setup window and
// returns when it is closed (Start, Quit, or closing). The caller then reads
// settings::StartPressed and the other settings.
void RunSetupDialog(const std::string& title);

// Control ids. Every static control (labels, logo) shares kStatic and sends
// nothing.
inline constexpr int kWindowed = 2;
inline constexpr int kFrame = 3;
inline constexpr int kResolution = 4;
inline constexpr int kQuit = 5;
inline constexpr int kStart = 6;
inline constexpr int kVSync = 7;
inline constexpr int kStatic = 9;
inline constexpr int kShowFPS = 10;
inline constexpr int kDisableSound = 11;
inline constexpr int kLoopDemo = 12;
inline constexpr int kSoundCard = 14;

// Notification codes of Command.
inline constexpr int kClicked = 0;
inline constexpr int kSelectionChanged = 1;

enum class TControlKind { Button, CheckBox, Label, Logo, Frame, List };
enum class TFont { None, Normal, Label };

// One child control: client position in pixels, the text ("&" marks the
// mnemonic letter), and whether it is greyed.
struct TControl {
  TControlKind kind;
  const char* text;
  int x, y, w, h;
  int id;
  TFont font;
  bool disabled;
};

inline constexpr int kWindowWidth = 320;
inline constexpr int kWindowHeight = 270;
inline constexpr int kLogoWidth = 320;
inline constexpr int kLogoHeight = 100;

struct TResolution {
  const char* text;
  int32_t width, height;
};

// The controls in creation order.
const std::vector<TControl>& Controls();
// The resolution list of the current run, in list order: the fixed entries,
// then the desktop's own size when it is none of them.
const std::vector<TResolution>& Resolutions();

// Starts one run of the window: resets StartPressed, FullScreen, the
// resolution and the blank-texture size; ShowFPS, SoundOff, SoundDevice and
// LoopDemo keep their values and the boxes and the sound-card list show them.
// soundCards are the device names listed after "<Default>"; desktopWidth x
// desktopHeight is the size of the display the window is on (0: unknown).
void BeginDialog(const std::string& title, const std::vector<std::string>& soundCards, int32_t desktopWidth = 0,
                 int32_t desktopHeight = 0);

// "'" + title + "' Setup".
std::string Caption();
// Top-left corner and size of the window on a screen of the given size.
std::array<int, 4> Placement(int screenWidth, int screenHeight);

// The window procedure's command handling: code kClicked for buttons and
// boxes, kSelectionChanged for the lists. Ignored once the window is gone.
void Command(int id, int code);
// The user clicks a button or a box; a greyed control takes no clicks.
void Click(int id);
// The user picks entry `position` of a list (-1: no entry).
void Choose(int id, int position);
// Alt + key: presses the button whose text marks that letter. True when one
// did.
bool Mnemonic(char key);
// The caption's close box: the window goes as with Quit.
void CloseBox();
// Enter presses Start, Escape presses Quit.
void Enter();
void Escape();

bool Destroyed();
bool Checked(int id);
bool Enabled(int id);
int Selection(int id);
const std::vector<std::string>& Items(int id);

// The logo, kLogoWidth x kLogoHeight RGBA, top row first.
std::vector<uint8_t> LogoPixels();

// Called by RunSetupDialog after each frame is drawn and before it is shown,
// with the GL context current and the frame's number from 0; it may queue
// SDL events for the next frame. For tests and screenshots; null by default.
using TFrameObserver = void (*)(int frame);
void SetFrameObserver(TFrameObserver observer);

}  // namespace startup
