// swf-version-patch: sets the declared version of an SWF movie to 9 in place
// and reports the version it declared before.
#include <cstdio>

#include "patch.h"
#include "report.h"

int main(int argc, char** argv) {
  PatchResult result = {Outcome::kUsage, 0, 0};
  if (argc == 2 && argv[1][0] != '\0') {
    StdioDisk disk;
    result = PatchVersion(disk, argv[1]);
  }
  return Report(result, argc > 0 ? argv[0] : nullptr,
                argc == 2 ? argv[1] : nullptr, stdout, stderr);
}
