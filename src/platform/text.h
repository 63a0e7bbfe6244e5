// Text helpers shared by every subsystem. Texts are UTF-8 inside the system;
// code page 936 (GBK) appears only at the edges, where these convert it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace risview {

// UTF-8 <-> UTF-16 (code units as char16_t). Invalid input bytes become U+FFFD.
std::u16string utf8ToUtf16(std::string_view text);
std::string utf16ToUtf8(std::u16string_view text);
// UTF-8 as code points, invalid bytes as U+FFFD.
std::u32string utf8ToUtf32(std::string_view text);
// Appends one code point (at most U+10FFFF) in UTF-8.
void appendUtf8(std::string& out, char32_t cp);

// Code page 936 <-> UTF-8, independent of the system's ANSI code page.
// Bytes that are not valid GBK decode to U+FFFD; characters GBK cannot hold encode as '?'.
std::string cp936ToUtf8(std::string_view bytes);
std::string utf8ToCp936(std::string_view text);

// Removes leading and trailing blanks and control characters (every byte <= ' ').
std::string_view trim(std::string_view text);
inline std::string trimmed(std::string_view text) {
  return std::string(trim(text));
}

// Strict decimal conversion: optional leading blanks, an optional sign, then digits only,
// fitting in 32 bits. Anything else (empty, trailing blanks, separators) gives nullopt.
std::optional<int32_t> parseInt(std::string_view text);

// parseInt that throws ConversionError naming the text when it fails.
int32_t toInt(std::string_view text);

// ASCII-only case-insensitive comparison, as section, key and column names are compared.
bool equalsNoCase(std::string_view a, std::string_view b);

// Number of bytes in a UTF-8 text that form whole characters within the first maxBytes.
size_t utf8Prefix(std::string_view text, size_t maxBytes);

}  // namespace risview
