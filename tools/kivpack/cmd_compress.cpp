// kivpack compress IN OUT
#include <cstdio>

#include "container/lzss_compress.h"
#include "tools/kivpack/cli.h"
#include "tools/kivpack/commands.h"
#include "tools/kivpack/progress_meter.h"
#include "tools/kivpack/whole_input.h"

namespace kivpack {

static const char kCompressUsage[] = "kivpack compress IN OUT";

int RunCompress(int argc, char** argv) {
    Arguments args(argc, argv);
    if (args.WantsHelp()) {
        std::printf(
            "usage: %s\n\n"
            "Compresses IN into the image stream OUT, the smallest stream of the format:\n"
            "literals and copies out of the 4096-byte window, closed by the end marker.\n"
            "'kivpack expand OUT' gives IN back. OUT appears only when complete.\n",
            kCompressUsage);
        return kExitOk;
    }
    std::vector<std::string> files = args.Positionals(2, kCompressUsage);
    std::vector<unsigned char> plain = ReadRest(OpenInput(files[0]).get(), files[0]);
    AtomicOutput out(files[1]);
    ProgressMeter meter("compressing " + files[0]);
    CompressLzssToFile(plain.data(), plain.size(), out.stream(),
                       [&meter](uint64_t done, uint64_t total) { meter.Update(done, total); });
    meter.Finish();
    out.Commit();
    return kExitOk;
}

}  // namespace kivpack
