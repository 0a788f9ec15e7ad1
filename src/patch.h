// Sets the declared version of an SWF movie to 9 by rewriting byte 3 of the
// file in place. The SWF header begins:
//   offset 0  'F' (0x46, plain movie) or 'C' (0x43, zlib-compressed body)
//   offset 1  'W'
//   offset 2  'S'
//   offset 3  version, unsigned 8-bit
// Only byte 3 is ever written; the length field and the body are never read,
// so compressed movies need no decompression.
#ifndef SWF_VERSION_PATCH_PATCH_H_
#define SWF_VERSION_PATCH_PATCH_H_

#include "disk.h"

// Everything a run can come to. The exit status and message of each live in
// one table in report.cc.
enum class Outcome {
  kPatched,
  kUsage,            // wrong command line; nothing opened
  kOpenFailed,
  kNotRegularFile,
  kFileIsStandardOutput,
  kFileIsStandardError,
  kReadFailed,       // I/O error while reading the header
  kShortRead,        // fewer than four bytes in the file
  kNotSwf,
  kSeekFailed,
  kWriteFailed,      // I/O error while writing the version byte
  kShortWrite,       // version byte not written, no I/O error
  kCloseFailed,      // flushing the written byte on close failed
};

struct PatchResult {
  Outcome outcome;
  unsigned char former_version;  // meaningful once the header was read
  int error_number;              // errno of the failed call, else 0
};

constexpr unsigned char kPatchedVersion = 9;

// Opens `path` for update, checks the signature and writes kPatchedVersion
// over byte 3. The file is closed on every path that opened it. Prints
// nothing: the caller reports the result.
PatchResult PatchVersion(Disk& disk, const PathChar* path);

#endif  // SWF_VERSION_PATCH_PATCH_H_
