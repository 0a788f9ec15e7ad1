#include "report.h"

#include <cstring>

// Set at configure time (CMake cache variables of the same names).
#ifndef SWF_VERSION_PATCH_SUPPORT_URL_1
#error "SWF_VERSION_PATCH_SUPPORT_URL_1 must be defined by the build"
#endif
#ifndef SWF_VERSION_PATCH_SUPPORT_URL_2
#error "SWF_VERSION_PATCH_SUPPORT_URL_2 must be defined by the build"
#endif

namespace {

enum class Stream { kOut, kErr, kNone };

struct OutcomeText {
  Outcome outcome;
  int exit_status;
  Stream stream;
  // A printf format given the path (or program name) and the former version;
  // null means the system's text for the failed call's error number.
  const char* text;
};

// Every message and exit status of the tool. Scripts rely on both.
constexpr OutcomeText kOutcomeTexts[] = {
    {Outcome::kPatched, 0, Stream::kOut,
     "%s (original swf version=%d) update version 9\n"},
    {Outcome::kUsage, -1, Stream::kOut, "usage: %s source.swf\n"},
    {Outcome::kOpenFailed, -2, Stream::kErr, nullptr},
    {Outcome::kNotRegularFile, -2, Stream::kErr, "not a regular file\n"},
    {Outcome::kFileIsStandardOutput, -2, Stream::kErr,
     "file is standard output\n"},
    // Any message would be written into the movie itself: stay silent.
    {Outcome::kFileIsStandardError, -2, Stream::kNone, nullptr},
    {Outcome::kReadFailed, -3, Stream::kErr, nullptr},
    {Outcome::kShortRead, -4, Stream::kErr, "fread fail\n"},
    {Outcome::kNotSwf, -5, Stream::kErr, "not swf file\n"},
    {Outcome::kSeekFailed, -6, Stream::kErr, nullptr},
    {Outcome::kWriteFailed, -7, Stream::kErr, nullptr},
    {Outcome::kShortWrite, -8, Stream::kErr, "fwrite fail\n"},
    {Outcome::kCloseFailed, -9, Stream::kErr, nullptr},
};

// The rest of the usage banner; printed as it stands, since a configured
// address may hold a '%'.
constexpr char kBannerTail[] =
    "  version 20110919.2000\n"
    "  Copyright (c) the swf-version-patch authors; MIT License\n"
    "  support: " SWF_VERSION_PATCH_SUPPORT_URL_1
    " or " SWF_VERSION_PATCH_SUPPORT_URL_2 "\n";

// Used when the platform gives no program name to put in the usage line.
constexpr char kDefaultProgramName[] = "swf-version-patch";

}  // namespace

int Report(const PatchResult& result, const char* program, const char* path,
           FILE* out, FILE* err) {
  const OutcomeText* row = kOutcomeTexts;
  while (row->outcome != result.outcome) ++row;
  if (row->stream == Stream::kNone) return row->exit_status;

  // Whether the text could be printed does not change what happened to the
  // file, so the status stays; hence the (void)s.
  FILE* stream = row->stream == Stream::kOut ? out : err;
  if (row->text == nullptr) {
    (void)fprintf(stream, "%s\n", strerror(result.error_number));
  } else if (result.outcome == Outcome::kUsage) {
    if (program == nullptr || program[0] == '\0') program = kDefaultProgramName;
    (void)fprintf(stream, row->text, program);
    (void)fputs(kBannerTail, stream);
  } else {
    (void)fprintf(stream, row->text, path, result.former_version);
  }
  return row->exit_status;
}
