#include "test_support.h"

#include "gtest/gtest.h"

#include <fstream>
#include <iterator>
#include <cstring>
#include <random>
#include <stdexcept>

namespace fs = std::filesystem;

TempDir::TempDir() {
  std::random_device random;
  do {
    path_ = fs::temp_directory_path() /
            ("swf-version-patch-test-" + std::to_string(random()));
  } while (!fs::create_directory(path_));
  // Open to every user, so that a run as nobody reaches its files.
  fs::permissions(path_, fs::perms::owner_all | fs::perms::group_read |
                             fs::perms::group_exec | fs::perms::others_read |
                             fs::perms::others_exec);
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

const std::string kMovie("FWS\x0a\x1e\0\0\0\x78\x00\x05\x5f", 12);

std::string Patched(std::string movie) {
  movie[3] = '\x09';
  return movie;
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

#ifdef _WIN32
int ShellStatus(int tool_status) { return tool_status; }  // ERRORLEVEL is signed

std::string Text(const std::string& lines) {
  std::string text;
  for (const char c : lines) {
    if (c == '\n') text += '\r';
    text += c;
  }
  return text;
}
#else
int ShellStatus(int tool_status) { return tool_status & 0xff; }

std::string Text(const std::string& lines) { return lines; }
#endif

std::string SystemText(int error_number) {
  return Text(std::string(strerror(error_number)) + "\n");
}

void ExpectFailure(const ToolRun& run, int tool_status, const std::string& err) {
  EXPECT_EQ(run.exit_status, ShellStatus(tool_status));
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, err);
}

fs::path Utf8Path(const std::string& utf8) { return fs::u8path(utf8); }
