// The version block resource (what Explorer shows as a file's details): read
// into a tree of keyed blocks, changed, and written back.
#ifndef KIV_TOOLS_KIVPACK_VERSION_BLOCK_H
#define KIV_TOOLS_KIVPACK_VERSION_BLOCK_H

#include <cstdint>
#include <string>
#include <vector>

namespace kivpack {

// One block: a key, a value and child blocks. The root is "VS_VERSION_INFO"
// with the fixed part as its value; "StringFileInfo" holds string tables
// keyed by language and code page ("040904b0"), which hold the strings;
// "VarFileInfo" holds the translations.
struct VersionBlock {
    std::u16string key;
    uint16_t type = 0;         // 1: the value is text
    uint16_t valueLength = 0;  // as stored: characters for text, bytes otherwise
    std::vector<unsigned char> value;
    std::vector<VersionBlock> children;
};

enum { kFixedFileInfoSize = 52 };

// Reads the version block in the `size` bytes at `bytes`. Gives true, or
// false when a block's length, key or value runs outside its parent, or the
// root has no fixed part with its signature.
bool ReadVersionBlock(const unsigned char* bytes, size_t size, VersionBlock* root);

// The resource bytes for `root`, every block on a 4-byte boundary; empty when
// they would pass the 65535 bytes that a block's 16-bit length can say.
std::vector<unsigned char> WriteVersionBlock(const VersionBlock& root);

// A version block for an image that has none: an application's fixed part
// (version 0.0.0.0), an empty "040904b0" string table and that translation.
VersionBlock NewVersionBlock();

// Sets the file version (product = false) or the product version of the
// fixed part to parts[0].parts[1].parts[2].parts[3].
void SetFixedVersion(VersionBlock& root, bool product, const uint16_t parts[4]);

// Sets string `key` of string table `table` ("040904b0"), adding the table
// and the key where missing; a key that is there keeps its place.
void SetVersionString(VersionBlock& root, const std::u16string& table, const std::u16string& key,
                      const std::u16string& value);

// The fixed part's file version as "A.B.C.D"; false without a fixed part.
bool GetFileVersion(const VersionBlock& root, std::string* version);

// String `key` from table `preferredTable`, or else from the first table
// that has it; false when no table has it.
bool GetVersionString(const VersionBlock& root, const std::u16string& preferredTable,
                      const std::u16string& key, std::u16string* value);

}  // namespace kivpack

#endif
