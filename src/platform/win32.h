// Win32 helpers shared by the _win files: wide strings, owned handles, and the
// platform services' Win32 implementations.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>

#include "platform/services.h"

namespace risview::win {

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view wide);

// Owns a GDI object.
struct GdiDeleter {
  void operator()(HGDIOBJ h) const {
    if (h) DeleteObject(h);
  }
};
using unique_font = std::unique_ptr<std::remove_pointer_t<HFONT>, GdiDeleter>;
using unique_brush = std::unique_ptr<std::remove_pointer_t<HBRUSH>, GdiDeleter>;
using unique_bitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, GdiDeleter>;

// Owns an icon made from a file or from memory (not a shared one from a module's resources).
struct IconDeleter {
  void operator()(HICON h) const {
    if (h) DestroyIcon(h);
  }
};
using unique_icon = std::unique_ptr<std::remove_pointer_t<HICON>, IconDeleter>;

struct EnhMetaFileDeleter {
  void operator()(HENHMETAFILE h) const {
    if (h) DeleteEnhMetaFile(h);
  }
};
using unique_enhmetafile = std::unique_ptr<std::remove_pointer_t<HENHMETAFILE>, EnhMetaFileDeleter>;

// Owns a device context made with CreateCompatibleDC or CreateDC.
struct DcDeleter {
  void operator()(HDC h) const {
    if (h) DeleteDC(h);
  }
};
using unique_dc = std::unique_ptr<std::remove_pointer_t<HDC>, DcDeleter>;

class Win32MessageBoxes : public MessageBoxes {
 public:
  int show(std::string_view text, std::string_view caption, unsigned style,
           WindowRef owner) override;
};

// Debugger output in code page 936, as a debugger attached to the host expects it.
class Win32DebugOutput : public DebugOutput {
 public:
  void write(std::string_view line) override;
};

class Win32Clock : public Clock {
 public:
  LocalDateTime now() const override;
};

class Win32Locale : public Locale {
 public:
  std::string shortTime(int hour, int minute, int second) const override;
};

class Win32Environment : public Environment {
 public:
  std::string currentDirectory() const override;
  std::string executablePath() const override;
  std::optional<std::string> readFile(const std::string& path) const override;
};

// The module this code is linked into (the DLL, or the test executable).
HMODULE thisModule();

// The process-wide set of Win32 services, titled after this module.
struct Platform {
  Win32MessageBoxes boxes;
  Win32DebugOutput debug;
  Win32Clock clock;
  Win32Locale locale;
  Win32Environment env;
  Services services(std::string title) {
    return {boxes, debug, clock, locale, env, std::move(title)};
  }
};

// The application title: the module's own file name, as every box is captioned.
std::string moduleTitle();

}  // namespace risview::win
