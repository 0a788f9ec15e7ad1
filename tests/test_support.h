// Files and runs of the real tool, for the tests.
#ifndef SWF_VERSION_PATCH_TEST_SUPPORT_H_
#define SWF_VERSION_PATCH_TEST_SUPPORT_H_

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// A fresh directory, removed with everything in it when the test ends.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// A small movie: the header, version 10, and the start of a body that
// patching must never touch.
extern const std::string kMovie;

// `movie` as a patch leaves it: byte 3 set to 9, nothing else changed.
std::string Patched(std::string movie);

void WriteFile(const std::filesystem::path& path, const std::string& bytes);
std::string ReadFile(const std::filesystem::path& path);

// The exit status a caller sees for a status the tool returns: -1 is 255
// on POSIX systems, and stays -1 on Windows.
int ShellStatus(int tool_status);

// Lines as the tool prints them on this platform: with CR LF on Windows.
std::string Text(const std::string& lines);

// The platform's text for an error number, as the tool prints it.
std::string SystemText(int error_number);

// A path from UTF-8 bytes, whatever the platform's narrow encoding.
std::filesystem::path Utf8Path(const std::string& utf8);

struct ToolRun {
  int exit_status = -1;  // as ShellStatus gives it
  std::string out;
  std::string err;
};

// Where a standard stream of the tool goes.
struct Sink {
  enum Kind { kCaptured, kClosed, kFile } kind = kCaptured;
  std::filesystem::path file;  // with kFile: opened for appending, as by >>
};

struct RunOptions {
  std::filesystem::path tool = SWF_VERSION_PATCH_TOOL;  // the built tool
  // argv[0]; none starts the tool with no command-line words at all.
  std::optional<std::string> program = std::string("swf-version-patch");
  std::filesystem::path directory;  // working directory; empty: unchanged
  bool unprivileged = false;        // run as the user nobody
  bool input_closed = false;        // else standard input is /dev/null
  Sink out, err;
  // Process limits, in bytes and descriptors; SIGXFSZ is ignored.
  std::optional<unsigned long> file_size_limit;
  std::optional<unsigned long> open_files_limit;
};

// Runs the built tool with `args` (UTF-8) after argv[0].
ToolRun RunTool(const std::vector<std::string>& args,
                const RunOptions& options = RunOptions());

// Checks a failed run: its status, nothing on standard output, and `err`
// (as the tool prints it: see Text and SystemText) on standard error.
void ExpectFailure(const ToolRun& run, int tool_status, const std::string& err);

// Whether RunTool can run the tool as a user who may not write our files.
bool CanRunUnprivileged();

#endif  // SWF_VERSION_PATCH_TEST_SUPPORT_H_
