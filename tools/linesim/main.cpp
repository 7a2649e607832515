// The line simulator. Not built yet.
#include <cstdio>

int main() {
  std::puts("ondrix-linesim: not built yet.");
  return 0;
}
