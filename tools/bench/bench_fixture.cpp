// bench-fixture OUTDIR: the reports and picture files the benchmarks (and end-to-end
// scenarios) open. For each report NAME it writes NAME.sql (radiology rows, loaded after
// db/ris.sql), NAME.archive.sql (the study that lets the open action show the preview) and
// NAME.sh (run in a scenario's folder, it links the pictures the rows name into images/
// there); the pictures themselves go to OUTDIR/images/, named as the rows name them
// ("images\NAME.jpg", relative to the host's current folder). The same version writes the
// same bytes: content comes from integer arithmetic on fixed seeds only.
//   bench-fixture --version   prints what OUTDIR/fixture-version holds once it is complete
#include <cstdio>  // jpeglib.h needs FILE

#include <jpeglib.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// Raised whenever pictures or rows change, so that `make bench` makes them again.
constexpr int kFixtureFormat = 1;

std::string version() {
  return "risview-bench-fixture " + std::to_string(kFixtureFormat) + " libjpeg-turbo " +
         std::to_string(LIBJPEG_TURBO_VERSION_NUMBER);
}

enum class Format { Baseline, Progressive, Bitmap };

struct Picture {
  std::string name;  // file name under images/
  Format format;
  int width, height;
  uint32_t seed;
};

struct Page {
  std::vector<Picture> pictures;
};

struct Report {
  std::string name, requisitionId, patientId;
  int departmentId;
  std::string modality, modalityAe, bodyPart;
  std::vector<Page> pages;
};

uint32_t mix(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7feb352dU;
  x ^= x >> 15;
  x *= 0x846ca68bU;
  x ^= x >> 16;
  return x;
}

// A photograph stand-in: smooth shapes (a coarse random grid, interpolated), a few sharp
// edged discs, a lighting gradient, a little colour, and film grain, so that a JPEG of it carries
// the entropy of a real scan or camera picture rather than of a flat test card.
class Scene {
 public:
  Scene(int width, int height, uint32_t seed) : width_(width), height_(height), seed_(seed) {
    for (int c = 0; c < 3; ++c) {
      for (int j = 0; j <= kGrid; ++j) {
        for (int i = 0; i <= kGrid; ++i) {
          grid_[c][j][i] = static_cast<int>(mix(seed * 3 + c + 1 + uint32_t(j * 97 + i) * 7919U) %
                                            (c == 0 ? 190U : 81U));
        }
      }
    }
    for (int d = 0; d < kDiscs; ++d) {
      const uint32_t r = mix(seed * 31 + uint32_t(d) + 7);
      discs_[d] = {static_cast<int>(r % uint32_t(width)),
                   static_cast<int>((r >> 8) % uint32_t(height)),
                   std::max(4, static_cast<int>((r >> 16) % uint32_t(std::max(1, width / 5)))),
                   (r >> 28) & 1 ? 45 : -45};
    }
  }

  // Red, green, blue of row y.
  void row(int y, uint8_t* out) const {
    const int64_t gy = int64_t{y} * kGrid * 256 / height_;
    const int j = static_cast<int>(gy >> 8), fy = static_cast<int>(gy & 255);
    for (int x = 0; x < width_; ++x) {
      const int64_t gx = int64_t{x} * kGrid * 256 / width_;
      const int i = static_cast<int>(gx >> 8), fx = static_cast<int>(gx & 255);
      int v[3];
      for (int c = 0; c < 3; ++c) {
        const auto& g = grid_[c];
        const int top = g[j][i] * (256 - fx) + g[j][i + 1] * fx;
        const int bottom = g[j + 1][i] * (256 - fx) + g[j + 1][i + 1] * fx;
        v[c] = (top * (256 - fy) + bottom * fy) >> 16;
      }
      const int light = x * 40 / width_ + y * 24 / height_;
      const uint32_t n = mix(seed_ ^ (uint32_t(y) * uint32_t(width_) + uint32_t(x)));
      const int grain = static_cast<int>(n & 15) - 8 + static_cast<int>(n >> 28) - 8;
      int luma = 20 + v[0] + light + grain;
      for (const Disc& d : discs_) {
        const int64_t dx = x - d.x, dy = y - d.y;
        if (dx * dx + dy * dy < int64_t{d.radius} * d.radius) luma += d.step;
      }
      out[std::ptrdiff_t{3} * x] = clamp(luma + v[1] - 40);
      out[3 * x + 1] = clamp(luma);
      out[3 * x + 2] = clamp(luma + v[2] - 40);
    }
  }

