#include "preview/report_loading.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/report_fixture.h"

namespace risview::preview {
namespace {

using testing::Backend;
using testing::Fixture;
using testing::ReportFixture;

std::vector<std::string> captions(const LoadedReport& report) {
  std::vector<std::string> result;
  for (const auto& tab : report.tabs) result.push_back(tab.caption);
  return result;
}

class ReportLoading : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!Fixture::available(Backend::Sqlite)) GTEST_SKIP() << "SQLite ODBC driver missing";
    fx = std::make_unique<ReportFixture>();
  }
  LoadedReport load(const std::string& requisition = "R1") {
    return LoadReport(requisition, fx->context);
  }
  std::unique_ptr<ReportFixture> fx;
};

TEST_F(ReportLoading, OnePagePerRowOfTheNewestEditionInRowOrder) {
  fx->request({{"DepartmentID", "7"}});
  fx->report({{"ReportID", "2"}});
  fx->report({{"ReportID", "3"}});
  LoadedReport first = load();
  EXPECT_EQ(first.departmentId, 7);
  EXPECT_EQ(captions(first), (std::vector<std::string>{"  第 一 页", "  第 二 页", "  第 三 页"}));
  EXPECT_EQ(first.tabs[2].page->className(), std::string("TMyPrntPage"));

  for (const char* page : {"1", "2"}) fx->report({{"ReportID", page}, {"EditOrder", "1"}});
  EXPECT_EQ(captions(load()),
            (std::vector<std::string>{"  第 一 页 的第一次修改 ", "  第 二 页 的第一次修改 "}));
}

TEST_F(ReportLoading, PagesThatCannotBeBuiltAreDroppedAndABadPageNumberEndsLoading) {
  fx->request({{"Emergency", ""}});
  fx->report({{"ReportID", "2"}});
  LoadedReport dropped = load();
  EXPECT_TRUE(dropped.tabs.empty());
  EXPECT_EQ(dropped.dropped, (std::vector<std::string>{"1", "2"}));

  SetUp();
  fx->request();
  fx->report({{"ReportID", "2x"}});
  fx->report({{"ReportID", "3"}});
  LoadedReport cut = load();
  EXPECT_EQ(captions(cut), (std::vector<std::string>{"  第 一 页"}));
  ASSERT_NE(cut.untabbed, nullptr);  // built and shown, but without a tab
  EXPECT_EQ(cut.untabbed->ReportID, "2x");
}

TEST_F(ReportLoading, ARequestWithoutReportRowsGivesNoPages) {
  fx->request();
  LoadedReport none = load("R2");
  EXPECT_EQ(none.departmentId, 0);
  EXPECT_TRUE(none.tabs.empty());
  EXPECT_EQ(none.untabbed, nullptr);
}

}  // namespace
}  // namespace risview::preview
