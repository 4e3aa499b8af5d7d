// kivpack: packs, inspects and extracts the payload of a setup bootstrapper.
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>

#include "tools/kivpack/cli.h"
#include "tools/kivpack/commands.h"

namespace {

struct Command {
    const char* name;
    int (*run)(int, char**);
    const char* summary;
};

const Command kCommands[] = {
    {"build", kivpack::RunBuild,
     "pack a stub, secondary setup images and setup information into a setup"},
    {"list", kivpack::RunList,
     "show the slots of a setup's container and what the bootstrapper would do"},
    {"extract", kivpack::RunExtract,
     "write what the bootstrapper would leave in its temporary file"},
    {"verify", kivpack::RunVerify, "check a setup's container and report every problem found"},
    {"compress", kivpack::RunCompress, "compress a file into an image stream"},
    {"expand", kivpack::RunExpand, "expand an image stream exactly as the bootstrapper does"},
};

void PrintHelp(std::FILE* to) {
    std::fputs(
        "usage: kivpack COMMAND [OPTIONS] ARGS...\n"
        "\n"
        "Packs, inspects and extracts the payload of a setup.exe bootstrapper.\n"
        "\n"
        "commands:\n",
        to);
    for (const Command& c : kCommands) {
        std::fprintf(to, "  %-9s %s\n", c.name, c.summary);
    }
    std::fputs(
        "\n"
        "'kivpack COMMAND --help' describes one command.\n"
        "Exit status: 0 success, 1 bad or damaged input or an I/O error, 2 usage error.\n",
        to);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("kivpack: no command given\n\n", stderr);
        PrintHelp(stderr);
        return kivpack::kExitUsage;
    }
    if (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h") ||
        !std::strcmp(argv[1], "help")) {
        PrintHelp(stdout);
        return kivpack::kExitOk;
    }
    for (const Command& c : kCommands) {
        if (!std::strcmp(argv[1], c.name)) {
            try {
                return c.run(argc - 2, argv + 2);
            } catch (const kivpack::Failure& f) {
                if (!f.message.empty()) {
                    std::fprintf(stderr, "kivpack: %s\n", f.message.c_str());
                }
                return f.code;
            } catch (const std::bad_alloc&) {
                std::fprintf(stderr, "kivpack: out of memory\n");
                return kivpack::kExitBad;
            } catch (const std::exception& e) {
                std::fprintf(stderr, "kivpack: %s\n", e.what());
                return kivpack::kExitBad;
            }
        }
    }
    std::fprintf(stderr, "kivpack: unknown command '%s' (see 'kivpack --help')\n", argv[1]);
    return kivpack::kExitUsage;
}