 private:
  static constexpr int kGrid = 12, kDiscs = 3;
  struct Disc {
    int x, y, radius, step;
  };
  static uint8_t clamp(int v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }
  int width_, height_;
  uint32_t seed_;
  int grid_[3][kGrid + 1][kGrid + 1];
  Disc discs_[kDiscs];
};

std::string jpegFile(const Picture& p) {
  jpeg_compress_struct c{};
  jpeg_error_mgr errors{};
  c.err = jpeg_std_error(&errors);
  jpeg_create_compress(&c);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &out, &size);
  c.image_width = static_cast<JDIMENSION>(p.width);
  c.image_height = static_cast<JDIMENSION>(p.height);
  c.in_color_space = JCS_RGB;
  c.input_components = 3;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 90, TRUE);
  if (p.format == Format::Progressive) jpeg_simple_progression(&c);
  jpeg_start_compress(&c, TRUE);
  const Scene scene(p.width, p.height, p.seed);
  std::vector<uint8_t> row(size_t(p.width) * 3);
  while (c.next_scanline < c.image_height) {
    scene.row(static_cast<int>(c.next_scanline), row.data());
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  std::string bytes(reinterpret_cast<char*>(out), size);
  std::free(out);
  jpeg_destroy_compress(&c);
  return bytes;
}

