// Code page 936 through the platform's converters, whatever the ANSI code page is.
#include <windows.h>

#include <string>

#include "platform/text.h"

namespace risview {

std::string cp936ToUtf8(std::string_view bytes) {
  if (bytes.empty()) return {};
  int n = MultiByteToWideChar(936, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(936, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), n);
  return utf16ToUtf8(
      std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}

std::string utf8ToCp936(std::string_view text) {
  if (text.empty()) return {};
  std::u16string wide = utf8ToUtf16(text);
  auto w = reinterpret_cast<const wchar_t*>(wide.data());
  int n =
      WideCharToMultiByte(936, 0, w, static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(936, 0, w, static_cast<int>(wide.size()), out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace risview
