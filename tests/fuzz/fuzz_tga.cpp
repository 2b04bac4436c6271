// TGA files from memory: raw and run-length pixels, both row orders.
#include "fuzzKit.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzkit::Image(Texturez::ReadTGABytes, data, size);
}
