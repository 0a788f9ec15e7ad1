// Turns what a run came to into the tool's text and exit status.
#ifndef SWF_VERSION_PATCH_REPORT_H_
#define SWF_VERSION_PATCH_REPORT_H_

#include <cstdio>

#include "patch.h"

// Prints the usage banner, the success line or the failure line for `result`
// and returns the exit status. `program` is the first command-line word (may
// be null or empty), `path` the movie's path as given. Printing failures are
// not looked at: they never change the status.
int Report(const PatchResult& result, const PathChar* program,
           const PathChar* path, FILE* out, FILE* err);

#endif  // SWF_VERSION_PATCH_REPORT_H_
