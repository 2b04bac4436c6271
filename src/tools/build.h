// build: a demo file from a parsed JSON description, for qvl build.
#pragma once

#include <string>

#include "tools/records.h"

namespace tools {

// Checks the whole description, then writes it to `out`. Throws
// records::DescError for a bad description, filestuff::WriteError when the
// file cannot be written.
void BuildDemoFile(const records::json& desc, const std::string& out);

}  // namespace tools
