#include "pages/general_page.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/report_fixture.h"

namespace risview::pages {
namespace {

using model::Rect;
using testing::Backend;
using testing::Fixture;
using testing::ReportFixture;
using testing::Row;

class GeneralPage : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!Fixture::available(Backend::Sqlite)) GTEST_SKIP() << "SQLite ODBC driver missing";
    fx = std::make_unique<ReportFixture>();
  }
  std::unique_ptr<TPrntPage> build(const Row& values = {}) {
    fx->request(values);
    return fx->page();
  }
  static const model::Component& at(const TPrntPage& page, const char* name) {
    return page.model().at(name);
  }
  std::unique_ptr<ReportFixture> fx;
};

TEST_F(GeneralPage, SexIsMappedOnlyFromExactCodesAndCentredOverItsLine) {
  struct Case {
    const char* code;
    const char* text;
    int left;  // 221 + (35 - width) / 2 with 14-pixel characters
  } cases[] = {{"M", "男", 231}, {"F", "女", 231}, {"m", "不祥", 224}, {"男", "不祥", 224}};
  for (const auto& c : cases) {
    SetUp();
    auto page = build({{"SEX", c.code}});
    EXPECT_EQ(at(*page, "L_Sex").caption, c.text) << c.code;
    EXPECT_EQ(at(*page, "L_Sex").rect.left, c.left) << c.code;
  }
}

TEST_F(GeneralPage, NumberLineChoosesInpatientThenOutpatientNumber) {
  struct Case {
    const char *hospital, *clinic, *bed;
    const char* kind;  // empty: the number group is hidden
    const char* number;
    bool bedShown;
  } cases[] = {
      {"ZY1", "MZ1", "3床", "住院号", "ZY1", true},
      {"ZY1", "", "   ", "住院号", "ZY1", false},  // a bed of blanks keeps the bed hidden
      {"", "MZ1", "3床", "门诊号", "MZ1", false},
      {"", "", "3床", "", "", false},
  };
  for (const auto& c : cases) {
    SetUp();
    auto page = build({{"HospitalID", c.hospital}, {"ClinicID", c.clinic}, {"SickbedID", c.bed}});
    const bool numberShown = *c.kind != 0;
    EXPECT_EQ(at(*page, "Label37").visible, numberShown) << c.hospital << c.clinic;
    EXPECT_EQ(at(*page, "Shape9").visible, numberShown);
    if (numberShown) {
      EXPECT_EQ(at(*page, "Label37").caption, c.kind);
      EXPECT_EQ(at(*page, "L_HispitalID").caption, c.number);
    }
    for (const char* bed : {"Label6", "L_BedID", "Shape7"}) {
      EXPECT_EQ(at(*page, bed).visible, c.bedShown) << bed << " " << c.hospital << c.clinic;
    }
  }
}

TEST_F(GeneralPage, EmergencyChangesTheFootAndTheReportTimeNeverTheMark) {
  struct Case {
    const char* emergency;
    bool built;
    const char *foot, *date;
  } cases[] = {
      {"0", true, "本报告仅供参考", "2024-03-05"},
      {"1", true, "急诊报告", "2024-03-05 14:30"},
      {"", false, "", ""},  // not a number: the page is dropped
  };
  for (const auto& c : cases) {
    SetUp();
    fx->file("C:\\App\\Host.ini",
             "\xEF\xBB\xBF[Report]\r\nReport PageFoot=本报告仅供参考\r\n"
             "Report EmergencyPageFoot=急诊报告\r\n");
    fx->action("1", "A", "2024-03-05", "143000");
    auto page = build({{"Emergency", c.emergency}});
    ASSERT_EQ(page->PageBuilt, c.built) << c.emergency;
    if (!c.built) continue;
    EXPECT_EQ(at(*page, "Label1").caption, c.foot);
    EXPECT_EQ(at(*page, "Edit4").caption, c.date);
    EXPECT_FALSE(at(*page, "Label3").visible);
  }
}

