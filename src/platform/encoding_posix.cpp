// Code page 936 through iconv, for the native builds and tools.
#include <iconv.h>

#include <cerrno>
#include <string>

#include "platform/text.h"

namespace risview {

namespace {

std::string convert(std::string_view in, const char* from, const char* to, const char* bad) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(in);
  std::string out;
  std::string buffer(in.size() * 4 + 16, '\0');
  char* src = const_cast<char*>(in.data());
  size_t srcLeft = in.size();
  while (srcLeft > 0) {
    char* dst = buffer.data();
    size_t dstLeft = buffer.size();
    size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    out.append(buffer.data(), dst);
    if (r == static_cast<size_t>(-1) && errno != E2BIG) {
      // Skip one undecodable unit (a whole UTF-8 sequence when encoding).
      out += bad;
      size_t skip = 1;
      if (std::string_view(from) == "UTF-8") {
        while (skip < srcLeft && (static_cast<unsigned char>(src[skip]) & 0xC0) == 0x80) ++skip;
      }
      src += skip;
      srcLeft -= skip;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  iconv_close(cd);
  return out;
}

}  // namespace

std::string cp936ToUtf8(std::string_view bytes) {
  return convert(bytes, "CP936", "UTF-8", "\xEF\xBF\xBD");
}

std::string utf8ToCp936(std::string_view text) {
  return convert(text, "UTF-8", "CP936", "?");
}

}  // namespace risview
