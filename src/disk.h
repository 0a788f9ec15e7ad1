// The file operations the version patch makes, behind one narrow interface
// so that tests can make any single one of them fail or come up short.
#ifndef SWF_VERSION_PATCH_DISK_H_
#define SWF_VERSION_PATCH_DISK_H_

#include <cstddef>
#include <cstdio>

// A path as the platform hands it over. Windows paths are UTF-16: its
// narrow command line loses every letter outside the active code page.
#ifdef _WIN32
using PathChar = wchar_t;
#else
using PathChar = char;
#endif

// What the opened path turned out to be. Anything but a regular file that no
// standard stream writes to is refused before a byte is read or written.
enum class FileKind {
  kRegular,
  kNotRegular,      // directory, pipe, device: reading could hang or consume
  kStandardOutput,  // our success line would land in the movie
  kStandardError,   // our error messages would land in the movie
  kUnknown,         // could not be inspected; errno says why
};

// Mirrors the C stdio calls on one file. A failing call leaves the reason in
// errno, as the C library does.
class Disk {
 public:
  // Opens an existing file for update ("r+b"): never creates or truncates.
  virtual bool Open(const PathChar* path) = 0;
  virtual FileKind Kind() = 0;
  virtual size_t Read(void* buffer, size_t size, size_t count) = 0;
  // The stream's error indicator: tells an I/O error from end of file.
  virtual bool HasError() = 0;
  virtual bool SeekFromStart(long offset) = 0;
  virtual size_t Write(const void* data, size_t size, size_t count) = 0;
  // Flushes what was written and closes, even when it reports failure.
  virtual bool Close() = 0;

 protected:
  // Never deleted through this interface: no virtual destructor, so the tool
  // needs no C++ runtime for operator delete.
  ~Disk() = default;
};

// The real disk: C standard I/O on one FILE.
class StdioDisk final : public Disk {
 public:
  bool Open(const PathChar* path) override;
  FileKind Kind() override;
  size_t Read(void* buffer, size_t size, size_t count) override;
  bool HasError() override;
  bool SeekFromStart(long offset) override;
  size_t Write(const void* data, size_t size, size_t count) override;
  bool Close() override;

 private:
  // Closed by Close alone: the patch procedure closes on every path that
  // opened, and the tests count the closes.
  // cppcheck-suppress unsafeClassCanLeak
  FILE* file_ = nullptr;
};

#endif  // SWF_VERSION_PATCH_DISK_H_
