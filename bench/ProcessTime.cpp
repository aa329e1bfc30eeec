// Runs a command and prints its wall time and processor time (user + system) in
// milliseconds, finer than /usr/bin/time reports them, and its peak memory in KiB.
// Output: "wall_ms cpu_ms peak_KiB".
// Usage: process_time COMMAND [ARGUMENTS...]   (the command's output goes to /dev/null)

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: process_time COMMAND [ARGUMENTS...]\n");
    return 2;
  }
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child < 0) {
    std::perror("process_time: fork");
    return 2;
  }
  if (child == 0) {
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) dup2(null, STDOUT_FILENO);
    execvp(argv[1], argv + 1);
    std::perror("process_time: exec");
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) < 0) {
    std::perror("process_time: wait");
    return 2;
  }
  const double wall =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  const auto ms = [](const timeval& T) { return T.tv_sec * 1e3 + T.tv_usec * 1e-3; };
  std::printf("%.3f %.3f %ld\n", wall, ms(usage.ru_utime) + ms(usage.ru_stime), usage.ru_maxrss);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
