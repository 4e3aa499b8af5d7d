// kivpack expand IN OUT
#include <cstdio>

#include "container/bit_reader.h"
#include "container/lzss_expand.h"
#include "tools/kivpack/cli.h"
#include "tools/kivpack/commands.h"

namespace kivpack {

static const char kExpandUsage[] = "kivpack expand IN OUT";

int RunExpand(int argc, char** argv) {
    Arguments args(argc, argv);
    if (args.WantsHelp()) {
        std::printf(
            "usage: %s\n\n"
            "Expands the image stream IN into OUT exactly as the bootstrapper does: from\n"
            "the first byte of IN up to the end marker, or to the end of IN (a cut-off\n"
            "stream gives a shorter output, not an error). OUT appears only when complete.\n",
            kExpandUsage);
        return kExitOk;
    }
    std::vector<std::string> files = args.Positionals(2, kExpandUsage);
    File in = OpenInput(files[0]);
    AtomicOutput out(files[1]);
    BitReader* reader = CreateBitReader(in.get());
    if (!reader) {
        FailBad("out of memory");
    }
    ExpandLzss(reader, out.stream());
    ReleaseBitReader(reader);
    if (std::ferror(in.get())) {
        FailBad("cannot read " + files[0]);
    }
    out.Commit();
    return kExitOk;
}

}  // namespace kivpack
