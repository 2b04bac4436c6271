// qvl build's description reader on any text. Text that is no JSON and a
// description refused with its path are fine; any other exception from the
// reader is a fault. What it writes the loader must take back.
#include "data/demo.h"
#include "app/modules.h"
#include "engine/registry.h"
#include "fuzzKit.h"
#include "description/demoBuild.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const fuzzkit::ScratchFile file("build.qvl");
  fuzzkit::StartEngine();
  records::json desc;
  try {
    desc = records::json::parse(data, data + size);
  } catch (const records::json::exception&) {
    return 0;
  }
  try {
    demoBuild::BuildDemoFile(desc, file.path);
  } catch (const records::DescError&) {
    return 0;
  }
  try {
    if (!demo::LoadDemoWithoutTextures(file.path, true)) std::abort();
  } catch (const dllShared::DataError& e) {
    std::fprintf(stderr, "the loader refuses what qvl build wrote: %s\n", e.what());
    std::abort();
  }
  return 0;
}
