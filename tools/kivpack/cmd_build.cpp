// kivpack build (arrives with the packer).
#include "tools/kivpack/cli.h"
#include "tools/kivpack/commands.h"

namespace kivpack {

int RunBuild(int, char**) { FailBad("build is not available yet"); }

}  // namespace kivpack
