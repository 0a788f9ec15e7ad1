// The patch procedure and its report, with one disk operation made to fail
// on a real file; the file is checked afterwards.
#include "patch.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ostream>
#include <string>

#include "gtest/gtest.h"
#include "report.h"
#include "test_support.h"

namespace {

enum class Op { kNone, kOpen, kKind, kRead, kSeek, kWrite, kClose };

struct Fault {
  Op op = Op::kNone;
  int error_number = 0;  // left in errno by the failing call
  bool short_only = false;  // Read or Write comes up short without an error
  FileKind kind = FileKind::kUnknown;  // what Kind reports when it is the op
};

// The real disk, with the operation named by the fault failing instead.
class FaultyDisk final : public Disk {
 public:
  explicit FaultyDisk(const Fault& fault) : fault_(fault) {}
  ~FaultyDisk() {
    if (open_) (void)real_.Close();
  }

  bool Open(const PathChar* path) override {
    if (Fails(Op::kOpen)) return false;
    open_ = real_.Open(path);
    return open_;
  }
  FileKind Kind() override {
    return Fails(Op::kKind) ? fault_.kind : real_.Kind();
  }
  size_t Read(void* buffer, size_t size, size_t count) override {
    return Fails(Op::kRead) ? 0 : real_.Read(buffer, size, count);
  }
  bool HasError() override { return error_set_ || real_.HasError(); }
  bool SeekFromStart(long offset) override {
    return !Fails(Op::kSeek) && real_.SeekFromStart(offset);
  }
  size_t Write(const void* data, size_t size, size_t count) override {
    return Fails(Op::kWrite) ? 0 : real_.Write(data, size, count);
  }
  bool Close() override {
    ++closes_;
    open_ = false;
    const bool closed = real_.Close();
    return !Fails(Op::kClose) && closed;
  }

  int closes() const { return closes_; }

 private:
  bool Fails(Op op) {
    if (fault_.op != op) return false;
    errno = fault_.error_number;
    error_set_ = !fault_.short_only;
    return true;
  }

