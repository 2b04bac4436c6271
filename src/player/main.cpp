// qvlplay: plays demo.qvl from the current directory.
#include "platform/memory.h"
#include "player/playerMain.h"

#ifndef QVL_PLAYER_LIBRARY
int main(int argc, char** argv) {
  memory::UseHugePages(argv);
  return playerMain::Run(argc, argv);
}
#endif
