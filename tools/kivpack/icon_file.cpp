#include "tools/kivpack/icon_file.h"

#include <cstring>

namespace kivpack {

namespace {

enum {
    kIconDirSize = 6,
    kIconEntrySize = 16,
    kGroupEntrySize = 14,
    kBitmapHeaderSize = 40,
    kPngHeadSize = 8 + 8 + 13,  // signature, IHDR chunk length and type, IHDR data
};

const unsigned char kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};

uint16_t Le16(const unsigned char* p) {
    return uint16_t(p[0] | p[1] << 8);
}

uint32_t Le32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Checks one image's bytes and fills in planes and bit count where the
// directory left them at 0.
bool CheckImage(IconImage* image, std::string* error) {
    const std::vector<unsigned char>& b = image->bytes;
    if (b.size() >= 8 && std::memcmp(b.data(), kPngSignature, 8) == 0) {
        if (b.size() < kPngHeadSize || std::memcmp(b.data() + 12, "IHDR", 4) != 0) {
            *error = "a PNG image is cut short or has no header chunk";
            return false;
        }
        // Bits per pixel from the bit depth and the colour type's channels.
        static const int kChannels[7] = {1, 0, 3, 1, 2, 0, 4};
        int depth = b[24], type = b[25];
        if (image->planes == 0) {
            image->planes = 1;
        }
        if (image->bitCount == 0 && type < 7) {
            image->bitCount = uint16_t(depth * kChannels[type]);
        }
        return true;
    }
    if (b.size() < kBitmapHeaderSize || Le32(b.data()) < kBitmapHeaderSize ||
        Le32(b.data()) > b.size()) {
        *error = "an image is neither a PNG nor a bitmap with a complete header";
        return false;
    }
    if (image->planes == 0) {
        image->planes = Le16(b.data() + 12);
    }
    if (image->bitCount == 0) {
        image->bitCount = Le16(b.data() + 14);
    }
    return true;
}

}  // namespace

bool ReadIconFile(const std::vector<unsigned char>& file, std::vector<IconImage>* images,
                  std::string* error) {
    images->clear();
    if (file.size() < kIconDirSize) {
        *error = "it is too short to be an icon file";
        return false;
    }
    if (Le16(file.data()) != 0 || Le16(file.data() + 2) != 1) {
        *error = "it is not an icon file (its header does not say type 1)";
        return false;
    }
    size_t count = Le16(file.data() + 4);
    if (count == 0) {
        *error = "it holds no images";
        return false;
    }
    if (file.size() < kIconDirSize + count * kIconEntrySize) {
        *error = "its directory of " + std::to_string(count) + " images is cut short";
        return false;
    }
    for (size_t i = 0; i < count; ++i) {
        const unsigned char* e = file.data() + kIconDirSize + i * kIconEntrySize;
        uint32_t size = Le32(e + 8), offset = Le32(e + 12);
        if (size == 0 || offset > file.size() || size > file.size() - offset) {
            *error = "image " + std::to_string(i + 1) + " runs past the end of the file";
            return false;
        }
        IconImage image{
            e[0],
            e[1],
            e[2],
            e[3],
            Le16(e + 4),
            Le16(e + 6),
            std::vector<unsigned char>(file.begin() + offset, file.begin() + offset + size)};
        std::string why;
        if (!CheckImage(&image, &why)) {
            *error = "image " + std::to_string(i + 1) + ": " + why;
            return false;
        }
        images->push_back(std::move(image));
    }
    return true;
}

std::vector<unsigned char> MakeIconGroup(const std::vector<IconImage>& images,
                                         const std::vector<uint16_t>& ids) {
    std::vector<unsigned char> out(kIconDirSize + kGroupEntrySize * images.size());
    auto put16 = [&out](size_t at, uint32_t v) {
        out[at] = (unsigned char)v;
        out[at + 1] = (unsigned char)(v >> 8);
    };
    put16(2, 1);  // type: icon
    put16(4, uint32_t(images.size()));
    for (size_t i = 0; i < images.size(); ++i) {
        const IconImage& image = images[i];
        size_t e = kIconDirSize + kGroupEntrySize * i;
        out[e] = image.width;
        out[e + 1] = image.height;
        out[e + 2] = image.colorCount;
        out[e + 3] = image.reserved;
        put16(e + 4, image.planes);
        put16(e + 6, image.bitCount);
        uint32_t size = uint32_t(image.bytes.size());
        put16(e + 8, size & 0xffff);
        put16(e + 10, size >> 16);
        put16(e + 12, ids[i]);
    }
    return out;
}

}  // namespace kivpack
