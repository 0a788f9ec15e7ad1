// The built tool on many random files, and on a movie too large to read.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "gtest/gtest.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace {

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
      ExpectFailure(run, -4, Text("fread fail\n"));
      EXPECT_EQ(ReadFile(movie), contents);
    } else if ((contents[0] == 'F' || contents[0] == 'C') && contents[1] == 'W' &&
               contents[2] == 'S') {
      EXPECT_EQ(run.exit_status, 0);
      EXPECT_EQ(run.out, Text(movie.string() + " (original swf version=" +
                                  std::to_string(static_cast<unsigned char>(contents[3])) +
                                  ") update version 9\n"));
      EXPECT_EQ(run.err, "");
      EXPECT_EQ(ReadFile(movie), Patched(contents));
    } else {
      ExpectFailure(run, -5, Text("not swf file\n"));
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
  std::ifstream file(huge, std::ios::binary);
  EXPECT_TRUE(file.read(head.data(), static_cast<std::streamsize>(head.size())));
  EXPECT_EQ(head, Patched(kMovie));
#ifndef _WIN32
  struct stat status;
  ASSERT_EQ(stat(huge.c_str(), &status), 0);
  EXPECT_LT(status.st_blocks * 512, 1 << 20) << "the hole was filled in";
#endif
}

}  // namespace
