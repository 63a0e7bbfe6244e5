// What a screen reader is told of a sheet and what copying a page gives: the components in
// creation order with their roles and names, and the texts in reading order.
#include "model/sheet_reading.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pages/general_page.h"
#include "support/report_fixture.h"

namespace risview::model {
namespace {

ComponentDesc on(ComponentDesc c) {
  if (c.parent.empty()) c.parent = "Paper";
  return c;
}

// A sheet as the pages lay one out: captions with values centred over their underlines
// (a pixel off their caption's top), a findings box beside its caption, a label below it,
// a hidden label, a picture with its caption under it and one without.
const FormDesc kSheet = {
    .name = "Sheet",
    .components = {
        {.name = "ScrollBox1", .kind = Kind::ScrollBox, .rect = {0, 0, 900, 700}},
        {.name = "Paper", .kind = Kind::Panel, .parent = "ScrollBox1", .rect = {0, 0, 794, 1123}},
        on({.name = "Title",
            .kind = Kind::Label,
            .rect = {300, 20, 120, 24},
            .caption = "CT检查报告单"}),
        on({.name = "Sex", .kind = Kind::Label, .rect = {260, 128, 28, 15}, .caption = "性别"}),
        on({.name = "L_Sex", .kind = Kind::Label, .rect = {300, 127, 14, 14}, .caption = "女"}),
        on({.name = "Name", .kind = Kind::Label, .rect = {61, 128, 28, 15}, .caption = "姓名"}),
        on({.name = "L_Name", .kind = Kind::Label, .rect = {120, 129, 28, 14}, .caption = "赵磊"}),
        on({.name = "Line", .kind = Kind::Shape, .rect = {108, 144, 81, 1}}),
        on({.name = "Hidden",
            .kind = Kind::Label,
            .rect = {400, 128, 28, 15},
            .caption = "床号",
            .visible = false}),
        on({.name = "Blank",
            .kind = Kind::Label,
            .rect = {500, 128, 28, 15},
            .caption = " \xE3\x80\x80"}),
        on({.name = "Findings",
            .kind = Kind::Label,
            .rect = {61, 743, 68, 16},
            .caption = "影像所见"}),
        on({.name = "RichEdit4",
            .kind = Kind::RichEdit,
            .rect = {135, 743, 536, 189},
            .caption = "右肺结节。\r\n纵隔未见异常。\r\n"}),
        on({.name = "Impression",
            .kind = Kind::Label,
            .rect = {61, 941, 68, 16},
            .caption = "初步诊断"}),
        on({.name = "Image1", .kind = Kind::Image, .rect = {100, 300, 200, 150}}),
        on({.name = "ImageCaption1",
            .kind = Kind::Label,
            .rect = {186, 450, 28, 12},
            .caption = "胃底"}),
        on({.name = "Image2", .kind = Kind::Image, .rect = {400, 300, 200, 150}}),
        on({.name = "Image3", .kind = Kind::Image, .rect = {100, 500, 200, 150}}),  // no file
        on({.name = "Edit2", .kind = Kind::Edit, .rect = {139, 1031, 124, 14}}),
    }};

TEST(SheetReading, ItemsAreTheVisibleComponentsInCreationOrderWithoutDecoration) {
  PageModel model(kSheet);
  model.at("Image1").file = "a.jpg";
  model.at("Image2").file = "b.jpg";
  std::vector<std::string> seen;
  for (const ReadableItem& item : readableItems(model, model.at("Paper"))) {
    const char* role = item.role == ReadRole::Text      ? "text"
                       : item.role == ReadRole::Graphic ? "graphic"
                                                        : "edit";
    seen.push_back(item.component->name + " " + role + " " + item.name);
  }
  EXPECT_EQ(seen, (std::vector<std::string>{
                      "Title text CT检查报告单", "Sex text 性别", "L_Sex text 女", "Name text 姓名",
                      "L_Name text 赵磊", "Findings text 影像所见",
                      "RichEdit4 edit 右肺结节。\r\n纵隔未见异常。\r\n", "Impression text 初步诊断",
                      "Image1 graphic 胃底",  // named by the caption it stands on
                      "ImageCaption1 text 胃底", "Image2 graphic 图像 2", "Edit2 edit "}));
}

TEST(SheetReading, TextFollowsTheLinesOfTheSheet) {
  PageModel model(kSheet);
  model.at("Edit2").caption = "周明";
  EXPECT_EQ(sheetText(model, model.at("Paper")),
            "CT检查报告单\n"
            "姓名  赵磊  性别  女\n"  // left to right, values a pixel off their captions
            "胃底\n"
            "影像所见  右肺结节。\n纵隔未见异常。\n"  // the box's own lines, CRLF made LF
            "初步诊断\n"                              // not gathered by the tall box beside
            "周明");
}

TEST(SheetReading, APageReadsNameBeforeFindingsAndSignaturesLast) {
  if (!testing::Fixture::available(testing::Backend::Sqlite))
    GTEST_SKIP() << "SQLite ODBC driver missing";
  testing::ReportFixture fx;
  fx.action("1", "周明", "2024-03-11", "165000");
  fx.request({{"PTN_NAME", "赵磊"}, {"EditOrder", "1"}, {"ImageFinding", "右肺上叶结节。"}});
  auto page = fx.page();
  ASSERT_TRUE(page->PageBuilt);
  const std::string text = pageText(page->model());
  const size_t name = text.find("赵磊"), findings = text.find("右肺上叶结节。"),
               signature = text.rfind("周明");
  ASSERT_NE(name, std::string::npos);
  EXPECT_LT(name, findings);
  EXPECT_LT(findings, signature);
  // The signature block closes the page: the reporter's line, then its date.
  EXPECT_EQ(text.substr(text.rfind('\n') + 1), "报告日期  2024-03-11") << text;
  EXPECT_EQ(text.find('\n', text.find('\n', signature) + 1), std::string::npos) << text;
}

}  // namespace
}  // namespace risview::model
