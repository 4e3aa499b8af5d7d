// kivpack verify FILE
#include <cstdio>
#include <string>
#include <vector>

#include "tools/kivpack/cli.h"
#include "tools/kivpack/commands.h"
#include "tools/kivpack/container_info.h"

namespace kivpack {

static const char kVerifyUsage[] = "kivpack verify FILE";

// Checks one image slot; the stream must end at the slot's end when the slot
// gives a length.
static void CheckImage(std::FILE* container, const ContainerInfo& info, const char* name,
                       const PayloadSlot& slot, std::vector<std::string>* problems) {
    if (slot.offset == 0) {
        return;
    }
    std::string where = std::string(name) + " image at offset " + std::to_string(slot.offset);
    if (!IsUsablePosition(slot.offset)) {
        problems->push_back(where + ": offset is 2^31 or more");
        return;
    }
    if (slot.offset >= info.fileSize) {
        problems->push_back(where + ": starts past the end of the file");
        return;
    }
    StreamInfo stream = MeasureStream(container, slot.offset);
    if (!stream.endedByMarker) {
        problems->push_back(where + ": the stream has no end marker");
        return;
    }
    unsigned long long end = (unsigned long long)slot.offset + slot.length;
    if (slot.length != 0 && stream.endPosition != end) {
        problems->push_back(where + ": the stream ends at " + std::to_string(stream.endPosition) +
                            ", not at the slot's end " + std::to_string(end));
    }
}

int RunVerify(int argc, char** argv) {
    Arguments args(argc, argv);
    if (args.WantsHelp()) {
        std::printf(
            "usage: %s\n\n"
            "Checks FILE's container: a valid trailer, an image the bootstrapper can\n"
            "expand, image streams whose end marker ends exactly at their slot's end (when\n"
            "the slot gives a length), and setup information inside the file. A signed\n"
            "setup's trailer is found in front of its certificate table, and the result\n"
            "says that the file is signed. Exits 0 for a sound container; otherwise prints\n"
            "every problem found and exits 1.\n",
            kVerifyUsage);
        return kExitOk;
    }
    std::vector<std::string> files = args.Positionals(1, kVerifyUsage);
    File container = OpenInput(files[0]);
    ContainerInfo info = InspectContainer(container.get());
    std::vector<std::string> problems;
    if (!info.valid) {
        problems.push_back(
            "no valid container trailer at the end of the file or in front of a certificate table "
            "(Setup.exe is damaged.)");
    } else {
        const ContainerTrailer& t = info.trailer;
        if (t.programImage.offset == 0 && t.libraryImage.offset == 0) {
            problems.push_back("no secondary setup image");
        }
        CheckImage(container.get(), info, "program", t.programImage, &problems);
        CheckImage(container.get(), info, "library", t.libraryImage, &problems);
        for (int i = 0; i < kSetupInfoCount; ++i) {
            const PayloadSlot& s = t.setupInfo[i];
            if (s.length == 0) {
                continue;
            }
            unsigned long long end = (unsigned long long)s.offset + s.length;
            if (!IsUsablePosition(s.offset) || end > info.fileSize) {
                problems.push_back("setup information " + std::to_string(i) + " (offset " +
                                   std::to_string(s.offset) + ", length " +
                                   std::to_string(s.length) + ") lies outside the file");
            }
        }
    }
    if (problems.empty()) {
        std::printf("%s: ok, %s mode%s\n", files[0].c_str(),
                    info.mode == LaunchMode::Program ? "program" : "library",
                    info.place.isSigned ? ", signed" : "");
        return kExitOk;
    }
    for (const std::string& p : problems) {
        std::fprintf(stderr, "kivpack: %s: %s\n", files[0].c_str(), p.c_str());
    }
    return kExitBad;
}

}  // namespace kivpack
