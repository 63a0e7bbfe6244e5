// bench-figures FIXTUREDIR [--repeat N] [--clock cpu|wall]: what opening the generated reports
// costs natively, as tables of medians and ratios, and the goal lines worked out from them.
// Everything is read from the files bench-fixture wrote; boxes are the drawn sizes of the Image
// components of the built pages. Figures only: nothing here passes or fails a build.
//
// Paths compared for one picture:
//   ours   the page's header read while it is built (Pictures::info), then at paint the
//          file read and decoded at the smallest eighth covering its box (JpegDecoder),
//          reduced to the box by reducePixels;
//   full   the file read, decoded whole, reduced to the box the same way: what a page that
//          loads every picture while it is built holds and stretches;
//   bare   libjpeg-turbo on its own: the same eighth, straight into one buffer.
//
// Peak memory: each path runs in a freshly started child process (this program again, with
// --memory), which resets the kernel's peak resident set (/proc/self/clear_refs) just before
// the path and reports VmHWM minus VmRSS of that moment, so that the driver, the database
// and the program itself are not counted.
#include <cstdio>  // jpeglib.h needs FILE

#include <jpeglib.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "data/database.h"
#include "model/page_model.h"
#include "platform/picture.h"
#include "platform/posix_services.h"
#include "preview/report_loading.h"
#include "support/doubles.h"
#include "support/fixture.h"

