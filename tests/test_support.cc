#include "test_support.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace fs = std::filesystem;

TempDir::TempDir() {
  std::string pattern =
      (fs::temp_directory_path() / "swf-version-patch-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp");
  path_ = pattern;
  // Open to every user, so that a run as nobody reaches its files.
  fs::permissions(path_, fs::perms::owner_all | fs::perms::group_read |
                             fs::perms::group_exec | fs::perms::others_read |
                             fs::perms::others_exec);
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!file) throw std::runtime_error("cannot write " + path.string());
}

std::string ReadFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw std::runtime_error("cannot read " + path.string());
  return std::string(std::istreambuf_iterator<char>(file), {});
}

int ShellStatus(int tool_status) { return tool_status & 0xff; }

namespace {

std::string ReadAll(FILE* file) {
  std::string bytes;
  rewind(file);
  for (int c; (c = fgetc(file)) != EOF;) bytes.push_back(static_cast<char>(c));
  return bytes;
}

const passwd* Nobody() { return getpwnam("nobody"); }

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

  FILE* out = tmpfile();
  FILE* err = tmpfile();
  if (out == nullptr || err == nullptr) throw std::runtime_error("tmpfile");
  const passwd* nobody = geteuid() == 0 ? Nobody() : nullptr;
  fflush(nullptr);
  const pid_t child = fork();
  if (child == -1) throw std::runtime_error("fork");
  if (child == 0) {
    // Only async-signal-safe calls from here on.
    const int in = open("/dev/null", O_RDONLY);
    if (in == -1 || dup2(in, 0) == -1 || dup2(fileno(out), 1) == -1 ||
        dup2(fileno(err), 2) == -1)
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
  int status = 0;
  if (waitpid(child, &status, 0) != child) throw std::runtime_error("waitpid");
  ToolRun run;
  run.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  run.out = ReadAll(out);
  run.err = ReadAll(err);
  fclose(out);
  fclose(err);
  return run;
}