void le(std::string& out, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

// 24 bits a pixel, bottom row first, as screen captures of the modalities' consoles come.
std::string bitmapFile(const Picture& p) {
  const uint32_t stride = (uint32_t(p.width) * 3 + 3) & ~3U;
  const uint32_t pixels = stride * uint32_t(p.height);
  std::string b = "BM";
  le(b, 54 + pixels, 4);
  le(b, 0, 4);
  le(b, 54, 4);
  le(b, 40, 4);
  le(b, uint32_t(p.width), 4);
  le(b, uint32_t(p.height), 4);
  le(b, 1, 2);
  le(b, 24, 2);
  le(b, 0, 4);
  le(b, pixels, 4);
  le(b, 2835, 4);
  le(b, 2835, 4);
  le(b, 0, 4);  // colours used
  le(b, 0, 4);  // colours important
  const Scene scene(p.width, p.height, p.seed);
  std::vector<uint8_t> rgb(size_t(p.width) * 3);
  std::string row(stride, '\0');
  for (int y = p.height - 1; y >= 0; --y) {
    scene.row(y, rgb.data());
    for (int x = 0; x < p.width; ++x) {
      const auto at = size_t{3} * static_cast<size_t>(x);
      row[at] = static_cast<char>(rgb[at + 2]);
      row[at + 1] = static_cast<char>(rgb[at + 1]);
      row[at + 2] = static_cast<char>(rgb[at]);
    }
    b += row;
  }
  return b;
}

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string quoted(const std::string& v) {
  return "'" + v + "'";
}

// Findings of a realistic length, different on every page.
std::string findings(int page) {
  std::string text = "第" + std::to_string(page) + "页：";
  const char* sentences[] = {
      "右肺上叶尖段见一实性结节影，大小约6mm×5mm，边缘光整，未见分叶及毛刺。",
      "双肺纹理清晰，走行自然，肺野内未见明确渗出及实变影。",
      "纵隔居中，纵隔内未见明显肿大淋巴结，心影大小形态未见异常。",
      "双侧胸膜未见增厚，双侧胸腔未见积液。", "所见骨质结构完整，未见明确骨质破坏征象。"};
  for (int i = 0; i < 5; ++i) text += sentences[(i + page) % 5];
  return text;
}

std::string sqlOf(const Report& r) {
  const std::string id = quoted(r.requisitionId), u1 = r.requisitionId + "A",
                    u2 = r.requisitionId + "B";
  std::string s = "-- " + r.name + ": written by bench-fixture (" + version() + ").\n";
  s += "INSERT INTO RIS_PATIENT (PATIENT_ID, PTN_NAME, SEX, BIRTH) VALUES (" + quoted(r.patientId) +
       ", '王建华', 'M', '19620518');\n";
  s += "INSERT INTO RIS_REQUEST (RequisitionID, PatientID, HospitalID, ClinicID, ExamID, "
       "Examdate,\n    ExamBodyPart, DepartmentID, ReqDepartment, SickbedID, Modality, "
       "ModalityAE, Emergency,\n    EndoscopyType, ClinicalDiagnosis) VALUES\n  (" +
       id + ", " + quoted(r.patientId) + ", " + quoted("ZY" + r.requisitionId) + ", '', " +
       quoted("E" + r.requisitionId) + ", '2024-03-18 09:30:00', " + quoted(r.bodyPart) + ", " +
       std::to_string(r.departmentId) + ", '呼吸内科', '12床', " + quoted(r.modality) + ", " +
       quoted(r.modalityAe) + ", 0, " + (r.departmentId == 4 ? "'GIF-H290'" : "''") +
       ", '肺部结节复查');\n";
  s += "INSERT INTO UserInfo (UserID, UserName) VALUES (" + quoted(u1) + ", '周明'), (" +
       quoted(u2) + ", '吴建国');\n";
  s += "INSERT INTO RIS_ReportAction (RequisitionID, ActionName, ActionNum, ActionDate, "
       "ActionTime, UserID)\nVALUES\n  (" +
       id + ", 1, 0, '2024-03-18', '101500', " + quoted(u1) + "),\n  (" + id +
       ", 2, 0, '2024-03-18', '113000', " + quoted(u2) + ");\n";
  s += "INSERT INTO RIS_REPORT (RequisitionID, EditOrder, ReportID, EaxmDesc, EaxmTechnic, "
       "ImageFinding,\n    Impression, Advice, PathologicID, PathologicPart, PathologicReport) "
       "VALUES";
  for (size_t p = 0; p < r.pages.size(); ++p) {
    s += p ? ",\n  (" : "\n  (";
    s += id + ", 0, '" + std::to_string(p + 1) + "', " + quoted(r.bodyPart) +
         ", '螺旋CT平扫，层厚5mm，薄层重建1.25mm', " + quoted(findings(int(p) + 1)) +
         ", '右肺上叶尖段实性小结节，建议6个月后复查。', '', '', '', '')";
  }
  s += ";\n";
  bool any = false;
  for (size_t p = 0; p < r.pages.size(); ++p) {
    const auto& pictures = r.pages[p].pictures;
    for (size_t i = 0; i < pictures.size(); ++i) {
      s += any ? ",\n  ("
               : "INSERT INTO RIS_REPORT_IMG (RequisitionID, ReportID, EditOrder, OnReport, "
                 "ImageOrder,\n    ImageFileName, ImageText) VALUES\n  (";
      any = true;
      s += id + ", '" + std::to_string(p + 1) + "', 0, 1, " + std::to_string(i) + ", 'images\\" +
           pictures[i].name + "', '图" + std::to_string(i + 1) + "')";
    }
  }
  if (any) s += ";\n";
  return s;
}

std::string archiveSqlOf(const Report& r, int number) {
  return "-- The study of " + r.name + ", so that opening the request shows its report.\n" +
         "INSERT INTO patient1 (ptn_id_id, ptn_id) VALUES (" + std::to_string(number) + ", " +
         quoted(r.patientId) + ");\nINSERT INTO study1 (ptn_id_id, accession_number, study_uid) " +
         "VALUES (" + std::to_string(number) + ", " + quoted(r.requisitionId) +
         ", '1.2.840.113619.2.55.3.20240318." + std::to_string(number) + "');\n";
}

std::string scriptOf(const Report& r) {
  std::string s =
      "#!/usr/bin/env bash\n"
      "# The pictures of " +
      r.name +
      ", linked from the generated set beside this script into the run folder's images/.\n"
      "set -euo pipefail\n"
      "here=$(cd \"$(dirname \"${BASH_SOURCE[0]}\")\" && pwd)\n"
      "mkdir -p images\n";
  for (const Page& page : r.pages) {
    for (const Picture& p : page.pictures) {
      s += "ln -sf \"$here/images/" + p.name + "\" images/" + p.name + "\n";
    }
  }
  return s;
}

// Pictures named stem-01.jpg ... of one format and size, each of its own seed.
std::vector<Picture> pictures(const std::string& stem, Format format, int count, int width,
                              int height, uint32_t firstSeed) {
  std::vector<Picture> out;
  const char* ext = format == Format::Bitmap ? ".bmp" : ".jpg";
  for (int i = 1; i <= count; ++i) {
    char number[16];
    std::snprintf(number, sizeof number, "%02d", i);
    out.push_back({stem + "-" + number + ext, format, width, height, firstSeed + uint32_t(i)});
  }
  return out;
}

std::vector<Picture> slice(const std::vector<Picture>& v, size_t from, size_t count) {
  return {v.begin() + static_cast<std::ptrdiff_t>(from),
          v.begin() + static_cast<std::ptrdiff_t>(from + count)};
}

// The three pages of a heavy report, as a CT follow-up with key images comes: page 1 the
// first series (10 baseline JPEGs: four on its first sheet, six on Paper1), page 2 the
// reconstructions exported by a workstation (4 progressive JPEGs on its first sheet) and four
// console screen captures (BMPs on Paper1), page 3 the comparison series (14 baseline JPEGs:
// four on its first sheet, six on Paper1, four on Paper2). The 24 baseline JPEGs are the
// "24-image report" of the figures. The preview shows the last page in front when it opens,
// so the first sheet painted is page 3's, with baseline JPEGs 11 to 14. The endoscopy and
// nuclear-medicine pages lay each page's pictures out on their one sheet.
std::vector<Page> heavyPages(const std::string& stem, int jpegSide, int jpegOther, int otherSide,
                             uint32_t seed) {
  const auto baseline = pictures(stem, Format::Baseline, 24, jpegSide, jpegOther, seed);
  const auto progressive =
      pictures(stem + "-p", Format::Progressive, 4, otherSide, otherSide, seed + 100);
  const auto bitmaps = pictures(stem + "-b", Format::Bitmap, 4, otherSide, otherSide, seed + 200);
  Page second{progressive};
  second.pictures.insert(second.pictures.end(), bitmaps.begin(), bitmaps.end());
  return {Page{slice(baseline, 0, 10)}, second, Page{slice(baseline, 10, 14)}};
}

}  // namespace

