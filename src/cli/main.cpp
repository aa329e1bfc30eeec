// zelworld-cli: ZELWorld's simulations without a window.

#include "Experiment/FileText.h"
#include "cli/Commands.h"

#include <iostream>
#include <unistd.h>

#ifdef __EMSCRIPTEN__
#include <emscripten.h>
#include <sys/stat.h>
// Under Node the C library takes every standard stream for a terminal, and starts with a
// file mode mask that leaves new files unreadable (0777); Node knows both.
EM_JS(int, StderrIsTerminal, (), { return require('tty').isatty(2) ? 1 : 0; });
EM_JS(int, NodeUmask, (), { return process.umask(); });
#else
static int StderrIsTerminal() {
  return isatty(STDERR_FILENO) == 1;
}
#endif

int main(int argc, char** argv) {
#ifdef __EMSCRIPTEN__
  umask(static_cast<mode_t>(NodeUmask()));
#endif
  // Temporary files and files made to hold an output's name go with an interrupted command.
  RemoveLeftoversOnSignals();
  return ZelCli::Main(argc, argv, {std::cout, std::cerr, StderrIsTerminal() == 1});
}
