#include "tools/kivpack/stub_branding.h"

#include <algorithm>
#include <set>

#include "container/pe_image.h"
#include "tools/kivpack/cli.h"
#include "tools/kivpack/resource_tree.h"
#include "tools/kivpack/text_utf16.h"
#include "tools/kivpack/version_block.h"

namespace kivpack {

namespace {

enum : uint16_t {
    kIconGroupId = 101,
    kVersionId = 1,
    kEnglishUs = 0x0409,
};

const std::u16string kStringTable = u"040904b0";

// The largest stub head `list` reads to find the resources: far beyond any
// bootstrapper, small enough to read whole.
const unsigned long long kMaxStubRead = 64ull << 20;

void Put32(std::vector<unsigned char>& out, uint64_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out[at + i] = (unsigned char)(v >> (8 * i));
    }
}

bool IsPowerOfTwo(uint32_t v) {
    return v != 0 && (v & (v - 1)) == 0;
}

uint64_t Align(uint64_t value, uint32_t to) {
    return (value + to - 1) / to * to;
}

std::string VersionText(const uint16_t parts[4]) {
    return std::to_string(parts[0]) + ", " + std::to_string(parts[1]) + ", " +
           std::to_string(parts[2]) + ", " + std::to_string(parts[3]);
}

std::u16string Wide(const std::string& text, const std::string& what) {
    std::u16string out;
    if (!Utf8ToUtf16(text, &out)) {
        FailBad(what + " is not valid UTF-8");
    }
    return out;
}

// The first language entry of resource type/id, or a new one in English
// (United States) when the resource does not exist.
ResourceNode& LanguageEntry(ResourceNode& root, uint16_t type, uint16_t id) {
    ResourceNode& name = ResourceWithId(ResourceWithId(root, type), id);
    if (name.children.empty()) {
        return ResourceWithId(name, kEnglishUs);
    }
    return name.children.front();
}

// The icon ids that an icon group's bytes name.
std::set<uint16_t> IconIds(const std::vector<unsigned char>& group) {
    std::set<uint16_t> ids;
    if (group.size() < 6) {
        return ids;
    }
    size_t count = group[4] | group[5] << 8;
    for (size_t i = 0; i < count && 6 + 14 * (i + 1) <= group.size(); ++i) {
        ids.insert(uint16_t(group[6 + 14 * i + 12] | group[6 + 14 * i + 13] << 8));
    }
    return ids;
}

void ReplaceIcon(ResourceNode& root, const std::vector<IconImage>& images) {
    ResourceNode& icons = ResourceWithId(root, kResourceIcon);
    ResourceNode& groups = ResourceWithId(root, kResourceIconGroup);
    uint16_t language = kEnglishUs;
    if (ResourceNode* old = FindResource(groups, kIconGroupId)) {
        if (!old->children.empty() && !old->children.front().named) {
            language = old->children.front().id;
        }
        // The old group's images go with it, unless another group shows them.
        std::set<uint16_t> dropped, kept;
        for (const ResourceNode& lang : old->children) {
            std::set<uint16_t> ids = IconIds(lang.data);
            dropped.insert(ids.begin(), ids.end());
        }
        RemoveResource(groups, kIconGroupId);
        for (const ResourceNode& group : groups.children) {
            for (const ResourceNode& lang : group.children) {
                std::set<uint16_t> ids = IconIds(lang.data);
                kept.insert(ids.begin(), ids.end());
            }
        }
        for (uint16_t id : dropped) {
            if (!kept.count(id)) {
                RemoveResource(icons, id);
            }
        }
    }
    std::vector<uint16_t> ids;
    uint16_t next = 1;
    for (const IconImage& image : images) {
        while (FindResource(icons, next) != nullptr) {
            if (next == 0xffff) {
                FailBad("no icon numbers are left for the new images");
            }
            ++next;
        }
        ResourceNode& entry = ResourceWithId(ResourceWithId(icons, next), language);
        entry.data = image.bytes;
        ids.push_back(next);
    }
    ResourceWithId(ResourceWithId(groups, kIconGroupId), language).data =
        MakeIconGroup(images, ids);
}

void ApplyVersion(ResourceNode& root, const std::string& stubName, const Branding& b) {
    ResourceNode& entry = LanguageEntry(root, kResourceVersion, kVersionId);
    VersionBlock block;
    if (entry.data.empty()) {
        block = NewVersionBlock();
    } else if (!ReadVersionBlock(entry.data.data(), entry.data.size(), &block)) {
        FailBad(stubName + ": its version block is malformed");
    }
    std::vector<std::pair<std::u16string, std::u16string>> strings;
    if (b.hasFileVersion) {
        SetFixedVersion(block, false, b.fileVersion);
        strings.emplace_back(u"FileVersion", Wide(VersionText(b.fileVersion), ""));
    }
    if (b.hasProductVersion) {
        SetFixedVersion(block, true, b.productVersion);
        strings.emplace_back(u"ProductVersion", Wide(VersionText(b.productVersion), ""));
    }
    for (const auto& kv : b.strings) {
        strings.emplace_back(Wide(kv.first, "version string key " + kv.first),
                             Wide(kv.second, "the value of version string " + kv.first));
    }
    for (const auto& kv : strings) {
        SetVersionString(block, kStringTable, kv.first, kv.second);
    }
    entry.data = WriteVersionBlock(block);
    if (entry.data.empty()) {
        FailBad("the version strings are too long: a version block holds at most 65535 bytes");
    }
}

struct ResourceSection {
    int index;
    PeSection header;
};

// The section that holds the resource tree, checked to be the last one in
// the image and in the file, with nothing behind it.
ResourceSection LastResourceSection(const std::vector<unsigned char>& stub,
                                    const std::string& stubName, const PeImage& image) {
    PeDataDirectory dir = GetPeDirectory(&image, kPeDirResource);
    if (dir.virtualAddress == 0) {
        FailBad(stubName + " has no resources to brand");
    }
    if (GetPeDirectory(&image, kPeDirSecurity).virtualAddress != 0) {
        FailBad(stubName +
                " is signed, and branding would break its signature: brand an "
                "unsigned stub and sign the built setup");
    }
    ResourceSection found{-1, {}};
    for (int i = 0; i < image.sectionCount; ++i) {
        PeSection s;
        GetPeSection(stub.data(), stub.size(), &image, i, &s);
        if (s.virtualAddress == dir.virtualAddress) {
            found = {i, s};
        }
    }
    if (found.index < 0) {
        FailBad(stubName + ": its resource tree does not start a section of its own");
    }
    const PeSection& r = found.header;
    uint64_t rawEnd = uint64_t(r.pointerToRawData) + r.sizeOfRawData;
    bool last = r.sizeOfRawData > 0 && rawEnd <= stub.size();
    for (int i = 0; i < image.sectionCount && last; ++i) {
        PeSection s;
        GetPeSection(stub.data(), stub.size(), &image, i, &s);
        if (i != found.index &&
            (s.virtualAddress >= r.virtualAddress ||
             (s.sizeOfRawData > 0 &&
              uint64_t(s.pointerToRawData) + s.sizeOfRawData > r.pointerToRawData))) {
            last = false;
        }
    }
    if (!last) {
        FailBad(stubName +
                ": its resource section is not the last section, so it cannot grow "
                "(link the stub with its resources last)");
    }
    if (rawEnd != stub.size()) {
        FailBad(stubName + ": " + std::to_string(stub.size() - rawEnd) +
                " bytes follow its resource section (debug symbols or a signature?), which "
                "branding would cut off");
    }
    return found;
}

}  // namespace

