#include "pages/nm_page.h"

#include <gtest/gtest.h>

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
using testing::ReportFixture;
using testing::Row;

// The host's ini file, in UTF-8 with its byte-order mark.
constexpr char kHostIni[] = "\xEF\xBB\xBF[Report]\r\nReport PageFoot=本报告仅供参考\r\n";

class NMPage : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!Fixture::available(Backend::Sqlite)) GTEST_SKIP() << "SQLite ODBC driver missing";
    fx = std::make_unique<ReportFixture>();
  }
  std::unique_ptr<TNMPrntPage> build(const Row& values = {}) {
    fx->request(values);
    data::Query query(fx->db.connection());
    for (const auto& line : preview::reportStatement("R1")) query.addSql(line);
    query.open();
    return std::make_unique<TNMPrntPage>(query, fx->context);
  }
  // Square pictures of the given side, orders 0, 1, 2, ...
  std::unique_ptr<TNMPrntPage> withImages(int count, int side) {
    for (int i = 0; i < count; ++i) {
      fx->image(i, "C:\\img\\" + std::to_string(i) + ".bmp", side, side);
    }
    return build();
  }
  static std::vector<Rect> shown(const TNMPrntPage& page) {
    std::vector<Rect> rects;
    for (const auto& c : page.model().components()) {
      if (c.kind == model::Kind::Image && c.visible && c.parent == "Paper") rects.push_back(c.rect);
    }
    return rects;
  }
  std::unique_ptr<ReportFixture> fx;
};

TEST_F(NMPage, HeaderTakesTheFirstNumberGivenAndCentresValuesOnTheirLines) {
  struct Case {
    const char *hospital, *clinic, *exam, *kind, *number;
    int left;  // 123 + (66 - 7 * characters) / 2
  } cases[] = {
      {"ZY1", "MZ1", "TJ1", "住院号", "ZY1", 145},
      {"", "MZ12", "TJ1", "门诊号", "MZ12", 142},
      {"", "", "TJ1", "体检号", "TJ1", 145},
      {"", "", "", "住院号", "", 156},
  };
  for (const auto& c : cases) {
    SetUp();
    auto page = build({{"HospitalID", c.hospital},
                       {"ClinicID", c.clinic},
                       {"ExamID", c.exam},
                       {"ClinicalDiagnosis", "肺部结节"}});
    const auto& m = page->model();
    ASSERT_TRUE(page->PageBuilt);
    EXPECT_EQ(m.at("Label37").caption, c.kind) << c.number;
    EXPECT_EQ(m.at("L_HispitalID").caption, c.number);
    EXPECT_EQ(m.at("L_HispitalID").rect.left, c.left) << c.number;
    EXPECT_EQ(m.at("L_Sex").caption, "M");  // the code as stored
    EXPECT_EQ(m.at("Label13").rect.left, 352);
  }
}

TEST_F(NMPage, PicturesShareTheBandByTheirNumber) {
  struct Case {
    int count, side;  // pictures as large as their boxes
    std::vector<Rect> rects;
    Rect findings;  // a pair gives the findings 50 of the band per picture
  } cases[] = {
      {0, 0, {}, {150, 647, 548, 189}},
      {1, 448, {{174, 157, 448, 448}}, {150, 647, 548, 189}},
      {2, 340, {{56, 157, 340, 340}, {399, 157, 340, 340}}, {150, 547, 548, 289}},
      {3,
       224,
       {{156, 157, 224, 224}, {415, 157, 224, 224}, {156, 382, 224, 224}},
       {150, 647, 548, 189}},
      // Five or more: three columns of 221 fill the band's width and end above Shape1 at 605.
      {5,
       221,
       {{56, 157, 221, 221},
        {287, 157, 221, 221},
        {518, 157, 221, 221},
        {56, 379, 221, 221},
        {287, 379, 221, 221}},
       {150, 647, 548, 189}},
  };
  for (const auto& c : cases) {
    SetUp();
    auto page = withImages(c.count, c.side);
    ASSERT_TRUE(page->PageBuilt);
    EXPECT_EQ(shown(*page), c.rects) << c.count;
    EXPECT_EQ(page->model().at("RichEdit4").rect, c.findings) << c.count;
    EXPECT_EQ(page->model().at("Label45").rect.top, c.findings.top) << c.count;
  }
}

