// modules: the start-up and shutdown of every module below the player
// shell, in one place. Each module starts after the modules it uses and
// stops in the reverse order.
#pragma once

namespace modules {

void StartModules();
void StopModules();

}  // namespace modules
