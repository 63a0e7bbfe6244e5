#include <windows.h>

#include <dpapi.h>

#include "platform/win32.h"

namespace risview::win {

namespace {

// The system's copy of the clear bytes: wiped, then freed with LocalFree.
struct LocalBlob {
  DATA_BLOB data{};
  ~LocalBlob() {
    if (!data.pbData) return;
    SecureZeroMemory(data.pbData, data.cbData);
    LocalFree(data.pbData);
  }
};

}  // namespace

std::optional<std::string> Win32Secrets::unprotect(std::string_view blob) const {
  DATA_BLOB in{static_cast<DWORD>(blob.size()),
               reinterpret_cast<BYTE*>(const_cast<char*>(blob.data()))};
  LocalBlob out;
  // Never a prompt: the host's user is not asked anything on our behalf.
  if (!CryptUnprotectData(&in, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN,
                          &out.data)) {
    return std::nullopt;
  }
  return std::string(reinterpret_cast<const char*>(out.data.pbData), out.data.cbData);
}

}  // namespace risview::win
