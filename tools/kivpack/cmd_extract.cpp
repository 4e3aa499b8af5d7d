// kivpack extract FILE -o OUT
#include <cstdio>

#include "container/rewrite.h"
#include "tools/kivpack/cli.h"
#include "tools/kivpack/commands.h"

namespace kivpack {

static const char kExtractUsage[] = "kivpack extract FILE -o OUT";

int RunExtract(int argc, char** argv) {
    Arguments args(argc, argv);
    if (args.WantsHelp()) {
        std::printf(
            "usage: %s\n\n"
            "Writes to OUT, byte for byte, the file that the bootstrapper FILE would leave\n"
            "in its temporary folder: the expanded secondary setup, the non-empty setup\n"
            "information blobs and a new trailer. When the bootstrapper would fail, prints\n"
            "its message, writes nothing and exits 1.\n",
            kExtractUsage);
        return kExitOk;
    }
    std::string outPath;
    if (!args.Option("-o", &outPath)) {
        FailUsage(std::string("usage: ") + kExtractUsage);
    }
    std::vector<std::string> files = args.Positionals(1, kExtractUsage);
    File container = OpenInput(files[0]);

    ResetErrorLatch();
    ContainerTrailer trailer;
    LaunchMode mode;
    uint32_t imageOffset = 0;
    if (!LoadContainerTrailer(container.get(), &trailer) ||
        !ChooseSecondaryImage(&trailer, &mode, &imageOffset)) {
        FailBad(files[0] + ": " + AsTerminalText(errorLatch.text));
    }
    AtomicOutput out(outPath);
    if (!WriteSecondarySetup(container.get(), &trailer, imageOffset, out.stream())) {
        FailBad(files[0] + ": " + AsTerminalText(errorLatch.text));
    }
    out.Commit();
    return kExitOk;
}

}  // namespace kivpack