bool ParseFourPartVersion(const std::string& text, uint16_t parts[4]) {
    size_t at = 0;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            if (at >= text.size() || text[at] != '.') {
                return false;
            }
            ++at;
        }
        uint32_t value = 0;
        size_t digits = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
            value = value * 10 + uint32_t(text[at] - '0');
            if (value > 0xffff) {
                return false;
            }
            ++at;
            ++digits;
        }
        if (digits == 0) {
            return false;
        }
        parts[i] = uint16_t(value);
    }
    return at == text.size();
}

std::vector<unsigned char> BrandStub(const std::vector<unsigned char>& stub,
                                     const std::string& stubName, const Branding& branding) {
    PeImage image;
    if (!ParsePeImage(stub.data(), stub.size(), &image)) {
        FailBad(stubName + " is not a PE image, so it cannot be branded");
    }
    if (!IsPowerOfTwo(image.fileAlignment) || !IsPowerOfTwo(image.sectionAlignment)) {
        FailBad(stubName + ": its section alignments are not powers of two");
    }
    ResourceSection section = LastResourceSection(stub, stubName, image);

    ResourceNode root;
    std::string error;
    if (!ReadResourceTree(stub.data(), stub.size(), image, &root, &error)) {
        FailBad(stubName + ": its resources do not read: " + error);
    }
    if (!branding.icon.empty()) {
        ReplaceIcon(root, branding.icon);
    }
    if (branding.hasFileVersion || branding.hasProductVersion || !branding.strings.empty()) {
        ApplyVersion(root, stubName, branding);
    }

    const PeSection& r = section.header;
    std::vector<unsigned char> tree = WriteResourceTree(root, r.virtualAddress);
    uint64_t rawSize = Align(tree.size(), image.fileAlignment);
    uint64_t imageSize = Align(uint64_t(r.virtualAddress) + tree.size(), image.sectionAlignment);
    if (uint64_t(r.pointerToRawData) + rawSize >= (1ull << 31) || imageSize > 0xffffffffu) {
        FailBad("the branded stub would be 2 GiB or more");
    }

    std::vector<unsigned char> out(stub.begin(), stub.begin() + r.pointerToRawData);
    out.insert(out.end(), tree.begin(), tree.end());
    out.resize(r.pointerToRawData + rawSize, 0);

    uint64_t header = image.sectionTableOffset + uint64_t(kPeSectionHeaderSize) * section.index;
    Put32(out, header + 8, uint32_t(tree.size()));  // VirtualSize
    Put32(out, header + 16, uint32_t(rawSize));     // SizeOfRawData
    Put32(out, image.dataDirectoryOffset + 8 * kPeDirResource + 4, uint32_t(tree.size()));
    Put32(out, image.sizeOfImageOffset, uint32_t(imageSize));
    if (r.characteristics & 0x40) {  // IMAGE_SCN_CNT_INITIALIZED_DATA
        Put32(out, image.sizeOfInitializedDataOffset,
              uint32_t(image.sizeOfInitializedData - r.sizeOfRawData + rawSize));
    }
    // A stub without a checksum keeps none; one with a checksum gets the
    // checksum of what it now is.
    if (image.checkSum != 0) {
        Put32(out, image.checkSumOffset,
              ComputePeChecksum(out.data(), out.size(), image.checkSumOffset));
    }
    return out;
}

