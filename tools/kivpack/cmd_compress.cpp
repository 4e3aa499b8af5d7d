// kivpack compress IN OUT (the compressor arrives with the packer).
#include "tools/kivpack/cli.h"
#include "tools/kivpack/commands.h"

namespace kivpack {

int RunCompress(int, char**) { FailBad("compress is not available yet"); }

}  // namespace kivpack
