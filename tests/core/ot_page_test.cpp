#include "pages/ot_page.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "preview/report_loading.h"
#include "support/report_fixture.h"

namespace risview::pages {
namespace {

using model::Rect;
using testing::Backend;
using testing::Fixture;
using testing::RecordedBox;
using testing::ReportFixture;
using testing::Row;

constexpr char kHostIni[] = "\xEF\xBB\xBF[Report]\r\nReport PageFoot=本报告仅供参考\r\n";

class OTPage : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!Fixture::available(Backend::Sqlite)) GTEST_SKIP() << "SQLite ODBC driver missing";
    fx = std::make_unique<ReportFixture>();
  }
  std::unique_ptr<TOTPrntPage> build(const Row& values = {}) {
    fx->request(values);
    data::Query query(fx->db.connection());
    for (const auto& line : preview::reportStatement("R1")) query.addSql(line);
    query.open();
    return std::make_unique<TOTPrntPage>(query, fx->context);
  }
  // Pictures of 150 x 150, which fill their boxes, orders 0, 1, 2, ...
  void images(int count) {
    for (int i = 0; i < count; ++i) {
      fx->image(i, "C:\\img\\" + std::to_string(i) + ".bmp", 150, 150);
    }
  }
  void tag(int order, const std::string& id, int x, int y, int imageTag,
           const std::string& editOrder = "0") {
    fx->db.insert("RIS_REPORT_TAGIMAGE", {{"RequisitionID", "R1"},
                                          {"ReportID", "1"},
                                          {"EditOrder", editOrder},
                                          {"ImageOrder", std::to_string(order)},
                                          {"ImageID", id},
                                          {"ImageX", std::to_string(x)},
                                          {"ImageY", std::to_string(y)},
                                          {"ImageTag", std::to_string(imageTag)}});
  }
  // The pictures the page made at run time whose names start with prefix, in creation order.
  static std::vector<const model::Component*> made(const TOTPrntPage& page,
                                                   const std::string& prefix) {
    std::vector<const model::Component*> found;
    for (const auto& c : page.model().components()) {
      if (c.name.starts_with(prefix)) found.push_back(&c);
    }
    return found;
  }
  static std::vector<Rect> rects(const std::vector<const model::Component*>& components) {
    std::vector<Rect> result;
    result.reserve(components.size());
    for (const auto* c : components) result.push_back(c->rect);
    return result;
  }
  std::unique_ptr<ReportFixture> fx;
};

TEST_F(OTPage, HeadCentresItsCaptionsAndShowsTheEmergencyMark) {
  struct Case {
    const char* emergency;
    bool built, mark;
  } cases[] = {{"0", true, false}, {"1", true, true}, {"2", true, true}, {"", false, true}};
  for (const auto& c : cases) {
    SetUp();
    auto page = build({{"Emergency", c.emergency}, {"HospitalID", ""}, {"ExamID", "TJ1"}});
    const auto& m = page->model();
    EXPECT_EQ(page->PageBuilt, c.built) << c.emergency;
    EXPECT_EQ(m.at("Label3").visible, c.mark) << c.emergency;
    if (!c.built) continue;
    EXPECT_EQ(m.at("Label4").rect.left, (777 - m.at("Label4").rect.width) / 2);
    EXPECT_EQ(m.at("Label10").rect.left, (777 - m.at("Label10").rect.width) / 2);
    EXPECT_EQ(m.at("Label37").caption, "体检号");
    EXPECT_EQ(m.at("L_InID").rect.left, 614 + (77 - 21) / 2);
  }
}

TEST_F(OTPage, TitleFollowsTheExactDeviceName) {
  struct Case {
    const char *device, *title;
    int left;  // (777 - 24 * characters) / 2
  } cases[] = {
      {"胃镜", "电子胃镜检查诊断报告", 268},
      {"肠镜", "电子肠镜检查诊断报告", 268},
      {"十二指肠镜", "十二指肠镜检查诊断报告", 256},
      {"小肠镜", "小肠镜检查诊断报告", 280},
      {"胃镜 ", "窥镜检查诊断报告", 292},  // a trailing blank matches nothing
  };
  for (const auto& c : cases) {
    SetUp();
    auto page = build({{"ModalityAE", c.device}});
    EXPECT_EQ(page->model().at("Label24").caption, c.title) << c.device;
    EXPECT_EQ(page->model().at("Label24").rect.left, c.left) << c.device;
  }
}