StubIdentity ReadStubIdentity(std::FILE* file, unsigned long long fileSize) {
    StubIdentity identity;
    auto readHead = [&](unsigned long long n, std::vector<unsigned char>* head) {
        head->resize(size_t(std::min(n, fileSize)));
        return std::fseek(file, 0, SEEK_SET) == 0 &&
               std::fread(head->data(), 1, head->size(), file) == head->size();
    };
    std::vector<unsigned char> head;
    PeImage image;
    if (!readHead(4096, &head) || !ParsePeImage(head.data(), head.size(), &image)) {
        return identity;
    }
    // The headers are in; now as much of the file as the sections span.
    unsigned long long end = head.size();
    for (int i = 0; i < image.sectionCount; ++i) {
        PeSection s;
        if (GetPeSection(head.data(), head.size(), &image, i, &s)) {
            end = std::max(end, (unsigned long long)s.pointerToRawData + s.sizeOfRawData);
        }
    }
    if (!readHead(std::min(end, kMaxStubRead), &head) ||
        !ParsePeImage(head.data(), head.size(), &image)) {
        return identity;
    }
    ResourceNode root;
    std::string error;
    if (!ReadResourceTree(head.data(), head.size(), image, &root, &error)) {
        return identity;
    }
    const ResourceNode* type = FindResource(root, kResourceVersion);
    const ResourceNode* name = type ? FindResource(*type, kVersionId) : nullptr;
    if (name == nullptr || name->children.empty()) {
        return identity;
    }
    const std::vector<unsigned char>& data = name->children.front().data;
    VersionBlock block;
    if (!ReadVersionBlock(data.data(), data.size(), &block)) {
        return identity;
    }
    identity.hasFileVersion = GetFileVersion(block, &identity.fileVersion);
    std::u16string product;
    if (GetVersionString(block, kStringTable, u"ProductName", &product)) {
        identity.hasProductName = true;
        identity.productName = Utf16ToUtf8(product);
    }
    return identity;
}

}  // namespace kivpack
