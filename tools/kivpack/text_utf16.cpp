#include "tools/kivpack/text_utf16.h"

namespace kivpack {

bool Utf8ToUtf16(const std::string& text, std::u16string* out) {
    out->clear();
    size_t i = 0, n = text.size();
    while (i < n) {
        unsigned char c = (unsigned char)text[i];
        uint32_t code, min;
        int more;
        if (c < 0x80) {
            code = c, more = 0, min = 0;
        } else if ((c & 0xe0) == 0xc0) {
            code = c & 0x1f, more = 1, min = 0x80;
        } else if ((c & 0xf0) == 0xe0) {
            code = c & 0x0f, more = 2, min = 0x800;
        } else if ((c & 0xf8) == 0xf0) {
            code = c & 0x07, more = 3, min = 0x10000;
        } else {
            return false;
        }
        if (n - i - 1 < size_t(more)) {
            return false;
        }
        for (int k = 1; k <= more; ++k) {
            unsigned char d = (unsigned char)text[i + k];
            if ((d & 0xc0) != 0x80) {
                return false;
            }
            code = code << 6 | (d & 0x3f);
        }
        if (code < min || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) {
            return false;
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            out->push_back(char16_t(0xd800 + (code >> 10)));
            out->push_back(char16_t(0xdc00 + (code & 0x3ff)));
        } else {
            out->push_back(char16_t(code));
        }
        i += 1 + more;
    }
    return true;
}

std::string Utf16ToUtf8(const std::u16string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t code = text[i];
        if (code >= 0xd800 && code <= 0xdbff && i + 1 < text.size() && text[i + 1] >= 0xdc00 &&
            text[i + 1] <= 0xdfff) {
            code = 0x10000 + ((code - 0xd800) << 10) + (text[i + 1] - 0xdc00);
            ++i;
        } else if (code >= 0xd800 && code <= 0xdfff) {
            code = 0xfffd;
        }
        if (code < 0x80) {
            out += char(code);
        } else if (code < 0x800) {
            out += char(0xc0 | code >> 6);
            out += char(0x80 | (code & 0x3f));
        } else if (code < 0x10000) {
            out += char(0xe0 | code >> 12);
            out += char(0x80 | (code >> 6 & 0x3f));
            out += char(0x80 | (code & 0x3f));
        } else {
            out += char(0xf0 | code >> 18);
            out += char(0x80 | (code >> 12 & 0x3f));
            out += char(0x80 | (code >> 6 & 0x3f));
            out += char(0x80 | (code & 0x3f));
        }
    }
    return out;
}

}  // namespace kivpack