namespace {

using risview::JpegDecoder;
using risview::PictureType;
namespace fs = std::filesystem;

int repeat = 5;
// The machine's CPUs are shared with other work: the process's own CPU time (user and
// system, page faults and file copies included) keeps a path's figure from growing with
// someone else's load, which wall time does not. --clock wall measures what a user waits.
bool wallClock = false;

// ---- Pixels and the three decoding paths ----

// Written before read, as a DIB section is: no zeroing.
struct Pixels {
  int width = 0, height = 0;
  std::unique_ptr<uint8_t[]> data;
  Pixels() = default;
  Pixels(int w, int h)
      : width(w), height(h), data(std::make_unique_for_overwrite<uint8_t[]>(size_t(w) * h * 4)) {}
  std::ptrdiff_t stride() const { return std::ptrdiff_t{width} * 4; }
};

// Never larger than the source: a picture smaller than its box is enlarged by the platform's
// stretching when drawn, which is no part of these paths.
Pixels reduced(const Pixels& source, int boxWidth, int boxHeight) {
  Pixels out(std::min(boxWidth, source.width), std::min(boxHeight, source.height));
  risview::reducePixels(source.data.get(), source.width, source.height, source.stride(),
                        out.data.get(), out.width, out.height, out.stride());
  return out;
}

const risview::posix::PosixEnvironment& environment() {
  static const risview::posix::PosixEnvironment env;
  return env;
}

std::string readWithEnvironment(const std::string& path) {
  auto bytes = environment().readFile(path);
  if (!bytes) throw std::runtime_error("cannot read " + path);
  return std::move(*bytes);
}

// The plain way: the size first, then one read.
std::string readWhole(const std::string& path) {
  std::string native = path;
  std::replace(native.begin(), native.end(), '\\', '/');
  std::ifstream in(native, std::ios::binary | std::ios::ate);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::string bytes(static_cast<size_t>(in.tellg()), '\0');
  in.seekg(0);
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

bool isJpeg(const std::string& path) {
  return risview::pictureTypeOf(path) == PictureType::Jpeg;
}

Pixels decodeJpeg(const std::string& bytes, int boxWidth, int boxHeight) {
  JpegDecoder decoder(bytes, boxWidth, boxHeight, true);
  Pixels px(decoder.width(), decoder.height());
  decoder.decodeInto(px.data.get(), px.stride());
  return px;
}

Pixels decodeJpegWhole(const std::string& bytes) {
  const risview::PictureInfo info = risview::readPictureInfo(PictureType::Jpeg, bytes);
  return decodeJpeg(bytes, info.width, info.height);
}

// A 24-bit bitmap expanded to 4 bytes a pixel, top row first: what the platform holds of it.
Pixels expandBitmap(const std::string& bytes) {
  const risview::PictureInfo info = risview::readPictureInfo(PictureType::Bitmap, bytes);
  const risview::BitmapParts parts = risview::bitmapParts(bytes);
  if (parts.bits != 24 || parts.runLength) throw std::runtime_error("not a 24-bit bitmap");
  Pixels px(info.width, info.height);
  const size_t stride = (size_t(info.width) * 3 + 3) & ~size_t{3};
  for (int y = 0; y < info.height; ++y) {
    const auto* in = reinterpret_cast<const uint8_t*>(bytes.data()) + parts.pixels +
                     stride * (info.height - 1 - y);
    uint8_t* out = px.data.get() + px.stride() * y;
    for (int x = 0; x < info.width; ++x, in += 3, out += 4) {
      out[0] = in[0], out[1] = in[1], out[2] = in[2], out[3] = 255;
    }
  }
  return px;
}

// Our path at paint: the file read again and decoded at the drawn size.
Pixels paintOurs(const std::string& path, int boxWidth, int boxHeight) {
  const std::string bytes = readWithEnvironment(path);
  if (!isJpeg(path)) return reduced(expandBitmap(bytes), boxWidth, boxHeight);
  return reduced(decodeJpeg(bytes, boxWidth, boxHeight), boxWidth, boxHeight);
}

// The whole picture, as a page that loads its pictures while it is built holds it.
Pixels loadWhole(const std::string& path) {
  const std::string bytes = readWithEnvironment(path);
  return isJpeg(path) ? decodeJpegWhole(bytes) : expandBitmap(bytes);
}

// libjpeg-turbo's own scaled decode; the files are ours, so its default error handling
// (which ends the program) is enough.
Pixels decodeBare(const std::string& bytes, int eighths) {
  jpeg_decompress_struct c{};
  jpeg_error_mgr errors{};
  c.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&c);
  jpeg_mem_src(&c, reinterpret_cast<const unsigned char*>(bytes.data()),
               static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&c, TRUE);
  c.scale_num = static_cast<unsigned>(eighths);
  c.scale_denom = 8;
  c.out_color_space = JCS_EXT_BGRX;
  jpeg_start_decompress(&c);
  Pixels px(static_cast<int>(c.output_width), static_cast<int>(c.output_height));
  std::vector<JSAMPROW> rows(c.output_height);
  for (size_t y = 0; y < rows.size(); ++y)
    rows[y] = px.data.get() + px.stride() * std::ptrdiff_t(y);
  while (c.output_scanline < c.output_height) {
    jpeg_read_scanlines(&c, rows.data() + c.output_scanline, c.output_height - c.output_scanline);
  }
  jpeg_finish_decompress(&c);
  jpeg_destroy_decompress(&c);
  return px;
}

// ---- Reports ----

// One generated report in a SQLite database of its own, and the context its pages are built
// in: fake services and fixed text metrics as the suites use, pictures from the disk.
class Report {
 public:
  explicit Report(const std::string& reportName)
      : name(reportName), db(risview::testing::Backend::Sqlite, risview::testing::Schema::Ris) {
    std::ifstream in(name + ".sql", std::ios::binary);
    if (!in) throw std::runtime_error("no " + name + ".sql in the fixture folder");
    std::stringstream text;
    text << in.rdbuf();
    // The generator ends every statement at a line's end.
    const std::string sql = text.str();
    for (size_t start = 0; start < sql.size();) {
      size_t end = sql.find(";\n", start);
      if (end == std::string::npos) end = sql.size();
      const std::string statement = sql.substr(start, end - start);
      if (statement.find("INSERT") != std::string::npos) db.execute(statement);
      start = end + 2;
    }
    risview::data::Query q(db.connection());
    q.setSql("select RequisitionID from RIS_REQUEST");
    q.open();
    requisitionId = q.field("RequisitionID").asString();
  }
  Report(const Report&) = delete;
  Report& operator=(const Report&) = delete;

  risview::preview::LoadedReport load() {
    return risview::preview::LoadReport(requisitionId, context);
  }

