// zelworld-cli: ZELWorld's simulations without a window.

#include "cli/Commands.h"

#include <iostream>
#include <unistd.h>

int main(int argc, char** argv) {
  return ZelCli::Main(argc, argv, {std::cout, std::cerr, isatty(STDERR_FILENO) == 1});
}
