// Conversions between the command line's UTF-8 and the UTF-16 that Windows
// resources store.
#ifndef KIV_TOOLS_KIVPACK_TEXT_UTF16_H
#define KIV_TOOLS_KIVPACK_TEXT_UTF16_H

#include <string>

namespace kivpack {

// Converts UTF-8 `text` into *out. Gives false for bytes that are not UTF-8
// (overlong forms and encoded surrogates included), which would otherwise
// reach the resources as characters the user never typed.
bool Utf8ToUtf16(const std::string& text, std::u16string* out);

// Converts UTF-16 `text` into UTF-8; a lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(const std::u16string& text);

}  // namespace kivpack

#endif