  std::string name, requisitionId;
  risview::testing::Fixture db;
  risview::testing::FakeServices services;
  risview::Services view = services.services();
  risview::ui::FixedTextMetrics metrics;
  risview::Pictures pictures{environment()};
  risview::pages::PageContext context{view, db.connection(), metrics, pictures};
};

// A picture as a built page draws it.
struct Drawn {
  size_t tab = 0;
  std::string sheet, file;
  int width = 0, height = 0;      // the Image component's size: the box it is drawn into
  int natural = 0, naturalH = 0;  // the picture's own size
};

std::vector<Drawn> drawnPictures(const risview::preview::LoadedReport& report) {
  std::vector<Drawn> out;
  for (size_t t = 0; t < report.tabs.size(); ++t) {
    for (const auto& c : report.tabs[t].page->model().components()) {
      if (c.kind != risview::ui::Kind::Image || c.file.empty() || !c.visible) continue;
      out.push_back(
          {t, c.parent, c.file, c.rect.width, c.rect.height, c.pictureWidth, c.pictureHeight});
    }
  }
  return out;
}

// The pictures of the first sheet shown: the window brings the last page to the front when
// the report opens, and shows that page's first sheet, Paper.
std::vector<Drawn> firstSheet(const risview::preview::LoadedReport& report) {
  std::vector<Drawn> out;
  for (const Drawn& d : drawnPictures(report)) {
    if (d.tab + 1 == report.tabs.size() && d.sheet == "Paper") out.push_back(d);
  }
  return out;
}

// ---- Timing ----

double nowMs() {
  if (wallClock) {
    return std::chrono::duration<double, std::milli>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

double medianMs(const std::function<void()>& run) {
  run();  // warms the file cache and the allocator
  std::vector<double> times;
  for (int i = 0; i < repeat; ++i) {
    const double t0 = nowMs();
    run();
    times.push_back(nowMs() - t0);
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

std::string fixed(double v, int decimals = 1) {
  char s[32];
  std::snprintf(s, sizeof s, "%.*f", decimals, v);
  return s;
}

// A table printed with every column as wide as its widest cell.
class Table {
 public:
  explicit Table(std::vector<std::string> header) { rows_.push_back(std::move(header)); }
  void add(std::vector<std::string> row) { rows_.push_back(std::move(row)); }
  void print() const {
    std::vector<size_t> width(rows_[0].size(), 0);
    for (const auto& row : rows_) {
      for (size_t i = 0; i < row.size(); ++i) width[i] = std::max(width[i], row[i].size());
    }
    for (size_t r = 0; r < rows_.size(); ++r) {
      std::string line;
      for (size_t i = 0; i < rows_[r].size(); ++i) {
        const std::string& cell = rows_[r][i];
        const std::string pad(width[i] - cell.size(), ' ');
        line += i == 0 ? cell + pad : "  " + pad + cell;
      }
      std::cout << line << "\n";
      if (r == 0) std::cout << std::string(line.size(), '-') << "\n";
    }
    std::cout << "\n";
  }

 private:
  std::vector<std::vector<std::string>> rows_;
};

// ---- Peak memory in a child process ----

long statusKiB(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const size_t n = std::strlen(key);
  while (std::getline(in, line)) {
    if (line.compare(0, n, key) == 0) return std::stol(line.substr(n + 1));
  }
  return -1;
}

// The path MODE of --memory, with the pictures and boxes given after it (file:width:height).
int memoryChild(const std::string& mode, const std::vector<std::string>& args) {
  struct Box {
    std::string file;
    int width, height;
  };
  std::vector<Box> boxes;
  for (const std::string& a : args) {
    const size_t c1 = a.rfind(':', a.rfind(':') - 1), c2 = a.rfind(':');
    boxes.push_back(
        {a.substr(0, c1), std::stoi(a.substr(c1 + 1, c2 - c1 - 1)), std::stoi(a.substr(c2 + 1))});
  }
  std::unique_ptr<Report> report;
  if (mode.rfind("open-", 0) == 0) report = std::make_unique<Report>("heavy");

  std::ofstream("/proc/self/clear_refs") << "5";
  const long before = statusKiB("VmRSS:");
  std::vector<Pixels> held;
  if (mode == "seq-ours") {
    const risview::Pictures pictures(environment());
    for (const Box& b : boxes) {
      pictures.info(b.file);
      paintOurs(b.file, b.width, b.height);
    }
  } else if (mode == "seq-full") {
    for (const Box& b : boxes) reduced(loadWhole(b.file), b.width, b.height);
  } else if (mode == "seq-bare") {
    for (const Box& b : boxes) {
      const std::string bytes = readWhole(b.file);
      const auto info = risview::readPictureInfo(PictureType::Jpeg, bytes);
      decodeBare(bytes, risview::jpegScaleEighths(info.width, info.height, b.width, b.height));
    }
  } else if (mode == "held-full") {
    for (const Box& b : boxes) held.push_back(loadWhole(b.file));
  } else if (mode == "open-build") {
    report->load();
  } else if (mode == "open-ours") {
    auto loaded = report->load();
    for (const Drawn& d : firstSheet(loaded)) held.push_back(paintOurs(d.file, d.width, d.height));
  } else if (mode == "open-full") {
    auto loaded = report->load();
    for (const Drawn& d : drawnPictures(loaded)) {
      held.push_back(loadWhole(d.file));
      reduced(held.back(), d.width, d.height);
    }
  } else {
    std::cerr << "bench-figures: unknown memory path " << mode << "\n";
    return 2;
  }
  std::cout << statusKiB("VmHWM:") - before << "\n";
  return 0;
}

std::string executable;

// Peak KiB of a path, from a child of its own.
long peakKiB(const std::string& mode, const std::vector<Drawn>& pictures) {
  std::string command = "'" + executable + "' --memory " + mode;
  for (const Drawn& d : pictures) {
    command += " '" + d.file + ":" + std::to_string(d.width) + ":" + std::to_string(d.height) + "'";
  }
  FILE* child = popen(command.c_str(), "r");
  if (!child) throw std::runtime_error("cannot start " + command);
  char line[64] = {};
  const bool read = std::fgets(line, sizeof line, child) != nullptr;
  if (pclose(child) != 0 || !read) throw std::runtime_error("the memory path " + mode + " failed");
  return std::stol(line);
}

std::string mib(long kib) {
  return fixed(double(kib) / 1024.0);
}

// ---- The figures ----

struct Goal {
  std::string what, figures;
  bool met;
};
std::vector<Goal> goals;

void goal(const std::string& what, double value, double bound, bool atMost,
          const std::string& figures) {
  goals.push_back({what, figures, atMost ? value <= bound : value >= bound});
}

std::string ratio(double a, double b) {
  return fixed(a / b, 2) + "x";
}

int run(const std::string& fixture) {
  fs::current_path(fixture);  // the rows name images\... relative to the host's folder
  std::cout << "risview native figures: fixture " << fs::current_path().string() << ", medians of "
            << repeat << " runs (after one warm-up) of "
            << (wallClock ? "wall time" : "the process's CPU time") << ", libjpeg-turbo "
            << LIBJPEG_TURBO_VERSION_NUMBER / 1000000 << "."
            << LIBJPEG_TURBO_VERSION_NUMBER / 1000 % 1000 << "."
            << LIBJPEG_TURBO_VERSION_NUMBER % 1000 << "\n\n";

  std::map<std::string, std::unique_ptr<Report>> reports;
  for (const char* name : {"heavy", "light", "endoscopy-heavy", "nm-heavy", "text-10", "text-100",
                           "images-4", "images-8", "images-16", "images-32"}) {
    reports[name] = std::make_unique<Report>(name);
  }
  const auto heavy = reports["heavy"]->load();
  const std::vector<Drawn> heavyPictures = drawnPictures(heavy);
  const std::vector<Drawn> shown = firstSheet(heavy);
  if (heavy.tabs.size() != 3 || heavyPictures.size() != 32 || shown.size() != 4) {
    throw std::runtime_error("the heavy report did not build as generated (" +
                             std::to_string(heavy.tabs.size()) + " pages, " +
                             std::to_string(heavyPictures.size()) + " pictures placed)");
  }
  std::vector<Drawn> baseline;  // the 24-image report's 24 baseline JPEGs
  for (const Drawn& d : heavyPictures) {
    if (d.file.find("heavy-p-") == std::string::npos && isJpeg(d.file)) baseline.push_back(d);
  }

  // a, b: one picture at a time.
  std::cout << "Per picture of the heavy report (page/sheet and box from its built pages; ms):\n"
               "  read env = the environment's whole-file read, read = size then one read;\n"
               "  ours = header read + read + scaled decode + reduce; decode = JpegDecoder "
               "alone on bytes in memory;\n"
               "  bare = libjpeg-turbo scaled decode on bytes in memory; full = read + whole "
               "decode + reduce.\n"
               "  A bitmap's ours and full expand it to 4 bytes a pixel and reduce it; in the "
               "window the platform draws it.\n";
  Table pictures({"picture", "page/sheet", "natural", "box", "1/8s", "KiB", "read env", "read",
                  "ours", "decode", "bare", "decode/bare", "full", "full/ours"});
  double worstDecode = 0, bareInTurn = 0;
  std::vector<double> decodeRatios;
  std::string worstPicture;
  const risview::Pictures headers(environment());
  for (const Drawn& d : heavyPictures) {
    const std::string bytes = readWhole(d.file);
    const int eighths =
        isJpeg(d.file) ? risview::jpegScaleEighths(d.natural, d.naturalH, d.width, d.height) : 8;
    const double readEnv = medianMs([&] { readWithEnvironment(d.file); });
    const double read = medianMs([&] { readWhole(d.file); });
    const double ours = medianMs([&] {
      headers.info(d.file);
      paintOurs(d.file, d.width, d.height);
    });
    const double full = medianMs([&] { reduced(loadWhole(d.file), d.width, d.height); });
    std::vector<std::string> row = {d.file.substr(d.file.find_last_of("\\/") + 1),
                                    std::to_string(d.tab + 1) + "/" + d.sheet,
                                    std::to_string(d.natural) + "x" + std::to_string(d.naturalH),
                                    std::to_string(d.width) + "x" + std::to_string(d.height),
                                    isJpeg(d.file) ? std::to_string(eighths) : "bmp",
                                    std::to_string(bytes.size() / 1024),
                                    fixed(readEnv, 2),
                                    fixed(read, 2),
                                    fixed(ours, 2)};
    if (isJpeg(d.file)) {
      const double decode = medianMs([&] { decodeJpeg(bytes, d.width, d.height); });
      const double bare = medianMs([&] { decodeBare(bytes, eighths); });
      decodeRatios.push_back(decode / bare);
      bareInTurn += bare;
      if (decode / bare > worstDecode) worstDecode = decode / bare, worstPicture = row[0];
      row.insert(row.end(), {fixed(decode, 2), fixed(bare, 2), ratio(decode, bare)});
    } else {
      row.insert(row.end(), {"-", "-", "-"});
    }
    row.insert(row.end(), {fixed(full, 1), ratio(full, ours)});
    pictures.add(row);
  }
  pictures.print();
  // What the DLL's figures under Wine set against painting every sheet with two threads.
  std::cout << "heavy: bare scaled decodes of its " << decodeRatios.size()
            << " JPEGs one after another: " << fixed(bareInTurn, 1) << " ms\n\n";
  std::sort(decodeRatios.begin(), decodeRatios.end());
  goal("our decode of each picture within 1.2x of libjpeg-turbo's bare scaled decode", worstDecode,
       1.2, true,
       "worst " + fixed(worstDecode, 2) + "x (" + worstPicture + "), median " +
           fixed(decodeRatios[decodeRatios.size() / 2], 2) + "x over " +
           std::to_string(decodeRatios.size()) + " JPEGs");

  // c: building the pages.
  std::cout << "Building the pages of a report (LoadReport through SQLite ODBC; header reads "
               "included; ms):\n";
  Table builds({"report", "pages", "pictures", "components", "build"});
  std::map<std::string, double> buildMs;
  for (const char* name :
       {"heavy", "light", "endoscopy-heavy", "nm-heavy", "text-10", "text-100"}) {
    Report& r = *reports[name];
    const auto loaded = r.load();
    size_t components = 0;
    for (const auto& tab : loaded.tabs) components += tab.page->model().components().size();
    buildMs[name] = medianMs([&] { r.load(); });
    builds.add({name, std::to_string(loaded.tabs.size()),
                std::to_string(drawnPictures(loaded).size()), std::to_string(components),
                fixed(buildMs[name], 2)});
  }
  builds.print();

  // The same pictures as the other page classes place them.
  std::cout << "Every picture of a heavy report at the size its pages draw it (ms; build not "
               "included):\n";
  Table perReport({"report", "boxes", "1/8s", "ours", "full", "full/ours"});
  for (const char* name : {"heavy", "endoscopy-heavy", "nm-heavy"}) {
    const auto loaded = reports[name]->load();
    const auto drawn = drawnPictures(loaded);
    std::map<std::string, int> boxes, scales;
    for (const Drawn& d : drawn) {
      ++boxes[std::to_string(d.width) + "x" + std::to_string(d.height)];
      if (isJpeg(d.file)) {
        ++scales[std::to_string(
            risview::jpegScaleEighths(d.natural, d.naturalH, d.width, d.height))];
      }
    }
    auto list = [](const std::map<std::string, int>& m) {
      std::string s;
      for (const auto& [key, count] : m)
        s += (s.empty() ? "" : " ") + std::to_string(count) + "@" + key;
      return s;
    };
    const double ours = medianMs([&] {
      for (const Drawn& d : drawn) paintOurs(d.file, d.width, d.height);
    });
    const double full = medianMs([&] {
      for (const Drawn& d : drawn) reduced(loadWhole(d.file), d.width, d.height);
    });
    perReport.add({name, list(boxes), list(scales), fixed(ours), fixed(full), ratio(full, ours)});
  }
  perReport.print();

  // d: peak memory.
  std::cout << "Peak memory (MiB above the process's resident set before the path; each path "
               "in a child process of its own):\n";
  const long seqOurs = peakKiB("seq-ours", baseline), seqFull = peakKiB("seq-full", baseline),
             seqBare = peakKiB("seq-bare", baseline), heldFull = peakKiB("held-full", baseline),
             openBuild = peakKiB("open-build", {}), openOurs = peakKiB("open-ours", {}),
             openFull = peakKiB("open-full", {});
  Table memory({"path", "peak MiB", "vs ours"});
  memory.add({"24 baseline JPEGs one after another, ours", mib(seqOurs), "1.00x"});
  memory.add({"24 baseline JPEGs one after another, bare scaled decode", mib(seqBare),
              ratio(seqBare, seqOurs)});
  memory.add({"24 baseline JPEGs one after another, full decode + reduce", mib(seqFull),
              ratio(seqFull, seqOurs)});
  memory.add({"24 baseline JPEGs decoded whole, all held (as built)", mib(heldFull),
              ratio(heldFull, seqOurs)});
  memory.add({"open heavy: build alone (header reads)", mib(openBuild), ratio(openBuild, seqOurs)});
  memory.add({"open heavy: build + first sheet's 4 pictures, ours", mib(openOurs),
              ratio(openOurs, seqOurs)});
  memory.add({"open heavy: build + all 32 pictures decoded whole, held", mib(openFull),
              ratio(openFull, seqOurs)});
  memory.print();

  // f: opening the 24-image report.
  Report& heavyReport = *reports["heavy"];
  const double openOursMs = medianMs([&] {
    const auto loaded = heavyReport.load();
    for (const Drawn& d : firstSheet(loaded)) paintOurs(d.file, d.width, d.height);
  });
  const double openFullMs = medianMs([&] {
    const auto loaded = heavyReport.load();
    for (const Drawn& d : drawnPictures(loaded)) reduced(loadWhole(d.file), d.width, d.height);
  });
  std::cout << "Opening the heavy report (24 baseline JPEGs among its 32 pictures) and painting "
               "its first sheet (ms):\n";
  Table open({"path", "ms", "ratio"});
  open.add(
      {"ours: build + first sheet's 4 pictures at the drawn size", fixed(openOursMs), "1.00x"});
  open.add({"full: build + every picture decoded whole and reduced", fixed(openFullMs),
            ratio(openFullMs, openOursMs)});
  open.print();
  goal("opening the 24-image report and painting its first sheet >= 4x faster than full decode",
       openFullMs / openOursMs, 4, false,
       fixed(openOursMs) + " ms against " + fixed(openFullMs) +
           " ms = " + ratio(openFullMs, openOursMs));
  goal("its peak memory <= 1/8 of the full-decode path's", double(openOurs) / double(openFull),
       1.0 / 8, true,
       mib(openOurs) + " MiB against " + mib(openFull) + " MiB = 1/" +
           fixed(double(openFull) / double(openOurs), 1));

  // e: growth.
  std::cout << "Growth (ms; ratio to the smallest):\n";
  Table growth(
      {"report", "build", "ratio", "decode all", "build + decode", "ratio", "per picture"});
  const double text10 = buildMs["text-10"], text100 = buildMs["text-100"];
  growth.add({"text-10", fixed(text10, 2), "1.00x", "-", fixed(text10, 2), "1.00x",
              fixed(text10 / 10, 2) + " a page"});
  growth.add({"text-100", fixed(text100, 2), ratio(text100, text10), "-", fixed(text100, 2),
              ratio(text100, text10), fixed(text100 / 100, 2) + " a page"});
  double first = 0, firstBuild = 0, last = 0;
  for (int n : {4, 8, 16, 32}) {
    Report& r = *reports["images-" + std::to_string(n)];
    const auto loaded = r.load();
    const auto drawn = drawnPictures(loaded);
    if (drawn.size() != size_t(n)) throw std::runtime_error(r.name + " placed too few pictures");
    const double build = medianMs([&] { r.load(); });
    const double decode = medianMs([&] {
      for (const Drawn& d : drawn) paintOurs(d.file, d.width, d.height);
    });
    const double both = medianMs([&] {
      const auto l = r.load();
      for (const Drawn& d : drawnPictures(l)) paintOurs(d.file, d.width, d.height);
    });
    if (n == 4) first = both, firstBuild = build;
    last = both;
    growth.add({r.name, fixed(build, 2), ratio(build, firstBuild), fixed(decode, 2), fixed(both, 2),
                ratio(both, first), fixed(both / n, 2) + " a picture"});
  }
  growth.print();
  goal("100 pages <= 11x of 10 pages (build)", text100 / text10, 11, true,
       fixed(text100, 2) + " ms against " + fixed(text10, 2) + " ms = " + ratio(text100, text10));
  goal("32 images <= 8.8x of 4 (build + decode every picture)", last / first, 8.8, true,
       fixed(last, 1) + " ms against " + fixed(first, 1) + " ms = " + ratio(last, first));

  std::cout << "Goals:\n";
  for (const Goal& g : goals) {
    std::cout << "  " << (g.met ? "MET    " : "MISSED ") << g.what << ": " << g.figures << "\n";
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    executable = fs::canonical("/proc/self/exe").string();
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() >= 2 && args[0] == "--memory") {
      return memoryChild(args[1], std::vector<std::string>(args.begin() + 2, args.end()));
    }
    std::string fixture;
    for (size_t i = 0; i < args.size(); ++i) {
      if (args[i] == "--clock" && i + 1 < args.size() &&
          (args[i + 1] == "wall" || args[i + 1] == "cpu")) {
        wallClock = args[++i] == "wall";
      } else if (args[i] == "--repeat" && i + 1 < args.size()) {
        repeat = std::max(1, std::stoi(args[++i]));
      } else if (fixture.empty()) {
        fixture = args[i];
      } else {
        fixture.clear();
        break;
      }
    }
    if (fixture.empty()) {
      std::cerr << "usage: bench-figures FIXTUREDIR [--repeat N] [--clock cpu|wall]\n";
      return 2;
    }
    return run(fixture);
  } catch (const std::exception& e) {
    std::cerr << "bench-figures: " << e.what() << "\n";
    return 1;
  }
}
