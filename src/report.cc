#include "report.h"

#include <cstring>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#endif

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
  // Printed as it stands, but for a "%s", which stands for the path (or the
  // program name), and a "%d", for the former version. Null: the system's
  // text for the failed call's error number.
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

#ifdef _WIN32
// Used when the platform gives no program name to put in the usage line.
constexpr PathChar kDefaultProgramName[] = L"swf-version-patch";

// A console shows the path through its own wide-character output, so that
// it reads as typed; a file or a pipe gets it as UTF-8.
void PrintPath(FILE* stream, const PathChar* path) {
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  DWORD mode = 0;
  if (GetConsoleMode(handle, &mode)) {
    DWORD written = 0;
    (void)fflush(stream);  // keep the order of what is already buffered
    (void)WriteConsoleW(handle, path, static_cast<DWORD>(wcslen(path)), &written,
                        nullptr);
    return;
  }
  // One code point at a time: no buffer to size. A lone surrogate becomes
  // U+FFFD.
  for (const PathChar* unit = path; *unit != L'\0';) {
    const int units = IS_HIGH_SURROGATE(unit[0]) && IS_LOW_SURROGATE(unit[1]) ? 2 : 1;
    char utf8[4];
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, unit, units, utf8,
                                          sizeof utf8, nullptr, nullptr);
    (void)fwrite(utf8, 1, static_cast<size_t>(bytes), stream);
    unit += units;
  }
}
#else
constexpr PathChar kDefaultProgramName[] = "swf-version-patch";

// POSIX paths are bytes, printed as they came.
void PrintPath(FILE* stream, const PathChar* path) { (void)fputs(path, stream); }
#endif

// Prints a table text with `subject` where its "%s" stands and `number` for
// its "%d", if it has them.
void PrintText(FILE* stream, const char* text, const PathChar* subject,
               int number) {
  const char* slot = strstr(text, "%s");
  if (slot == nullptr) {
    (void)fputs(text, stream);
    return;
  }
  (void)fwrite(text, 1, static_cast<size_t>(slot - text), stream);
  PrintPath(stream, subject);
  (void)fprintf(stream, slot + 2, number);
}

}  // namespace

int Report(const PatchResult& result, const PathChar* program,
           const PathChar* path, FILE* out, FILE* err) {
  const OutcomeText* row = kOutcomeTexts;
  while (row->outcome != result.outcome) ++row;
  if (row->stream == Stream::kNone) return row->exit_status;

  // Whether the text could be printed does not change what happened to the
  // file, so the status stays; hence the (void)s.
  FILE* stream = row->stream == Stream::kOut ? out : err;
  if (row->text == nullptr) {
    (void)fprintf(stream, "%s\n", strerror(result.error_number));
  } else if (result.outcome == Outcome::kUsage) {
    if (program == nullptr || program[0] == 0) program = kDefaultProgramName;
    PrintText(stream, row->text, program, 0);
    (void)fputs(kBannerTail, stream);
  } else {
    PrintText(stream, row->text, path, result.former_version);
  }
  return row->exit_status;
}
