// The resource tree of a PE image as plain values: read out of an image's
// resource section, changed, and written back as a complete section.
//
// A resource tree has three levels of directories (type, name, language);
// the entries of the third level hold the resources' bytes. Reading copies
// every resource's bytes out, so the tree can be laid out afresh at any
// size: that is what lets kivpack replace a setup's icon and version block.
#ifndef KIV_TOOLS_KIVPACK_RESOURCE_TREE_H
#define KIV_TOOLS_KIVPACK_RESOURCE_TREE_H

#include <cstdint>
#include <string>
#include <vector>

#include "container/pe_image.h"

namespace kivpack {

enum ResourceType : uint16_t {
    kResourceIcon = 3,
    kResourceDialog = 5,
    kResourceIconGroup = 14,
    kResourceVersion = 16,
};

// One entry of a resource directory: a subdirectory at the first two
// levels, a resource's bytes at the third.
struct ResourceNode {
    bool named = false;   // named by text rather than by number
    uint16_t id = 0;      // when not named
    std::u16string name;  // when named
    // Directory header fields, kept as read so that untouched parts of the
    // tree come out as they went in.
    uint32_t characteristics = 0;
    uint32_t timeDateStamp = 0;
    uint16_t majorVersion = 0;
    uint16_t minorVersion = 0;
    std::vector<ResourceNode> children;  // directories: named entries first, then ids rising
    std::vector<unsigned char> data;     // third level: the resource itself
    uint32_t codePage = 0;
};

// Reads the resource tree of `image`, parsed from the `size` bytes at
// `bytes`, into *root (the root directory). Gives true, or false with
// *error saying what is wrong: no resource directory, a directory or entry
// outside the section, a tree that is not three levels deep, a resource
// whose bytes are not in the file, or more entries or bytes than any real
// image carries (shared subdirectories could otherwise multiply them).
bool ReadResourceTree(const unsigned char* bytes, size_t size, const PeImage& image,
                      ResourceNode* root, std::string* error);

// Lays `root` out as the contents of a resource section that will stand at
// `sectionRva`: the directories, then the data entries, then the names,
// then the resources' bytes, each on an 8-byte boundary.
std::vector<unsigned char> WriteResourceTree(const ResourceNode& root, uint32_t sectionRva);

// The entry numbered `id` among dir's children, or null.
ResourceNode* FindResource(ResourceNode& dir, uint16_t id);
const ResourceNode* FindResource(const ResourceNode& dir, uint16_t id);

// The entry numbered `id` among dir's children, added in its sorted place
// (empty) when there is none.
ResourceNode& ResourceWithId(ResourceNode& dir, uint16_t id);

// Removes the entry numbered `id` from dir's children, if there is one.
void RemoveResource(ResourceNode& dir, uint16_t id);

}  // namespace kivpack

#endif
