// utf8: conversions between the UTF-8 strings the program keeps and the
// UTF-16 ones Windows takes, and the folder the program lies in (Windows
// builds only).
#pragma once

#include <filesystem>
#include <string>

namespace utf8 {

std::wstring ToWide(const std::string& text);
std::string FromWide(const std::wstring& text);
// The folder of the running .exe (bundled files and ffmpeg.exe lie beside
// it); empty when Windows will not say.
std::filesystem::path ProgramFolder();

}  // namespace utf8
