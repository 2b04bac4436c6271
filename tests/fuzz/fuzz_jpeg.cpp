// JPEG files from memory, through libjpeg and our limits on it.
#include "fuzzKit.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzkit::Image(Texturez::ReadJPGBytes, data, size);
}
