#include "disk.h"

#include <sys/stat.h>

#ifdef _WIN32
#include <io.h>
#include <windows.h>

// The Windows C runtime keeps descriptors 0 to 2 for the standard streams
// even when the process has no console or handles.
static bool ReserveStandardDescriptors() { return true; }

static FILE* OpenForUpdate(const PathChar* path) { return _wfopen(path, L"r+b"); }

using FileStatus = struct _stat64;
static int StatusOf(FILE* file, FileStatus* status) {
  return _fstat64(_fileno(file), status);  // 64-bit sizes on 32-bit builds too
}

// Whether `descriptor` is open on the same file as `stream`. Windows has no
// inode numbers: the volume serial and file index name a file instead.
static bool IsSameFile(FILE* stream, const FileStatus& /*status*/, int descriptor) {
  BY_HANDLE_FILE_INFORMATION ours;
  BY_HANDLE_FILE_INFORMATION other;
  const auto handle = [](int fd) { return reinterpret_cast<HANDLE>(_get_osfhandle(fd)); };
  return GetFileInformationByHandle(handle(descriptor), &other) &&
         GetFileInformationByHandle(handle(_fileno(stream)), &ours) &&
         ours.dwVolumeSerialNumber == other.dwVolumeSerialNumber &&
         ours.nFileIndexHigh == other.nFileIndexHigh &&
         ours.nFileIndexLow == other.nFileIndexLow;
}
#else
#include <fcntl.h>
#include <unistd.h>

// A file opened while descriptor 1 or 2 is closed takes that number, and the
// next message printed would be written into the movie. Parks /dev/null on
// every closed standard descriptor first.
static bool ReserveStandardDescriptors() {
  for (int descriptor = 0; descriptor <= 2; ++descriptor) {
    if (fcntl(descriptor, F_GETFD) != -1) continue;  // fails only if closed
    if (open("/dev/null", O_RDWR) == -1) return false;
  }
  return true;
}

static FILE* OpenForUpdate(const PathChar* path) { return fopen(path, "r+b"); }

using FileStatus = struct stat;
static int StatusOf(FILE* file, FileStatus* status) {
  return fstat(fileno(file), status);
}

// Whether `descriptor` is open on the same file as the stream whose status
// is `ours`.
static bool IsSameFile(FILE* /*stream*/, const FileStatus& ours, int descriptor) {
  struct stat other;
  return fstat(descriptor, &other) == 0 && ours.st_dev == other.st_dev &&
         ours.st_ino == other.st_ino;
}
#endif

bool StdioDisk::Open(const PathChar* path) {
  if (!ReserveStandardDescriptors()) return false;
  file_ = OpenForUpdate(path);
  return file_ != nullptr;
}

FileKind StdioDisk::Kind() {
  FileStatus status;
  if (StatusOf(file_, &status) != 0) return FileKind::kUnknown;
  if ((status.st_mode & S_IFMT) != S_IFREG) return FileKind::kNotRegular;
  if (IsSameFile(file_, status, 2)) return FileKind::kStandardError;
  if (IsSameFile(file_, status, 1)) return FileKind::kStandardOutput;
  return FileKind::kRegular;
}

size_t StdioDisk::Read(void* buffer, size_t size, size_t count) {
  return fread(buffer, size, count, file_);
}

bool StdioDisk::HasError() { return ferror(file_) != 0; }

bool StdioDisk::SeekFromStart(long offset) {
  return fseek(file_, offset, SEEK_SET) == 0;
}

size_t StdioDisk::Write(const void* data, size_t size, size_t count) {
  return fwrite(data, size, count, file_);
}

bool StdioDisk::Close() {
  FILE* file = file_;
  file_ = nullptr;
  return fclose(file) == 0;
}