TEST_F(OTPage, TagPictureComesFromTheDeviceRow) {
  struct Case {
    const char* what;
    const char* tagImage;  // nullptr: no PacsModality row
    bool fileExists, built, shown;
  } cases[] = {
      {"no row", nullptr, true, true, false},
      {"blank name", "   ", true, true, false},
      {"trimmed name", "  C:\\tag\\es.bmp ", true, true, true},
      {"missing file", "C:\\tag\\es.bmp", false, false, false},
  };
  for (const auto& c : cases) {
    SetUp();
    if (c.tagImage) {
      fx->db.insert("PacsModality",
                    {{"ModalityName", "胃镜"}, {"ModalityRemark", "ES"}, {"TagImage", c.tagImage}});
    }
    if (c.fileExists) fx->file("C:\\tag\\es.bmp", testing::bmpBytes(97, 120));
    auto page = build({{"ModalityAE", "胃镜"}, {"Modality", "ES"}});
    const auto& flag = page->model().at("Image_Flag");
    EXPECT_EQ(page->PageBuilt, c.built) << c.what;
    EXPECT_EQ(flag.visible, c.shown) << c.what;
    if (c.shown) {
      EXPECT_EQ(flag.file, "C:\\tag\\es.bmp");
    }
  }
}

TEST_F(OTPage, PicturesStandInOneRowOrAGridByTheirNumber) {
  struct Case {
    int count;
    std::vector<Rect> firstAndLast;
    Rect diagnosis, pathology;  // up by 150 and grown for one row, also without pictures
  } cases[] = {
      {0, {}, {148, 610, 548, 181}, {148, 741, 548, 120}},
      {1, {{302, 376, 150, 150}, {302, 376, 150, 150}}, {148, 610, 548, 181}, {148, 741, 548, 120}},
      {4, {{48, 376, 150, 150}, {558, 376, 150, 150}}, {148, 610, 548, 181}, {148, 741, 548, 120}},
      {5, {{100, 376, 150, 150}, {299, 546, 150, 150}}, {148, 760, 548, 97}, {148, 891, 548, 54}},
      {7, {{62, 376, 150, 150}, {402, 546, 150, 150}}, {148, 760, 548, 97}, {148, 891, 548, 54}},
  };
  for (const auto& c : cases) {
    SetUp();
    images(c.count);
    auto page = build();
    auto placed = made(*page, "ReportImage");
    ASSERT_EQ(static_cast<int>(placed.size()), c.count);
    if (c.count > 0) {
      EXPECT_EQ(rects({placed.front(), placed.back()}), c.firstAndLast) << c.count;
    }
    EXPECT_EQ(page->model().at("RichEdit5").rect, c.diagnosis) << c.count;
    EXPECT_EQ(page->model().at("RichEdit2").rect, c.pathology) << c.count;
    EXPECT_EQ(page->model().at("Label13").rect.top, c.pathology.top - 27) << c.count;
  }
}

TEST_F(OTPage, CaptionsStandCentredUnderTheFittedPicture) {
  struct Case {
    const char* text;
    const char* caption;
    Rect rect;  // a 13-pixel font: two characters are 26 wide
  } cases[] = {
      {"  胃窦 ", "胃窦", {302 + (150 - 26) / 2, 376 + 19 + 112, 26, 13}},
      {"", "", {302 + 75, 376 + 19 + 112, 0, 13}},
  };
  for (const auto& c : cases) {
    SetUp();
    fx->image(0, "C:\\img\\0.bmp", 400, 300, {{"ImageText", c.text}});
    auto page = build();
    auto pictures = made(*page, "ReportImage");
    auto captions = made(*page, "ImageCaption");
    ASSERT_EQ(captions.size(), 1u);
    EXPECT_EQ(pictures[0]->rect, (Rect{302, 376 + 19, 150, 112}));
    EXPECT_EQ(captions[0]->caption, c.caption);
    EXPECT_EQ(captions[0]->rect, c.rect) << c.text;
    EXPECT_EQ(captions[0]->font.face, "宋体");
    EXPECT_EQ(captions[0]->color.rgb, 0xFFFFFFu);
    EXPECT_EQ(page->Images[0], pictures[0]->name);
    EXPECT_EQ(page->ImageCaptions[0], captions[0]->name);
  }
}