TEST_F(GeneralPage, SignatureBlockAndRevisionFieldsComeFromTheActions) {
  fx->action("1", "A", "2024-03-05");
  fx->action("2", "B", "2024-03-05");
  fx->action("1", "C", "2024-03-06");
  fx->action("4", "D", "2024-03-07", "090000", "1");
  auto page = build({{"EditOrder", "1"}});
  EXPECT_EQ(page->EditOrder, 1);
  EXPECT_EQ(at(*page, "Edit25").caption, "A/C");
  EXPECT_EQ(at(*page, "Edit26").caption, "B");
  EXPECT_EQ(at(*page, "Edit4").caption, "2024-03-06");
  for (const char* name : {"Edit1", "Edit3", "Label5", "Label7"}) {
    EXPECT_TRUE(at(*page, name).visible) << name;
  }
  EXPECT_EQ(at(*page, "Edit1").caption, "D");
  EXPECT_EQ(at(*page, "Edit3").caption, "2024-03-07");
  EXPECT_TRUE(at(*page, "Edit25").readOnly);
}

TEST_F(GeneralPage, ModalityRelayoutsMoveTheExaminationBlock) {
  struct Expect {
    const char* name;
    Rect rect;
    bool visible;
  };
  auto ot = build({{"Modality", "OT"}});
  EXPECT_EQ(at(*ot, "Label45").caption, "检查所见");
  for (const Expect& e : std::vector<Expect>{{"Label45", {61, 647, 64, 16}, true},
                                             {"RichEdit4", {135, 647, 536, 285}, true},
                                             {"Label39", {61, 647, 64, 16}, false},
                                             {"RichEdit11", {135, 647, 402, 38}, false},
                                             {"Edit12", {652, 644, 75, 17}, false}}) {
    EXPECT_EQ(at(*ot, e.name).rect, e.rect) << "OT " << e.name;
    EXPECT_EQ(at(*ot, e.name).visible, e.visible) << "OT " << e.name;
  }

  SetUp();
  auto xa = build({{"Modality", "XA"}});
  for (const Expect& e : std::vector<Expect>{{"Label39", {61, 189, 64, 16}, true},
                                             {"Edit12", {652, 189, 75, 17}, true},
                                             {"Label38", {61, 225, 64, 16}, true},
                                             {"RichEdit12", {135, 225, 586, 52}, true},
                                             {"Label45", {61, 287, 64, 16}, true},
                                             {"RichEdit4", {135, 287, 536, 330}, true},
                                             {"Label30", {61, 717, 64, 16}, true},
                                             {"RichEdit5", {135, 717, 536, 80}, true},
                                             {"Shape1", {61, 637, 667, 3}, false}}) {
    EXPECT_EQ(at(*xa, e.name).rect, e.rect) << "XA " << e.name;
    EXPECT_EQ(at(*xa, e.name).visible, e.visible) << "XA " << e.name;
  }
  // The title is centred on the sheet: (794 - 9 * 32) / 2.
  EXPECT_EQ(at(*xa, "Label24").rect.left, 253);
}

TEST_F(GeneralPage, FailingSignatureQueryStopsBuildingButKeepsThePage) {
  fx->action("1", "A", "2024-03-05");
  fx->db.execute("DROP TABLE TechList");
  auto page = build({{"Modality", "OT"}});
  EXPECT_TRUE(page->PageBuilt);
  EXPECT_EQ(at(*page, "Edit25").caption, "A");
  EXPECT_EQ(at(*page, "Label45").caption, "影像所见");  // no relayout
  EXPECT_EQ(at(*page, "Label24").caption, "检查诊断报告");
  EXPECT_FALSE(at(*page, "Edit25").readOnly);
}

// Report images and continuation sheets.
class GeneralPageImages : public GeneralPage {
 protected:
  std::unique_ptr<TPrntPage> withImages(int count, const Row& values = {}) {
    for (int i = 0; i < count; ++i) {
      fx->image(i, "C:\\img\\" + std::to_string(i) + ".bmp", 400, 400);
    }
    return build(values);
  }
  static std::vector<const model::Component*> images(const TPrntPage& page) {
    std::vector<const model::Component*> found;
    for (const auto& c : page.model().components()) {
      if (c.kind == model::Kind::Image && !c.file.empty()) found.push_back(&c);
    }
    return found;
  }
};

