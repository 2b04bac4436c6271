// The setup window: its controls driven with no display, and on the offscreen video driver.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <functional>
#include <tuple>

#include "engine/settings.h"
#include "player/startup.h"

namespace {

using namespace startup;

// The values the settings have when the program starts.
void ProgramStartSettings() {
  settings::StartPressed = settings::ShowFPS = settings::SoundOff = settings::LoopDemo = false;
  settings::FullScreen = true;
  std::tie(settings::ScreenWidth, settings::ScreenHeight, settings::BlankTextureSize) = std::make_tuple(800, 600, 512);
  settings::SoundDevice = 0;
}

class StartupLogic : public ::testing::Test {
 protected:
  void SetUp() override { ProgramStartSettings(); }
  void TearDown() override {
    SetFrameObserver(nullptr);
    ProgramStartSettings();
  }
};

auto Window() { return std::tie(settings::ScreenWidth, settings::ScreenHeight, settings::BlankTextureSize); }

TEST_F(StartupLogic, DefaultsAndARerunKeepTheBoxesButNotTheWindowSettings) {
  settings::StartPressed = true, settings::FullScreen = false;  // leftovers of an earlier run
  settings::ScreenWidth = settings::ScreenHeight = settings::BlankTextureSize = 1;
  BeginDialog("It's 'here'", {"Card A", "Card B"});
  EXPECT_EQ(Caption(), "'It's 'here'' Setup");
  EXPECT_EQ(Items(kResolution), (std::vector<std::string>{"800x600", "1024x768", "1280x800", "1280x1024", "1280x720",
                                                          "1920x1080"}));
  EXPECT_EQ(Items(kSoundCard), (std::vector<std::string>{"<Default>", "Card A", "Card B"}));
  for (int box : {kWindowed, kVSync, kShowFPS, kDisableSound, kLoopDemo}) EXPECT_FALSE(Checked(box)) << box;
  for (const bool rerun : {false, true}) {
    EXPECT_FALSE(settings::StartPressed);
    EXPECT_TRUE(settings::FullScreen);
    EXPECT_EQ(Window(), std::make_tuple(800, 600, 512));
    EXPECT_EQ(settings::ShowFPS && settings::SoundOff && settings::LoopDemo && settings::SoundDevice == 2, rerun);
    // The controls show the values they would change.
    EXPECT_FALSE(Checked(kWindowed));
    EXPECT_EQ(Checked(kShowFPS) && Checked(kDisableSound) && Checked(kLoopDemo), rerun);
    EXPECT_EQ(std::make_pair(Selection(kResolution), Selection(kSoundCard)), std::make_pair(0, rerun ? 2 : 0));
    for (int id : {kWindowed, kShowFPS, kDisableSound, kLoopDemo}) Click(id);
    Choose(kResolution, 3);
    Choose(kSoundCard, 2);
    Click(kStart);
    EXPECT_TRUE(Destroyed() && settings::StartPressed && !settings::FullScreen);
    BeginDialog("x", {"Card A", "Card B"});
  }
  // A device that has gone from the list falls back to the default output.
  BeginDialog("x", {"Card A"});
  EXPECT_EQ(std::make_pair(settings::SoundDevice, Selection(kSoundCard)), std::make_pair(0, 0));
}

TEST_F(StartupLogic, ListsSetResolutionBlankTextureAndSoundCard) {
  BeginDialog("x", {"Card A", "Card B"}, 1920, 1080);  // a desktop size the list has: no entry of its own
  EXPECT_EQ(Items(kResolution).size(), 6u);
  BeginDialog("x", {"Card A", "Card B"}, 2560, 1440);
  EXPECT_EQ(Items(kResolution).back(), "2560x1440");
  const std::tuple<int, int, int, int> expected[] = {{1, 1024, 768, 512},  {2, 1280, 800, 512},
                                                     {4, 1280, 720, 512},  {5, 1920, 1080, 1024},
                                                     {6, 2560, 1440, 1024}, {3, 1280, 1024, 1024}};
  for (const auto& [position, w, h, blank] : expected) {
    Choose(kResolution, position);
    EXPECT_EQ(Window(), std::make_tuple(w, h, blank)) << position;
  }
  // No entry selected, or a notification that is not a selection change: the last choice stands.
  Choose(kResolution, -1);
  EXPECT_EQ(Selection(kResolution), -1);
  Command(kResolution, kSelectionChanged);
  Command(kResolution, kClicked);
  EXPECT_EQ(Window(), std::make_tuple(1280, 1024, 1024));
  Choose(kSoundCard, 2);
  Choose(kSoundCard, 3);  // past the end: nothing selected, nothing stored
  EXPECT_EQ(std::make_pair(Selection(kSoundCard), settings::SoundDevice), std::make_pair(-1, 2));
}

TEST_F(StartupLogic, CheckBoxesFlipTheirOwnSettingOnly) {
  BeginDialog("x", {});
  bool fullScreenOff = false;  // Windowed stores the opposite
  const std::pair<int, bool*> boxes[] = {
      {kWindowed, &fullScreenOff}, {kShowFPS, &settings::ShowFPS}, {kDisableSound, &settings::SoundOff},
      {kLoopDemo, &settings::LoopDemo}};
  auto state = [&] {  // per box: 2 when its setting is on, + 1 when it shows a tick
    fullScreenOff = !settings::FullScreen;
    std::vector<int> v;
    for (const auto& [id, setting] : boxes) v.push_back(*setting * 2 + Checked(id));
    return v;
  };
  std::vector<int> want(std::size(boxes), 0);
  for (size_t i = 0; i < std::size(boxes); ++i)
    for (const int shown : {3, 0}) {
      Click(boxes[i].first), want[i] = shown;
      EXPECT_EQ(state(), want) << boxes[i].first;
    }
  // VSync is greyed and takes no clicks; statics and the frame change nothing.
  EXPECT_FALSE(Enabled(kVSync) || !Enabled(kWindowed));
  for (int id : {kVSync, kStatic, kFrame, 99}) Click(id);
  EXPECT_FALSE(Checked(kVSync) || Destroyed());
  EXPECT_TRUE(settings::FullScreen);
}

TEST_F(StartupLogic, QuitCloseBoxAndMnemonics) {
  const std::function<void()> quits[] = {[] { Click(kWindowed), Click(kQuit); }, [] { CloseBox(); },
                                         [] { EXPECT_TRUE(Mnemonic('q')); }, [] { Escape(); }};
  for (const auto& quit : quits) {
    BeginDialog("x", {});
    EXPECT_FALSE(Mnemonic('w') || Mnemonic('&'));  // "Windowed" marks no letter
    quit();
    EXPECT_TRUE(Destroyed());
    EXPECT_FALSE(settings::StartPressed);
  }
  // Enter (as Alt+S), then more input in the same batch: nothing acts once the window is gone.
  BeginDialog("x", {});
  Enter();
  Click(kQuit);
  Click(kWindowed);
  Choose(kResolution, 3);
  EXPECT_FALSE(Mnemonic('q'));
  EXPECT_TRUE(settings::StartPressed && settings::FullScreen);
  EXPECT_EQ(settings::ScreenWidth, 800);
}

// The on-screen window: Alt+S pressed after the first frame starts; a quit after 50 frames keeps a
// window that ignores its input from hanging the test.
int frames = 0;
void PressAltS(int frame) {
  SDL_Event e{};
  ++frames;
  if (frame == 0) {
    e.type = SDL_KEYDOWN, e.key.state = SDL_PRESSED;
    e.key.keysym.sym = SDLK_s, e.key.keysym.mod = KMOD_LALT;
  }
  if (frame > 50) e.type = SDL_QUIT;
  if (e.type) SDL_PushEvent(&e);
}

TEST_F(StartupLogic, OnScreenAltSStarts) {
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  SetFrameObserver(PressAltS);
  RunSetupDialog("Intro");
  EXPECT_TRUE(settings::StartPressed);
  EXPECT_TRUE(frames > 0 && frames < 50) << frames;
}

}  // namespace
