// Writes the seed inputs of every fuzz target, one folder each, into the folder named on
// the command line: small valid files and texts of each kind the system reads, made here
// (pictures by this code and libjpeg), so that fuzzing starts from what real input is like.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/text.h"
#include "support/picture_files.h"

namespace {

namespace fs = std::filesystem;

using risview::testing::Bytes;

std::string bmp(int width, int height, uint32_t headerSize, unsigned bits,
                unsigned compression = 0) {
  return risview::testing::bmpFile(width, height, headerSize, bits, compression);
}

std::string ico(unsigned side) {
  Bytes b;
  b.u16(0).u16(1).u16(1);
  b.u8(side).u8(side).u8(0).u8(0).u16(1).u16(32).u32(40).u32(22);
  return b.zeros(40).s;
}

std::string wmf(int right, int bottom, unsigned inch) {
  Bytes b;
  b.u32(0x9AC6CDD7).u16(0).u16(0).u16(0).u16(right).u16(bottom).u16(inch).u32(0);
  unsigned sum = 0;
  for (size_t i = 0; i < 20; i += 2) sum ^= uint8_t(b.s[i]) | uint8_t(b.s[i + 1]) << 8;
  b.u16(sum);
  b.u16(1).u16(9).u16(0x300).u32(12).u16(0).u32(3).u16(0);
  return b.u32(3).u16(0).s;
}

std::string emf(int32_t frameRight, int32_t frameBottom) {
  Bytes b;
  b.u32(1).u32(88);
  for (int32_t v : {0, 0, 99, 49}) b.u32(v);
  for (int32_t v : {0, 0, frameRight, frameBottom}) b.u32(v);
  b.u32(0x464D4520).u32(0x10000).u32(108).u32(2).u16(1).u16(0).u32(0).u32(0).u32(0);
  b.u32(1024).u32(768).u32(320).u32(240);
  return b.u32(14).u32(20).u32(0).u32(16).u32(20).s;
}

std::string jpeg(int width, int height, J_COLOR_SPACE space, bool progressive = false) {
  std::vector<jpeg_scan_info> scans;
  if (progressive) {
    // DC first, then the AC bands of each component, as a progressive encoder writes them.
    scans.push_back({space == JCS_GRAYSCALE ? 1 : 3, {0, 1, 2, 0}, 0, 0, 0, 1});
    for (int c = 0; c < (space == JCS_GRAYSCALE ? 1 : 3); ++c) {
      scans.push_back({1, {c, 0, 0, 0}, 1, 63, 0, 0});
    }
    scans.push_back({space == JCS_GRAYSCALE ? 1 : 3, {0, 1, 2, 0}, 0, 0, 1, 0});
  }
  return risview::testing::encodeJpeg(
      width, height, space, 75,
      [&](int x, int y, JSAMPLE* p) {
        const int n = space == JCS_GRAYSCALE ? 1 : space == JCS_CMYK ? 4 : 3;
        for (int i = 0; i < n; ++i) p[i] = static_cast<JSAMPLE>((x * 7 + y * 13 + i * 50) & 0xFF);
      },
      scans);
}

class Writer {
 public:
  explicit Writer(fs::path root) : root_(std::move(root)) {}
  void operator()(const std::string& target, const std::string& name, std::string_view bytes) {
    fs::create_directories(root_ / target);
    std::ofstream(root_ / target / name, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ++count_;
  }
  int count() const { return count_; }

 private:
  fs::path root_;
  int count_ = 0;
};

using risview::utf8ToCp936;

// Texts for the conversions and number parsing: UTF-8, GBK, broken bytes, UTF-16 pairs.
void textSeeds(Writer& write) {
  const std::string gbk = utf8ToCp936("病人基本信息中所登记的生日信息无效！");
  write("text", "utf8", "RIS连接失败！ 检查报告列表");
  write("text", "gbk", gbk);
  write("text", "broken", "\xC3\x28\xE2\x82\xF0\x90\x8D\xFF\x81\x30\x80 a\xED\xA0\x80");
  write("text", "number", "  -2147483648");
  write("text", "number-plus", "+0012");
  write("text", "number-over", "2147483648");
  std::u16string pairs = u"文𝄞\xD800x\xDC00";
  write("text", "utf16",
        std::string(reinterpret_cast<const char*>(pairs.data()), pairs.size() * 2));
}

// Option files in each encoding the library reads, and one value longer than any line.
void optionFileSeeds(Writer& write) {
  const std::string option = R"([RISDATASET]
SERVER = ris-db,1433
DataBaseName=RIS
USER="sa"
PASSWORD='p;w'
; a comment
[ DICOMDATASET ]
server=pacs
[DICOMWEBURL]
WEBURL=http://pacs/viewer?StudyUID=
USER=医生
PASSWORD
[broken header
)";
  write("ini_file", "option-cp936", utf8ToCp936(option));
  write("ini_file", "option-utf8", "\xEF\xBB\xBF" + option);
  std::u16string wide = u"\xFEFF[Report]\r\nReport PageFoot=本报告仅供临床参考\r\n";
  write("ini_file", "host-utf16",
        std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 2));
  std::string longValue = "[RISDATASET]\nPASSWORD=";
  for (int i = 0; i < 700; ++i) longValue += "a中";
  write("ini_file", "long-value", utf8ToCp936(longValue));
}

// Picture headers of every type, and JPEGs to decode stretched and at natural size.
void pictureSeeds(Writer& write) {
  write("picture_header", "core.bmp", bmp(3, 2, 12, 24));
  write("picture_header", "palette.bmp", bmp(5, -4, 40, 8));
  write("picture_header", "rle8.bmp", bmp(4, 4, 40, 8, 1));
  write("picture_header", "masks.bmp", bmp(2, 2, 40, 16, 3));
  write("picture_header", "v5.bmp", bmp(7, 3, 124, 32));
  write("picture_header", "icon.ico", ico(32));
  write("picture_header", "placeable.wmf", wmf(1440, 720, 1440));
  write("picture_header", "frame.emf", emf(2540, 1270));
  write("picture_header", "bounds.emf", emf(0, 0));
  write("picture_header", "small.jpg", jpeg(9, 7, JCS_RGB));

  struct Jpeg {
    const char* name;
    std::string bytes;
  };
  const Jpeg jpegs[] = {{"rgb", jpeg(64, 48, JCS_RGB)},
                        {"grey", jpeg(17, 9, JCS_GRAYSCALE)},
                        {"cmyk", jpeg(16, 16, JCS_CMYK)},
                        {"progressive", jpeg(40, 24, JCS_RGB, true)},
                        {"dot", jpeg(1, 1, JCS_RGB)}};
  for (const auto& j : jpegs) {
    write("jpeg_decode", std::string(j.name) + "-stretch",
          Bytes().u8(15).u8(11).u8(1).text(j.bytes).s);
    write("jpeg_decode", std::string(j.name) + "-natural",
          Bytes().u8(99).u8(5).u8(0).text(j.bytes).s);
  }
}

// Birth dates around one fixed day, and numbers for the Chinese numerals.
void dateAndNumeralSeeds(Writer& write) {
  // Today 5 March 2024: 1900 + 124 + 0, month 1 + 2, day 1 + 4.
  const std::string march2024 = Bytes().u8(124).u8(0).u8(2).u8(4).s;
  for (const char* birth : {"20200101", "20230101", "20231220", "20240301", "20240305", "20250101",
                            "2024-03-05", "20241225", "20221399x", ""}) {
    write("age_text", std::string("birth-") + (*birth ? birth : "empty"), march2024 + birth);
  }

  for (int64_t n : {0, 10, 29, 30, 105, 1000, 123456, 999999999, 1000000000, -3}) {
    write("chinese_numerals", std::to_string(n),
          Bytes().u32(static_cast<uint32_t>(n)).u8(n >= 0 && n < 1000000000 ? 1 : 0).s);
  }
}

// Statements with parameters and literals, connection strings and viewer addresses.
void statementSeeds(Writer& write) {
  write("sql_text", "parameters",
        Bytes()
            .part("select * from RIS_REPORT where RequisitionID = :pRequisitionID and "
                  "ActionNum = :pActionNum")
            .text("R2024")
            .s);
  write(
      "sql_text", "literals",
      Bytes().part("select ':x', \"a:b\", x::int, ':'':y', :p1 from t where ? ").text("O'Brien").s);
  write("sql_text", "unterminated", Bytes().part("select 'open :x").text("'; drop table t --").s);

  write("connection_string", "plain",
        Bytes()
            .u8(0)
            .part("ris-db")
            .part("RIS")
            .part("sa")
            .part("secret")
            .text("Provider=SQLOLEDB.1;Password=secret;Persist Security Info=True;User ID=sa;"
                  "Initial Catalog=RIS;Data Source=ris-db;")
            .s);
  write("connection_string", "awkward",
        Bytes()
            .u8(1)
            .part("db.local , 5432")
            .part("a;b")
            .part(" \"quoted\" ")
            .part("p}w{;=")
            .text("provider = sqloledb ; pwd = \"x;\"\"y\" ; Password='a''b';Data Source=h,1")
            .s);
  write("connection_string", "other-provider",
        Bytes().u8(0).part("").part("").part("").part("").text("Provider=MSDASQL;DSN=x").s);

  write("viewer_address", "two-studies",
        Bytes()
            .part("http://pacs/viewer?StudyUID=")
            .part("1.2.3,1.2.4")
            .part("doctor")
            .text("secret")
            .s);
  write("viewer_address", "apostrophes",
        Bytes().part("http://x/?a=").part("P'001").part("").text("A' or '1'='1").s);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  Writer write(argv[1]);
  for (auto seeds :
       {textSeeds, optionFileSeeds, pictureSeeds, dateAndNumeralSeeds, statementSeeds}) {
    seeds(write);
  }
  std::printf("%d seeds in %s\n", write.count(), argv[1]);
  return 0;
}
