#include "tools/kivpack/version_block.h"

#include <cstring>

namespace kivpack {

namespace {

enum {
    kHeaderSize = 6,
};
const int kMaxDepth = 8;  // real blocks nest four deep
const uint32_t kFixedSignature = 0xFEEF04BD;

uint16_t Le16(const unsigned char* p) {
    return uint16_t(p[0] | p[1] << 8);
}

uint32_t Le32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

size_t Align4(size_t n) {
    return (n + 3) & ~size_t(3);
}

// Reads the block at the start of the `size` bytes at `p`; *length gets its
// stored length.
bool ReadBlock(const unsigned char* p, size_t size, int depth, VersionBlock* block,
               size_t* length) {
    if (depth > kMaxDepth || size < kHeaderSize) {
        return false;
    }
    size_t total = Le16(p);
    if (total < kHeaderSize || total > size) {
        return false;
    }
    block->valueLength = Le16(p + 2);
    block->type = Le16(p + 4);
    size_t at = kHeaderSize;
    for (;;) {
        if (at + 2 > total) {
            return false;
        }
        char16_t c = char16_t(Le16(p + at));
        at += 2;
        if (c == 0) {
            break;
        }
        block->key.push_back(c);
    }
    at = Align4(at);
    size_t valueBytes = block->type == 1 ? 2 * size_t(block->valueLength) : block->valueLength;
    if (valueBytes > 0) {
        if (at > total) {
            return false;
        }
        if (valueBytes > total - at) {
            // Some writers count a text's length in bytes; the text then
            // ends where its block does.
            if (block->type != 1 || block->valueLength > total - at) {
                return false;
            }
            valueBytes = total - at;
        }
        block->value.assign(p + at, p + at + valueBytes);
        at += valueBytes;
    }
    for (at = Align4(at); at < total; at = Align4(at)) {
        VersionBlock child;
        size_t childLength;
        if (!ReadBlock(p + at, total - at, depth + 1, &child, &childLength)) {
            return false;
        }
        block->children.push_back(std::move(child));
        at += childLength;
    }
    *length = total;
    return true;
}

void Put16(std::vector<unsigned char>& out, size_t at, uint32_t v) {
    out[at] = (unsigned char)v;
    out[at + 1] = (unsigned char)(v >> 8);
}

void WriteBlock(const VersionBlock& block, std::vector<unsigned char>& out) {
    size_t start = out.size();
    out.resize(start + kHeaderSize);
    Put16(out, start + 2, block.valueLength);
    Put16(out, start + 4, block.type);
    for (char16_t c : block.key) {
        out.push_back((unsigned char)c);
        out.push_back((unsigned char)(c >> 8));
    }
    out.push_back(0);
    out.push_back(0);
    out.resize(start + Align4(out.size() - start));
    out.insert(out.end(), block.value.begin(), block.value.end());
    for (const VersionBlock& child : block.children) {
        out.resize(start + Align4(out.size() - start));
        WriteBlock(child, out);
    }
    Put16(out, start, uint32_t(out.size() - start));
}

VersionBlock* Child(VersionBlock& block, const std::u16string& key) {
    for (VersionBlock& c : block.children) {
        if (c.key == key) {
            return &c;
        }
    }
    return nullptr;
}

VersionBlock& ChildOrNew(VersionBlock& block, const std::u16string& key, uint16_t type) {
    if (VersionBlock* found = Child(block, key)) {
        return *found;
    }
    VersionBlock child;
    child.key = key;
    child.type = type;
    block.children.push_back(child);
    return block.children.back();
}

void Put32(std::vector<unsigned char>& out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out[at + i] = (unsigned char)(v >> (8 * i));
    }
}

std::u16string TextValue(const VersionBlock& block) {
    std::u16string text;
    for (size_t i = 0; i + 1 < block.value.size(); i += 2) {
        char16_t c = char16_t(Le16(block.value.data() + i));
        if (c == 0) {
            break;
        }
        text.push_back(c);
    }
    return text;
}

}  // namespace

bool ReadVersionBlock(const unsigned char* bytes, size_t size, VersionBlock* root) {
    *root = VersionBlock();
    size_t length;
    return ReadBlock(bytes, size, 0, root, &length) && root->value.size() == kFixedFileInfoSize &&
           Le32(root->value.data()) == kFixedSignature;
}

std::vector<unsigned char> WriteVersionBlock(const VersionBlock& root) {
    std::vector<unsigned char> out;
    WriteBlock(root, out);
    if (out.size() > 0xffff) {
        out.clear();  // a block's length is a 16-bit field
    }
    return out;
}

VersionBlock NewVersionBlock() {
    VersionBlock root;
    root.key = u"VS_VERSION_INFO";
    root.valueLength = kFixedFileInfoSize;
    root.value.assign(kFixedFileInfoSize, 0);
    Put32(root.value, 0, kFixedSignature);
    Put32(root.value, 4, 0x00010000);   // structure version 1.0
    Put32(root.value, 24, 0x3F);        // VS_FFI_FILEFLAGSMASK
    Put32(root.value, 32, 0x00040004);  // VOS_NT_WINDOWS32
    Put32(root.value, 36, 1);           // VFT_APP
    ChildOrNew(ChildOrNew(root, u"StringFileInfo", 1), u"040904b0", 1);
    VersionBlock& translation = ChildOrNew(ChildOrNew(root, u"VarFileInfo", 1), u"Translation", 0);
    translation.value = {0x09, 0x04, 0xB0, 0x04};  // English (United States), UTF-16
    translation.valueLength = 4;
    return root;
}

void SetFixedVersion(VersionBlock& root, bool product, const uint16_t parts[4]) {
    size_t at = product ? 16 : 8;
    Put32(root.value, at, uint32_t(parts[0]) << 16 | parts[1]);
    Put32(root.value, at + 4, uint32_t(parts[2]) << 16 | parts[3]);
}

void SetVersionString(VersionBlock& root, const std::u16string& table, const std::u16string& key,
                      const std::u16string& value) {
    VersionBlock& strings = ChildOrNew(ChildOrNew(root, u"StringFileInfo", 1), table, 1);
    VersionBlock& entry = ChildOrNew(strings, key, 1);
    entry.type = 1;
    entry.children.clear();
    entry.valueLength = uint16_t(value.size() + 1);  // the terminating zero counts
    entry.value.clear();
    for (char16_t c : value + u'\0') {
        entry.value.push_back((unsigned char)c);
        entry.value.push_back((unsigned char)(c >> 8));
    }
}

bool GetFileVersion(const VersionBlock& root, std::string* version) {
    if (root.value.size() != kFixedFileInfoSize) {
        return false;
    }
    uint32_t ms = Le32(root.value.data() + 8), ls = Le32(root.value.data() + 12);
    *version = std::to_string(ms >> 16) + "." + std::to_string(ms & 0xffff) + "." +
               std::to_string(ls >> 16) + "." + std::to_string(ls & 0xffff);
    return true;
}

bool GetVersionString(const VersionBlock& root, const std::u16string& preferredTable,
                      const std::u16string& key, std::u16string* value) {
    VersionBlock* strings = Child(const_cast<VersionBlock&>(root), u"StringFileInfo");
    if (strings == nullptr) {
        return false;
    }
    if (VersionBlock* table = Child(*strings, preferredTable)) {
        if (VersionBlock* entry = Child(*table, key)) {
            *value = TextValue(*entry);
            return true;
        }
    }
    for (VersionBlock& table : strings->children) {
        if (VersionBlock* entry = Child(table, key)) {
            *value = TextValue(*entry);
            return true;
        }
    }
    return false;
}

}  // namespace kivpack