TEST_F(NMPage, ManyPicturesStayInTheBandWithBoxesOfAtLeastAPixel) {
  fx->file("C:\\img\\same.bmp", testing::bmpBytes(30, 20));
  for (int i = 0; i < kImageSlots; ++i) fx->image(i, "C:\\img\\same.bmp", 0, 0);
  auto page = build();
  ASSERT_TRUE(page->PageBuilt);
  auto rects = shown(*page);
  ASSERT_EQ(rects.size(), static_cast<size_t>(kImageSlots));
  for (const Rect& r : rects) {
    EXPECT_GE(r.width, 1);
    EXPECT_GE(r.left, 56);
    EXPECT_LE(r.right(), 56 + 683);
    EXPECT_GE(r.top, 157);
    EXPECT_LE(r.bottom(), 605);
  }
}

TEST_F(NMPage, PicturesKeepTheirShapeOnWholePixels) {
  struct Case {
    int count, width, height;
    Rect first;
  } cases[] = {
      {1, 640, 480, {174, 157 + 56, 448, 335}},  // single-precision scale: 335, not 336
      {1, 500, 500, {174, 157, 447, 448}},
      {1, 300, 600, {174 + 112, 157, 223, 448}},
      {3, 400, 300, {156, 157 + 28, 224, 168}},
  };
  for (const auto& c : cases) {
    SetUp();
    for (int i = 0; i < c.count; ++i) {
      fx->image(i, "C:\\img\\" + std::to_string(i) + ".bmp", c.width, c.height);
    }
    auto page = build();
    ASSERT_FALSE(shown(*page).empty());
    EXPECT_EQ(shown(*page)[0], c.first) << c.width << "x" << c.height;
  }
}

TEST_F(NMPage, PictureFailuresEndTheImageStepAndKeepThePage) {
  struct Case {
    const char* what;
    std::vector<std::pair<int, const char*>> rows;  // order, file (".bmp" files exist)
    std::vector<Rect> placed;
  } cases[] = {
      {"missing file", {{0, "0.bmp"}, {1, "missing.jpg"}, {2, "2.bmp"}}, {{156, 157, 224, 224}}},
      // Orders without a slot are left out, the others close up.
      {"orders out of range",
       {{-1, "a.bmp"}, {0, "b.bmp"}, {1, "c.bmp"}, {255, "d.bmp"}},
       {{156, 157, 224, 224}, {415, 157, 224, 224}}},
  };
  for (const auto& c : cases) {
    SetUp();
    fx->file("C:\\App\\Host.ini", kHostIni);
    for (const auto& [order, file] : c.rows) {
      const std::string path = std::string("C:\\img\\") + file;
      const bool exists = std::string(file).ends_with(".bmp");
      fx->image(order, path, exists ? 224 : 0, exists ? 224 : 0);
    }
    auto page = build();
    EXPECT_TRUE(page->PageBuilt) << c.what;
    EXPECT_EQ(shown(*page), c.placed) << c.what;
    // Building went on after the pictures.
    EXPECT_EQ(page->model().at("RichEdit4").caption, "所见") << c.what;
    EXPECT_EQ(page->model().at("Label1").caption, "本报告仅供参考") << c.what;
  }
}

TEST_F(NMPage, SignatureBlockOrItsFailureDecidesTheLastSteps) {
  struct Case {
    const char* dropped;  // a table whose query then fails
    bool built;
    const char *writers, *date, *foot;
  } cases[] = {
      {"", true, "A/C", "2024-03-06 14:30", "本报告仅供参考"},
      // The action query fails: the page stays, the last steps are not applied.
      {"RIS_ReportAction", true, "", "", "本报告仅供医师诊疗参考，对外不能代作证明书之用。"},
  };
  for (const auto& c : cases) {
    SetUp();
    fx->file("C:\\App\\Host.ini", kHostIni);
    fx->action("1", "A", "2024-03-05");
    fx->action("2", "B", "2024-03-05");
    fx->action("1", "C", "2024-03-06", "143000");
    fx->action("4", "D", "2024-03-07", "090000", "1");
    if (*c.dropped) fx->db.execute(std::string("DROP TABLE ") + c.dropped);
    auto page = build({{"EditOrder", "1"}});
    const auto& m = page->model();
    EXPECT_EQ(page->PageBuilt, c.built) << c.dropped;
    EXPECT_EQ(m.at("Label15").caption, c.writers) << c.dropped;
    EXPECT_EQ(m.at("Edit4").caption, c.date) << c.dropped;
    EXPECT_EQ(m.at("Label1").caption, c.foot) << c.dropped;
    EXPECT_EQ(m.at("Edit4").readOnly, *c.dropped == 0) << c.dropped;
    if (*c.dropped) continue;
    EXPECT_EQ(m.at("Label16").caption, "B");
    for (const char* name : {"Label2", "Label14", "Edit1", "Edit3"}) {
      EXPECT_TRUE(m.at(name).visible) << name;
    }
    EXPECT_EQ(m.at("Edit1").caption, "D");
  }
}

}  // namespace
}  // namespace risview::pages
