// fonts on Windows: the face's file in the Windows fonts folder, else the
// font shipped beside the program (a face with Arial's metrics).
#include <windows.h>

#include <filesystem>
#include <system_error>

#include "platform/fonts.h"
#include "platform/utf8.h"

namespace fonts {

namespace {

namespace fs = std::filesystem;

struct TFace {
  const char* Family;
  TWeight Weight;
  const wchar_t* File;
};

// The files Windows installs its faces under.
constexpr TFace kFaces[] = {
    {"arial", TWeight::Regular, L"arial.ttf"},  {"arial", TWeight::Black, L"ariblk.ttf"},
    {"tahoma", TWeight::Regular, L"tahoma.ttf"}, {"verdana", TWeight::Regular, L"verdana.ttf"},
    {"courier new", TWeight::Regular, L"cour.ttf"}, {"times new roman", TWeight::Regular, L"times.ttf"},
};

// The bundled face that stands in for any family.
constexpr const wchar_t* kBundled = L"LiberationSans-Regular.ttf";

fs::path FontsFolder() {
  wchar_t dir[MAX_PATH] = {};
  const UINT n = GetWindowsDirectoryW(dir, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};
  return fs::path(dir) / L"Fonts";
}

bool IsFile(const fs::path& p) {
  std::error_code ec;
  return !p.empty() && fs::is_regular_file(p, ec);
}

std::string Lower(const char* s) {
  std::string out(s ? s : "");
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

}  // namespace

std::string FileFor(const char* family, TWeight weight) {
  const std::string name = Lower(family);
  const fs::path folder = FontsFolder();
  for (const TFace& f : kFaces)
    if (name == f.Family && weight == f.Weight && IsFile(folder / f.File))
      return utf8::FromWide((folder / f.File).wstring());
  const fs::path bundled = utf8::ProgramFolder() / kBundled;
  if (IsFile(bundled)) return utf8::FromWide(bundled.wstring());
  return {};
}

}  // namespace fonts
