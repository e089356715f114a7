// trelix_eb: the command-line tool and HTTP service.
#include <cstdio>

int main() {
  std::fprintf(stderr, "trelix_eb: not built yet\n");
  return 2;
}
