// risview-protect: the "dpapi:" value of a password for a workstation's RisOption.ini, and
// whether this machine can read a value. Run on the workstation (or the image it is cloned
// from): only the machine that made a value can read it.
#include <windows.h>

#include <dpapi.h>

#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include "platform/protected_text.h"
#include "platform/win32.h"

namespace {

constexpr char kUsage[] =
    "usage: risview-protect            reads a password (not shown) and prints its dpapi: value\n"
    "       risview-protect --check VALUE   says whether this machine can read VALUE\n";

// A machine-scope blob of the bytes: every user of this workstation can read it, no other
// machine can. nullopt when the system refuses.
std::optional<std::string> protect(std::string_view bytes) {
  DATA_BLOB in{static_cast<DWORD>(bytes.size()),
               reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data()))};
  DATA_BLOB out{};
  if (!CryptProtectData(&in, L"risview", nullptr, nullptr, nullptr,
                        CRYPTPROTECT_LOCAL_MACHINE | CRYPTPROTECT_UI_FORBIDDEN, &out)) {
    return std::nullopt;
  }
  std::string blob(reinterpret_cast<const char*>(out.pbData), out.cbData);
  LocalFree(out.pbData);
  return blob;
}

// One line from the console with echo off, or from whatever stdin is when it is not one.
std::optional<std::string> readSecretLine() {
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  if (GetConsoleMode(in, &mode)) {
    std::fputs("Password: ", stderr);
    SetConsoleMode(in, (mode & ~ENABLE_ECHO_INPUT) | ENABLE_LINE_INPUT);
    std::wstring line(1024, L'\0');
    DWORD read = 0;
    BOOL ok = ReadConsoleW(in, line.data(), static_cast<DWORD>(line.size()), &read, nullptr);
    SetConsoleMode(in, mode);
    std::fputs("\n", stderr);
    if (!ok) return std::nullopt;
    line.resize(read);
    while (!line.empty() && (line.back() == L'\n' || line.back() == L'\r')) line.pop_back();
    std::string text = risview::win::narrow(line);
    SecureZeroMemory(line.data(), line.size() * sizeof(wchar_t));
    return text;
  }
  std::string line;
  if (!std::getline(std::cin, line)) return std::nullopt;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string_view first = argc > 1 ? argv[1] : "";
  if (argc == 3 && first == "--check") {
    risview::win::Win32Secrets secrets;
    if (!risview::isProtected(argv[2])) {
      std::cout << "not a dpapi: value\n";
      return 2;
    }
    std::optional<std::string> clear = risview::revealPassword(argv[2], &secrets);
    const bool readable = clear.has_value();
    if (clear) risview::wipe(*clear);
    std::cout << (readable ? "readable on this machine\n" : "NOT readable on this machine\n");
    return readable ? 0 : 1;
  }
  if (argc != 1) {
    std::cerr << kUsage;
    return 2;
  }
  std::optional<std::string> password = readSecretLine();
  if (!password) {
    std::cerr << "no password read\n";
    return 2;
  }
  std::optional<std::string> blob = protect(*password);
  risview::wipe(*password);
  if (!blob) {
    std::cerr << "this machine refused to protect the password (error " << GetLastError() << ")\n";
    return 1;
  }
  std::cout << risview::kProtectedPrefix << risview::base64Encode(*blob) << "\n";
  return 0;
}
