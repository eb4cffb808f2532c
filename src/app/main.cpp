// vexmora: the front end.
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("vexmora %s\n", VEXMORA_VERSION_TEXT);
      return 0;
    }
  }
  std::fprintf(stderr, "vexmora: the script runner is not built yet\n");
  return 1;
}