TEST_F(GeneralPageImages, CellsFillTheFirstSheetThenSixPerContinuationSheet) {
  struct Case {
    int count;
    int vertical;
    int lastIndex;
    const char* lastSheet;
    Rect last;
  } cases[] = {
      {4, 1200, 3, "Paper", {370, 410, 220, 220}},
      {5, 2400, 4, "Paper1", {130, 180, 220, 220}},
      {11, 3600, 10, "Paper2", {130, 180, 220, 220}},
  };
  for (const auto& c : cases) {
    SetUp();
    auto page = withImages(c.count);
    auto placed = images(*page);
    ASSERT_EQ(static_cast<int>(placed.size()), c.count);
    EXPECT_EQ(at(*page, "ScrollBox1").scrollRange.vertical, c.vertical) << c.count;
    EXPECT_EQ(placed[c.lastIndex]->parent, c.lastSheet) << c.count;
    EXPECT_EQ(placed[c.lastIndex]->rect, c.last) << c.count;
  }
  SetUp();
  auto none = withImages(0);
  EXPECT_TRUE(images(*none).empty());
  EXPECT_EQ(none->model().find("Paper1"), nullptr);
  EXPECT_EQ(at(*none, "ScrollBox1").scrollRange.vertical, 1200);
  SetUp();
  auto page = withImages(11);
  EXPECT_EQ(at(*page, "Paper1").rect, (Rect{94, 1147, 794, 1123}));
  EXPECT_EQ(at(*page, "Paper2").rect, (Rect{94, 2290, 794, 1123}));
  EXPECT_EQ(images(*page)[9]->rect, (Rect{370, 622, 220, 220}));
  // What is printed, in reading order.
  std::vector<std::string> sheets;
  for (const model::Component* sheet : page->model().sheets()) sheets.push_back(sheet->name);
  EXPECT_EQ(sheets, (std::vector<std::string>{"Paper", "Paper1", "Paper2"}));
}

TEST_F(GeneralPageImages, ContinuationSheetRepeatsHeaderAndFoot) {
  auto page = withImages(5);
  const auto& m = page->model();
  // Header and foot labels, edits and every shape in the frame, hidden ones as lines.
  for (const char* name : {"Label24", "Label8", "L_Name", "Shape3", "Shape10", "Label33", "Edit25",
                           "Shape2", "Label1", "Edit4", "Shape7"}) {
    const model::Component* copy = m.find(std::string("Paper1_") + name);
    ASSERT_NE(copy, nullptr) << name;
    EXPECT_EQ(copy->parent, "Paper1");
    EXPECT_EQ(copy->rect, m.at(name).rect) << name;
    EXPECT_TRUE(copy->visible) << name;
  }
  // Hidden labels, the examination block and the rule above it stay on the first sheet.
  for (const char* name : {"Label3", "Label39", "RichEdit4", "Shape1", "Label2"}) {
    EXPECT_EQ(m.find(std::string("Paper1_") + name), nullptr) << name;
  }
}

TEST_F(GeneralPageImages, PicturesKeepTheirShapeInTheMiddleOfTheirCell) {
  struct Case {
    int width, height;
    Rect rect;
  } cases[] = {
      {400, 200, {130, 189 + 55, 220, 110}},
      {200, 400, {130 + 55, 189, 110, 220}},
      {400, 300, {130, 189 + 27, 220, 164}},  // single-precision ratio: 164, not 165
      {300, 300, {130, 189, 220, 220}},
  };
  for (const auto& c : cases) {
    SetUp();
    fx->image(0, "C:\\img\\a.bmp", c.width, c.height);
    auto page = build();
    ASSERT_EQ(images(*page).size(), 1u);
    EXPECT_EQ(images(*page)[0]->rect, c.rect) << c.width << "x" << c.height;
  }
}

TEST_F(GeneralPageImages, XAImagesGoToContinuationSheetsOneColumnTwoToASheet) {
  auto page = withImages(3, {{"Modality", "XA"}});
  auto placed = images(*page);
  ASSERT_EQ(placed.size(), 3u);
  EXPECT_EQ(placed[0]->parent, "Paper1");
  EXPECT_EQ(placed[0]->rect, (Rect{130, 189, 380, 380}));
  EXPECT_EQ(placed[1]->parent, "Paper1");
  EXPECT_EQ(placed[1]->rect, (Rect{130, 570, 380, 380}));
  EXPECT_EQ(placed[2]->parent, "Paper2");
  EXPECT_EQ(at(*page, "ScrollBox1").scrollRange.vertical, 3600);
}