TEST_F(OTPage, LongTextsGrowTheirBoxesAndPushWhatFollows) {
  auto lines = [](int n) {
    std::string text;
    for (int i = 0; i < n; ++i) text += "一行\r\n";
    return text;
  };
  struct Case {
    int findingLines, impressionLines;
    Rect findings, firstPicture, diagnosis;
    int biopsy;  // Label13 and RichEdit1; the pathology report stays at 741
  } cases[] = {
      {7, 8, {148, 208, 548, 153}, {302, 376, 150, 150}, {148, 610, 548, 181}, 714},
      {10, 1, {148, 208, 548, 210}, {302, 433, 150, 150}, {148, 610, 548, 181}, 714},
      {1, 12, {148, 208, 548, 153}, {302, 376, 150, 150}, {148, 610, 548, 252}, 864},
  };
  for (const auto& c : cases) {
    SetUp();
    images(1);
    auto page =
        build({{"ImageFinding", lines(c.findingLines)}, {"Impression", lines(c.impressionLines)}});
    const auto& m = page->model();
    EXPECT_EQ(m.at("RichEdit4").rect, c.findings) << c.findingLines;
    EXPECT_EQ(m.at("Shape10").rect.top, std::max(363, c.findings.bottom() + 2));
    EXPECT_EQ(made(*page, "ReportImage")[0]->rect, c.firstPicture) << c.findingLines;
    EXPECT_EQ(m.at("RichEdit5").rect, c.diagnosis) << c.impressionLines;
    EXPECT_EQ(m.at("Label13").rect.top, c.biopsy) << c.impressionLines;
    EXPECT_EQ(m.at("RichEdit1").rect.top, c.biopsy) << c.impressionLines;
    EXPECT_EQ(m.at("RichEdit2").rect.top, 741);
  }
}

TEST_F(OTPage, TagsMarkTheTagPictureAndStandBesideTheirPicture) {
  images(2);  // one row: pictures at Left 217 and 387, Top 376
  fx->db.insert("tagimages", {{"id", "1"}, {"imagefile", "C:\\tag\\1.bmp"}});
  fx->db.insert("tagimages", {{"id", "2"}, {"imagefile", "C:\\tag\\missing.bmp"}});
  fx->file("C:\\tag\\1.bmp", testing::bmpBytes(8, 8));
  tag(0, " 1 ", 10, 20, 1);
  tag(1, "1", 30, 40, 1);  // a second tag on the same picture, on top of the first
  tag(2, "2", 50, 50, 0);  // its file is missing: no mark, no copy
  tag(3, "300", 5, 5, 0);  // a tag number without a slot
  tag(4, "1", 5, 5, 999);  // a picture number without a slot
  tag(5, "1", 5, 5, 7);    // no such picture placed
  tag(6, "3", 5, 5, 0);    // no such tag picture
  // No PacsModality row: the tag picture is hidden and the marks stand on the blank sheet.
  auto page = build();
  ASSERT_TRUE(page->PageBuilt);
  EXPECT_FALSE(page->model().at("Image_Flag").visible);
  auto marks = made(*page, "TagMark");
  auto copies = made(*page, "TagCopy");
  EXPECT_EQ(rects(marks),
            (std::vector<Rect>{{48 + 10, 235 + 20, 13, 13}, {48 + 30, 235 + 40, 13, 13}}));
  EXPECT_EQ(rects(copies), (std::vector<Rect>{{387 - 18, 376, 16, 16}, {387 - 18, 376, 16, 16}}));
  for (const auto* mark : marks) {
    EXPECT_TRUE(mark->stretch && mark->visible);
    EXPECT_EQ(mark->cursor, model::Cursor::HandPoint);
    EXPECT_EQ(mark->file, "C:\\tag\\1.bmp");
  }
  EXPECT_FALSE(copies[0]->stretch);
  EXPECT_EQ(page->TagCopies[1], copies[1]->name);
  EXPECT_EQ(page->TagMarks[1], marks[1]->name);
  EXPECT_TRUE(fx->services.boxes.shown.empty());
}

