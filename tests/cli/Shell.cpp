#include "CliTestSupport.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <pwd.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

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

int RunLimited(const TScratchDir& Dir, unsigned long Limit, const std::vector<std::string>& Args) {
  const passwd* nobody = getuid() == 0 ? getpwnam("nobody") : nullptr;
  if (nobody != nullptr && chown(Dir.Path.c_str(), nobody->pw_uid, nobody->pw_gid) != 0) return -2;
  std::vector<const char*> argv = {ZELWORLD_CLI};
  for (const std::string& a : Args)
    argv.push_back(a.c_str());
  argv.push_back(nullptr);
  const std::string out = Dir / "out", err = Dir / "err";
  const pid_t child = fork();
  if (child == 0) {
    const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (o < 0 || e < 0 || dup2(o, 1) < 0 || dup2(e, 2) < 0) _exit(120);
    if (nobody != nullptr && (setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0)) _exit(121);
    const rlimit limit{static_cast<rlim_t>(Limit), static_cast<rlim_t>(Limit)};
    if (setrlimit(RLIMIT_NPROC, &limit) != 0) _exit(122);
    // The leak checker of a sanitizer build needs a thread of its own at exit.
    setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
    execv(argv[0], const_cast<char* const*>(argv.data()));
    _exit(123);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  int status = 0;
  while (waitpid(child, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
