#include "disk.h"

#include <sys/stat.h>

#ifndef _WIN32
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
#else
// The Windows C runtime keeps descriptors 0 to 2 for the standard streams
// even when the process has no console or handles.
static bool ReserveStandardDescriptors() { return true; }
#endif

bool StdioDisk::Open(const char* path) {
  if (!ReserveStandardDescriptors()) return false;
  file_ = fopen(path, "r+b");
  return file_ != nullptr;
}

#ifndef _WIN32
// Whether the descriptor is open on the very file described by `file`.
static bool IsSameFile(int descriptor, const struct stat& file) {
  struct stat other;
  return fstat(descriptor, &other) == 0 && other.st_dev == file.st_dev &&
         other.st_ino == file.st_ino;
}
#endif

FileKind StdioDisk::Kind() {
  struct stat file;
  if (fstat(fileno(file_), &file) != 0) return FileKind::kUnknown;
  if (!S_ISREG(file.st_mode)) return FileKind::kNotRegular;
#ifndef _WIN32  // Windows has no inode numbers to compare.
  if (IsSameFile(fileno(stderr), file)) return FileKind::kStandardError;
  if (IsSameFile(fileno(stdout), file)) return FileKind::kStandardOutput;
#endif
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
