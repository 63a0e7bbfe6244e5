#include "pictures/jpeg_decoder.h"

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <string>

// jpeglib.h needs FILE and size_t declared before it.
#include <cstdio>

#include <jpeglib.h>

#include "pictures/bounds.h"
#include "platform/errors.h"

namespace risview::pictures {

namespace {

// More scans than any encoder writes: a progressive file with thousands of tiny scans makes
// the decoder walk the whole image for each one, holding the window for minutes.
constexpr int kMaxJpegScans = 500;
// Whole-image coefficient buffers (progressive files) beyond this are refused.
constexpr long kMaxJpegWorkingMemory = 256L << 20;
constexpr const char* kTooLargeJpeg = "JPEG file too large";

// libjpeg reports a fatal error by calling error_exit, which must not return; it jumps
// back to the guard of the libjpeg call under way (a C++ exception cannot cross the C
// library's frames). Warnings are not shown: corrupt data it can step over is decoded.
struct JpegErrors {
  jpeg_error_mgr manager;  // first: libjpeg hands this address back
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void jumpBack(j_common_ptr cinfo) {
  auto* errors = reinterpret_cast<JpegErrors*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, errors->message);
  std::longjmp(errors->jump, 1);
}

void stayQuiet(j_common_ptr) {}

// libjpeg's progress calls, with what may stop a decode early: the window it is for closing.
struct JpegProgress {
  jpeg_progress_mgr manager;  // first: libjpeg hands this address back
  const std::atomic<bool>* abandon = nullptr;
};

void limitScans(j_common_ptr cinfo) {
  auto* errors = reinterpret_cast<JpegErrors*>(cinfo->err);
  if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxJpegScans) {
    std::snprintf(errors->message, sizeof errors->message, "more than %d scans", kMaxJpegScans);
    std::longjmp(errors->jump, 1);
  }
  const auto* progress = reinterpret_cast<const JpegProgress*>(cinfo->progress);
  if (progress->abandon && progress->abandon->load(std::memory_order_relaxed)) {
    std::snprintf(errors->message, sizeof errors->message, "decoding abandoned");
    std::longjmp(errors->jump, 1);
  }
}

// Runs one libjpeg step; false when libjpeg gave up, its reason in errors.message. Nothing
// with a destructor lives in this frame or in the step's, so the jump skips no cleanup.
template <class Step>
bool guarded(JpegErrors& errors, Step step) {
  if (setjmp(errors.jump)) return false;
  step();
  return true;
}

// One decompression over bytes in memory, header read and bounded.
class Decompression {
 public:
  explicit Decompression(std::string_view bytes) {
    jpeg_decompress_struct& cinfo = object_.cinfo;
    cinfo.err = jpeg_std_error(&errors_.manager);
    errors_.manager.error_exit = jumpBack;
    errors_.manager.output_message = stayQuiet;
    progress_.manager.progress_monitor = limitScans;
    if (bytes.size() > kMaxJpegBytes) refuse(kTooLargeJpeg);
    check(guarded(errors_, [&] {
      jpeg_create_decompress(&cinfo);
      cinfo.progress = &progress_.manager;
      cinfo.mem->max_memory_to_use = kMaxJpegWorkingMemory;
      jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.data()),
                   static_cast<unsigned long>(bytes.size()));
      jpeg_read_header(&cinfo, TRUE);
    }));
    info_ = sized(PictureType::Jpeg, cinfo.image_width, cinfo.image_height);
    switch (cinfo.jpeg_color_space) {
      case JCS_GRAYSCALE:
      case JCS_YCbCr:
      case JCS_RGB:
        cinfo.out_color_space = JCS_EXT_BGRA;
        break;
      case JCS_CMYK:
      case JCS_YCCK:
        cinfo.out_color_space = JCS_CMYK;  // converted row by row below
        break;
      default:
        refuse("JPEG of an unknown colour model");
    }
  }
  const PictureInfo& info() const { return info_; }
  jpeg_decompress_struct& cinfo() { return object_.cinfo; }
  void abandonWhen(const std::atomic<bool>* abandon) { progress_.abandon = abandon; }
  JpegErrors& errors() { return errors_; }
  void check(bool ok) {
    if (!ok) refuse(std::string("JPEG: ") + errors_.message);
  }

 private:
  // Released even when the constructor refuses the header; destroyed before the error and
  // progress managers it points to.
  struct Object {
    Object() = default;
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;
    ~Object() { jpeg_destroy_decompress(&cinfo); }
    jpeg_decompress_struct cinfo{};
  };
  JpegErrors errors_{};
  JpegProgress progress_{};
  Object object_;
  PictureInfo info_;
};

