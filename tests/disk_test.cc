// The real disk where the process's descriptors are in a state that no run
// of the tool can be started in: descriptors taken away behind its back.
#include "disk.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>

#include "gtest/gtest.h"
#include "test_support.h"

namespace {

// Closes one of our standard descriptors for the life of the object.
class ClosedDescriptor {
 public:
  explicit ClosedDescriptor(int descriptor)
      : descriptor_(descriptor), saved_(dup(descriptor)) {
    fflush(nullptr);
    close(descriptor_);
  }
  ~ClosedDescriptor() {
    dup2(saved_, descriptor_);
    close(saved_);
  }
  ClosedDescriptor(const ClosedDescriptor&) = delete;
  ClosedDescriptor& operator=(const ClosedDescriptor&) = delete;

 private:
  int descriptor_;
  int saved_;
};

class DiskTest : public testing::Test {
 protected:
  void SetUp() override { WriteFile(movie_, "FWS\x08"); }
  TempDir dir_;
  const std::filesystem::path movie_ = dir_.path() / "movie.swf";
};

TEST_F(DiskTest, OpenFailsWhenNoDescriptorCanStandInForAClosedOutput) {
  StdioDisk disk;
  rlimit saved_limit;
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved_limit), 0);
  bool opened = true;
  int error_number = 0;
  {
    ClosedDescriptor output(1);
    rlimit one = {1, saved_limit.rlim_max};  // only descriptor 0 may be opened
    if (setrlimit(RLIMIT_NOFILE, &one) == 0) {
      errno = 0;
      opened = disk.Open(movie_.c_str());
      error_number = errno;
      setrlimit(RLIMIT_NOFILE, &saved_limit);
    }
  }
  EXPECT_FALSE(opened);
  EXPECT_EQ(error_number, EMFILE);
  if (opened) disk.Close();
}

TEST_F(DiskTest, KindIsUnknownWhenTheDescriptorIsGone) {
  // fopen takes the lowest free descriptor: find out which that is.
  const int next = open("/dev/null", O_RDONLY);
  ASSERT_NE(next, -1);
  close(next);
  StdioDisk disk;
  ASSERT_TRUE(disk.Open(movie_.c_str()));
  ASSERT_EQ(close(next), 0);

  errno = 0;
  EXPECT_EQ(disk.Kind(), FileKind::kUnknown);
  EXPECT_EQ(errno, EBADF);
  EXPECT_FALSE(disk.Close());
}

TEST_F(DiskTest, ClosedStandardDescriptorIsNotTheFile) {
  StdioDisk disk;
  ASSERT_TRUE(disk.Open(movie_.c_str()));
  FileKind kind;
  {
    ClosedDescriptor output(1);
    kind = disk.Kind();
  }
  EXPECT_EQ(kind, FileKind::kRegular);
  EXPECT_TRUE(disk.Close());
}

}  // namespace
