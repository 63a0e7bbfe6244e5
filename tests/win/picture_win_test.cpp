#include "pictures/picture_win.h"

#include <windows.h>

#include <psapi.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include <algorithm>

#include <jpeglib.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/errors.h"
#include "support/picture_files.h"

namespace risview::pictures {

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0), kBlue = RGB(0, 0, 255), kWhite = RGB(255, 255, 255);

// A file in the temporary folder, removed with the object.
class TempFile {
 public:
  explicit TempFile(const std::wstring& extension) {
    wchar_t dir[MAX_PATH], name[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    GetTempFileNameW(dir, L"pic", 0, name);
    DeleteFileW(name);
    path_ = std::wstring(name) + L"." + extension;
  }
  TempFile(const std::wstring& extension, const std::string& bytes) : TempFile(extension) {
    std::ofstream(path_.c_str(), std::ios::binary) << bytes;
  }
  ~TempFile() { DeleteFileW(path_.c_str()); }
  const std::wstring& path() const { return path_; }

 private:
  std::wstring path_;
};

// A white 64 x 64 top-down DIB to draw on.
class Canvas {
 public:
  Canvas() {
    BITMAPINFO format{};
    format.bmiHeader = {sizeof(BITMAPINFOHEADER), kSide, -kSide, 1, 32, BI_RGB};
    bitmap_.reset(CreateDIBSection(nullptr, &format, DIB_RGB_COLORS, &bits_, nullptr, 0));
    dc_.reset(CreateCompatibleDC(nullptr));
    SelectObject(dc_.get(), bitmap_.get());
    PatBlt(dc_.get(), 0, 0, kSide, kSide, WHITENESS);
  }
  HDC dc() const { return dc_.get(); }
  COLORREF at(int x, int y) const {
    GdiFlush();
    const auto* p = static_cast<const uint8_t*>(bits_) + (y * kSide + x) * 4;
    return RGB(p[2], p[1], p[0]);
  }