// CMYK as Adobe writes it (inverted, flagged by its APP14 marker) or plain, to blue, green,
// red, 255 in place: the four input bytes of a pixel become its four output bytes.
void cmykToBgra(uint8_t* row, unsigned width, bool inverted) {
  for (unsigned x = 0; x < width; ++x, row += 4) {
    unsigned c = row[0], m = row[1], y = row[2], k = row[3];
    if (!inverted) c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
    row[0] = static_cast<uint8_t>(y * k / 255);
    row[1] = static_cast<uint8_t>(m * k / 255);
    row[2] = static_cast<uint8_t>(c * k / 255);
    row[3] = 255;
  }
}

}  // namespace

PictureInfo jpegInfo(std::string_view bytes) {
  return Decompression(bytes).info();
}

int jpegScaleEighths(int width, int height, int boxWidth, int boxHeight) {
  for (int64_t eighths = 1; eighths < 8; ++eighths) {
    // The decoder's output size at eighths/8, rounded up as libjpeg rounds it.
    if ((width * eighths + 7) / 8 >= boxWidth && (height * eighths + 7) / 8 >= boxHeight) {
      return static_cast<int>(eighths);
    }
  }
  return 8;
}

struct JpegDecoder::State {
  explicit State(std::string_view bytes) : jpeg(bytes) {}
  Decompression jpeg;
  int rows = 0;
  bool decoded = false;
};

JpegDecoder::JpegDecoder(std::string_view bytes, int boxWidth, int boxHeight, bool stretch)
    : state_(std::make_unique<State>(bytes)) {
  jpeg_decompress_struct& cinfo = state_->jpeg.cinfo();
  const PictureInfo& info = state_->jpeg.info();
  cinfo.scale_num = stretch ? jpegScaleEighths(info.width, info.height, boxWidth, boxHeight) : 8;
  cinfo.scale_denom = 8;
  state_->jpeg.check(guarded(state_->jpeg.errors(), [&] { jpeg_calc_output_dimensions(&cinfo); }));
  state_->rows = static_cast<int>(cinfo.output_height);
  if (!stretch) state_->rows = std::clamp(boxHeight, 1, state_->rows);
  if (int64_t{cinfo.output_width} * state_->rows > kMaxPicturePixels) {
    refuse("JPEG decoded to " + std::to_string(cinfo.output_width) + " x " +
           std::to_string(state_->rows) + " pixels is larger than " +
           std::to_string(kMaxPicturePixels) + " pixels");
  }
}

JpegDecoder::~JpegDecoder() = default;

PictureInfo JpegDecoder::info() const {
  return state_->jpeg.info();
}
int JpegDecoder::width() const {
  return static_cast<int>(state_->jpeg.cinfo().output_width);
}
int JpegDecoder::height() const {
  return state_->rows;
}
int64_t JpegDecoder::workingBytes() const {
  const jpeg_decompress_struct& cinfo = state_->jpeg.cinfo();
  if (!cinfo.progressive_mode) return int64_t{cinfo.output_width} * 4 * 16;
  int64_t bytes = 0;
  for (int i = 0; i < cinfo.num_components; ++i) {
    const jpeg_component_info& c = cinfo.comp_info[i];
    bytes += int64_t{c.width_in_blocks} * c.height_in_blocks * DCTSIZE2 *
             static_cast<int64_t>(sizeof(JCOEF));
  }
  return bytes;
}

void JpegDecoder::decodeInto(std::uint8_t* pixels, std::ptrdiff_t stride,
                             const std::atomic<bool>* abandon) {
  if (state_->decoded) refuse("JPEG decoded twice");
  state_->decoded = true;
  // Looked at whenever libjpeg reports progress: a row, or a scan of a progressive file.
  state_->jpeg.abandonWhen(abandon);
  jpeg_decompress_struct& cinfo = state_->jpeg.cinfo();
  const unsigned rows = static_cast<unsigned>(state_->rows);
  const bool inverted = cinfo.saw_Adobe_marker;
  state_->jpeg.check(guarded(state_->jpeg.errors(), [&] {
    jpeg_start_decompress(&cinfo);
    while (cinfo.output_scanline < rows) {
      uint8_t* row = pixels + stride * cinfo.output_scanline;
      JSAMPROW rowPointer = row;
      // Data in memory never suspends the decoder; a row not given would loop forever.
      if (jpeg_read_scanlines(&cinfo, &rowPointer, 1) != 1) break;
      if (cinfo.out_color_space == JCS_CMYK) cmykToBgra(row, cinfo.output_width, inverted);
    }
    jpeg_abort_decompress(&cinfo);
  }));
}

}  // namespace risview::pictures