// The reports of the bench: heavy and light pictures, each department's page kind, long
// texts, and a growing number of images; `growth` holds the growing reports' pictures.
std::vector<Report> benchReports(std::vector<Picture>& growth) {
  const auto heavy = heavyPages("heavy", 3000, 2400, 2000, 1000);
  std::vector<Report> reports = {
      {"heavy", "BH0001", "PB0001", 1, "CT", "CT_GE64", "胸部CT增强", heavy},
      {"light", "BL0001", "PB0002", 1, "CT", "CT_GE64", "胸部CT增强",
       heavyPages("light", 64, 64, 64, 5000)},
      {"endoscopy-heavy", "BE0001", "PB0003", 4, "ES", "胃镜", "电子胃镜", heavy},
      {"nm-heavy", "BN0001", "PB0004", 5, "NM", "NM_SPECT", "全身骨显像", heavy},
      {"text-10", "BT0010", "PB0005", 1, "CT", "CT_GE64", "胸部CT平扫", std::vector<Page>(10)},
      {"text-100", "BT0100", "PB0006", 1, "CT", "CT_GE64", "胸部CT平扫", std::vector<Page>(100)},
  };
  growth = pictures("growth", Format::Baseline, 32, 3000, 2400, 9000);
  for (int n : {4, 8, 16, 32}) {
    const std::string id = "BG00" + std::string(n < 10 ? "0" : "") + std::to_string(n);
    reports.push_back({"images-" + std::to_string(n),
                       id,
                       "PB01" + std::to_string(n),
                       1,
                       "CT",
                       "CT_GE64",
                       "胸部CT增强",
                       {Page{slice(growth, 0, size_t(n))}}});
  }

  return reports;
}

// Every picture file, then each report's statements and script; the number of pictures.
size_t writeReports(const std::filesystem::path& out, const std::vector<Report>& reports,
                    const std::vector<Picture>& growth) {
  std::vector<const Picture*> files;
  for (const Report* r : {&reports[0], &reports[1]}) {
    for (const Page& page : r->pages) {
      for (const Picture& p : page.pictures) files.push_back(&p);
    }
  }
  for (const Picture& p : growth) files.push_back(&p);
  for (const Picture* p : files) {
    writeFile(out / "images" / p->name,
              p->format == Format::Bitmap ? bitmapFile(*p) : jpegFile(*p));
  }
  int number = 9001;
  for (const Report& r : reports) {
    writeFile(out / (r.name + ".sql"), sqlOf(r));
    writeFile(out / (r.name + ".archive.sql"), archiveSqlOf(r, number++));
    writeFile(out / (r.name + ".sh"), scriptOf(r));
  }
  return files.size();
}

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "--version") {
    std::cout << version() << "\n";
    return 0;
  }
  if (argc != 2) {
    std::cerr << "usage: bench-fixture OUTDIR | --version\n";
    return 2;
  }
  try {
    const std::filesystem::path out = argv[1];
    std::filesystem::create_directories(out / "images");
    std::filesystem::remove(out / "fixture-version");
    std::vector<Picture> growth;
    const std::vector<Report> reports = benchReports(growth);
    const size_t pictureCount = writeReports(out, reports, growth);
    writeFile(out / "fixture-version", version() + "\n");
    std::cout << "bench-fixture: " << reports.size() << " reports, " << pictureCount
              << " pictures in " << out.string() << "\n";
  } catch (const std::exception& e) {
    std::cerr << "bench-fixture: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
