// playerMain: the program qvlplay — command line, module start-ups, the
// setup window, playback or capture, shutdowns.
#pragma once

namespace playerMain {

// The process's exit status: 0 after playing (or capturing every frame),
// 1 when the demo could not be played, 2 for bad arguments.
int Run(int argc, char** argv);

}  // namespace playerMain
