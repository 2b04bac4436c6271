// BMP files from memory: headers, offsets and padded rows.
#include "fuzzKit.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzkit::Image(Texturez::ReadBMPBytes, data, size);
}
