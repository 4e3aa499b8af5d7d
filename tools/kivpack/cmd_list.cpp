// kivpack list [--json] FILE
#include <cstdio>
#include <string>

#include "tools/kivpack/cli.h"
#include "tools/kivpack/commands.h"
#include "tools/kivpack/container_info.h"
#include "tools/kivpack/stub_branding.h"

namespace kivpack {

static const char kListUsage[] = "kivpack list [--json] FILE";

static std::string SlotJson(const PayloadSlot& s) {
    return "{\"offset\": " + std::to_string(s.offset) +
           ", \"length\": " + std::to_string(s.length) + "}";
}

// `text` (UTF-8) as a JSON string, control characters escaped.
static std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20 || c == 0x7f) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}

// `text` for a terminal: control characters, which a hostile file could use
// to drive the terminal, shown as '?'.
static std::string PrintableText(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        out += c < 0x20 || c == 0x7f ? '?' : char(c);
    }
    return out;
}

static std::string SlotText(const PayloadSlot& s, bool isImage) {
    bool empty = isImage ? s.offset == 0 : s.length == 0;
    std::string text =
        "offset " + std::to_string(s.offset) + ", length " + std::to_string(s.length);
    return empty ? text + " (empty)" : text;
}

int RunList(int argc, char** argv) {
    Arguments args(argc, argv);
    if (args.WantsHelp()) {
        std::printf(
            "usage: %s\n\n"
            "Shows the six slots of FILE's container trailer, the launch mode that the\n"
            "bootstrapper would choose (the program image wins over the library image)\n"
            "and the size of the image it would expand. A signed setup's trailer is found\n"
            "in front of its certificate table, as the bootstrapper finds it. --json prints\n"
            "one object with the keys mode, program, library, info, expanded_size and signed,\n"
            "and file_version and product_name from the stub's version details (null when\n"
            "it has none).\n",
            kListUsage);
        return kExitOk;
    }
    bool json = args.Flag("--json");
    std::vector<std::string> files = args.Positionals(1, kListUsage);
    File container = OpenInput(files[0]);
    ContainerInfo info = InspectContainer(container.get());
    if (!info.valid) {
        FailBad(files[0] +
                ": Setup.exe is damaged. (no container trailer at its end or before a certificate "
                "table)");
    }
    bool measured = false;
    StreamInfo stream;
    if (info.hasMode) {
        stream = MeasureStream(container.get(), info.imageOffset);
        measured = true;
    }
    StubIdentity identity = ReadStubIdentity(container.get(), info.fileSize);
    const ContainerTrailer& t = info.trailer;
    const char* mode = !info.hasMode                      ? nullptr
                       : info.mode == LaunchMode::Program ? "program"
                                                          : "library";
    if (json) {
        std::string out = "{\"mode\": ";
        out += mode ? std::string("\"") + mode + "\"" : "null";
        out += ", \"program\": " + SlotJson(t.programImage);
        out += ", \"library\": " + SlotJson(t.libraryImage);
        out += ", \"info\": [";
        for (int i = 0; i < kSetupInfoCount; ++i) {
            out += (i ? ", " : "") + SlotJson(t.setupInfo[i]);
        }
        out += "], \"expanded_size\": ";
        out += measured ? std::to_string(stream.expandedSize) : "null";
        out += std::string(", \"signed\": ") + (info.place.isSigned ? "true" : "false");
        out += ", \"file_version\": ";
        out += identity.hasFileVersion ? JsonString(identity.fileVersion) : "null";
        out += ", \"product_name\": ";
        out += identity.hasProductName ? JsonString(identity.productName) : "null";
        out += "}\n";
        std::fputs(out.c_str(), stdout);
        return kExitOk;
    }
    std::printf("file size:      %llu\n", info.fileSize);
    if (info.place.isSigned) {
        std::printf("signed:         yes (trailer at %u, certificate table at %u, %u bytes)\n",
                    info.place.position, info.place.certificateOffset, info.place.certificateSize);
    } else {
        std::printf("signed:         no\n");
    }
    std::printf("program image:  %s\n", SlotText(t.programImage, true).c_str());
    std::printf("library image:  %s\n", SlotText(t.libraryImage, true).c_str());
    for (int i = 0; i < kSetupInfoCount; ++i) {
        std::printf("setup info %d:   %s\n", i, SlotText(t.setupInfo[i], false).c_str());
    }
    if (mode) {
        std::printf("mode:           %s\n", mode);
        std::printf("expanded size:  %llu\n", stream.expandedSize);
    } else {
        std::printf("mode:           none (%s)\n", info.modeError.c_str());
    }
    std::printf("file version:   %s\n",
                identity.hasFileVersion ? identity.fileVersion.c_str() : "none");
    std::printf("product name:   %s\n",
                identity.hasProductName ? PrintableText(identity.productName).c_str() : "none");
    return kExitOk;
}

}  // namespace kivpack
