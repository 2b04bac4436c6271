// startup: the setup window shown before the demo plays.
#pragma once

#include <string>

namespace startup {

// Sets the settings to their initial values, shows the setup window and
// returns when it is closed (Start, Quit, or closing). The caller then reads
// settings::StartPressed and the other settings.
void RunSetupDialog(const std::string& title);

}  // namespace startup
