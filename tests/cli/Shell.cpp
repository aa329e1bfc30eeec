#include "CliTestSupport.h"

#ifdef __EMSCRIPTEN__
#include <emscripten.h>

// A program compiled to WebAssembly starts no processes of its own: Node starts the shell.
// clang-format off
EM_JS(int, NodeShellStatus, (const char* Command), {
  const done = require('child_process').spawnSync('/bin/sh', ['-c', UTF8ToString(Command)], {stdio: 'inherit'});
  return done.status === null ? -1 : done.status;
});
// clang-format on

int ShellStatus(const std::string& Command) {
  return NodeShellStatus(Command.c_str());
}
#else
int ShellStatus(const std::string& Command) {
  const int status = std::system(Command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
#endif
