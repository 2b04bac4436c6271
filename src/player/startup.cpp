// startup: what the setup window's controls do, with no drawing.
#include "player/startup.h"

#include <algorithm>
#include <cctype>

#include "engine/settings.h"

namespace startup {

namespace {

const std::vector<TControl> controls = {
    {TControlKind::Button, "&Quit", 120, 218, 90, 25, kQuit, TFont::Normal, false},
    {TControlKind::Button, "&Start", 218, 218, 90, 25, kStart, TFont::Normal, false},
    {TControlKind::Logo, "LOGO", 0, 0, 320, 100, kStatic, TFont::None, false},
    {TControlKind::Label, "qvl", 10, 223, 110, 20, kStatic, TFont::Label, true},
    {TControlKind::Frame, "Configuration", 5, 103, 305, 108, kFrame, TFont::Normal, false},
    {TControlKind::Label, "Soundcard:", 160, 118, 120, 20, kStatic, TFont::Label, false},
    {TControlKind::List, "<Default>", 166, 132, 140, 85, kSoundCard, TFont::Normal, false},
    {TControlKind::Label, "Resolution:", 10, 118, 120, 20, kStatic, TFont::Label, false},
    {TControlKind::List, "800x600", 15, 132, 140, 85, kResolution, TFont::Normal, false},
    {TControlKind::CheckBox, "Windowed", 16, 158, 110, 15, kWindowed, TFont::Normal, false},
    {TControlKind::CheckBox, "VSync", 16, 190, 110, 15, kVSync, TFont::Normal, true},
    {TControlKind::CheckBox, "Show FPS", 16, 174, 110, 15, kShowFPS, TFont::Normal, false},
    {TControlKind::CheckBox, "Disable Sound", 166, 158, 110, 15, kDisableSound, TFont::Normal, false},
    {TControlKind::CheckBox, "Loop Demo", 166, 174, 110, 15, kLoopDemo, TFont::Normal, false},
};

// The blank texture follows the size (settings::BlankTextureSizeFor): 512
// for the first three, 1024 for 1280x1024; of the entries for today's
// screens 1280x720 sets 512 and 1920x1080 sets 1024.
const std::array<TResolution, 6> fixedResolutions = {{
    {"800x600", 800, 600},
    {"1024x768", 1024, 768},
    {"1280x800", 1280, 800},
    {"1280x1024", 1280, 1024},
    {"1280x720", 1280, 720},
    {"1920x1080", 1920, 1080},
}};
std::vector<TResolution> resolutions(fixedResolutions.begin(), fixedResolutions.end());
std::string desktopText;  // the text of the desktop's entry

// State of the current run of the window.
std::string caption;
bool destroyed = false;
bool windowed = false, vsync = false, showFPS = false, disableSound = false, loopDemo = false;
std::vector<std::string> resolutionItems;
std::vector<std::string> soundCardItems;
int resolutionSelection = 0;
int soundCardSelection = 0;
const std::vector<std::string> noItems;

bool* Box(int id) {
  switch (id) {
    case kWindowed: return &windowed;
    case kVSync: return &vsync;
    case kShowFPS: return &showFPS;
    case kDisableSound: return &disableSound;
    case kLoopDemo: return &loopDemo;
    default: return nullptr;
  }
}

int* ListSelection(int id) {
  switch (id) {
    case kResolution: return &resolutionSelection;
    case kSoundCard: return &soundCardSelection;
    default: return nullptr;
  }
}

const TControl* Find(int id) {
  if (id == kStatic) return nullptr;  // shared by several controls, none of which acts
  for (const TControl& c : controls)
    if (c.id == id) return &c;
  return nullptr;
}

void Clicked(int id) {
  switch (id) {
    case kStart:
      settings::StartPressed = true;
      destroyed = true;
      break;
    case kQuit:
      settings::StartPressed = false;
      destroyed = true;
      break;
    case kWindowed:
    case kVSync:
    case kShowFPS:
    case kDisableSound:
    case kLoopDemo: {
      // Plain check boxes: the window flips them itself, then records the
      // new state.
      bool* box = Box(id);
      *box = !*box;
      if (id == kWindowed) settings::FullScreen = !*box;
      if (id == kShowFPS) settings::ShowFPS = *box;
      if (id == kDisableSound) settings::SoundOff = *box;
      if (id == kLoopDemo) settings::LoopDemo = *box;
      break;
    }
    default:
      break;
  }
}

void SelectionChanged(int id) {
  if (id == kResolution) {
    if (resolutionSelection < 0 || resolutionSelection >= static_cast<int>(resolutions.size())) return;
    const TResolution& r = resolutions[static_cast<size_t>(resolutionSelection)];
    settings::ScreenWidth = r.width;
    settings::ScreenHeight = r.height;
    settings::BlankTextureSize = settings::BlankTextureSizeFor(r.width, r.height);
  } else if (id == kSoundCard) {
    if (soundCardSelection < 0) return;
    settings::SoundDevice = soundCardSelection;
  }
}

}  // namespace

const std::vector<TControl>& Controls() { return controls; }
const std::vector<TResolution>& Resolutions() { return resolutions; }

void BeginDialog(const std::string& title, const std::vector<std::string>& soundCards, int32_t desktopWidth,
                 int32_t desktopHeight) {
  resolutions.assign(fixedResolutions.begin(), fixedResolutions.end());
  const bool listed = std::any_of(resolutions.begin(), resolutions.end(), [&](const TResolution& r) {
    return r.width == desktopWidth && r.height == desktopHeight;
  });
  if (desktopWidth > 0 && desktopHeight > 0 && !listed) {
    desktopText = std::to_string(desktopWidth) + "x" + std::to_string(desktopHeight);
    resolutions.push_back({desktopText.c_str(), desktopWidth, desktopHeight});
  }

  settings::StartPressed = false;
  settings::FullScreen = true;
  settings::ScreenWidth = resolutions[0].width;
  settings::ScreenHeight = resolutions[0].height;
  settings::BlankTextureSize = settings::BlankTextureSizeFor(resolutions[0].width, resolutions[0].height);

  caption = "'" + title + "'" + " Setup";
  destroyed = false;

  resolutionItems.clear();
  for (const TResolution& r : resolutions) resolutionItems.push_back(r.text);
  resolutionSelection = 0;

  soundCardItems.clear();
  soundCardItems.push_back("<Default>");
  for (const std::string& name : soundCards) soundCardItems.push_back(name);

  // The settings that outlive a run are shown as they stand, so a box or the
  // list never disagrees with the value it controls. A device that is no
  // longer listed falls back to the default output.
  windowed = false;
  vsync = false;
  showFPS = settings::ShowFPS;
  disableSound = settings::SoundOff;
  loopDemo = settings::LoopDemo;
  if (settings::SoundDevice < 0 || settings::SoundDevice >= static_cast<int32_t>(soundCardItems.size()))
    settings::SoundDevice = 0;
  soundCardSelection = settings::SoundDevice;
}

std::string Caption() { return caption; }

std::array<int, 4> Placement(int screenWidth, int screenHeight) {
  return {screenWidth / 2 - kWindowWidth / 2, screenHeight / 2 - kWindowHeight / 2, kWindowWidth, kWindowHeight};
}

void Command(int id, int code) {
  if (destroyed) return;
  if (code == kClicked)
    Clicked(id);
  else if (code == kSelectionChanged)
    SelectionChanged(id);
}

void Click(int id) {
  const TControl* c = Find(id);
  if (!c || c->disabled) return;
  if (c->kind != TControlKind::Button && c->kind != TControlKind::CheckBox) return;
  Command(id, kClicked);
}

void Choose(int id, int position) {
  int* selection = ListSelection(id);
  if (!selection || destroyed) return;
  const int count = static_cast<int>(Items(id).size());
  *selection = (position >= 0 && position < count) ? position : -1;
  Command(id, kSelectionChanged);
}

bool Mnemonic(char key) {
  if (destroyed) return false;
  const int wanted = std::tolower(static_cast<unsigned char>(key));
  for (const TControl& c : controls) {
    if (c.kind != TControlKind::Button || c.disabled) continue;
    for (const char* p = c.text; p[0] && p[1]; ++p) {
      if (p[0] == '&' && std::tolower(static_cast<unsigned char>(p[1])) == wanted) {
        Click(c.id);
        return true;
      }
    }
  }
  return false;
}

void Enter() { Click(kStart); }
void Escape() { Click(kQuit); }

void CloseBox() {
  // Closing leaves StartPressed as the run began it: false.
  destroyed = true;
}

bool Destroyed() { return destroyed; }

bool Checked(int id) {
  const bool* box = Box(id);
  return box && *box;
}

bool Enabled(int id) {
  const TControl* c = Find(id);
  return c && !c->disabled;
}

int Selection(int id) {
  int* selection = ListSelection(id);
  return selection ? *selection : -1;
}

const std::vector<std::string>& Items(int id) {
  if (id == kResolution) return resolutionItems;
  if (id == kSoundCard) return soundCardItems;
  return noItems;
}

}  // namespace startup
