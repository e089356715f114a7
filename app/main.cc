// trelix_eb: the command-line tool and HTTP service.
#include "app/cli.h"

int main(int argc, char** argv) { return trelix::app::RunCli(argc, argv); }
