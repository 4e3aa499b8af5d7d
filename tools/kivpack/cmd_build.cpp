// kivpack build -o OUT [--stub FILE] [--program FILE] [--library FILE] [--info0..3 FILE]
//               [--icon FILE.ico] [--file-version A.B.C.D] [--product-version A.B.C.D]
//               [--version-string KEY=VALUE]...
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "container/container_trailer.h"
#include "container/lzss_compress.h"
#include "tools/kivpack/cli.h"
#include "tools/kivpack/commands.h"
#include "tools/kivpack/embedded_stub.h"
#include "tools/kivpack/progress_meter.h"
#include "tools/kivpack/stub_branding.h"
#include "tools/kivpack/whole_input.h"

namespace kivpack {

static const char kBuildUsage[] =
    "kivpack build -o OUT [--stub FILE] [--program FILE] [--library FILE]\n"
    "                     [--info0 FILE] [--info1 FILE] [--info2 FILE] [--info3 FILE]\n"
    "                     [--icon FILE.ico] [--file-version A.B.C.D] [--product-version A.B.C.D]\n"
    "                     [--version-string KEY=VALUE]...";

// The bootstrapper seeks with signed 32-bit positions: neither the built file
// nor the file it rewrites into its temporary folder may reach 2 GiB.
static const unsigned long long kPositionLimit = 1ull << 31;

namespace {

struct Input {
    std::string path;  // empty: not given
    File file;
    unsigned long long size = 0;
};

// Whether `stub` already ends in a container trailer, as a reader would find
// it: a stub like that is a built setup, and building onto it would bury
// its container.
bool EndsInTrailer(const std::vector<unsigned char>& stub) {
    if (stub.size() < kTrailerSize) {
        return false;
    }
    ContainerTrailer trailer;
    DecodeContainerTrailer(stub.data() + stub.size() - kTrailerSize, &trailer);
    return HasContainerSignature(&trailer) != 0;
}

// Writes one image stream at the output's end and gives its slot.
PayloadSlot WriteImage(Input& image, const char* what, unsigned long long position,
                       std::FILE* out) {
    std::vector<unsigned char> plain = ReadRest(image.file.get(), image.path);
    ProgressMeter meter(std::string("compressing the ") + what + " image");
    LzssStats stats =
        CompressLzssToFile(plain.data(), plain.size(), out,
                           [&meter](uint64_t done, uint64_t total) { meter.Update(done, total); });
    meter.Finish();
    if (position + stats.bytes >= kPositionLimit) {
        FailBad("the setup would be 2 GiB or more, which the bootstrapper cannot read");
    }
    return PayloadSlot{uint32_t(position), uint32_t(stats.bytes)};
}

// Copies one setup information blob, exactly the size measured when it was
// opened, and gives its slot; an empty or absent blob takes no room.
PayloadSlot WriteBlob(Input& blob, unsigned long long position, std::FILE* out) {
    if (blob.size == 0) {
        return PayloadSlot{0, 0};
    }
    static char chunk[1 << 16];
    unsigned long long left = blob.size;
    while (left > 0) {
        size_t want = left < sizeof chunk ? size_t(left) : sizeof chunk;
        size_t got = std::fread(chunk, 1, want, blob.file.get());
        if (got != want) {
            FailBad("cannot read " + blob.path + ": it changed while it was being read");
        }
        std::fwrite(chunk, 1, got, out);  // errors show in Commit()
        left -= got;
    }
    return PayloadSlot{uint32_t(position), uint32_t(blob.size)};
}

// The branding options as given, taken with the others so that a usage
// error is reported as one; their values are checked by CheckBranding.
struct BrandingOptions {
    bool hasIcon = false, hasFileVersion = false, hasProductVersion = false;
    std::string iconPath, fileVersion, productVersion;
    std::vector<std::string> strings;
};

BrandingOptions TakeBrandingOptions(Arguments& args) {
    BrandingOptions o;
    o.hasIcon = args.Option("--icon", &o.iconPath);
    o.hasFileVersion = args.Option("--file-version", &o.fileVersion);
    o.hasProductVersion = args.Option("--product-version", &o.productVersion);
    o.strings = args.Options("--version-string");
    return o;
}

// Checks the versions and strings (exit 1 with a clear message); the icon
// is read later, with the other input files.
Branding CheckBranding(const BrandingOptions& o) {
    Branding branding;
    const char* fourNumbers = ": give four numbers below 65536, as in 1.2.0.7";
    branding.hasFileVersion = o.hasFileVersion;
    if (o.hasFileVersion && !ParseFourPartVersion(o.fileVersion, branding.fileVersion)) {
        FailBad("--file-version " + o.fileVersion + fourNumbers);
    }
    branding.hasProductVersion = o.hasProductVersion;
    if (o.hasProductVersion && !ParseFourPartVersion(o.productVersion, branding.productVersion)) {
        FailBad("--product-version " + o.productVersion + fourNumbers);
    }
    for (const std::string& pair : o.strings) {
        size_t eq = pair.find('=');
        if (eq == std::string::npos) {
            FailBad("--version-string " + pair + ": give KEY=VALUE");
        }
        if (eq == 0) {
            FailBad("--version-string " + pair + ": the key is empty");
        }
        branding.strings.emplace_back(pair.substr(0, eq), pair.substr(eq + 1));
    }
    return branding;
}

// The images of the .ico file at `path`.
std::vector<IconImage> ReadIcon(const std::string& path) {
    std::vector<unsigned char> bytes = ReadRest(OpenInput(path).get(), path);
    std::vector<IconImage> images;
    std::string error;
    if (!ReadIconFile(bytes, &images, &error)) {
        FailBad(path + ": " + error);
    }
    return images;
}

}  // namespace

int RunBuild(int argc, char** argv) {
    Arguments args(argc, argv);
    if (args.WantsHelp()) {
        std::printf(
            "usage: %s\n\n"
            "Builds the setup OUT: the stub (the bootstrapper), then the compressed program\n"
            "and library images and the four setup information blobs back to back in that\n"
            "order, then the container trailer. At least one image is needed; the program\n"
            "image wins when both are given. An absent or empty blob takes no room and gets\n"
            "the slot (0, 0). Without --stub the bootstrapper built into kivpack is used%s.\n"
            "OUT appears only when complete.\n"
            "\n"
            "Branding: --icon replaces the setup's icon (the one its window and Explorer\n"
            "show) with every image of a .ico file. --file-version and --product-version\n"
            "set the version numbers of its details, and the FileVersion and\n"
            "ProductVersion strings as \"A, B, C, D\"; --version-string sets any string\n"
            "(ProductName, CompanyName, FileDescription, LegalCopyright, ...; the last one\n"
            "given for a key wins). Only the stub's resources change. Without these\n"
            "options the stub is copied byte for byte.\n",
            kBuildUsage, kEmbeddedStubSize ? "" : " (this kivpack carries none)");
        return kExitOk;
    }
    std::string outPath;
    if (!args.Option("-o", &outPath)) {
        FailUsage(std::string("usage: ") + kBuildUsage);
    }
    std::string stubPath;
    bool stubGiven = args.Option("--stub", &stubPath);
    // Every option is taken before any file is opened, so that a usage error
    // is reported as one whatever else is wrong.
    std::string programPath, libraryPath, infoPaths[kSetupInfoCount];
    bool hasProgram = args.Option("--program", &programPath);
    bool hasLibrary = args.Option("--library", &libraryPath);
    for (int i = 0; i < kSetupInfoCount; ++i) {
        args.Option("--info" + std::to_string(i), &infoPaths[i]);
    }
    BrandingOptions brandingOptions = TakeBrandingOptions(args);
    args.Positionals(0, kBuildUsage);
    if (!hasProgram && !hasLibrary) {
        FailUsage("no secondary setup image: give --program FILE or --library FILE");
    }
    if (!stubGiven && kEmbeddedStubSize == 0) {
        FailUsage("this kivpack carries no stub: give --stub FILE");
    }
    Branding branding = CheckBranding(brandingOptions);

    std::vector<unsigned char> stub;
    if (stubGiven) {
        stub = ReadRest(OpenInput(stubPath).get(), stubPath);
    } else {
        stubPath = "the built-in stub";
        stub.assign(kEmbeddedStub, kEmbeddedStub + kEmbeddedStubSize);
    }
    if (stub.empty()) {
        FailBad(stubPath + " is empty: an image at offset 0 would read as absent");
    }
    if (EndsInTrailer(stub)) {
        FailBad(stubPath + " already ends in a container trailer (is it a built setup?)");
    }
    if (brandingOptions.hasIcon) {
        branding.icon = ReadIcon(brandingOptions.iconPath);
    }
    if (!branding.empty()) {
        stub = BrandStub(stub, stubPath, branding);
    }

    // Every input is opened, and so known to be readable, before OUT is begun.
    Input program, library, info[kSetupInfoCount];
    auto open = [](const std::string& path) {
        Input input;
        input.path = path;
        if (!path.empty()) {
            input.file = OpenInput(path);
            input.size = FileSize(input.file.get());
        }
        return input;
    };
    program = open(hasProgram ? programPath : "");
    library = open(hasLibrary ? libraryPath : "");
    unsigned long long blobs = 0;
    for (int i = 0; i < kSetupInfoCount; ++i) {
        info[i] = open(infoPaths[i]);
        blobs += info[i].size;
    }

    // Refuse what cannot work before compressing anything.
    if (stub.size() + blobs + kTrailerSize >= kPositionLimit) {
        FailBad("the setup would be 2 GiB or more, which the bootstrapper cannot read");
    }
    const Input& chosen = hasProgram ? program : library;
    if (chosen.size + blobs + kTrailerSize >= kPositionLimit) {
        FailBad("the extracted setup would be 2 GiB or more (" + std::to_string(chosen.size) +
                " bytes of " + (hasProgram ? "program" : "library") +
                " and the setup information), which the bootstrapper cannot write");
    }

    AtomicOutput out(outPath);
    std::FILE* stream = out.stream();
    std::fwrite(stub.data(), 1, stub.size(), stream);
    unsigned long long position = stub.size();
    ContainerTrailer trailer{};
    if (hasProgram) {
        trailer.programImage = WriteImage(program, "program", position, stream);
        position += trailer.programImage.length;
    }
    if (hasLibrary) {
        trailer.libraryImage = WriteImage(library, "library", position, stream);
        position += trailer.libraryImage.length;
    }
    for (int i = 0; i < kSetupInfoCount; ++i) {
        trailer.setupInfo[i] = WriteBlob(info[i], position, stream);
        position += trailer.setupInfo[i].length;
    }
    if (position + kTrailerSize >= kPositionLimit) {
        FailBad("the setup would be 2 GiB or more, which the bootstrapper cannot read");
    }
    std::memcpy(trailer.signature, kContainerSignature, kSignatureSize);
    WriteContainerTrailer(stream, &trailer);
    out.Commit();
    return kExitOk;
}

}  // namespace kivpack
