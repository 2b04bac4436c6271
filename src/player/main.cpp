// qvlplay: plays demo.qvl from the current directory.
#include <cstdio>

#ifndef QVL_PLAYER_LIBRARY
int main() {
  std::fprintf(stderr, "qvlplay: not built yet\n");
  return 1;
}
#endif