// Stored offsets at the ends of the 32-bit range once overflowed when added to the tag
// picture's place; they stand far off the sheet instead.
TEST_F(OTPage, TagOffsetsAtTheEndsOfTheIntegerRangeStayOffTheSheet) {
  images(1);
  fx->db.insert("tagimages", {{"id", "1"}, {"imagefile", "C:\\tag\\1.bmp"}});
  fx->file("C:\\tag\\1.bmp", testing::bmpBytes(8, 8));
  tag(0, "1", INT32_MAX, INT32_MIN, 0);
  tag(1, "1", INT32_MIN, INT32_MAX, 0);
  tag(2, "1", -48, -235, 0);
  auto page = build();
  ASSERT_TRUE(page->PageBuilt);
  EXPECT_EQ(rects(made(*page, "TagMark")),
            (std::vector<Rect>{{32767, -32768, 13, 13}, {-32768, 32767, 13, 13}, {0, 0, 13, 13}}));
}

// Rows that repeat their numbers must not add pictures or marks without end.
TEST_F(OTPage, RowsBeyondTheSlotsPlaceNothingMore) {
  fx->file("C:\\img\\same.bmp", testing::bmpBytes(150, 150));
  fx->db.insert("tagimages", {{"id", "1"}, {"imagefile", "C:\\img\\same.bmp"}});
  fx->db.execute("BEGIN");
  for (int i = 0; i < 300; ++i) {
    fx->image(i % 3, "C:\\img\\same.bmp", 0, 0);
    tag(i, "1", 1, 1, 0);
  }
  fx->db.execute("COMMIT");
  auto page = build();
  ASSERT_TRUE(page->PageBuilt);
  EXPECT_EQ(made(*page, "ReportImage").size(), 255u);
  EXPECT_EQ(made(*page, "TagCopy").size(), 255u);
}

TEST_F(OTPage, TagAndSignatureQueriesDecideWhetherThePageStays) {
  struct Case {
    const char* what;
    const char* dropped;  // a table whose query then fails
    const char* imageId;
    bool built, message;
  } cases[] = {
      {"tag number not a number", "", "x1", false, false},
      {"tag query fails", "RIS_REPORT_TAGIMAGE", "1", true, true},
      {"action query fails", "RIS_ReportAction", "1", false, false},
  };
  for (const auto& c : cases) {
    SetUp();
    fx->file("C:\\App\\Host.ini", kHostIni);
    fx->action("1", "A", "2024-03-05");
    fx->action("4", "D", "2024-03-07", "090000", "1");
    tag(0, c.imageId, 0, 0, 0, "1");
    if (*c.dropped) fx->db.execute(std::string("DROP TABLE ") + c.dropped);
    auto page = build({{"EditOrder", "1"}});
    EXPECT_EQ(page->PageBuilt, c.built) << c.what;
    std::vector<RecordedBox> expected;
    if (c.message) {
      expected.push_back({"无法和服务器数据库通讯成功，载入诊断报告贴图位置错误！", "Risview",
                          mb::kIconHand | mb::kOk, 0});
    }
    EXPECT_EQ(fx->services.boxes.shown, expected) << c.what;
    if (!c.built) continue;
    const auto& m = page->model();
    EXPECT_EQ(m.at("Edit25").caption, "A");
    EXPECT_TRUE(m.at("Edit25").readOnly);
    for (const char* name : {"Edit2", "Edit3", "Label8", "Label9"}) {
      EXPECT_TRUE(m.at(name).visible) << name;
    }
    EXPECT_EQ(m.at("Edit2").caption, "D");
    EXPECT_EQ(m.at("Label1").caption, "本报告仅供参考");
  }
}

}  // namespace
}  // namespace risview::pages
