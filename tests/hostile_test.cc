// The built tool where users really break things on POSIX systems: failing
// kernel calls, closed or full standard streams.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

#include "gtest/gtest.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace {

TEST(KernelFailureTest, PathsThatCannotBeOpened) {
  TempDir dir;
  fs::create_symlink("b.swf", dir.path() / "a.swf");
  fs::create_symlink("a.swf", dir.path() / "b.swf");
  fs::create_symlink("gone.swf", dir.path() / "dangling.swf");
  const struct {
    fs::path path;
    int error_number;
  } cases[] = {
      {dir.path() / std::string(300, 'm'), ENAMETOOLONG},
      {dir.path() / "a.swf", ELOOP},
      {dir.path() / "dangling.swf", ENOENT},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    ExpectFailure(RunTool({c.path.string()}), -2, SystemText(c.error_number));
  }
  EXPECT_FALSE(fs::exists(dir.path() / "gone.swf"));
  EXPECT_TRUE(fs::is_symlink(dir.path() / "dangling.swf"));
}

TEST(KernelFailureTest, EveryReadFailing) {
  // A regular file whose reads at offset 0 fail: page 0 is never mapped.
  ExpectFailure(RunTool({"/proc/self/mem"}), -3, SystemText(EIO));
}

TEST(KernelFailureTest, FileSizeLimitFailsTheFlushOnClose) {
  TempDir dir;
  const fs::path movie = dir.path() / "movie.swf";
  WriteFile(movie, kMovie);
  RunOptions limited;
  limited.file_size_limit = 3;  // byte 3 lies past the limit

  ExpectFailure(RunTool({movie.string()}, limited), -9, SystemText(EFBIG));
  EXPECT_EQ(ReadFile(movie), kMovie);
}

TEST(KernelFailureTest, NoDescriptorToParkOnAClosedStandardOutput) {
#ifdef SWF_VERSION_PATCH_INSTRUMENTED
  GTEST_SKIP() << "sanitizer and coverage runtimes need descriptors of their "
                  "own; disk_test.cc covers this in process";
#endif
  TempDir dir;
  const fs::path movie = dir.path() / "movie.swf";
  WriteFile(movie, kMovie);
  RunOptions starved;
  starved.input_closed = true;
  starved.out.kind = Sink::kClosed;
  starved.open_files_limit = 1;  // descriptor 0 alone may be opened

  ExpectFailure(RunTool({movie.string()}, starved), -2, SystemText(EMFILE));
  EXPECT_EQ(ReadFile(movie), kMovie);
}

struct StateCase {
  const char* name;
  bool input_closed;
  Sink::Kind out;
  Sink::Kind err;
  const char* device;  // for kFile sinks
};

void PrintTo(const StateCase& c, std::ostream* os) { *os << c.name; }

class ProcessStateTest : public testing::TestWithParam<StateCase> {};

// Whatever the streams, the movie ends patched at byte 3 alone, or as it was.
TEST_P(ProcessStateTest, NoMessageEverLandsInTheMovie) {
  const StateCase& c = GetParam();
  TempDir dir;
  const fs::path movie = dir.path() / "movie.swf";
  const fs::path text = dir.path() / "text.txt";
  WriteFile(movie, kMovie);
  WriteFile(text, "GIF89a");
  RunOptions options;
  options.input_closed = c.input_closed;
  options.out = {c.out, c.device ? fs::path(c.device) : fs::path()};
  options.err = {c.err, c.device ? fs::path(c.device) : fs::path()};

  const ToolRun patched = RunTool({movie.string()}, options);
  const ToolRun refused = RunTool({text.string()}, options);

  EXPECT_EQ(patched.exit_status, 0);
  EXPECT_EQ(ReadFile(movie), Patched(kMovie));
  EXPECT_EQ(refused.exit_status, ShellStatus(-5));
  EXPECT_EQ(ReadFile(text), "GIF89a");
  if (c.out == Sink::kCaptured) {
    EXPECT_EQ(patched.out, movie.string() + " (original swf version=10) update version 9\n");
  }
  if (c.err == Sink::kCaptured) {
    EXPECT_EQ(refused.err, "not swf file\n");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Streams, ProcessStateTest,
    testing::Values(
        StateCase{"InputClosed", true, Sink::kCaptured, Sink::kCaptured, nullptr},
        StateCase{"OutputClosed", false, Sink::kClosed, Sink::kCaptured, nullptr},
        StateCase{"ErrorClosed", false, Sink::kCaptured, Sink::kClosed, nullptr},
        StateCase{"AllClosed", true, Sink::kClosed, Sink::kClosed, nullptr},
        StateCase{"OutputFull", false, Sink::kFile, Sink::kCaptured, "/dev/full"},
        StateCase{"AllFull", false, Sink::kFile, Sink::kFile, "/dev/full"}),
    [](const testing::TestParamInfo<StateCase>& info) { return info.param.name; });

}  // namespace
