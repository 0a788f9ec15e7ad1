// swf-version-patch: sets the declared version of an SWF movie to 9 in place
// and reports the version it declared before.
#include <cstdio>

#include "patch.h"
#include "report.h"

#ifdef _WIN32
int wmain(int argc, PathChar** argv) {  // the command line in UTF-16
#else
int main(int argc, PathChar** argv) {
#endif
  const PathChar* path = argc == 2 ? argv[1] : nullptr;
  PatchResult result = {Outcome::kUsage, 0, 0};
  if (path != nullptr && path[0] != 0) {
    StdioDisk disk;
    result = PatchVersion(disk, path);
  }
  // argv[argc] is null, so argv[0] is a name or null even when argc is 0.
  return Report(result, argv[0], path, stdout, stderr);
}
