// utf8: conversions between the UTF-8 strings the program keeps and the
// UTF-16 ones Windows takes (Windows builds only).
#pragma once

#include <string>

namespace utf8 {

std::wstring ToWide(const std::string& text);
std::string FromWide(const std::wstring& text);

}  // namespace utf8
