// Standard .ico files, as the images that an icon group names.
#ifndef KIV_TOOLS_KIVPACK_ICON_FILE_H
#define KIV_TOOLS_KIVPACK_ICON_FILE_H

#include <cstdint>
#include <string>
#include <vector>

namespace kivpack {

// One image of an icon: its directory entry and its bytes (a bitmap header
// with colours and mask, or a whole PNG file), exactly as the .ico holds them.
struct IconImage {
    uint8_t width;  // 0 stands for 256
    uint8_t height;
    uint8_t colorCount;
    uint8_t reserved;
    uint16_t planes;
    uint16_t bitCount;
    std::vector<unsigned char> bytes;
};

// Reads the images of the .ico file `file`. Gives true, or false with *error
// saying what is wrong: not an icon file (a cursor, say), no images, a
// directory or image that runs past the end of the file, or an image that is
// neither a bitmap nor a PNG. Planes and bit counts that the directory leaves
// at 0 are taken from the image itself, as the system needs them to choose
// an image.
bool ReadIconFile(const std::vector<unsigned char>& file, std::vector<IconImage>* images,
                  std::string* error);

// The icon group resource for `images`, the i-th of them stored as icon
// resource ids[i].
std::vector<unsigned char> MakeIconGroup(const std::vector<IconImage>& images,
                                         const std::vector<uint16_t>& ids);

}  // namespace kivpack

#endif
