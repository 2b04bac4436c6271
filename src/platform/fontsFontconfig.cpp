// fonts on systems with fontconfig: its match for the family and weight.
#include <fontconfig/fontconfig.h>

#include "platform/fonts.h"

namespace fonts {

std::string FileFor(const char* family, TWeight weight) {
  std::string path;
  if (!FcInit()) return path;
  FcPattern* pattern = FcPatternCreate();
  if (!pattern) return path;
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
  FcPatternAddInteger(pattern, FC_WEIGHT, weight == TWeight::Black ? FC_WEIGHT_BLACK : FC_WEIGHT_REGULAR);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcChar8* file = nullptr;
  if (match && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file)
    path = reinterpret_cast<const char*>(file);
  if (match) FcPatternDestroy(match);
  FcPatternDestroy(pattern);
  return path;
}

}  // namespace fonts
