// The built tool, run on real files: output, exit status and the file's bytes.
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace {

const std::string kBanner = Text(
    "usage: swf-version-patch source.swf\n"
    "  version 20110919.2000\n"
    "  Copyright (c) the swf-version-patch authors; MIT License\n"
    "  support: " SWF_VERSION_PATCH_SUPPORT_URL_1
    " or " SWF_VERSION_PATCH_SUPPORT_URL_2 "\n");

// A header and a little body that patching must never touch.
std::string Movie(const std::string& signature, unsigned char version) {
  return signature + static_cast<char>(version) +
         std::string("\x1e\0\0\0\x78\x00\x05\x5f\x00\x00\x0f\xa0", 12);
}

struct FileCase {
  const char* name;
  std::string contents;
  int status;
  const char* out;  // %s stands for the path as given
  std::string err;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const FileCase& c, std::ostream* os) { *os << c.name; }

class FileTest : public testing::TestWithParam<FileCase> {};

TEST_P(FileTest, PatchesOrLeavesFileExactlyAsItWas) {
  const FileCase& c = GetParam();
  TempDir dir;
  const fs::path movie = dir.path() / "movie.swf";
  WriteFile(movie, c.contents);

  const ToolRun run = RunTool({movie.string()});

  EXPECT_EQ(run.exit_status, ShellStatus(c.status));
  std::string out = c.out;
  if (out.find("%s") != std::string::npos) out.replace(out.find("%s"), 2, movie.string());
  EXPECT_EQ(run.out, Text(out));
  EXPECT_EQ(run.err, Text(c.err));
  EXPECT_EQ(ReadFile(movie), c.status == 0 ? Patched(c.contents) : c.contents);
}

INSTANTIATE_TEST_SUITE_P(
    Headers, FileTest,
    testing::Values(
        FileCase{"Empty", "", -4, "", "fread fail\n"},
        FileCase{"OneByte", "F", -4, "", "fread fail\n"},
        FileCase{"ThreeBytes", "FWS", -4, "", "fread fail\n"},
        FileCase{"LowerCase", Movie("fws", 8), -5, "", "not swf file\n"},
        FileCase{"Lzma", Movie("ZWS", 13), -5, "", "not swf file\n"},
        FileCase{"Gif", "GIF89a", -5, "", "not swf file\n"},
        FileCase{"BadSecondByte", Movie("FXS", 8), -5, "", "not swf file\n"},
        FileCase{"BadThirdByte", Movie("CWT", 8), -5, "", "not swf file\n"},
        FileCase{"HeaderOnly", std::string("FWS\x0a", 4), 0,
                 "%s (original swf version=10) update version 9\n", ""},
        FileCase{"Version0", Movie("FWS", 0), 0,
                 "%s (original swf version=0) update version 9\n", ""},
        FileCase{"Version9", Movie("FWS", 9), 0,
                 "%s (original swf version=9) update version 9\n", ""},
        FileCase{"Version255", Movie("FWS", 255), 0,
                 "%s (original swf version=255) update version 9\n", ""},
        FileCase{"Compressed", Movie("CWS", 10), 0,
                 "%s (original swf version=10) update version 9\n", ""}),
    [](const testing::TestParamInfo<FileCase>& info) { return info.param.name; });

TEST(UsageTest, WrongCommandLinePrintsBannerAndOpensNothing) {
  TempDir dir;
  const std::string movie = Movie("FWS", 8);
  WriteFile(dir.path() / "a.swf", movie);
  WriteFile(dir.path() / "b.swf", movie);
  RunOptions in_dir;
  in_dir.directory = dir.path();

  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {}, {""}, {"a.swf", "b.swf"}, {"a.swf", ""}, {"a.swf", "b.swf", "a.swf"}}) {
    SCOPED_TRACE(args.size());
    const ToolRun run = RunTool(args, in_dir);
    EXPECT_EQ(run.exit_status, ShellStatus(-1));
    EXPECT_EQ(run.out, kBanner);
    EXPECT_EQ(run.err, "");
  }
  EXPECT_EQ(ReadFile(dir.path() / "a.swf"), movie);
  EXPECT_EQ(ReadFile(dir.path() / "b.swf"), movie);
}

TEST(UsageTest, MissingOrEmptyProgramNameStillGivesAWholeBanner) {
  RunOptions no_words;
  no_words.program.reset();
  RunOptions empty_name;
  empty_name.program = "";
#ifdef _WIN32
  // With no words at all, the Windows C runtime names the program itself.
  for (const RunOptions& options : {empty_name}) {
#else
  for (const RunOptions& options : {no_words, empty_name}) {
#endif
    const ToolRun run = RunTool({}, options);
    EXPECT_EQ(run.exit_status, ShellStatus(-1));
    EXPECT_EQ(run.out, kBanner);
    EXPECT_EQ(run.err, "");
  }
}

TEST(UsageTest, ProgramNameIsPrintedAsGiven) {
  RunOptions options;
  options.program = "/opt/tools/patch me";
  const ToolRun run = RunTool({}, options);
  EXPECT_EQ(run.out.substr(0, run.out.find('\n') + 1),
            Text("usage: /opt/tools/patch me source.swf\n"));
}

TEST(PathTest, PathIsPrintedVerbatim) {
  TempDir dir;
  const std::string name = "my movie (v2) #1 & 50% 'final' \xd1\x91\xd0\xb6 \xe6\x98\xa0.swf";
  const std::string movie = Movie("FWS", 7);
  WriteFile(dir.path() / Utf8Path(name), movie);
  RunOptions in_dir;
  in_dir.directory = dir.path();

  const ToolRun run = RunTool({name}, in_dir);

  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.out, Text(name + " (original swf version=7) update version 9\n"));
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(ReadFile(dir.path() / Utf8Path(name)), Patched(movie));
}