TEST_F(GeneralPageImages, AFailingPictureEndsPlacingAndKeepsThePage) {
  fx->image(0, "C:\\img\\0.bmp", 400, 400);
  fx->image(1, "C:\\img\\1.bmp", 400, 400);
  fx->image(2, "C:\\img\\missing.bmp", 0, 0);
  fx->image(3, "C:\\img\\3.bmp", 400, 400);
  fx->image(4, "C:\\img\\4.gif", 0, 0);
  auto page = build();
  EXPECT_TRUE(page->PageBuilt);
  EXPECT_EQ(images(*page).size(), 2u);
  EXPECT_EQ(static_cast<TMyPrntPage&>(*page).ImageCount, 2);
}

TEST_F(GeneralPageImages, ImagesBeyondTheBoundAreLeftOut) {
  fx->file("C:\\img\\same.bmp", testing::bmpBytes(10, 10));
  for (int i = 0; i < TMyPrntPage::kMaxImages + 5; ++i) {
    fx->image(i, "C:\\img\\same.bmp", 0, 0);
  }
  auto page = build();
  EXPECT_EQ(static_cast<int>(images(*page).size()), TMyPrntPage::kMaxImages);
  // 251 images after the first four fill 42 continuation sheets.
  EXPECT_EQ(at(*page, "ScrollBox1").scrollRange.vertical, 43 * 1200);
}

// A findings text longer than its box used to be cut off without a mark.
TEST_F(GeneralPage, TextsThatDoNotFitTheirBoxesAreMarked) {
  std::string lines, megabytes(1 << 20, 'x');
  for (int i = 0; i < 60; ++i) lines += "双侧胸腔未见积液。\r\n";
  struct Case {
    std::string finding;
    bool overflows;
  } cases[] = {
      {"", false}, {"右肺上叶尖段见一实性结节影。", false}, {lines, true}, {megabytes, true}};
  for (const auto& c : cases) {
    fx = std::make_unique<ReportFixture>();
    auto page = build({{"ImageFinding", c.finding}});
    EXPECT_EQ(at(*page, "RichEdit4").overflows, c.overflows) << c.finding.size();
    EXPECT_FALSE(at(*page, "RichEdit5").overflows);
    EXPECT_EQ(at(*page, "RichEdit4").caption.size(), c.finding.size());  // nothing cut
  }
}

// A rich edit given more than its limit used to keep the beginning without a sign.
TEST(RichTextShown, LongTextsEndWithALineSayingHowMuchIsNotShown) {
  struct Case {
    std::string text;
    size_t limit;
    std::string shown;
  } cases[] = {
      {"右肺", 2, "右肺"},
      {"右肺结节", 2, "右肺\n……（以下2字未显示）"},
      {"ab\xF0\x9F\x98\x80", 3, "ab\n……（以下1字未显示）"},  // a pair is never split
      {"ab\xF0\x9F\x98\x80", 4, "ab\xF0\x9F\x98\x80"},
  };
  for (const auto& c : cases) EXPECT_EQ(model::richTextShown(c.text, c.limit), c.shown) << c.text;
  EXPECT_EQ(model::richTextShown(std::string(model::kRichTextShownLimit, 'x')).size(),
            model::kRichTextShownLimit);
}

TEST_F(GeneralPage, DraggingScrollsOnEveryNinthMove) {
  auto page = build();
  page->PaperMouseDown(100);
  for (int move = 1; move < 9; ++move)
    EXPECT_EQ(page->PaperMouseMove(100 + move, 500), std::nullopt);
  EXPECT_EQ(page->PaperMouseMove(130, 500), 470);  // follows the pointer down by 30
  page->PaperMouseUp();
  EXPECT_EQ(page->PaperMouseMove(200, 470), std::nullopt);
}

}  // namespace
}  // namespace risview::pages
