#include "pictures/jpeg_decoder.h"
#include "pictures/picture_info.h"
#include "pictures/reduce.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/errors.h"
#include "support/doubles.h"
#include "support/picture_files.h"
#ifdef _WIN32
#include "platform/win32.h"
#else
#include "platform/posix_services.h"
#endif

namespace risview::pictures {
namespace {

using risview::testing::FakeEnvironment;

using testing::Bytes;

#ifdef _WIN32
using SystemEnvironment = win::Win32Environment;
#else
using SystemEnvironment = posix::PosixEnvironment;
#endif

std::string bmp(int width, int height, uint32_t headerSize = 40, unsigned bits = 24,
                unsigned compression = 0) {
  return testing::bmpFile(width, height, headerSize, bits, compression);
}

// The bytes with one 32-bit field replaced.
std::string patched(std::string bytes, size_t at, uint32_t value) {
  return bytes.replace(at, 4, Bytes().u32(value).s);
}

// An icon whose first image is a 32-bit bitmap of imageSide (its directory's side when 0)
// with its mask, or the given image bytes.
std::string ico(unsigned side, unsigned type = 1, uint32_t imageOffset = 22, int imageSide = 0,
                std::string image = {}) {
  const int64_t n = imageSide ? imageSide : side ? side : 256;
  if (image.empty()) {
    image = Bytes().u32(40).u32(uint32_t(n)).u32(uint32_t(2 * n)).u16(1).u16(32).zeros(24).s;
    if (!imageSide) image += std::string(size_t(n * n * 4 + (n + 31) / 32 * 4 * n), '\0');
  }
  Bytes b;
  b.u16(0).u16(type).u16(1);                                                          // directory
  b.u8(side).u8(side).u8(0).u8(0).u16(1).u16(32).u32(image.size()).u32(imageOffset);  // first
  return b.s + image;
}

std::string wmf(int left, int top, int right, int bottom, unsigned inch, bool badSum = false) {
  Bytes b;
  b.u32(0x9AC6CDD7).u16(0).u16(left).u16(top).u16(right).u16(bottom).u16(inch).u32(0);
  unsigned sum = 0;
  for (size_t i = 0; i < 20; i += 2) sum ^= uint8_t(b.s[i]) | uint8_t(b.s[i + 1]) << 8;
  b.u16(badSum ? sum ^ 1 : sum);
  b.u16(1).u16(9).u16(0x300).u32(12).u16(0).u32(3).u16(0);  // metafile header
  return b.u32(3).u16(0).s;                                 // end of file record
}

struct Box {
  int32_t left, top, right, bottom;
};

// The reference device: its width and height in pixels, then in millimetres.
struct Device {
  int32_t width = 1024, height = 768, widthMm = 320, heightMm = 240;
};

std::string emf(Box bounds, Box frame, uint32_t declaredBytes = 108, Device device = {}) {
  Bytes b;
  b.u32(1).u32(88);
  for (int32_t v : {bounds.left, bounds.top, bounds.right, bounds.bottom}) b.u32(v);
  for (int32_t v : {frame.left, frame.top, frame.right, frame.bottom}) b.u32(v);
  b.u32(0x464D4520).u32(0x10000).u32(declaredBytes).u32(2).u16(1).u16(0).u32(0).u32(0).u32(0);
  for (int32_t v : {device.width, device.height, device.widthMm, device.heightMm}) b.u32(v);
  return b.u32(14).u32(20).u32(0).u32(16).u32(20).s;  // end of file record
}

// A picture split down the middle: red on the left, blue on the right.
std::string jpeg(int width, int height, J_COLOR_SPACE space = JCS_RGB,
                 const std::vector<jpeg_scan_info>& scans = {}) {
  return testing::encodeJpeg(
      width, height, space, 95,
      [&](int x, int, JSAMPLE* p) {
        bool red = x < width / 2;
        if (space == JCS_GRAYSCALE) p[0] = red ? 76 : 29;  // the luma of red and of blue
        if (space == JCS_RGB) p[0] = red ? 255 : 0, p[1] = 0, p[2] = red ? 0 : 255;
        // Inverted, as with the Adobe marker libjpeg writes for CMYK.
        if (space == JCS_CMYK) p[0] = red ? 255 : 0, p[1] = 0, p[2] = red ? 0 : 255, p[3] = 255;
      },
      scans);
}

// The same JPEG with its frame header declaring another size.
std::string withDeclaredSize(std::string jpeg, unsigned width, unsigned height) {
  size_t sof = jpeg.find("\xFF\xC0");
  jpeg[sof + 5] = char(height >> 8), jpeg[sof + 6] = char(height);
  jpeg[sof + 7] = char(width >> 8), jpeg[sof + 8] = char(width);
  return jpeg;
}

PictureInfo infoOf(const std::string& path, const std::string& bytes) {
  FakeEnvironment env;
  env.files[path] = bytes;
  return Pictures(env).info(path);
}

TEST(Picture, NaturalSizeComesFromTheHeaderOfEachType) {
  using enum PictureType;
  const struct {
    std::string path, bytes;
    PictureInfo info;
  } cases[] = {
      {"C:\\img\\core.BMP", bmp(5, 3, 12, 8), {Bitmap, 5, 3}},  // colours of 3 bytes
      {"C:\\img\\info.bmp", bmp(7, 4), {Bitmap, 7, 4}},
      {"C:\\img\\masks.bmp", bmp(7, 4, 40, 16, 3), {Bitmap, 7, 4}},
      {"C:\\img\\v5.Bmp", bmp(6, -9, 124, 32), {Bitmap, 6, 9}},              // rows stored top-down
      {"C:\\img\\limit.bmp", bmp(8192, 4096, 40, 1), {Bitmap, 8192, 4096}},  // as many as held
      {"C:\\img\\a.ICO", ico(48), {Icon, 48, 48}},
      {"C:\\img\\big.ico", ico(0), {Icon, 256, 256}},
      {"C:\\img\\twips.WMF", wmf(0, 0, 1440, 720, 1440), {Metafile, 96, 48}},
      {"C:\\img\\offset.wmf", wmf(-500, 300, 500, 800, 1000), {Metafile, 96, 48}},
      {"C:\\img\\noinch.wmf", wmf(0, 0, 64, 32, 0), {Metafile, 64, 32}},
      {"C:\\img\\frame.EMF", emf({0, 0, 9, 9}, {0, 0, 2540, 1270}), {EnhancedMetafile, 96, 48}},
      {"C:\\img\\bounds.emf", emf({10, 20, 109, 69}, {0, 0, 0, 0}), {EnhancedMetafile, 100, 50}},
      {"C:\\img\\photo.jpg", jpeg(37, 23), {Jpeg, 37, 23}},
      {"C:\\img\\grey.JPEG", jpeg(8, 9, JCS_GRAYSCALE), {Jpeg, 8, 9}},
      {"C:\\img\\print.Jpg", jpeg(16, 8, JCS_CMYK), {Jpeg, 16, 8}},
  };
  for (const auto& c : cases) EXPECT_EQ(infoOf(c.path, c.bytes), c.info) << c.path;
}

// Players divide by the frame's size and by the reference device's pixels and millimetres.
TEST(Picture, MetafileFrameAndDeviceAreSoundBeforeItIsPlayed) {
  const Device none{0, 0, 0, 0}, dpi96{960, 960, 254, 254};
  const struct {
    const char* what;
    Box bounds, frame;
    Device device;
    Box playedFrame;
    Device playedDevice;
  } cases[] = {
      {"sound", {0, 0, 9, 9}, {0, 0, 2540, 1270}, {}, {0, 0, 2540, 1270}, {}},
      // 10 * 100 * 320 / 1024 = 312.5 and so on, truncated.
      {"empty frame", {10, 20, 109, 69}, {0, 0, 0, 0}, {}, {312, 625, 3437, 2187}, {}},
      {"inverted frame", {0, 0, 95, 47}, {0, 0, -10, 10}, dpi96, {0, 0, 2540, 1270}, dpi96},
      {"no device", {0, 0, 9, 9}, {0, 0, 2540, 1270}, none, {0, 0, 2540, 1270}, dpi96},
      {"no millimetres", {0, 0, 9, 9}, {0, 0, 10, 10}, {1024, 768, 0, 240}, {0, 0, 10, 10}, dpi96},
      {"a device 2000 km wide",
       {0, 0, 9, 9},
       {0, 0, 10, 10},
       {1, 1, 2000000000, 1},
       {0, 0, 10, 10},
       dpi96},
      {"neither", {0, 0, 95, 47}, {0, 0, 0, 0}, none, {0, 0, 2540, 1270}, dpi96},
  };
  for (const auto& c : cases) {
    const std::string played = playableEnhancedMetafile(emf(c.bounds, c.frame, 108, c.device));
    EXPECT_EQ(played, emf(c.bounds, c.playedFrame, 108, c.playedDevice)) << c.what;
  }
}

// Each refusal is a PictureError and the process goes on. Under AddressSanitizer a 60000 x
// 60000 buffer would end the run, so that row also proves nothing of its size is allocated.
TEST(Picture, RefusesFilesThatCannotBeShown) {
  const std::string photo = jpeg(16, 16);
  std::string shortBmp = bmp(4, 4);
  shortBmp.resize(shortBmp.size() - 1);
  const struct {
    std::string path;
    std::optional<std::string> bytes;  // none: no such file
  } cases[] = {
      {"C:\\img\\scan.png", photo},
      {"C:\\img.d\\scan", photo},  // the dot is the folder's
      {"C:\\img\\scan.", photo},
      {"C:\\img\\missing.jpg", std::nullopt},
      {"C:\\img\\empty.jpg", ""},
      {"C:\\img\\text.jpg", "not a picture at all"},
      {"C:\\img\\soi.jpg", photo.substr(0, 2)},
      {"C:\\img\\cut.jpg", photo.substr(0, photo.find("\xFF\xC0") + 6)},
      {"C:\\img\\zero.jpg", withDeclaredSize(photo, 0, 16)},
      {"C:\\img\\huge.jpg", withDeclaredSize(photo, 60000, 60000)},
      {"C:\\img\\cut.bmp", bmp(4, 4).substr(0, 30)},
      {"C:\\img\\short.bmp", shortBmp},
      {"C:\\img\\flat.bmp", bmp(4, 0)},
      {"C:\\img\\wide.bmp", bmp(kMaxPictureSide + 1, 1)},
      {"C:\\img\\magic.bmp", "BA" + bmp(4, 4).substr(2)},
      // The pixels said to start right after the header, the file ending after them.
      {"C:\\img\\palette.bmp", patched(bmp(4, 4, 40, 8), 10, 54).substr(0, 54 + 16)},
      {"C:\\img\\masks.bmp", patched(bmp(1, 1, 40, 16, 3), 10, 54).substr(0, 54 + 4)},
      {"C:\\img\\rle.bmp", patched(bmp(4, 4, 40, 8, 1), 34, 1000)},  // runs past the end
      {"C:\\img\\inner.bmp", bmp(4, 4, 40, 24, 4)},                  // a JPEG inside
      // A few dozen bytes of runs declaring 16384 x 16384: a gigabyte once expanded.
      {"C:\\img\\bomb.bmp",
       patched(patched(patched(bmp(4, 4, 40, 8, 1), 18, 16384), 22, 16384), 34, 2)},
      {"C:\\img\\area.bmp", bmp(8192, 4097, 40, 1)},
      {"C:\\img\\bomb.ico", ico(32, 1, 22, 16384)},  // the image's own header says 16384
      {"C:\\img\\nomask.ico", ico(8, 1, 22, 0, ico(8).substr(22, 40 + 8 * 8 * 4))},
      {"C:\\img\\inner.ico", ico(8, 1, 22, 0, std::string(64, 'x'))},
      {"C:\\img\\png.ico", ico(0, 1, 22, 0,
                               "\x89PNG\r\n\x1A\n" + Bytes().u32(13).s +
                                   std::string("IHDR\0\0\x40\x01\0\0\x40\x01", 12))},
      {"C:\\img\\cursor.ico", ico(32, 2)},
      {"C:\\img\\outside.ico", ico(32, 1, 30)},
      {"C:\\img\\bare.wmf", wmf(0, 0, 10, 10, 96).substr(22)},
      {"C:\\img\\sum.wmf", wmf(0, 0, 10, 10, 96, true)},
      {"C:\\img\\flat.wmf", wmf(0, 0, 10, 0, 96)},
      {"C:\\img\\long.wmf", patched(wmf(0, 0, 10, 10, 96), 28, 1000)},  // more words than the file
      {"C:\\img\\nosize.wmf", patched(wmf(0, 0, 10, 10, 96), 40, 0)},   // a record of no size
      {"C:\\img\\nosize.emf", patched(emf({0, 0, 9, 9}, {0, 0, 254, 254}), 92, 0)},
      {"C:\\img\\past.emf", patched(emf({0, 0, 9, 9}, {0, 0, 254, 254}), 92, 24)},
      {"C:\\img\\cut.emf", emf({0, 0, 9, 9}, {0, 0, 254, 254}, 200)},
      {"C:\\img\\empty.emf", emf({0, 0, -1, -1}, {0, 0, 0, 0})},
  };
  for (const auto& c : cases) {
    FakeEnvironment env;
    if (c.bytes) env.files[c.path] = *c.bytes;
    EXPECT_THROW(Pictures(env).info(c.path), PictureError) << c.path;
  }
}

// A JPEG segment of the marker code, its length in front.
std::string segment(unsigned code, const std::string& body) {
  const size_t length = body.size() + 2;
  return std::string{'\xFF', char(code), char(length >> 8), char(length & 0xFF)} + body;
}

// The bytes with text put in before the first occurrence of the marker.
std::string before(std::string bytes, std::string_view marker, const std::string& text) {
  return bytes.insert(bytes.find(marker), text);
}

// The system's files, each byte read by parts counted.
class CountingEnvironment : public SystemEnvironment {
 public:
  std::unique_ptr<FileReader> openFile(const std::string& path) const override {
    class Counted : public FileReader {
     public:
      Counted(std::unique_ptr<FileReader> file, uint64_t& count)
          : file_(std::move(file)), count_(count) {}
      uint64_t size() const override { return file_->size(); }
      std::optional<std::string> read(uint64_t offset, size_t count) override {
        std::optional<std::string> bytes = file_->read(offset, count);
        if (bytes) count_ += bytes->size();
        return bytes;
      }

     private:
      std::unique_ptr<FileReader> file_;
      uint64_t& count_;
    };
    std::unique_ptr<FileReader> file = SystemEnvironment::openFile(path);
    return file ? std::make_unique<Counted>(std::move(file), bytesRead) : nullptr;
  }
  mutable uint64_t bytesRead = 0;
};

// A file of the bytes in the system's temporary folder while the object lives.
struct TempFile {
  TempFile(const std::string& extension, const std::string& bytes)
      : path(std::filesystem::temp_directory_path() /
             ("risview-" + std::to_string(std::random_device()()) + "." + extension)) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  ~TempFile() {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
  }
  std::filesystem::path path;
};

// A size, or the refusal's text without the path in front.
template <class Read>
std::string outcome(const std::string& path, Read read) {
  try {
    const PictureInfo info = read();
    return std::to_string(info.width) + " x " + std::to_string(info.height);
  } catch (const PictureError& e) {
    const std::string what = e.what();
    return "refused: " + (what.starts_with(path + ": ") ? what.substr(path.size() + 2) : what);
  }
}

// Read through the file's parts, a header gives what the whole file's bytes give: the same
// size, or the same refusal. Only what the header needs is read.
TEST(Picture, HeaderReadByPartsGivesWhatTheWholeFileGives) {
  using enum PictureType;
  std::vector<jpeg_scan_info> progressive = {{3, {0, 1, 2}, 0, 0, 0, 0}};
  for (int c = 0; c < 3; ++c) progressive.push_back({1, {c}, 1, 63, 0, 0});
  const std::string photo = jpeg(37, 23);
  const size_t sof = photo.find("\xFF\xC0"), sos = photo.find("\xFF\xDA");
  // As cameras write them: a thumbnail, itself a JPEG, inside the EXIF data, and a colour
  // profile; neither is read, or the thumbnail's size would be found.
  const std::string thumbnail = jpeg(8, 8);
  const std::string camera =
      photo.substr(0, 2) + segment(0xE1, "Exif" + thumbnail + std::string(60000, 'x')) +
      segment(0xE2, thumbnail + std::string(65000, '\xFF')) + photo.substr(2);
  const std::string large = bmp(1024, 768);
  const auto atSof = [&](const std::string& text) { return before(photo, "\xFF\xC0", text); };
  const struct {
    const char* name;
    PictureType type;
    std::string bytes;
    bool refused;
    uint64_t mostRead = 0;  // 0: not counted
  } cases[] = {
      {"baseline", Jpeg, photo, false},
      {"progressive", Jpeg, jpeg(32, 32, JCS_RGB, progressive), false},
      {"camera: 60 KB of APP1, 65 KB of APP2", Jpeg, camera, false, 16384},
      {"CMYK with APP14", Jpeg, jpeg(16, 8, JCS_CMYK), false},
      {"grey", Jpeg, jpeg(8, 9, JCS_GRAYSCALE), false},
      {"fill bytes", Jpeg, atSof("\xFF\xFF\xFF"), false},
      {"stray bytes and FF 00", Jpeg, atSof(std::string("\x12\x00\xFF\x00\x34", 5)), false},
      {"RST0 and TEM", Jpeg, atSof("\xFF\xD0\xFF\x01"), false},
      {"comment", Jpeg, atSof(segment(0xFE, "made here")), false},
      {"APP0 holding a thumbnail", Jpeg, atSof(segment(0xE0, "JFXX" + std::string(9000, 'x'))),
       false},
      {"APPn of length 1", Jpeg, atSof(std::string("\xFF\xE3\x00\x01", 4)), false},
      {"APP0 of length 0", Jpeg, atSof(std::string("\xFF\xE0\x00\x00", 4)), false},
      {"second SOI", Jpeg, atSof("\xFF\xD8"), true},
      {"EOI before SOF", Jpeg, atSof("\xFF\xD9"), true},
      {"unknown marker", Jpeg, atSof(segment(0x02, "ab")), true},
      {"cut inside SOI", Jpeg, photo.substr(0, 1), true},
      {"only SOI", Jpeg, photo.substr(0, 2), true},
      {"cut inside APP1", Jpeg, camera.substr(0, 2 + 4 + 1000), true},
      {"cut inside APP1's length", Jpeg, camera.substr(0, 2 + 3), true},
      {"cut inside SOF", Jpeg, photo.substr(0, sof + 6), true},
      {"cut before SOS", Jpeg, photo.substr(0, sos), true},
      {"cut inside SOS", Jpeg, photo.substr(0, sos + 5), true},
      {"APP1 past the end", Jpeg, photo.substr(0, sof) + "\xFF\xE1\xFF\xF0" + photo.substr(sof, 40),
       true},
      {"DQT past the end", Jpeg, photo.substr(0, sof) + std::string("\xFF\xDB\xFF\xF0\x00\x01", 6),
       true},
      {"empty", Jpeg, "", true},
      {"a bitmap named jpg", Jpeg, bmp(4, 4), true},
      {"zero width", Jpeg, withDeclaredSize(photo, 0, 16), true},
      {"60000 x 60000", Jpeg, withDeclaredSize(photo, 60000, 60000), true},
      {"bitmap", Bitmap, bmp(7, 4), false},
      {"bitmap of the core header, with colours", Bitmap, bmp(5, 3, 12, 8), false},
      {"bitmap with 256 colours", Bitmap, bmp(4, 4, 40, 8), false},
      {"bitmap with masks", Bitmap, bmp(7, 4, 40, 16, 3), false},
      {"large bitmap", Bitmap, large, false, 2048},
      {"bitmap cut in its pixels", Bitmap, large.substr(0, large.size() - 1), true},
      {"bitmap cut in its colours", Bitmap, patched(bmp(4, 4, 40, 8), 10, 54).substr(0, 70), true},
      {"bitmap cut in its header", Bitmap, bmp(4, 4).substr(0, 30), true},
      {"bitmap of an unknown header size", Bitmap, patched(bmp(4, 4), 14, 64), true},
      {"bitmap header larger than its head", Bitmap, patched(large, 14, 5000), true},
      {"bitmap header larger than the file", Bitmap, patched(bmp(4, 4), 14, 5000), true},
      {"icon", Icon, ico(48), false},
      {"metafile", Metafile, wmf(0, 0, 1440, 720, 1440), false},
      {"enhanced metafile", EnhancedMetafile, emf({0, 0, 9, 9}, {0, 0, 2540, 1270}), false},
  };
  for (const auto& c : cases) {
    const char* extension = c.type == Jpeg       ? "jpg"
                            : c.type == Bitmap   ? "bmp"
                            : c.type == Icon     ? "ico"
                            : c.type == Metafile ? "wmf"
                                                 : "emf";
    const std::string whole = outcome("", [&] { return readPictureInfo(c.type, c.bytes); });
    EXPECT_EQ(whole.starts_with("refused"), c.refused) << c.name << ": " << whole;
    FakeEnvironment fake;
    const std::string fakePath = std::string("C:\\img\\picture.") + extension;
    fake.files[fakePath] = c.bytes;
    EXPECT_EQ(outcome(fakePath, [&] { return Pictures(fake).info(fakePath); }), whole) << c.name;
    const TempFile file(extension, c.bytes);
    const CountingEnvironment env;
    const std::string path = file.path.string();
    EXPECT_EQ(outcome(path, [&] { return Pictures(env).info(path); }), whole) << c.name;
    if (c.mostRead) {
      EXPECT_LE(env.bytesRead, c.mostRead) << c.name;
    }
  }
}

// A run-length bitmap of 4 x 2 (5 x 1 where said) with the given codes, its colours 0, 1,
// 2, ... never read here.
std::string rle(unsigned bits, const std::string& codes, int width = 4, int height = 2) {
  const size_t table = (size_t{1} << bits) * 4, offset = 14 + 40 + table;
  Bytes b;
  b.u16(0x4D42).u32(offset + codes.size()).u32(0).u32(offset).u32(40).u32(width).u32(height);
  b.u16(1).u16(bits).u32(bits == 8 ? 1 : 2).u32(codes.size()).zeros(16).zeros(table);
  return b.s + codes;
}

// Bottom row first; 9 marks pixels the codes skip or never reach.
TEST(Picture, RunLengthCodesExpandOnlyInsideThePicture) {
  const auto codes = [](std::initializer_list<int> bytes) {
    std::string s;
    for (int v : bytes) s += char(v);
    return s;
  };
  const struct {
    const char* name;
    std::string bytes;
    std::vector<uint8_t> indices;
  } cases[] = {
      {"runs and rows", rle(8, codes({3, 5, 0, 0, 2, 7, 0, 1})), {5, 5, 5, 9, 7, 7, 9, 9}},
      {"literal padded to a word",
       rle(8, codes({0, 3, 1, 2, 3, 0, 0, 0, 1, 4, 0, 1})),
       {1, 2, 3, 9, 4, 9, 9, 9}},
      {"jump right and up",
       rle(8, codes({1, 1, 0, 2, 2, 1, 1, 2, 0, 1})),
       {1, 9, 9, 9, 9, 9, 9, 2}},
      {"jump past the row's end",
       rle(8, codes({0, 2, 255, 0, 1, 1, 0, 0, 1, 3})),
       {9, 9, 9, 9, 3, 9, 9, 9}},
      {"run past the row's end",
       rle(8, codes({200, 6, 0, 0, 1, 3, 0, 1})),
       {6, 6, 6, 6, 3, 9, 9, 9}},
      {"rows past the top",
       rle(8, codes({1, 1, 0, 0, 0, 0, 0, 0, 4, 4, 0, 2, 0, 200, 1, 1})),
       {1, 9, 9, 9, 9, 9, 9, 9}},
      {"data ends within a row", rle(8, codes({2, 4})), {4, 4, 9, 9, 9, 9, 9, 9}},
      {"literal longer than the data", rle(8, codes({0, 5, 1, 2, 3})), {9, 9, 9, 9, 9, 9, 9, 9}},
      {"jump cut off", rle(8, codes({1, 1, 0, 2, 1})), {1, 9, 9, 9, 9, 9, 9, 9}},
      {"4 bits",
       rle(4, codes({3, 0x12, 0, 0, 0, 3, 0xAB, 0xC0, 0, 1})),
       {1, 2, 1, 9, 10, 11, 12, 9}},
      {"rows padded", rle(8, codes({5, 1}), 5, 1), {1, 1, 1, 1, 1, 9, 9, 9}},
  };
  for (const auto& c : cases) EXPECT_EQ(expandRunLength(c.bytes, 9), c.indices) << c.name;
  EXPECT_THROW(expandRunLength(bmp(4, 4, 40, 8), 9), PictureError);
}

// One channel shown of the four; every channel is reduced alike.
TEST(Picture, ReducedPixelsAverageTheAreaBehindThem) {
  const struct {
    const char* name;
    int sourceWidth, sourceHeight;
    std::vector<uint8_t> source;
    int width, height;
    std::vector<uint8_t> reduced;
  } cases[] = {
      {"halved", 4, 1, {0, 255, 0, 255}, 2, 1, {128, 128}},
      {"pixels split between two", 3, 1, {0, 90, 180}, 2, 1, {30, 150}},  // (90 / 2) / 1.5
      {"rows", 1, 3, {0, 90, 180}, 1, 2, {30, 150}},
      {"both ways", 2, 2, {10, 20, 30, 40}, 1, 1, {25}},
      {"unchanged", 2, 1, {7, 9}, 2, 1, {7, 9}},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> source, target(size_t(c.width) * c.height * 4 + 8, 77);
    for (uint8_t v : c.source) source.insert(source.end(), {v, uint8_t(255 - v), v, 255});
    reducePixels(source.data(), c.sourceWidth, c.sourceHeight, std::ptrdiff_t{c.sourceWidth} * 4,
                 target.data(), c.width, c.height, std::ptrdiff_t{c.width} * 4);
    for (size_t i = 0; i < c.reduced.size(); ++i) {
      EXPECT_EQ(target[i * 4], c.reduced[i]) << c.name << " pixel " << i;
      EXPECT_NEAR(target[i * 4 + 1], 255 - c.reduced[i], 1) << c.name << " pixel " << i;
      EXPECT_EQ(target[i * 4 + 3], 255) << c.name;
    }
    EXPECT_EQ(target[target.size() - 1], 77) << c.name;  // nothing written past the target
  }
}

TEST(Picture, JpegScaleIsTheSmallestThatStillCoversTheBox) {
  const struct {
    int width, height, boxWidth, boxHeight, eighths;
  } cases[] = {
      {1600, 1200, 220, 165, 2},  // 1/8 gives 200 x 150
      {1760, 1320, 220, 165, 1},  // 1/8 gives exactly the box
      {1760, 1320, 221, 165, 2},  // one pixel short
      {1599, 1199, 200, 150, 1},  // libjpeg rounds the scaled size up
      {1200, 1600, 220, 165, 2},  // the narrow side decides
      {800, 600, 380, 380, 6},
      {300, 200, 380, 380, 8},  // smaller than the box: the whole picture
      {3000, 2400, 0, 0, 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(jpegScaleEighths(c.width, c.height, c.boxWidth, c.boxHeight), c.eighths)
        << c.width << "x" << c.height << " in " << c.boxWidth << "x" << c.boxHeight;
  }
}

struct Bgr {
  int b, g, r;
};

std::vector<uint8_t> decode(JpegDecoder& decoder) {
  std::vector<uint8_t> pixels(size_t(decoder.width()) * decoder.height() * 4);
  decoder.decodeInto(pixels.data(), std::ptrdiff_t{decoder.width()} * 4);
  return pixels;
}

TEST(Picture, JpegDecodesToBgraAtTheSizeTheBoxNeeds) {
  const Bgr red{0, 0, 255}, blue{255, 0, 0}, grey76{76, 76, 76}, grey29{29, 29, 29};
  std::vector<jpeg_scan_info> progressive = {{3, {0, 1, 2}, 0, 0, 0, 0}};
  for (int c = 0; c < 3; ++c) progressive.push_back({1, {c}, 1, 63, 0, 0});
  const struct {
    const char* name;
    std::string bytes;
    int boxWidth, boxHeight;
    bool stretch;
    int width, height;
    Bgr left, right;
  } cases[] = {
      {"quarter", jpeg(64, 48), 16, 12, true, 16, 12, red, blue},
      {"whole", jpeg(64, 48), 100, 100, true, 64, 48, red, blue},
      {"natural, rows cut at the box", jpeg(64, 48), 10, 5, false, 64, 5, red, blue},
      {"grey", jpeg(32, 32, JCS_GRAYSCALE), 32, 32, true, 32, 32, grey76, grey29},
      {"cmyk", jpeg(32, 32, JCS_CMYK), 32, 32, true, 32, 32, red, blue},
      {"progressive", jpeg(32, 32, JCS_RGB, progressive), 8, 8, true, 8, 8, red, blue},
  };
  for (const auto& c : cases) {
    JpegDecoder decoder(c.bytes, c.boxWidth, c.boxHeight, c.stretch);
    ASSERT_EQ(decoder.width(), c.width) << c.name;
    ASSERT_EQ(decoder.height(), c.height) << c.name;
    std::vector<uint8_t> pixels = decode(decoder);
    const int y = c.height / 2;
    for (auto [x, want] : {std::pair{c.width / 4, c.left}, {c.width * 3 / 4, c.right}}) {
      const uint8_t* p = &pixels[(size_t(y) * c.width + x) * 4];
      EXPECT_NEAR(p[0], want.b, 12) << c.name << " x=" << x;
      EXPECT_NEAR(p[1], want.g, 12) << c.name << " x=" << x;
      EXPECT_NEAR(p[2], want.r, 12) << c.name << " x=" << x;
      EXPECT_EQ(p[3], 255) << c.name;
    }
  }
}

// A decode given up (its window closed) stops at once, whether its work is in the rows
// (baseline) or in reading every scan before the first row (progressive).
TEST(Picture, AnAbandonedJpegDecodeStops) {
  std::vector<jpeg_scan_info> progressive = {{3, {0, 1, 2}, 0, 0, 0, 0}};
  for (int c = 0; c < 3; ++c) progressive.push_back({1, {c}, 1, 63, 0, 0});
  const std::atomic<bool> closing{true};
  for (const auto& scans : {std::vector<jpeg_scan_info>{}, progressive}) {
    const std::string bytes = testing::encodeJpeg(
        320, 240, JCS_RGB, 90, [](int x, int, JSAMPLE* p) { p[0] = p[1] = p[2] = JSAMPLE(x); },
        scans);
    JpegDecoder decoder(bytes, 320, 240, true);
    std::vector<uint8_t> pixels(size_t(decoder.width()) * decoder.height() * 4);
    EXPECT_THROW(decoder.decodeInto(pixels.data(), std::ptrdiff_t{decoder.width()} * 4, &closing),
                 PictureError)
        << scans.size() << " scans";
  }
}

// A body that ends early or carries damaged codes is decoded as far as it goes or refused;
// the sanitizers watch that no byte outside the data or the pixels is touched.
TEST(Picture, DamagedJpegBodiesAreDecodedOrRefused) {
  const std::string photo = jpeg(64, 64);
  const size_t body = photo.find("\xFF\xDA") + 14;  // past the scan header
  std::string zeroed = photo, scrambled = photo;
  for (size_t i = body; i + 2 < photo.size(); ++i) {
    zeroed[i] = 0;
    scrambled[i] = char(i * 151 % 251);
  }
  for (const std::string& bytes :
       {photo.substr(0, body), photo.substr(0, (body + photo.size()) / 2), zeroed, scrambled}) {
    try {
      JpegDecoder decoder(bytes, 64, 64, true);
      decode(decoder);
    } catch (const PictureError&) {
    }
  }
  // Every coefficient of a grey picture refined bit by bit: 641 scans, each a walk over the
  // whole image. Beyond 500 scans a file is refused.
  std::vector<jpeg_scan_info> scans = {{1, {0}, 0, 0, 0, 10}};
  for (int bit = 10; bit > 0; --bit) scans.push_back({1, {0}, 0, 0, bit, bit - 1});
  for (int k = 1; k < 64; ++k) {
    scans.push_back({1, {0}, k, k, 0, 9});
    for (int bit = 9; bit > 0; --bit) scans.push_back({1, {0}, k, k, bit, bit - 1});
  }
  JpegDecoder slow(jpeg(8, 8, JCS_GRAYSCALE, scans), 8, 8, true);
  EXPECT_THROW(decode(slow), PictureError);
}

// The side bound lets a JPEG declare 16384 x 16384: decoded for a cell it is 2048 x 2048,
// decoded whole it would be a gigabyte of pixels.
TEST(Picture, JpegOutputIsBoundedBeforeItIsAllocated) {
  const std::string huge = withDeclaredSize(jpeg(16, 16), 16384, 16384);
  EXPECT_EQ(JpegDecoder(huge, 220, 165, true).width(), 2048);
  EXPECT_THROW(JpegDecoder(huge, 16384, 16384, true), PictureError);
  EXPECT_EQ(JpegDecoder(huge, 16, 16, false).height(), 16);  // at natural size, only its rows
}

}  // namespace
}  // namespace risview::pictures
