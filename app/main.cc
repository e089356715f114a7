// trelix_eb: the command-line tool and HTTP service.
#include "app/cli.h"
#include "common/process_allocator.h"

int main(int argc, char** argv) {
  trelix::KeepFreedMemoryForReuse();
  return trelix::app::RunCli(argc, argv);
}
