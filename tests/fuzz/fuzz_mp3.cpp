// Any bytes as the music: opened, decoded without a device up to a minute,
// sought to the middle and decoded on a little, then closed.
#include <vector>

#include "fuzzKit.h"
#include "platform/muzax.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  muzax::OpenMusicBytes(std::vector<uint8_t>(data, data + size), "fuzz.mp3");
  muzax::DecodeWithoutDevice(60 * muzax::kOutputRate);
  muzax::SeekMusic(muzax::MusicLength() / 2);
  muzax::DecodeWithoutDevice(muzax::kOutputRate);
  muzax::FreeAudio();
  return 0;
}