  Fault fault_;
  StdioDisk real_;
  bool open_ = false;
  bool error_set_ = false;
  int closes_ = 0;
};

std::string Contents(FILE* stream) {
  std::string text;
  rewind(stream);
  for (int c; (c = fgetc(stream)) != EOF;) text.push_back(static_cast<char>(c));
  return text;
}

// The error line as Report prints it into our binary-mode streams.
std::string ErrorLine(int error_number) {
  return std::string(strerror(error_number)) + "\n";
}

struct FaultCase {
  const char* name;
  Fault fault;
  Outcome outcome;
  int status;
  std::string err;
  int closes;
  bool patched;  // the byte reached the file: only a failed close allows it
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

class FaultTest : public testing::TestWithParam<FaultCase> {};

TEST_P(FaultTest, ReportsTheFailureOnceAndKeepsTheFile) {
  const FaultCase& c = GetParam();
  TempDir dir;
  const auto path = dir.path() / "movie.swf";
  WriteFile(path, kMovie);
  FaultyDisk disk(c.fault);

  const PatchResult result = PatchVersion(disk, path.c_str());
  FILE* out = tmpfile();
  FILE* err = tmpfile();
  ASSERT_TRUE(out != nullptr && err != nullptr);
  const int status = Report(result, nullptr, path.c_str(), out, err);

  EXPECT_EQ(result.outcome, c.outcome);
  EXPECT_EQ(status, c.status);
  EXPECT_EQ(Contents(out), "");
  EXPECT_EQ(Contents(err), c.err);
  EXPECT_EQ(disk.closes(), c.closes);
  EXPECT_EQ(ReadFile(path), c.patched ? Patched(kMovie) : kMovie);
  fclose(out);
  fclose(err);
}

Fault Failing(Op op, int error_number) {
  Fault fault;
  fault.op = op;
  fault.error_number = error_number;
  return fault;
}

Fault Short(Op op) {
  Fault fault;
  fault.op = op;
  fault.short_only = true;
  return fault;
}

Fault KindIs(FileKind kind) {
  Fault fault;
  fault.op = Op::kKind;
  fault.kind = kind;
  return fault;
}

INSTANTIATE_TEST_SUITE_P(
    EveryFailure, FaultTest,
    testing::Values(
        FaultCase{"OpenDenied", Failing(Op::kOpen, EACCES), Outcome::kOpenFailed,
                  -2, ErrorLine(EACCES), 0, false},
        FaultCase{"OpenWithoutErrno", Failing(Op::kOpen, 0), Outcome::kOpenFailed,
                  -2, ErrorLine(EIO), 0, false},
        FaultCase{"KindUnknown", Failing(Op::kKind, EOVERFLOW), Outcome::kOpenFailed,
                  -2, ErrorLine(EOVERFLOW), 1, false},
        FaultCase{"NotRegular", KindIs(FileKind::kNotRegular),
                  Outcome::kNotRegularFile, -2, "not a regular file\n", 1, false},
        FaultCase{"IsStandardOutput", KindIs(FileKind::kStandardOutput),
                  Outcome::kFileIsStandardOutput, -2, "file is standard output\n",
                  1, false},
        FaultCase{"IsStandardError", KindIs(FileKind::kStandardError),
                  Outcome::kFileIsStandardError, -2, "", 1, false},
        FaultCase{"ReadError", Failing(Op::kRead, EIO), Outcome::kReadFailed, -3,
                  ErrorLine(EIO), 1, false},
        FaultCase{"ReadErrorWithoutErrno", Failing(Op::kRead, 0),
                  Outcome::kReadFailed, -3, ErrorLine(EIO), 1, false},
        FaultCase{"ReadShort", Short(Op::kRead), Outcome::kShortRead, -4,
                  "fread fail\n", 1, false},
        FaultCase{"SeekError", Failing(Op::kSeek, ESPIPE), Outcome::kSeekFailed,
                  -6, ErrorLine(ESPIPE), 1, false},
        FaultCase{"WriteError", Failing(Op::kWrite, ENOSPC), Outcome::kWriteFailed,
                  -7, ErrorLine(ENOSPC), 1, false},
        FaultCase{"WriteShort", Short(Op::kWrite), Outcome::kShortWrite, -8,
                  "fwrite fail\n", 1, false},
        FaultCase{"CloseError", Failing(Op::kClose, EFBIG), Outcome::kCloseFailed,
                  -9, ErrorLine(EFBIG), 1, true}),
    [](const testing::TestParamInfo<FaultCase>& info) { return info.param.name; });

TEST(ReportTest, UsageWithoutAProgramNameUsesTheToolsName) {
  FILE* out = tmpfile();
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(Report({Outcome::kUsage, 0, 0}, nullptr, nullptr, out, stderr), -1);
  const std::string banner = Contents(out);
  EXPECT_EQ(banner.substr(0, banner.find('\n') + 1), "usage: swf-version-patch source.swf\n");
  EXPECT_EQ(std::count(banner.begin(), banner.end(), '\n'), 4);
  fclose(out);
}

TEST(PatchTest, PatchesThroughTheRealDiskAndClosesOnce) {
  TempDir dir;
  const auto path = dir.path() / "movie.swf";
  WriteFile(path, kMovie);
  FaultyDisk disk{Fault()};

  const PatchResult result = PatchVersion(disk, path.c_str());

  EXPECT_EQ(result.outcome, Outcome::kPatched);
  EXPECT_EQ(result.former_version, 10);
  EXPECT_EQ(disk.closes(), 1);
  EXPECT_EQ(ReadFile(path), Patched(kMovie));
}

TEST(PatchTest, NotSwfClosesOnceAndWritesNothing) {
  TempDir dir;
  const auto path = dir.path() / "movie.swf";
  const std::string png("\x89PNG\r\n\x1a\n", 8);
  WriteFile(path, png);
  FaultyDisk disk{Fault()};

  EXPECT_EQ(PatchVersion(disk, path.c_str()).outcome, Outcome::kNotSwf);
  EXPECT_EQ(disk.closes(), 1);
  EXPECT_EQ(ReadFile(path), png);
}

}  // namespace
