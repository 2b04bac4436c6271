// fonts: finds the file of an installed font face by family name. One
// implementation per system (fontsFontconfig.cpp); the common rules here.
#pragma once

#include <string>

namespace fonts {

enum class TWeight { Regular, Black };

// The file of the face the system picks for `family` at `weight`: the face
// itself or one it offers in its place (for "Arial", a face with the same
// metrics). "" when nothing is installed.
std::string FileFor(const char* family, TWeight weight = TWeight::Regular);
// The same, but "" unless the file is TrueType or OpenType (.ttf, .otf),
// the kinds every font reader takes.
std::string TrueTypeFileFor(const char* family, TWeight weight = TWeight::Regular);

}  // namespace fonts