TEST(PathTest, OptionLikeArgumentIsAPath) {
  TempDir dir;
  RunOptions in_dir;
  in_dir.directory = dir.path();
  for (const char* word : {"-h", "--help", "-"}) {
    SCOPED_TRACE(word);
    ExpectFailure(RunTool({word}, in_dir), -2, SystemText(ENOENT));
  }
  const std::string movie = Movie("FWS", 6);
  WriteFile(dir.path() / "-v", movie);
  const ToolRun run = RunTool({"-v"}, in_dir);
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.out, Text("-v (original swf version=6) update version 9\n"));
  EXPECT_EQ(ReadFile(dir.path() / "-v"), Patched(movie));
}

TEST(PathTest, UnopenablePathsFailWithTheSystemText) {
  TempDir dir;
  fs::create_directory(dir.path() / "folder.swf");
#ifdef _WIN32
  const int folder_error = EACCES;  // what the C runtime makes of a folder
#else
  const int folder_error = EISDIR;
#endif
  const struct {
    fs::path path;
    int error_number;
  } cases[] = {
      {dir.path() / "missing.swf", ENOENT},
      {dir.path() / "folder.swf", folder_error},
      {dir.path() / "missing" / "movie.swf", ENOENT},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    ExpectFailure(RunTool({c.path.string()}), -2, SystemText(c.error_number));
  }
  EXPECT_FALSE(fs::exists(dir.path() / "missing.swf"));
}

TEST(PathTest, ReadOnlyFileIsRefusedAndUnchanged) {
  if (!CanRunUnprivileged())
    GTEST_SKIP() << "no way here to run the tool as a user a read-only file stops";
#ifdef SWF_VERSION_PATCH_COVERAGE
  GTEST_SKIP() << "run as nobody, the coverage runtime complains on standard "
                  "error that it cannot write its counts";
#endif
  TempDir dir;
  const fs::path path = dir.path() / "locked.swf";
  const std::string movie = Movie("FWS", 8);
  WriteFile(path, movie);
  fs::permissions(path, fs::perms::owner_read | fs::perms::group_read |
                            fs::perms::others_read);
  // A copy of the tool in our own directory, which nobody may enter even
  // where the build tree is private.
  RunOptions unprivileged;
  unprivileged.unprivileged = true;
  unprivileged.tool = dir.path() / "swf-version-patch";
  fs::copy_file(SWF_VERSION_PATCH_TOOL, unprivileged.tool);

  ExpectFailure(RunTool({path.string()}, unprivileged), -2, SystemText(EACCES));
  EXPECT_EQ(ReadFile(path), movie);
  fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);  // to clean up
}

#ifdef _WIN32
TEST(PathTest, DeviceNamesAreRefused) {
  for (const char* device : {"NUL", "nul.swf", "\\\\.\\NUL"}) {
    SCOPED_TRACE(device);
    ExpectFailure(RunTool({device}), -2, Text("not a regular file\n"));
  }
}
#else
TEST(PathTest, NonRegularFilesAreRefusedWithoutHanging) {
  TempDir dir;
  const fs::path fifo = dir.path() / "pipe.swf";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const fs::path& path : {fifo, fs::path("/dev/null"), fs::path("/dev/zero")}) {
    SCOPED_TRACE(path);
    ExpectFailure(RunTool({path.string()}), -2, "not a regular file\n");
  }
}

TEST(PathTest, SymbolicLinkIsFollowed) {
  TempDir dir;
  const std::string movie = Movie("CWS", 11);
  WriteFile(dir.path() / "real.swf", movie);
  fs::create_symlink("real.swf", dir.path() / "link.swf");

  const ToolRun run = RunTool({(dir.path() / "link.swf").string()});

  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(ReadFile(dir.path() / "real.swf"), Patched(movie));
  EXPECT_TRUE(fs::is_symlink(dir.path() / "link.swf"));
}
#endif

// Where standard output or error is redirected into the movie itself, under
// any of its names, no message may land in it.
TEST(RedirectionTest, OutputIntoTheMovieIsRefused) {
  TempDir dir;
  const fs::path movie = dir.path() / "movie.swf";
  WriteFile(movie, kMovie);
  fs::create_hard_link(movie, dir.path() / "other-name.swf");
  RunOptions out_into_movie;
  out_into_movie.out = {Sink::kFile, movie};
  RunOptions err_into_movie;
  err_into_movie.err = {Sink::kFile, movie};

  const ToolRun refused =
      RunTool({(dir.path() / "other-name.swf").string()}, out_into_movie);
  EXPECT_EQ(refused.exit_status, ShellStatus(-2));
  EXPECT_EQ(refused.err, Text("file is standard output\n"));
  EXPECT_EQ(ReadFile(movie), kMovie);
  // Any message would land in the movie: the status alone tells.
  const ToolRun silent = RunTool({movie.string()}, err_into_movie);
  EXPECT_EQ(silent.exit_status, ShellStatus(-2));
  EXPECT_EQ(silent.out, "");
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
  EXPECT_EQ(ReadFile(log), Text(movie.string() + " (original swf version=10) update version 9\n"));
}

}  // namespace
