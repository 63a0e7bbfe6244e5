#include "content/page_foot.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/errors.h"
#include "platform/text.h"
#include "support/doubles.h"

namespace risview::content {
namespace {

using risview::testing::FakeEnvironment;

TEST(HostIniFile, ReplacesTheLastFourCharactersWhateverTheyAre) {
  const struct {
    std::string exe, ini;
  } cases[] = {
      {"D:\\App\\Host.exe", "D:\\App\\Host.ini"},
      {"D:\\App\\Viewer", "D:\\App\\Vi.ini"},
      {"D:\\医院\\工作站程序", "D:\\医院\\工.ini"},  // four characters, twelve bytes
      {"D:\\医院\\工作站.EXE", "D:\\医院\\工作站.ini"},
      {"a.exe", "a.ini"},
      // Nothing would be left of the name: no host file rather than a file called ".ini".
      {"a.ex", ""},
      {"浏览器", ""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(HostIniFile(c.exe), c.ini) << c.exe;
}

const std::string kBothFeet = utf8ToCp936(
    "[Report]\r\nReport PageFoot=本报告仅供参考\r\nReport EmergencyPageFoot=急诊报告\r\n");
const std::string kRoutineFootOnly = utf8ToCp936("[Report]\r\nReport PageFoot=本报告仅供参考\r\n");
const std::string kOtherSection = utf8ToCp936("[Print]\r\nReport PageFoot=本报告仅供参考\r\n");

TEST(LoadPageFoot, TakesTheFootOfEachPageKindFromTheHostIniFile) {
  const struct {
    PageKind kind;
    std::string emergency;
    std::optional<std::string> ini;
    std::string foot;
    bool mark;
  } cases[] = {
      {PageKind::General, "0", kBothFeet, "本报告仅供参考", false},
      {PageKind::General, "1", kBothFeet, "急诊报告", false},
      {PageKind::General, "-2", kBothFeet, "急诊报告", false},
      {PageKind::General, "1", kRoutineFootOnly, "", false},
      {PageKind::NuclearMedicine, "1", kBothFeet, "本报告仅供参考", false},
      {PageKind::NuclearMedicine, "", kBothFeet, "本报告仅供参考", false},
      {PageKind::Endoscopy, "0", kBothFeet, "本报告仅供参考", false},
      {PageKind::Endoscopy, "1", kBothFeet, "本报告仅供参考", true},
      {PageKind::Endoscopy, "7", kRoutineFootOnly, "本报告仅供参考", true},
      {PageKind::General, "0", kOtherSection, "", false},
      {PageKind::General, "0", std::nullopt, "", false},
      {PageKind::Endoscopy, "1", std::nullopt, "", true},
  };
  for (const auto& c : cases) {
    FakeEnvironment env;
    env.exe = "D:\\App\\Host.exe";
    if (c.ini) env.files["D:\\App\\Host.ini"] = *c.ini;
    const PageFoot foot = LoadPageFoot(c.kind, env, c.emergency);
    EXPECT_EQ(foot.text, c.foot) << int(c.kind) << " " << c.emergency;
    EXPECT_EQ(foot.emergencyMark, c.mark) << int(c.kind) << " " << c.emergency;
  }
}

TEST(LoadPageFoot, AnEmergencyThatIsNoWholeNumberFailsTheGeneralAndEndoscopyPages) {
  FakeEnvironment env;
  env.files["C:\\App\\Host.ini"] = kBothFeet;
  for (const std::string bad : {"", "x", "1 ", "1.0", "99999999999"}) {
    EXPECT_THROW(IsEmergency(bad), ConversionError) << bad;
    EXPECT_THROW(LoadPageFoot(PageKind::General, env, bad), ConversionError) << bad;
    EXPECT_THROW(LoadPageFoot(PageKind::Endoscopy, env, bad), ConversionError) << bad;
    EXPECT_NO_THROW(LoadPageFoot(PageKind::NuclearMedicine, env, bad)) << bad;
  }
}

TEST(LoadPageFoot, ReadsTheFileAfreshForEveryPage) {
  FakeEnvironment env;
  env.files["C:\\App\\Host.ini"] = kRoutineFootOnly;
  EXPECT_EQ(LoadPageFoot(PageKind::General, env, "0").text, "本报告仅供参考");
  env.files["C:\\App\\Host.ini"] = utf8ToCp936("[report]\nreport pagefoot=仅供参考\n");
  EXPECT_EQ(LoadPageFoot(PageKind::General, env, "0").text, "仅供参考");
  EXPECT_EQ(env.reads, 2);

  env.exe = "Host";
  EXPECT_EQ(LoadPageFoot(PageKind::General, env, "0").text, "");
  EXPECT_EQ(env.reads, 2);
}

}  // namespace
}  // namespace risview::content
