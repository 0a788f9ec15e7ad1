#include "patch.h"

#include <cerrno>

namespace {

// errno of the call that just failed. A C library that reports failure
// without saying why must still not make us print "Success".
int LastErrorNumber() { return errno != 0 ? errno : EIO; }

// Ends a run that failed after the file was opened. The failure is what gets
// reported: the close cannot make it worse, so its result is not looked at.
PatchResult CloseAndFail(Disk& disk, Outcome outcome, int error_number) {
  (void)disk.Close();
  return {outcome, 0, error_number};
}

bool IsSwfSignature(const unsigned char header[4]) {
  return (header[0] == 'F' || header[0] == 'C') && header[1] == 'W' &&
         header[2] == 'S';
}

}  // namespace

PatchResult PatchVersion(Disk& disk, const PathChar* path) {
  if (!disk.Open(path)) return {Outcome::kOpenFailed, 0, LastErrorNumber()};

  const FileKind kind = disk.Kind();
  if (kind == FileKind::kUnknown)
    return CloseAndFail(disk, Outcome::kOpenFailed, LastErrorNumber());
  if (kind == FileKind::kNotRegular)
    return CloseAndFail(disk, Outcome::kNotRegularFile, 0);
  if (kind == FileKind::kStandardOutput)
    return CloseAndFail(disk, Outcome::kFileIsStandardOutput, 0);
  if (kind == FileKind::kStandardError)
    return CloseAndFail(disk, Outcome::kFileIsStandardError, 0);

  // One item of four bytes: a file shorter than the header reads nothing.
  unsigned char header[4];
  if (disk.Read(header, sizeof header, 1) != 1) {
    const int read_error = LastErrorNumber();
    if (disk.HasError())
      return CloseAndFail(disk, Outcome::kReadFailed, read_error);
    return CloseAndFail(disk, Outcome::kShortRead, 0);
  }
  if (!IsSwfSignature(header)) return CloseAndFail(disk, Outcome::kNotSwf, 0);

  // C requires a positioning call between a read and a write on one stream.
  if (!disk.SeekFromStart(3))
    return CloseAndFail(disk, Outcome::kSeekFailed, LastErrorNumber());
  if (disk.Write(&kPatchedVersion, 1, 1) != 1) {
    const int write_error = LastErrorNumber();
    if (disk.HasError())
      return CloseAndFail(disk, Outcome::kWriteFailed, write_error);
    return CloseAndFail(disk, Outcome::kShortWrite, 0);
  }
  // The byte usually reaches the file only here, when the buffer is flushed.
  if (!disk.Close()) return {Outcome::kCloseFailed, header[3], LastErrorNumber()};
  return {Outcome::kPatched, header[3], 0};
}
