// The setup window: its settings and controls driven with no display, and the
// on-screen window on the offscreen video driver.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include <GL/gl.h>

#include "engine/settings.h"
#include "player/startup.h"

namespace {

using namespace startup;

// The values the settings have when the program starts.
void ProgramStartSettings() {
  settings::StartPressed = false;
  settings::FullScreen = true;
  settings::ScreenWidth = 800;
  settings::ScreenHeight = 600;
  settings::BlankTextureSize = 512;
  settings::ShowFPS = false;
  settings::SoundOff = false;
  settings::SoundDevice = 0;
  settings::LoopDemo = false;
}

class StartupLogic : public ::testing::Test {
 protected:
  void SetUp() override { ProgramStartSettings(); }
  void TearDown() override { ProgramStartSettings(); }
};

TEST_F(StartupLogic, StartUntouchedGivesTheDefaults) {
  // Leftovers of an earlier run must not show through the reset ones.
  settings::StartPressed = true;
  settings::FullScreen = false;
  settings::ScreenWidth = 1;
  settings::ScreenHeight = 2;
  settings::BlankTextureSize = 3;
  BeginDialog("Intro", {"Card A", "Card B"});

  EXPECT_EQ(Caption(), "'Intro' Setup");
  EXPECT_FALSE(settings::StartPressed);
  EXPECT_FALSE(Destroyed());
  EXPECT_EQ(Items(kResolution), (std::vector<std::string>{"800x600", "1024x768", "1280x800", "1280x1024"}));
  EXPECT_EQ(Items(kSoundCard), (std::vector<std::string>{"<Default>", "Card A", "Card B"}));
  EXPECT_EQ(Selection(kResolution), 0);
  EXPECT_EQ(Selection(kSoundCard), 0);
  for (int box : {kWindowed, kVSync, kShowFPS, kDisableSound, kLoopDemo}) EXPECT_FALSE(Checked(box)) << box;

  Click(kStart);
  EXPECT_TRUE(Destroyed());
  EXPECT_TRUE(settings::StartPressed);
  EXPECT_TRUE(settings::FullScreen);
  EXPECT_EQ(settings::ScreenWidth, 800);
  EXPECT_EQ(settings::ScreenHeight, 600);
  EXPECT_EQ(settings::BlankTextureSize, 512);
  EXPECT_FALSE(settings::ShowFPS);
  EXPECT_FALSE(settings::SoundOff);
  EXPECT_EQ(settings::SoundDevice, 0);
  EXPECT_FALSE(settings::LoopDemo);
}

TEST_F(StartupLogic, CaptionKeepsTheTitleAsItIs) {
  BeginDialog("", {});
  EXPECT_EQ(Caption(), "'' Setup");
  BeginDialog("It's 'here'", {});
  EXPECT_EQ(Caption(), "'It's 'here'' Setup");
}

TEST_F(StartupLogic, ResolutionSetsSizeAndBlankTexture) {
  BeginDialog("x", {});
  const std::tuple<int, int, int, int> expected[] = {
      {0, 800, 600, 512}, {3, 1280, 1024, 1024}, {1, 1024, 768, 512}, {3, 1280, 1024, 1024}, {2, 1280, 800, 512}};
  for (const auto& [position, w, h, blank] : expected) {
    Choose(kResolution, position);
    EXPECT_EQ(Selection(kResolution), position);
    EXPECT_EQ(settings::ScreenWidth, w) << position;
    EXPECT_EQ(settings::ScreenHeight, h) << position;
    EXPECT_EQ(settings::BlankTextureSize, blank) << position;
  }

  // No entry selected, or a notification that is not a selection change:
  // the last choice stands.
  Choose(kResolution, 3);
  Choose(kResolution, -1);
  EXPECT_EQ(Selection(kResolution), -1);
  Choose(kResolution, 4);
  Command(kResolution, kSelectionChanged);
  Command(kResolution, kClicked);
  Command(kResolution, 7);
  EXPECT_EQ(settings::ScreenWidth, 1280);
  EXPECT_EQ(settings::ScreenHeight, 1024);
  EXPECT_EQ(settings::BlankTextureSize, 1024);
}

TEST_F(StartupLogic, SoundCardStoresThePosition) {
  BeginDialog("x", {"Card A", "Card B"});
  Choose(kSoundCard, 2);
  EXPECT_EQ(settings::SoundDevice, 2);
  Choose(kSoundCard, 0);
  EXPECT_EQ(settings::SoundDevice, 0);
  Choose(kSoundCard, 1);
  Choose(kSoundCard, 3);  // past the end: nothing is selected, nothing stored
  EXPECT_EQ(Selection(kSoundCard), -1);
  EXPECT_EQ(settings::SoundDevice, 1);
  // Choosing a resolution leaves the sound card alone and the other way round.
  Choose(kResolution, 3);
  EXPECT_EQ(settings::SoundDevice, 1);
}

TEST_F(StartupLogic, CheckBoxesFlipAndStore) {
  BeginDialog("x", {});
  Click(kWindowed);
  EXPECT_TRUE(Checked(kWindowed));
  EXPECT_FALSE(settings::FullScreen);
  Click(kWindowed);
  EXPECT_FALSE(Checked(kWindowed));
  EXPECT_TRUE(settings::FullScreen);

  Click(kShowFPS);
  EXPECT_TRUE(settings::ShowFPS);
  Click(kDisableSound);
  EXPECT_TRUE(settings::SoundOff);
  Click(kLoopDemo);
  EXPECT_TRUE(settings::LoopDemo);
  EXPECT_TRUE(Checked(kShowFPS) && Checked(kDisableSound) && Checked(kLoopDemo));
  Click(kShowFPS);
  Click(kDisableSound);
  Click(kLoopDemo);
  EXPECT_FALSE(settings::ShowFPS);
  EXPECT_FALSE(settings::SoundOff);
  EXPECT_FALSE(settings::LoopDemo);

  // Each box touches its own setting only.
  Click(kShowFPS);
  EXPECT_TRUE(settings::FullScreen);
  EXPECT_FALSE(settings::SoundOff);
  EXPECT_FALSE(settings::LoopDemo);
  EXPECT_FALSE(Destroyed());
}

TEST_F(StartupLogic, VSyncIsGreyedAndCannotBeTicked) {
  BeginDialog("x", {});
  EXPECT_FALSE(Enabled(kVSync));
  Click(kVSync);
  Click(kVSync);
  Click(kVSync);
  EXPECT_FALSE(Checked(kVSync));
  for (int id : {kWindowed, kShowFPS, kDisableSound, kLoopDemo, kStart, kQuit, kResolution, kSoundCard})
    EXPECT_TRUE(Enabled(id)) << id;
  // Statics and the frame take no clicks and change nothing.
  Click(kStatic);
  Click(kFrame);
  Command(kStatic, kClicked);
  Command(99, kClicked);
  EXPECT_FALSE(Destroyed());
  EXPECT_TRUE(settings::FullScreen);
}

TEST_F(StartupLogic, QuitAndCloseBoxDoNotStart) {
  BeginDialog("x", {});
  Click(kWindowed);
  Choose(kResolution, 1);
  Click(kQuit);
  EXPECT_TRUE(Destroyed());
  EXPECT_FALSE(settings::StartPressed);

  BeginDialog("x", {});
  CloseBox();
  EXPECT_TRUE(Destroyed());
  EXPECT_FALSE(settings::StartPressed);
}

TEST_F(StartupLogic, NothingActsOnceTheWindowIsGone) {
  // Start and Quit clicked in one batch of input: the first one wins.
  BeginDialog("x", {});
  Click(kStart);
  Click(kQuit);
  Click(kWindowed);
  Choose(kResolution, 3);
  EXPECT_TRUE(settings::StartPressed);
  EXPECT_TRUE(settings::FullScreen);
  EXPECT_EQ(settings::ScreenWidth, 800);
  EXPECT_FALSE(Mnemonic('q'));
  EXPECT_TRUE(settings::StartPressed);
}

TEST_F(StartupLogic, AltLetterPressesStartOrQuit) {
  BeginDialog("x", {});
  EXPECT_FALSE(Mnemonic('w'));  // "Windowed" marks no letter
  EXPECT_FALSE(Mnemonic('x'));
  EXPECT_FALSE(Mnemonic('&'));
  EXPECT_FALSE(Destroyed());
  EXPECT_TRUE(Mnemonic('S'));
  EXPECT_TRUE(settings::StartPressed);
  EXPECT_TRUE(Destroyed());

  BeginDialog("x", {});
  EXPECT_TRUE(Mnemonic('q'));
  EXPECT_FALSE(settings::StartPressed);
  EXPECT_TRUE(Destroyed());
}

TEST_F(StartupLogic, RerunResetsOnlyTheWindowAndStartSettings) {
  BeginDialog("x", {"Card A", "Card B"});
  Click(kWindowed);
  Choose(kResolution, 3);
  Click(kShowFPS);
  Click(kDisableSound);
  Click(kLoopDemo);
  Choose(kSoundCard, 2);
  Click(kStart);

  BeginDialog("x", {"Card A", "Card B"});
  EXPECT_FALSE(settings::StartPressed);
  EXPECT_TRUE(settings::FullScreen);
  EXPECT_EQ(settings::ScreenWidth, 800);
  EXPECT_EQ(settings::ScreenHeight, 600);
  EXPECT_EQ(settings::BlankTextureSize, 512);
  EXPECT_TRUE(settings::ShowFPS);
  EXPECT_TRUE(settings::SoundOff);
  EXPECT_TRUE(settings::LoopDemo);
  EXPECT_EQ(settings::SoundDevice, 2);
  // The controls show the values they would change.
  EXPECT_FALSE(Checked(kWindowed));
  EXPECT_EQ(Selection(kResolution), 0);
  EXPECT_TRUE(Checked(kShowFPS));
  EXPECT_TRUE(Checked(kDisableSound));
  EXPECT_TRUE(Checked(kLoopDemo));
  EXPECT_EQ(Selection(kSoundCard), 2);
  // So one click turns a kept setting off.
  Click(kShowFPS);
  EXPECT_FALSE(settings::ShowFPS);
  CloseBox();

  // A device that has gone from the list falls back to the default output.
  BeginDialog("x", {"Card A"});
  EXPECT_EQ(settings::SoundDevice, 0);
  EXPECT_EQ(Selection(kSoundCard), 0);
}

TEST(StartupLayout, WindowIsCentred) {
  EXPECT_EQ(Placement(1920, 1080), (std::array<int, 4>{800, 405, 320, 270}));
  EXPECT_EQ(Placement(1367, 769), (std::array<int, 4>{523, 249, 320, 270}));
}

TEST(StartupLayout, ControlsFitAndDoNotOverlap) {
  const std::vector<TControl>& controls = Controls();
  std::set<int> ids;
  for (const TControl& c : controls) {
    EXPECT_GE(c.x, 0) << c.text;
    EXPECT_GE(c.y, 0) << c.text;
    EXPECT_LE(c.x + c.w, kWindowWidth) << c.text;
    EXPECT_LE(c.y + c.h, kWindowHeight) << c.text;
    if (c.id != kStatic) {
      EXPECT_TRUE(ids.insert(c.id).second) << "id used twice: " << c.id;
    }
  }
  // Buttons and boxes must not sit on each other (the lists' heights are
  // those of the open list, so they are left out).
  for (size_t i = 0; i < controls.size(); ++i) {
    for (size_t j = i + 1; j < controls.size(); ++j) {
      const TControl& a = controls[i];
      const TControl& b = controls[j];
      auto clickable = [](const TControl& c) {
        return c.kind == TControlKind::Button || c.kind == TControlKind::CheckBox;
      };
      if (!clickable(a) || !clickable(b)) continue;
      const bool apart = a.x + a.w <= b.x || b.x + b.w <= a.x || a.y + a.h <= b.y || b.y + b.h <= a.y;
      EXPECT_TRUE(apart) << a.text << " overlaps " << b.text;
    }
  }
}

TEST(StartupLayout, LogoIsAnOpaquePicture) {
  const std::vector<uint8_t> logo = LogoPixels();
  ASSERT_EQ(logo.size(), size_t(kLogoWidth) * kLogoHeight * 4);
  std::set<uint32_t> colours;
  for (size_t i = 0; i < logo.size(); i += 4) {
    EXPECT_EQ(logo[i + 3], 255);
    colours.insert(uint32_t(logo[i]) << 16 | uint32_t(logo[i + 1]) << 8 | logo[i + 2]);
  }
  EXPECT_GT(colours.size(), 100u);
  EXPECT_EQ(LogoPixels(), logo);
}

// The on-screen window, frame by frame: an observer reads back what was drawn
// and queues the next input.
struct ViewRun {
  int frames = 0;
  bool logoMatches = false;
  std::vector<SDL_Event> input;  // queued after the first frame
};
ViewRun viewRun;

void ObserveFrame(int frame) {
  ++viewRun.frames;
  if (frame == 0) {
    // The logo fills the top of the window, pixel for pixel.
    const std::vector<uint8_t> logo = LogoPixels();
    std::vector<uint8_t> shown(size_t(kWindowWidth) * kWindowHeight * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kWindowWidth, kWindowHeight, GL_RGBA, GL_UNSIGNED_BYTE, shown.data());
    bool same = true;
    for (int y = 0; y < kLogoHeight && same; y += 3) {
      for (int x = 0; x < kLogoWidth && same; x += 3) {
        const uint8_t* want = &logo[(size_t(y) * kLogoWidth + x) * 4];
        const uint8_t* got = &shown[(size_t(kWindowHeight - 1 - y) * kWindowWidth + x) * 4];
        for (int ch = 0; ch < 3; ++ch) same = same && std::abs(int(want[ch]) - int(got[ch])) <= 2;
      }
    }
    viewRun.logoMatches = same;
    for (SDL_Event& e : viewRun.input) SDL_PushEvent(&e);
  }
  // Never hang the test run on a window that ignores its input.
  if (frame > 50) {
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
  }
}

class StartupView : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    ProgramStartSettings();
    viewRun = ViewRun{};
    SetFrameObserver(ObserveFrame);
  }
  void TearDown() override {
    SetFrameObserver(nullptr);
    ProgramStartSettings();
  }
  static SDL_Event AltKey(SDL_Keycode key) {
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.state = SDL_PRESSED;
    e.key.keysym.sym = key;
    e.key.keysym.mod = KMOD_LALT;
    return e;
  }
};

TEST_F(StartupView, AltSStartsAndTheLogoIsShown) {
  viewRun.input = {AltKey(SDLK_s)};
  RunSetupDialog("Intro");
  ASSERT_GT(viewRun.frames, 0) << "the setup window never drew";
  EXPECT_TRUE(viewRun.logoMatches);
  EXPECT_TRUE(settings::StartPressed);
  EXPECT_LT(viewRun.frames, 50);
}

TEST_F(StartupView, ClosingTheWindowIsQuit) {
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  viewRun.input = {quit, AltKey(SDLK_s)};
  RunSetupDialog("Intro");
  ASSERT_GT(viewRun.frames, 0) << "the setup window never drew";
  EXPECT_FALSE(settings::StartPressed);
  EXPECT_LT(viewRun.frames, 50);
}

}  // namespace