 private:
  static constexpr int kSide = 64;
  win::unique_bitmap bitmap_;
  win::unique_dc dc_;
  void* bits_ = nullptr;
};

// The colour a pixel is near, of the three the pictures use; what JPEG and halftone
// resampling leave of them stays within a few steps.
COLORREF nearest(COLORREF c) {
  for (COLORREF want : {kRed, kBlue, kWhite}) {
    if (std::abs(GetRValue(c) - GetRValue(want)) < 40 &&
        std::abs(GetGValue(c) - GetGValue(want)) < 40 &&
        std::abs(GetBValue(c) - GetBValue(want)) < 40) {
      return want;
    }
  }
  return c;
}

// Every test picture is red over its top half and blue below.
COLORREF split(int y, int side) {
  return y < side / 2 ? kRed : kBlue;
}

std::string u16(unsigned v) {
  return {char(v), char(v >> 8)};
}
std::string u32(uint32_t v) {
  return u16(v & 0xFFFF) + u16(v >> 16);
}

// Rows of 8 bits (indices into a table of red and blue), 24 or 32 bits, padded to 4 bytes.
std::string pixelRows(int width, int height, int bits, bool bottomUp) {
  std::string rows;
  for (int i = 0; i < height; ++i) {
    const COLORREF c = split(bottomUp ? height - 1 - i : i, height);
    std::string row;
    for (int x = 0; x < width; ++x) {
      if (bits == 8) row += char(c == kRed ? 0 : 1);
      if (bits >= 24) row += {char(GetBValue(c)), char(GetGValue(c)), char(GetRValue(c))};
      if (bits == 32) row += char(255);
    }
    rows += row + std::string((4 - row.size() % 4) % 4, '\0');
  }
  return rows;
}

std::string bmp(int width, int height, int bits, bool topDown) {
  const std::string table = bits == 8 ? u32(0x00FF0000) + u32(0x000000FF) : "";  // red, blue
  const std::string info = u32(40) + u32(width) + u32(topDown ? -height : height) + u16(1) +
                           u16(bits) + u32(0) + u32(0) + u32(0) + u32(0) + u32(table.size() / 4) +
                           u32(0);
  const std::string pixels = pixelRows(width, height, bits, !topDown);
  const size_t offset = 14 + info.size() + table.size();
  return "BM" + u32(offset + pixels.size()) + u32(0) + u32(offset) + info + table + pixels;
}

// Red over blue in runs, one run a row, of 8 or 4 bits.
std::string rleBmp(int side, int bits) {
  std::string codes;
  for (int y = side - 1; y >= 0; --y) {
    const char index = split(y, side) == kRed ? 0 : 1;
    codes += {char(side), char(bits == 4 ? index << 4 | index : index), 0, 0};
  }
  codes += {0, 1};
  const std::string table = u32(0x00FF0000) + u32(0x000000FF);  // red, blue
  const std::string info = u32(40) + u32(side) + u32(side) + u16(1) + u16(bits) +
                           u32(bits == 8 ? 1 : 2) + u32(codes.size()) + u32(0) + u32(0) + u32(2) +
                           u32(0);
  const size_t offset = 14 + info.size() + table.size();
  return "BM" + u32(offset + codes.size()) + u32(0) + u32(offset) + info + table + codes;
}

std::string ico(int side) {
  std::string image = u32(40) + u32(side) + u32(side * 2) + u16(1) + u16(32) +
                      std::string(24, '\0') + pixelRows(side, side, 32, true) +
                      std::string(side * ((side + 31) / 32 * 4), '\0');  // AND mask: opaque
  return u16(0) + u16(1) + u16(1) + char(side) + char(side) + u16(0) + u16(1) + u16(32) +
         u32(image.size()) + u32(22) + image;
}

// The two halves drawn with GDI; a null pen leaves the rectangles' edges to the brush.
void drawHalves(HDC dc, int side) {
  SelectObject(dc, GetStockObject(NULL_PEN));
  for (auto [top, colour] : {std::pair{0, kRed}, {side / 2, kBlue}}) {
    HBRUSH brush = CreateSolidBrush(colour);
    HGDIOBJ previous = SelectObject(dc, brush);
    Rectangle(dc, -1, top - 1, side + 1, top + side / 2 + 1);
    SelectObject(dc, previous);
    DeleteObject(brush);
  }
}

std::string wmf(int side) {
  HDC dc = CreateMetaFileW(nullptr);
  SetWindowOrgEx(dc, 0, 0, nullptr);
  SetWindowExtEx(dc, side, side, nullptr);
  drawHalves(dc, side);
  HMETAFILE metafile = CloseMetaFile(dc);
  std::string records(GetMetaFileBitsEx(metafile, 0, nullptr), '\0');
  GetMetaFileBitsEx(metafile, UINT(records.size()), records.data());
  DeleteMetaFile(metafile);
  std::string header =
      u32(0x9AC6CDD7) + u16(0) + u16(0) + u16(0) + u16(side) + u16(side) + u16(96) + u32(0);
  unsigned sum = 0;
  for (size_t i = 0; i < header.size(); i += 2)
    sum ^= uint8_t(header[i]) | uint8_t(header[i + 1]) << 8;
  return header + u16(sum) + records;
}

void writeEmf(const std::wstring& path, int side) {
  const RECT frame{0, 0, MulDiv(side, 2540, 96), MulDiv(side, 2540, 96)};
  HDC dc = CreateEnhMetaFileW(nullptr, path.c_str(), &frame, nullptr);
  drawHalves(dc, side);
  DeleteEnhMetaFile(CloseEnhMetaFile(dc));
}

std::string jpeg(int width, int height) {
  return testing::encodeJpeg(width, height, JCS_RGB, 95, [&](int, int y, JSAMPLE* p) {
    COLORREF colour = split(y, height);
    p[0] = GetRValue(colour), p[1] = 0, p[2] = GetBValue(colour);
  });
}

struct Sample {
  const char* name;
  PictureType type;
  std::wstring extension;
  std::string bytes;  // empty: written by writeEmf
  int side;           // natural width and height
};

// Each kind of picture drawn stretched into a box and at its natural size: both halves in
// place (a bitmap upside down, a metafile played outside its frame would show), nothing
// outside the box, and at natural size nothing stretched.
TEST(PictureImage, EachTypeDrawsStretchedAndAtNaturalSize) {
  const Sample samples[] = {
      {"bottom-up bitmap", PictureType::Bitmap, L"bmp", bmp(16, 16, 24, false), 16},
      {"top-down bitmap", PictureType::Bitmap, L"BMP", bmp(16, 16, 32, true), 16},
      {"bitmap with a colour table", PictureType::Bitmap, L"bmp", bmp(16, 16, 8, false), 16},
      {"run-length bitmap", PictureType::Bitmap, L"bmp", rleBmp(16, 8), 16},
      {"4-bit run-length bitmap", PictureType::Bitmap, L"bmp", rleBmp(16, 4), 16},
      {"icon", PictureType::Icon, L"ico", ico(32), 32},
      {"metafile", PictureType::Metafile, L"wmf", wmf(32), 32},
      {"enhanced metafile", PictureType::EnhancedMetafile, L"emf", "", 32},
      {"jpeg", PictureType::Jpeg, L"jpg", jpeg(32, 32), 32},
  };
  for (const Sample& s : samples) {
    TempFile file(s.extension, s.bytes);
    if (s.bytes.empty()) writeEmf(file.path(), s.side);
    auto image = PictureImage::load(file.path(), s.type, 40, 40);
    EXPECT_EQ(image->info(), (PictureInfo{s.type, s.side, s.side})) << s.name;

    Canvas stretched;
    image->draw(stretched.dc(), RECT{8, 8, 48, 48}, true);
    EXPECT_EQ(nearest(stretched.at(28, 14)), kRed) << s.name;
    EXPECT_EQ(nearest(stretched.at(28, 42)), kBlue) << s.name;
    EXPECT_EQ(stretched.at(4, 4), kWhite) << s.name;
    EXPECT_EQ(stretched.at(52, 52), kWhite) << s.name;

    // A box twice as wide as the picture and three quarters as high.
    const int n = s.side;
    Canvas natural;
    image->draw(natural.dc(), RECT{8, 8, 8 + 2 * n, 8 + n * 3 / 4}, false);
    EXPECT_EQ(nearest(natural.at(8 + n / 2, 8 + n / 4)), kRed) << s.name;
    EXPECT_EQ(nearest(natural.at(8 + n / 2, 8 + n * 5 / 8)), kBlue) << s.name;
    EXPECT_EQ(natural.at(8 + n * 3 / 2, 8 + n / 4), kWhite) << s.name;  // not stretched
    EXPECT_EQ(natural.at(8 + n / 2, 8 + n * 7 / 8), kWhite) << s.name;  // cut off at the box
  }
}

TEST(PictureImage, JpegDecodesOnlyWhatItsBoxShows) {
  TempFile file(L"jpeg", jpeg(1600, 1200));
  const struct {
    int boxWidth, boxHeight;
    bool stretch;
    SIZE decoded;
  } cases[] = {
      {220, 165, true, {400, 300}},  // 1/8 would be 200 x 150, short of the box
      {1760, 1320, true, {1600, 1200}},
      {16, 16, false, {1600, 16}},  // natural size: full scale, the top rows
  };
  for (const auto& c : cases) {
    auto image =
        PictureImage::load(file.path(), PictureType::Jpeg, c.boxWidth, c.boxHeight, c.stretch);
    EXPECT_EQ(image->decodedSize().cx, c.decoded.cx) << c.boxWidth;
    EXPECT_EQ(image->decodedSize().cy, c.decoded.cy) << c.boxWidth;
    EXPECT_EQ(image->info(), (PictureInfo{PictureType::Jpeg, 1600, 1200}));
    Canvas canvas;
    image->draw(canvas.dc(), RECT{0, 0, 64, 64}, c.stretch);
    EXPECT_EQ(nearest(canvas.at(32, 8)), kRed) << c.boxWidth;
  }
}

// A bitmap keeps no more pixels than its box shows, reduced with halftone: columns of red and
// blue one pixel wide, halved, average to purple where dropping every other column would
// leave one colour.
TEST(PictureImage, BitmapIsHeldAtTheSizeItIsDrawn) {
  std::string striped = bmp(64, 64, 24, false);
  for (size_t at = 54; at < striped.size(); at += 6) striped.replace(at, 3, "\xFF\0\0", 3);
  TempFile file(L"bmp", striped);
  const struct {
    int boxWidth, boxHeight;
    bool stretch;
    SIZE held;
  } cases[] = {
      {32, 32, true, {32, 32}},
      {100, 50, true, {64, 50}},  // never enlarged, only reduced
      {16, 8, false, {16, 8}},    // natural size: the part the box shows
  };
  for (const auto& c : cases) {
    auto image =
        PictureImage::load(file.path(), PictureType::Bitmap, c.boxWidth, c.boxHeight, c.stretch);
    EXPECT_EQ(image->decodedSize().cx, c.held.cx) << c.boxWidth;
    EXPECT_EQ(image->decodedSize().cy, c.held.cy) << c.boxWidth;
  }
  auto halved = PictureImage::load(file.path(), PictureType::Bitmap, 32, 32);
  Canvas canvas;
  halved->draw(canvas.dc(), RECT{0, 0, 32, 32}, true);
  const COLORREF mixed = canvas.at(16, 8);  // in the red half
  EXPECT_GT(GetRValue(mixed), 60) << std::hex << mixed;
  EXPECT_GT(GetBValue(mixed), 60) << std::hex << mixed;
}

// A bitmap of noise, 8 bits a pixel with a table of 256 colours or 24 or 32 bits.
std::string noisyBmp(int width, int height, int bits, bool topDown) {
  std::string table;
  for (unsigned i = 0; bits == 8 && i < 256; ++i) table += u32(i * 2654435761u >> 8);
  std::string pixels;
  for (int y = 0; y < height; ++y) {
    std::string row;
    for (int x = 0; x < width * bits / 8; ++x)
      row += char((x * 7919u + y * 104729u) * 2654435761u >> 24);
    pixels += row + std::string((4 - row.size() % 4) % 4, '\0');
  }
  const std::string info = u32(40) + u32(width) + u32(topDown ? -height : height) + u16(1) +
                           u16(bits) + u32(0) + u32(0) + u32(0) + u32(0) + u32(table.size() / 4) +
                           u32(0);
  const size_t offset = 14 + info.size() + table.size();
  return "BM" + u32(offset + pixels.size()) + u32(0) + u32(offset) + info + table + pixels;
}

// A stretched bitmap fitted to its box band by band, never whole, comes out pixel for pixel
// as the whole picture reduced at once, whatever the row order and depth.
TEST(PictureImage, BitmapReducedBandByBandEqualsTheWholePictureReduced) {
  const struct {
    int bits;
    bool topDown;
  } cases[] = {{24, false}, {24, true}, {32, false}, {8, false}};
  for (const auto& c : cases) {
    TempFile file(L"bmp", noisyBmp(700, 1100, c.bits, c.topDown));  // three bands
    PictureRequest request;
    request.path = file.path();
    request.type = PictureType::Bitmap;
    request.width = 97, request.height = 61;
    const RenderedPicture rendered = renderPicture(request);
    DIBSECTION section{};
    ASSERT_EQ(GetObjectW(rendered.bitmap.get(), sizeof section, &section), int(sizeof section));
    GdiFlush();
    const auto* banded = static_cast<const uint8_t*>(section.dsBm.bmBits);
    std::vector<uint8_t> whole(97 * 61 * 4);
    auto image = PictureImage::load(file.path(), PictureType::Bitmap, 700, 1100);
    ASSERT_TRUE(image->reduceInto(whole.data(), 97, 61, 97 * 4));
    EXPECT_TRUE(std::equal(whole.begin(), whole.end(), banded)) << c.bits << " " << c.topDown;
  }
}

// Closing the window gives up a decode in progress on every path: a JPEG (baseline and
// progressive) and a bitmap reduced band by band stop instead of finishing.
TEST(PictureImage, AbandonedDecodesStopOnEveryPath) {
  std::vector<jpeg_scan_info> progressive;
  for (int c = 0; c < 3; ++c) progressive.push_back({1, {c}, 0, 63, 0, 0});
  const struct {
    const wchar_t* extension;
    PictureType type;
    std::string bytes;
  } cases[] = {
      {L"jpg", PictureType::Jpeg, jpeg(640, 480)},
      {L"jpg", PictureType::Jpeg,
       testing::encodeJpeg(
           640, 480, JCS_RGB, 90, [](int, int, JSAMPLE* p) { p[0] = p[1] = p[2] = 9; },
           progressive)},
      {L"bmp", PictureType::Bitmap, noisyBmp(640, 480, 24, false)},
  };
  const std::atomic<bool> closing{true};
  for (const auto& c : cases) {
    TempFile file(c.extension, c.bytes);
    PictureRequest request;
    request.path = file.path();
    request.type = c.type;
    request.width = 64, request.height = 48;
    EXPECT_NO_THROW(renderPicture(request));
    request.abandon = &closing;
    EXPECT_THROW(renderPicture(request), PictureError) << int(c.type);
  }
}

// Damaged JPEG bodies load and draw what they hold, or are refused; hostile headers are
// refused before the platform or the decoder allocates anything for them.
TEST(PictureImage, DamagedOrHostileFilesDoNotEndTheProcess) {
  const std::string photo = jpeg(64, 64);
  const size_t body = photo.find("\xFF\xDA") + 14;
  std::string scrambled = photo;
  for (size_t i = body; i + 2 < photo.size(); ++i) scrambled[i] = char(i * 151 % 251);
  for (const std::string& bytes :
       {photo.substr(0, body), photo.substr(0, photo.size() / 2), scrambled, photo.substr(0, 2)}) {
    TempFile file(L"jpg", bytes);
    try {
      auto image = PictureImage::load(file.path(), PictureType::Jpeg, 40, 40);
      Canvas canvas;
      image->draw(canvas.dc(), RECT{0, 0, 40, 40}, true);
    } catch (const PictureError&) {
    }
  }
  std::string huge = photo;  // a frame header declaring 60000 x 60000
  huge.replace(huge.find("\xFF\xC0") + 5, 4, "\xEA\x60\xEA\x60");
  std::string wide = bmp(16, 16, 24, false);
  wide.replace(18, 4, u32(1u << 30));
  std::string bomb = rleBmp(16, 8);  // a few dozen bytes of runs declaring 16384 x 16384
  bomb.replace(18, 8, u32(16384) + u32(16384));
  std::string iconBomb = ico(32);  // the image's own header declaring 16384 x 16384
  iconBomb.replace(22 + 4, 8, u32(16384) + u32(32768));
  std::string shortIcon = ico(32);
  shortIcon.resize(shortIcon.size() - 64);
  std::string runsPastTheFile = rleBmp(16, 8);
  runsPastTheFile.replace(14 + 20, 4, u32(1000));
  // Each is refused where the page reads its size and again where it is drawn: nothing of
  // it is drawn, and the process goes on.
  const struct {
    const char* name;
    std::wstring extension;
    PictureType type;
    std::string bytes;
  } refused[] = {
      {"jpeg of 60000 x 60000", L"jpg", PictureType::Jpeg, huge},
      {"bitmap of 2^30 x 16", L"bmp", PictureType::Bitmap, wide},
      {"run-length bomb", L"bmp", PictureType::Bitmap, bomb},
      {"runs past the file", L"bmp", PictureType::Bitmap, runsPastTheFile},
      {"icon bomb", L"ico", PictureType::Icon, iconBomb},
      {"icon cut short", L"ico", PictureType::Icon, shortIcon},
      {"bare metafile", L"wmf", PictureType::Metafile, wmf(32).substr(22)},
      {"empty bitmap", L"bmp", PictureType::Bitmap, ""},
      {"empty jpeg", L"jpg", PictureType::Jpeg, ""},
      {"empty icon", L"ico", PictureType::Icon, ""},
      {"empty metafile", L"wmf", PictureType::Metafile, ""},
      {"empty enhanced metafile", L"emf", PictureType::EnhancedMetafile, ""},
      {"jpeg cut in its header", L"jpg", PictureType::Jpeg, photo.substr(0, 40)},
      {"bitmap cut in its pixels", L"bmp", PictureType::Bitmap,
       bmp(16, 16, 24, false).substr(0, 300)},
      {"bitmap cut in its header", L"bmp", PictureType::Bitmap,
       bmp(16, 16, 24, false).substr(0, 20)},
      {"jpeg named bmp", L"bmp", PictureType::Bitmap, photo},
      {"bitmap named jpg", L"jpg", PictureType::Jpeg, bmp(16, 16, 24, false)},
      {"bitmap named ico", L"ico", PictureType::Icon, bmp(16, 16, 24, false)},
      {"metafile named emf", L"emf", PictureType::EnhancedMetafile, wmf(32)},
  };
  const win::Win32Environment env;
  for (const auto& r : refused) {
    TempFile file(r.extension, r.bytes);
    EXPECT_THROW(Pictures(env).info(win::narrow(file.path())), PictureError) << r.name;
    EXPECT_THROW(PictureImage::load(file.path(), r.type, 40, 40), PictureError) << r.name;
  }
  TempFile folder(L"bmp");
  ASSERT_TRUE(CreateDirectoryW(folder.path().c_str(), nullptr));
  EXPECT_THROW(Pictures(env).info(win::narrow(folder.path())), PictureError);
  EXPECT_THROW(PictureImage::load(folder.path(), PictureType::Bitmap, 40, 40), PictureError);
  RemoveDirectoryW(folder.path().c_str());
  EXPECT_THROW(PictureImage::load(L"C:\\no\\such.bmp", PictureType::Bitmap, 40, 40), PictureError);
}

// Figures for a full page: 255 camera-sized bitmaps drawn in 220 x 165 cells. Only the
// pixels held are asserted; the time and the process's growth are printed.
TEST(PictureImage, PageOfBitmapsHoldsOnlyWhatItsCellsShow) {
  TempFile file(L"bmp", bmp(1024, 768, 24, false));
  PROCESS_MEMORY_COUNTERS_EX before{}, after{};
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&before),
                       sizeof before);
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  std::vector<std::unique_ptr<PictureImage>> page;
  size_t held = 0;
  for (int i = 0; i < 255; ++i) {
    page.push_back(PictureImage::load(file.path(), PictureType::Bitmap, 220, 165));
    held += size_t(page.back()->decodedSize().cx) * page.back()->decodedSize().cy * 4;
  }
  QueryPerformanceCounter(&end);
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&after),
                       sizeof after);
  std::printf(
      "255 bitmaps of 1024 x 768 in 220 x 165 cells: %.1f MiB of pixels held, working set "
      "grew %.1f MiB, %.2f ms to load one\n",
      held / 1048576.0, (double(after.WorkingSetSize) - double(before.WorkingSetSize)) / 1048576.0,
      double(end.QuadPart - start.QuadPart) * 1000.0 / double(frequency.QuadPart) / 255);
  EXPECT_EQ(held, size_t(255) * 220 * 165 * 4);
}

}  // namespace
}  // namespace risview::pictures
