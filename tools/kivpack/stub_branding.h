// Branding a setup: the product's own icon and version details in the copy
// of the stub that a build writes, and reading them back for `list`.
//
// Only the stub's resource section changes. It is read into a resource tree,
// changed, laid out afresh at whatever size it now needs, and put back in
// its place at the end of the image; the headers that describe its size are
// brought in line. That needs the resource section to be the image's last
// section, which is how setup.exe is linked.
#ifndef KIV_TOOLS_KIVPACK_STUB_BRANDING_H
#define KIV_TOOLS_KIVPACK_STUB_BRANDING_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "tools/kivpack/icon_file.h"

namespace kivpack {

// What to change. Empty means: copy the stub as it is.
struct Branding {
    std::vector<IconImage> icon;  // replaces icon group 101 and its images
    bool hasFileVersion = false;
    uint16_t fileVersion[4] = {};
    bool hasProductVersion = false;
    uint16_t productVersion[4] = {};
    // Version strings, in the order given; a later one wins over an earlier
    // one with the same key.
    std::vector<std::pair<std::string, std::string>> strings;

    bool empty() const {
        return icon.empty() && !hasFileVersion && !hasProductVersion && strings.empty();
    }
};

// Reads "A.B.C.D" (four decimal numbers, each below 65536) into parts.
// Gives false for anything else.
bool ParseFourPartVersion(const std::string& text, uint16_t parts[4]);

// Gives the stub `stub` (named `stubName` in messages) with `branding`
// applied: the icon group 101 and the images it named replaced by the new
// images, the fixed part's versions and the "040904b0" strings of version
// block 1 set (--file-version also sets the FileVersion string as
// "A, B, C, D", and --product-version the ProductVersion string, unless a
// string of that key is given). Everything else in the resource tree is kept
// byte for byte; the code and data sections are not touched. The section
// sizes, the image size, the resource directory's entry, the size of
// initialised data and the checksum (when the stub has one) are recomputed.
//
// Fails the run (exit 1) when the stub cannot be branded safely: not a PE
// image, no resources, a resource section that is not the last one in the
// image and the file, data behind it (a certificate table: sign the built
// setup instead), or a resource tree or version block that does not read.
std::vector<unsigned char> BrandStub(const std::vector<unsigned char>& stub,
                                     const std::string& stubName, const Branding& branding);

// What `list` shows about a setup's stub: the fixed file version ("1.0.0.1")
// and the ProductName string, each only when the stub has it.
struct StubIdentity {
    bool hasFileVersion = false;
    std::string fileVersion;
    bool hasProductName = false;
    std::string productName;  // UTF-8
};

// Reads the identity of the stub at the start of `file` (`fileSize` bytes).
// Never fails: a stub that is not a PE image, or whose resources do not
// read, simply has none.
StubIdentity ReadStubIdentity(std::FILE* file, unsigned long long fileSize);

}  // namespace kivpack

#endif
