// The server's entry point. The main window is not built yet.
#include <cstdio>

int main() {
  std::puts("ondrix-server: the main window is not built yet; nothing to run.");
  return 0;
}
