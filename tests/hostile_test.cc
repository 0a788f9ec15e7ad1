// The built tool where users really break things: failing kernel calls,
// closed or full standard streams, output redirected into the movie, random
// contents, and a movie too large to read.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>

#include "gtest/gtest.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace {

const std::string kMovie("FWS\x0a\x1e\0\0\0\x78\x00\x05\x5f", 12);

std::string Patched(std::string bytes) {
  bytes[3] = '\x09';
  return bytes;
}

std::string SystemText(int error_number) {
  return std::string(strerror(error_number)) + "\n";
}

void ExpectFailure(const ToolRun& run, int status, const std::string& err) {
  EXPECT_EQ(run.exit_status, ShellStatus(status));
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, err);
}

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

TEST(RedirectionTest, OutputIntoTheMovieIsRefused) {
  TempDir dir;
  const fs::path movie = dir.path() / "movie.swf";
  WriteFile(movie, kMovie);
  fs::create_hard_link(movie, dir.path() / "other-name.swf");
  RunOptions out_into_movie;
  out_into_movie.out = {Sink::kFile, movie};
  RunOptions err_into_movie;
  err_into_movie.err = {Sink::kFile, movie};

  ExpectFailure(RunTool({(dir.path() / "other-name.swf").string()}, out_into_movie),
                -2, "file is standard output\n");
  EXPECT_EQ(ReadFile(movie), kMovie);
  const ToolRun run = RunTool({movie.string()}, err_into_movie);
  EXPECT_EQ(run.exit_status, ShellStatus(-2));
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(ReadFile(movie), kMovie);
}

TEST(RedirectionTest, OutputIntoAnotherFileBesideTheMovieIsFine) {
  TempDir dir;
  const fs::path movie = dir.path() / "movie.swf";
  const fs::path log = dir.path() / "patch.log";
  WriteFile(movie, kMovie);
  WriteFile(log, "");
  RunOptions into_log;
  into_log.out = {Sink::kFile, log};
  into_log.err = {Sink::kFile, log};

  EXPECT_EQ(RunTool({movie.string()}, into_log).exit_status, 0);
  EXPECT_EQ(ReadFile(movie), Patched(kMovie));
  EXPECT_EQ(ReadFile(log), movie.string() + " (original swf version=10) update version 9\n");
}

// Random files, signatures mostly valid or nearly so: each run either changes
// byte 3 alone to 9, or leaves the file as it was with the status its
// contents call for.
TEST(PropertyTest, RandomFilesArePatchedAtByteThreeOrLeftAlone) {
  TempDir dir;
  const fs::path movie = dir.path() / "movie.swf";
  std::mt19937 random(20110919);
  const std::string signatures[] = {"FWS", "CWS", "FWS", "CWS", "fws", "ZWS",
                                    "FWs", "CwS", "GWS", "F\0S"};
  for (int round = 0; round < 300; ++round) {
    const size_t length = random() % 3 == 0 ? random() % 6 : random() % 400;
    std::string contents(length, '\0');
    for (char& byte : contents) byte = static_cast<char>(random());
    const std::string& signature = signatures[random() % std::size(signatures)];
    if (random() % 8 != 0) contents.replace(0, std::min<size_t>(3, length), signature, 0, std::min<size_t>(3, length));
    SCOPED_TRACE(testing::Message() << "round " << round << ", length " << length);
    WriteFile(movie, contents);

    const ToolRun run = RunTool({movie.string()});

    if (length < 4) {
      ExpectFailure(run, -4, "fread fail\n");
      EXPECT_EQ(ReadFile(movie), contents);
    } else if ((contents[0] == 'F' || contents[0] == 'C') && contents[1] == 'W' &&
               contents[2] == 'S') {
      EXPECT_EQ(run.exit_status, 0);
      EXPECT_EQ(run.out, movie.string() + " (original swf version=" +
                             std::to_string(static_cast<unsigned char>(contents[3])) +
                             ") update version 9\n");
      EXPECT_EQ(run.err, "");
      EXPECT_EQ(ReadFile(movie), Patched(contents));
    } else {
      ExpectFailure(run, -5, "not swf file\n");
      EXPECT_EQ(ReadFile(movie), contents);
    }
    if (HasFailure()) break;
  }
}

double SecondsToPatch(const fs::path& movie) {
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(RunTool({movie.string()}).exit_status, 0);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(SizeTest, HugeSparseMovieIsPatchedInPlaceAsFastAsATinyOne) {
  TempDir dir;
  const fs::path tiny = dir.path() / "tiny.swf";
  const fs::path huge = dir.path() / "huge.swf";
  const std::uintmax_t huge_size = std::uintmax_t{5} << 30;
  WriteFile(tiny, kMovie.substr(0, 4));
  WriteFile(huge, kMovie);
  fs::resize_file(huge, huge_size);  // a hole: no disk space is used

  double tiny_seconds = 1e9, huge_seconds = 1e9;
  for (int run = 0; run < 3; ++run) {
    tiny_seconds = std::min(tiny_seconds, SecondsToPatch(tiny));
    huge_seconds = std::min(huge_seconds, SecondsToPatch(huge));
  }

  // Reading 5 GiB, even of a hole, takes seconds; the patch takes a
  // process start.
  EXPECT_LT(huge_seconds, tiny_seconds + 0.25);
  EXPECT_EQ(fs::file_size(huge), huge_size);
  std::string head(kMovie.size(), '\0');
  FILE* file = fopen(huge.c_str(), "rb");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(fread(head.data(), 1, head.size(), file), head.size());
  fclose(file);
  EXPECT_EQ(head, Patched(kMovie));
  struct stat status;
  ASSERT_EQ(stat(huge.c_str(), &status), 0);
  EXPECT_LT(status.st_blocks * 512, 1 << 20) << "the hole was filled in";
}

}  // namespace
