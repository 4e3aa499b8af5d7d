#include "tools/kivpack/resource_tree.h"

#include <algorithm>
#include <unordered_map>

namespace kivpack {

namespace {

enum {
    kDirectoryHeaderSize = 16,
    kDirectoryEntrySize = 8,
    kDataEntrySize = 16,
    // Far beyond any real program's resources; bounds what shared
    // subdirectories in a hostile tree could make us copy.
    kMaxEntries = 1 << 16,
    kMaxDataBytes = 256 << 20,
};
const int kLevels = 3;
const uint32_t kHighBit = 0x80000000u;

uint16_t Le16(const unsigned char* p) {
    return uint16_t(p[0] | p[1] << 8);
}

uint32_t Le32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool Fits(uint64_t size, uint64_t offset, uint64_t length) {
    return offset <= size && length <= size - offset;
}

struct Reader {
    const unsigned char* file;
    size_t fileSize;
    const PeImage& image;
    const unsigned char* section;  // the resource directory's first byte
    uint32_t sectionSize;          // bytes from there to the end of its section's raw data
    size_t entries = 0;
    uint64_t dataBytes = 0;
    std::string error;

    bool Fail(const std::string& what) {
        error = what;
        return false;
    }

    bool ReadName(uint32_t field, ResourceNode* node) {
        if (!(field & kHighBit)) {
            node->id = uint16_t(field);
            return true;
        }
        uint32_t at = field & ~kHighBit;
        if (!Fits(sectionSize, at, 2) || !Fits(sectionSize, at + 2ull, 2ull * Le16(section + at))) {
            return Fail("a resource name lies outside the resource section");
        }
        node->named = true;
        for (uint32_t i = 0, n = Le16(section + at); i < n; ++i) {
            node->name.push_back(char16_t(Le16(section + at + 2 + 2 * i)));
        }
        return true;
    }

    bool ReadData(uint32_t at, ResourceNode* node) {
        if (!Fits(sectionSize, at, kDataEntrySize)) {
            return Fail("a resource data entry lies outside the resource section");
        }
        uint32_t rva = Le32(section + at), size = Le32(section + at + 4);
        node->codePage = Le32(section + at + 8);
        uint32_t offset;
        if (!PeRvaToFileOffset(file, fileSize, &image, rva, &offset) ||
            !Fits(fileSize, offset, size)) {
            return Fail("a resource's bytes are not in the file");
        }
        dataBytes += size;
        if (dataBytes > kMaxDataBytes) {
            return Fail("the resources add up to more than 256 MiB");
        }
        node->data.assign(file + offset, file + offset + size);
        return true;
    }

    bool ReadDirectory(uint32_t at, int level, ResourceNode* dir) {
        if (!Fits(sectionSize, at, kDirectoryHeaderSize)) {
            return Fail("a resource directory lies outside the resource section");
        }
        const unsigned char* p = section + at;
        dir->characteristics = Le32(p);
        dir->timeDateStamp = Le32(p + 4);
        dir->majorVersion = Le16(p + 8);
        dir->minorVersion = Le16(p + 10);
        uint32_t count = uint32_t(Le16(p + 12)) + Le16(p + 14);
        if (!Fits(sectionSize, at + uint64_t(kDirectoryHeaderSize), uint64_t(count) * 8)) {
            return Fail("a resource directory's entries run past the resource section");
        }
        entries += count;
        if (entries > kMaxEntries) {
            return Fail("the resource tree has more than 65536 entries");
        }
        for (uint32_t i = 0; i < count; ++i) {
            const unsigned char* e = p + kDirectoryHeaderSize + kDirectoryEntrySize * i;
            ResourceNode child;
            if (!ReadName(Le32(e), &child)) {
                return false;
            }
            uint32_t target = Le32(e + 4);
            bool isDirectory = (target & kHighBit) != 0;
            if (isDirectory != (level + 1 < kLevels)) {
                return Fail("the resource tree is not three levels deep");
            }
            bool ok = isDirectory ? ReadDirectory(target & ~kHighBit, level + 1, &child)
                                  : ReadData(target, &child);
            if (!ok) {
                return false;
            }
            dir->children.push_back(std::move(child));
        }
        return true;
    }
};

uint32_t Align(uint32_t value, uint32_t to) {
    return (value + to - 1) / to * to;
}

void Put16(std::vector<unsigned char>& out, uint32_t at, uint32_t v) {
    out[at] = (unsigned char)v;
    out[at + 1] = (unsigned char)(v >> 8);
}

void Put32(std::vector<unsigned char>& out, uint32_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out[at + i] = (unsigned char)(v >> (8 * i));
    }
}

// Entries in the order the loader's binary search expects: named entries
// first, as they came, then numbered ones rising.
std::vector<const ResourceNode*> Ordered(const ResourceNode& dir) {
    std::vector<const ResourceNode*> out;
    for (const ResourceNode& c : dir.children) {
        if (c.named) {
            out.push_back(&c);
        }
    }
    size_t named = out.size();
    for (const ResourceNode& c : dir.children) {
        if (!c.named) {
            out.push_back(&c);
        }
    }
    std::stable_sort(out.begin() + named, out.end(),
                     [](const ResourceNode* a, const ResourceNode* b) { return a->id < b->id; });
    return out;
}

}  // namespace

