// What a revision changed: report texts compared character by character, and the editions
// of a request with their revision rows.
#include "model/text_changes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "preview/report_loading.h"
#include "support/report_fixture.h"

namespace risview::model {
namespace {

TEST(TextChanges, ReportTextsAreComparedCharacterByCharacter) {
  struct Case {
    const char *what, *before, *now, *marked;
  } cases[] = {
      {"an insertion", "右肺结节。", "右肺上叶结节。", "右肺[+上叶]结节。"},
      {"a deletion", "双肺纹理增多，紊乱。", "双肺纹理增多。", "双肺纹理增多[-，紊乱]。"},
      {"a side replaced", "左侧胸腔积液。", "右侧胸腔积液。", "[-左][+右]侧胸腔积液。"},
      {"unchanged", "未见异常。", "未见异常。", "未见异常。"},
      {"a text that was empty", "", "建议复查。", "[+建议复查。]"},
      {"a text now empty", "建议复查。", "", "[-建议复查。]"},
      {"both empty", "", "", ""},
      {"line ends and Latin", "6mm\r\n", "8mm\r\n", "[-6][+8]mm\r\n"},
      {"a size revised, a word added", "右肺上叶见一结节影，大小约6mm。",
       "右肺上叶见一实性结节影，大小约8mm。", "右肺上叶见一[+实性]结节影，大小约[-6][+8]mm。"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(describeChanges(compareTexts(c.before, c.now)), c.marked) << c.what;
  }
  // Past the length compared, a text is replaced whole.
  std::string longer;
  for (size_t i = 0; i <= kComparedLength; ++i) longer += "肺";
  const std::vector<TextChange> whole = compareTexts("肺", longer);
  ASSERT_EQ(whole.size(), 2u);
  EXPECT_TRUE(whole[0].kind == TextChange::Kind::Removed && whole[0].text == "肺");
  EXPECT_TRUE(whole[1].kind == TextChange::Kind::Inserted && whole[1].text == longer);
  const std::vector<TextChange> same = compareTexts(longer, longer);
  EXPECT_TRUE(same.size() == 1 && same[0].kind == TextChange::Kind::Same);
  // The pieces read back as both texts.
  std::string before, now;
  for (const TextChange& piece : compareTexts("左肺上叶结节", "右肺下叶小结节")) {
    if (piece.kind != TextChange::Kind::Inserted) before += piece.text;
    if (piece.kind != TextChange::Kind::Removed) now += piece.text;
  }
  EXPECT_EQ(before, "左肺上叶结节");
  EXPECT_EQ(now, "右肺下叶小结节");
}

TEST(TextChanges, EditionsComeWithTheirRevisionRows) {
  if (!testing::Fixture::available(testing::Backend::Sqlite))
    GTEST_SKIP() << "SQLite ODBC driver missing";
  testing::ReportFixture fx;
  fx.request();
  fx.report({{"EditOrder", "2"}, {"ReportID", "1"}});
  fx.report({{"EditOrder", "1"}, {"ReportID", "1"}});
  fx.report({{"EditOrder", "2"}, {"ReportID", "2"}});  // two pages: one edition
  fx.action("4", "吴建国", "2024-03-12", "090000", "1");
  fx.action("4", "郑华", "2024-03-13", "090000", "1");  // a second row of edition 1: not taken
  // Edition 2 has no revision row.
  const std::vector<preview::Edition> editions = preview::ReadEditions("R1", fx.db.connection());
  std::vector<std::string> labels;
  labels.reserve(editions.size());
  for (const auto& e : editions) labels.push_back(preview::editionLabel(e));
  EXPECT_EQ(labels,
            (std::vector<std::string>{"原始报告", "第一次修改 吴建国 2024-03-12", "第二次修改"}));

  // The pages of a chosen edition, marked against the edition before.
  fx.db.execute("UPDATE RIS_REPORT SET ImageFinding = '左肺结节。' WHERE EditOrder = 1");
  fx.db.execute("UPDATE RIS_REPORT SET ImageFinding = '右肺结节。' WHERE EditOrder = 2");
  preview::LoadedReport second = preview::LoadReport("R1", 2, fx.context);
  ASSERT_EQ(second.tabs.size(), 2u);
  preview::MarkChanges(second, preview::LoadReport("R1", 1, fx.context));
  EXPECT_EQ(describeChanges(second.tabs[0].page->model().at("RichEdit4").changes),
            "[-左][+右]肺结节。");
  // Page 2 is new in edition 2: every text of it is inserted.
  EXPECT_EQ(describeChanges(second.tabs[1].page->model().at("RichEdit4").changes), "[+右肺结节。]");
}

}  // namespace
}  // namespace risview::model
