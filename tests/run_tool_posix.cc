// Runs the built tool in a child process, on POSIX systems.
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <stdexcept>

#include "test_support.h"

namespace {

// Everything written into the pipe until its last writer closed it.
std::string ReadAll(int pipe) {
  std::string bytes;
  char buffer[4096];
  for (ssize_t got; (got = read(pipe, buffer, sizeof buffer)) != 0;) {
    if (got == -1 && errno == EINTR) continue;
    if (got == -1) throw std::runtime_error("read");
    bytes.append(buffer, static_cast<size_t>(got));
  }
  close(pipe);
  return bytes;
}

const passwd* Nobody() { return getpwnam("nobody"); }

// In the child: puts `sink` on `descriptor`, `captured` being our capture.
bool Attach(const Sink& sink, int descriptor, int captured) {
  switch (sink.kind) {
    case Sink::kCaptured:
      return dup2(captured, descriptor) != -1;
    case Sink::kClosed:
      return close(descriptor) == 0 || errno == EBADF;
    case Sink::kFile: {
      const int file = open(sink.file.c_str(), O_WRONLY | O_APPEND);
      return file != -1 && dup2(file, descriptor) != -1 && close(file) == 0;
    }
  }
  return false;
}

bool Limit(int resource, const std::optional<unsigned long>& limit) {
  if (!limit) return true;
  const rlimit value = {*limit, *limit};
  return setrlimit(resource, &value) == 0;
}

}  // namespace

bool CanRunUnprivileged() { return geteuid() != 0 || Nobody() != nullptr; }

ToolRun RunTool(const std::vector<std::string>& args,
                const RunOptions& options) {
  std::vector<char*> argv;
  std::string program = options.program.value_or("");
  if (options.program) argv.push_back(program.data());
  std::vector<std::string> words = args;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  // Pipes, not files: a file-size limit on the tool must not cut its text.
  int out[2], err[2];
  if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
    throw std::runtime_error("pipe2");
  const passwd* nobody = geteuid() == 0 ? Nobody() : nullptr;
  fflush(nullptr);
  const pid_t child = fork();
  if (child == -1) throw std::runtime_error("fork");
  if (child == 0) {
    // Only async-signal-safe calls from here on.
    const int in = open("/dev/null", O_RDONLY);
    if (in == -1 || dup2(in, 0) == -1 || close(in) != 0) _exit(127);
    if (!Attach(options.out, 1, out[1]) || !Attach(options.err, 2, err[1]) ||
        (options.input_closed && close(0) != 0))
      _exit(127);
    if (options.file_size_limit && signal(SIGXFSZ, SIG_IGN) == SIG_ERR) _exit(127);
    if (!Limit(RLIMIT_FSIZE, options.file_size_limit) ||
        !Limit(RLIMIT_NOFILE, options.open_files_limit))
      _exit(127);
    if (!options.directory.empty() && chdir(options.directory.c_str()) != 0)
      _exit(127);
    if (options.unprivileged && nobody != nullptr &&
        (setgroups(0, nullptr) != 0 || setgid(nobody->pw_gid) != 0 ||
         setuid(nobody->pw_uid) != 0))
      _exit(127);
    execv(options.tool.c_str(), argv.data());
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  ToolRun run;
  run.out = ReadAll(out[0]);  // the tool writes far less than a pipe holds
  run.err = ReadAll(err[0]);
  int status = 0;
  if (waitpid(child, &status, 0) != child) throw std::runtime_error("waitpid");
  run.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return run;
}