bool ReadResourceTree(const unsigned char* bytes, size_t size, const PeImage& image,
                      ResourceNode* root, std::string* error) {
    *root = ResourceNode();
    PeDataDirectory dir = GetPeDirectory(&image, kPeDirResource);
    if (dir.virtualAddress == 0) {
        *error = "the image has no resources";
        return false;
    }
    // The tree's offsets count from the directory's first byte and must stay
    // inside the raw data of the section that holds it.
    for (int i = 0; i < image.sectionCount; ++i) {
        PeSection s;
        if (!GetPeSection(bytes, size, &image, i, &s)) {
            break;
        }
        if (dir.virtualAddress >= s.virtualAddress &&
            dir.virtualAddress - s.virtualAddress < s.sizeOfRawData) {
            uint32_t skip = dir.virtualAddress - s.virtualAddress;
            if (!Fits(size, s.pointerToRawData, s.sizeOfRawData)) {
                break;
            }
            Reader reader{bytes,
                          size,
                          image,
                          bytes + s.pointerToRawData + skip,
                          s.sizeOfRawData - skip,
                          0,
                          0,
                          std::string()};
            if (!reader.ReadDirectory(0, 0, root)) {
                *error = reader.error;
                return false;
            }
            return true;
        }
    }
    *error = "the resource directory is not in the file";
    return false;
}

std::vector<unsigned char> WriteResourceTree(const ResourceNode& root, uint32_t sectionRva) {
    // First pass: every directory (breadth first), data entry and name gets
    // its offset.
    std::vector<const ResourceNode*> directories{&root};
    std::vector<const ResourceNode*> leaves, names;
    std::vector<int> depth{0};
    for (size_t i = 0; i < directories.size(); ++i) {
        for (const ResourceNode* c : Ordered(*directories[i])) {
            if (c->named) {
                names.push_back(c);
            }
            if (depth[i] + 1 < kLevels) {
                directories.push_back(c);
                depth.push_back(depth[i] + 1);
            } else {
                leaves.push_back(c);
            }
        }
    }
    uint32_t at = 0;
    std::unordered_map<const ResourceNode*, uint32_t> directoryAt, leafAt, nameAt;
    std::vector<uint32_t> dataAt;
    for (const ResourceNode* d : directories) {
        directoryAt[d] = at;
        at += kDirectoryHeaderSize + kDirectoryEntrySize * uint32_t(d->children.size());
    }
    for (const ResourceNode* l : leaves) {
        leafAt[l] = at;
        at += kDataEntrySize;
    }
    for (const ResourceNode* n : names) {
        nameAt[n] = at;
        at += 2 + 2 * uint32_t(n->name.size());
    }
    for (const ResourceNode* l : leaves) {
        at = Align(at, 8);
        dataAt.push_back(at);
        at += uint32_t(l->data.size());
    }

    // Second pass: the bytes.
    std::vector<unsigned char> out(at);
    for (size_t i = 0; i < directories.size(); ++i) {
        const ResourceNode& d = *directories[i];
        uint32_t p = directoryAt[&d];
        std::vector<const ResourceNode*> children = Ordered(d);
        uint32_t named = uint32_t(std::count_if(children.begin(), children.end(),
                                                [](const ResourceNode* c) { return c->named; }));
        Put32(out, p, d.characteristics);
        Put32(out, p + 4, d.timeDateStamp);
        Put16(out, p + 8, d.majorVersion);
        Put16(out, p + 10, d.minorVersion);
        Put16(out, p + 12, named);
        Put16(out, p + 14, uint32_t(children.size()) - named);
        for (size_t k = 0; k < children.size(); ++k) {
            const ResourceNode* c = children[k];
            uint32_t e = p + kDirectoryHeaderSize + kDirectoryEntrySize * uint32_t(k);
            Put32(out, e, c->named ? kHighBit | nameAt[c] : c->id);
            Put32(out, e + 4, depth[i] + 1 < kLevels ? kHighBit | directoryAt[c] : leafAt[c]);
        }
    }
    for (size_t i = 0; i < leaves.size(); ++i) {
        uint32_t e = leafAt[leaves[i]];
        Put32(out, e, sectionRva + dataAt[i]);
        Put32(out, e + 4, uint32_t(leaves[i]->data.size()));
        Put32(out, e + 8, leaves[i]->codePage);
        std::copy(leaves[i]->data.begin(), leaves[i]->data.end(), out.begin() + dataAt[i]);
    }
    for (const ResourceNode* n : names) {
        for (size_t k = 0; k < n->name.size(); ++k) {
            Put16(out, nameAt[n] + 2 + 2 * uint32_t(k), n->name[k]);
        }
        Put16(out, nameAt[n], uint32_t(n->name.size()));
    }
    return out;
}

ResourceNode* FindResource(ResourceNode& dir, uint16_t id) {
    for (ResourceNode& c : dir.children) {
        if (!c.named && c.id == id) {
            return &c;
        }
    }
    return nullptr;
}

const ResourceNode* FindResource(const ResourceNode& dir, uint16_t id) {
    return FindResource(const_cast<ResourceNode&>(dir), id);
}

ResourceNode& ResourceWithId(ResourceNode& dir, uint16_t id) {
    if (ResourceNode* found = FindResource(dir, id)) {
        return *found;
    }
    auto place = std::find_if(dir.children.begin(), dir.children.end(),
                              [id](const ResourceNode& c) { return !c.named && c.id > id; });
    ResourceNode node;
    node.id = id;
    return *dir.children.insert(place, node);
}

void RemoveResource(ResourceNode& dir, uint16_t id) {
    dir.children.erase(
        std::remove_if(dir.children.begin(), dir.children.end(),
                       [id](const ResourceNode& c) { return !c.named && c.id == id; }),
        dir.children.end());
}

}  // namespace kivpack
