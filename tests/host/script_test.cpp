#include "host/script.h"

#include <gtest/gtest.h>

namespace risview::host {

// A set-up line in a failure message as the runner reads it.
void PrintTo(const SetupLine& line, std::ostream* os) {
  *os << line.key << ' ' << line.value;
}

namespace {

TEST(Script, ReadsWordsTextsAndOptions) {
  Script s = parseScript(
      "# a scenario\n"
      "\n"
      "box text=\"RIS连接失败！\" caption=risview style=0x10   # trailing comment\r\n"
      "type lvShowDetail \"a \\\"b\\\" \\\\ \\e\\u{7B}\\n\"\n"
      "expect-row lvShowDetail 0 \"CT 1\" \"\" 胸部\n");
  ASSERT_EQ(s.commands.size(), 3u);
  const Command& box = s.commands[0];
  EXPECT_EQ(box.line, 3);
  EXPECT_EQ(box.name, "box");
  EXPECT_EQ(box.option("text"), "RIS连接失败！");
  EXPECT_EQ(box.option("caption"), "risview");
  EXPECT_EQ(box.option("style"), "0x10");
  EXPECT_EQ(box.option("press"), std::nullopt);
  EXPECT_EQ(s.commands[1].args[1].text, "a \"b\" \\ \x1b{\n");
  const Command& row = s.commands[2];
  ASSERT_EQ(row.args.size(), 5u);
  EXPECT_EQ(row.args[3].text, "");
  EXPECT_TRUE(row.args[3].quoted);
  EXPECT_EQ(row.args[4].text, "胸部");
}

TEST(Script, ByteOrderMarkAndCallsWithNullPointers) {
  Script s = parseScript(
      "\xEF\xBB\xBF"
      "call \"123\" null\ncall \"null\" \" 45 \" x87=0x1332 mxcsr=0x1900\nclick btnClose\n");
  auto calls = s.calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].clinicId, "123");
  EXPECT_EQ(calls[0].hospitalId, std::nullopt);
  EXPECT_EQ(calls[1].clinicId, "null");  // quoted: the text, not a null pointer
  EXPECT_EQ(calls[1].hospitalId, " 45 ");
  EXPECT_EQ(calls[0].x87, std::nullopt);
  EXPECT_EQ(calls[1].x87, 0x1332u);
  EXPECT_EQ(calls[1].mxcsr, 0x1900u);
}

TEST(Script, RejectsMistakesNamingTheLine) {
  struct Case {
    const char* text;
    const char* message;
  } cases[] = {
      {"wiat class=X", "line 1: unknown command \"wiat\""},
      {"\n\nbox txt=\"a\"", "line 3: box: unknown option \"txt\""},
      {"box text=a text=b", "line 1: box: option \"text\" given twice"},
      {"click", "line 1: click: takes 1 argument, not 0"},
      {"call \"1\"", "line 1: call: takes 2 arguments, not 1"},
      {"call a b x87=on", "line 1: call: x87=needs a whole number, not \"on\""},
      {"expect-visible a yes no", "line 1: expect-visible: takes 1 to 2 arguments, not 3"},
      {"expect-row lv", "line 1: expect-row: takes at least 2 arguments, not 1"},
      {"expect-rows lv two", "line 1: expect-rows: expected a whole number, not \"two\""},
      {"expect-rows lv \"2\"", "line 1: expect-rows: expected a whole number, not \"2\""},
      {"select lv -1", "line 1: select: expected a row or none, not \"-1\""},
      {"key lv F25", "line 1: key: expected a key name such as Escape or F12, not \"F25\""},
      {"key lv C alt", "line 1: key: the keys held are ctrl, shift or ctrl+shift"},
      {"expect-pictures-drawn Page1/ScrollBox1",
       "line 1: expect-pictures-drawn: takes 2 arguments, not 1"},
      {"options ris web2", "line 1: options: expected none, ris, dicom or web, not \"web2\""},
      {"type lv \"abc", "line 1: a quoted text is not closed"},
      {"type lv \"a\\q\"", "line 1: unknown escape \\q"},
      {"type lv \"\\u{110000}\"", "line 1: bad character code \\u{110000}"},
      {"type lv \"a\"b", "line 1: text right after a closing quote"},
      {"type lv ab\"c\"", "line 1: a quote inside the word \"ab\""},
      {"\"box\"", "line 1: a line starts with a command name"},
      {"box style=ten", "line 1: box: style=needs a whole number, not \"ten\""},
      {"box press=maybe",
       "line 1: box: press=needs a button such as ok, cancel, yes or no, not \"maybe\""},
      {"double-click lv at=3", "line 1: double-click: at=needs X,Y, not \"3\""},
      {"double-click lv row=1 at=3,4", "line 1: double-click: takes row= or at=, not both"},
      {"close via=window", "line 1: close: via=needs close-box or message, not \"window\""},
      {"wait timeout=5", "line 1: wait: needs class= or caption="},
      {"expect-debug", "line 1: expect-debug: takes either a text or contains=, not both"},
      {"expect-debug \"a\" contains=b",
       "line 1: expect-debug: takes either a text or contains=, not both"},
      {"start", "line 1: start: takes at least 1 argument, not 0"},
      {"expect-process a", "line 1: expect-process: takes 2 arguments, not 1"},
      {"expect-process a gone", "line 1: expect-process: expected running or ended, not \"gone\""},
      {"expect-process a ended code=x",
       "line 1: expect-process: code=needs a whole number, not \"x\""},
      {"expect-launch", "line 1: expect-launch: takes 1 argument, not 0"},
      {"option ris KEY", "line 1: option: takes 3 arguments, not 2"},
      {"scroll box down", "line 1: scroll: expected a whole number, not \"down\""},
      {"expect-rect a -1 -2 -3 4", "line 1: expect-rect: expected a whole number, not \"-3\""},
  };
  for (const auto& c : cases) {
    try {
      parseScript(c.text);
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const ScriptError& e) {
      EXPECT_STREQ(e.what(), c.message) << c.text;
    }
  }
}

// The runner reads its set-up from these lines alone: a fixture, the option file, its faults
// and the host's flags.
TEST(Script, RunnerSetUp) {
  using Lines = std::vector<SetupLine>;
  struct Case {
    const char* text;
    Lines setup;
  } cases[] = {
      {"fixture patients\noptions ris dicom\noption DICOMWEBURL PASSWORD \"\"\n",
       {{"fixture", "patients"},
        {"section", "ris"},
        {"section", "dicom"},
        {"section", "DICOMWEBURL:PASSWORD="}}},
      {"display-dpi 144 unaware", {{"display-dpi", "144"}, {"host-flag", "--dpi-unaware"}}},
      {"display-dpi 0x90", {{"display-dpi", "0x90"}, {"host-flag", "--dpi-aware"}}},
      {"host-ole\nhost-reload warmup=3 growth-kib=16",
       {{"host-flag", "--ole"},
        {"host-flag", "--reload"},
        {"host-flag", "--growth-kib"},
        {"host-flag", "16"},
        {"host-flag", "--warmup"},
        {"host-flag", "3"}}},
      {"backend postgres-private\nsilent-server ris\nlock-table RIS_REPORT\nprinter\n"
       "plant-riched20",
       {{"backend", "postgres-private"},
        {"silent-server", "ris"},
        {"lock-table", "RIS_REPORT"},
        {"printer", "yes"},
        {"plant-riched20", "yes"}}},
      {"on-signal gone remove-file \"images/mr 1.jpg\"\non-signal down stop-database",
       {{"on-signal", "gone remove-file images/mr 1.jpg"}, {"on-signal", "down stop-database"}}},
      // The driver's commands are no set-up.
      {"call a null\nwait class=X\nexpect-return", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(parseScript(c.text).setup(), c.setup) << c.text;
  // The runner sets up from every command marked as its own, and from no other.
  for (const CommandInfo& c : commandTable()) {
    EXPECT_EQ(c.actor == Actor::Runner, c.setup != nullptr) << c.name;
  }
}

TEST(Script, HelpWritesEachCommandFromItsArguments) {
  struct Case {
    const char* name;
    const char* synopsis;
  } cases[] = {
      {"key", "key NAME KEY [ctrl|shift|ctrl+shift]"},
      {"expect-row", "expect-row NAME ROW [TEXT...]"},
      {"expect-drawn", "expect-drawn NAME... [timeout=S]"},
      {"double-click", "double-click NAME [row=N] [at=X,Y]"},
      {"settle", "settle"},
  };
  for (const auto& c : cases) EXPECT_EQ(synopsis(*findCommand(c.name)), c.synopsis);
  EXPECT_EQ(findCommand("nothing"), nullptr);
}

TEST(Script, KeyNames) {
  EXPECT_EQ(virtualKeyCode("Escape"), 0x1Bu);
  EXPECT_EQ(virtualKeyCode("Enter"), 0x0Du);
  EXPECT_EQ(virtualKeyCode("F1"), 0x70u);
  EXPECT_EQ(virtualKeyCode("F12"), 0x7Bu);
  EXPECT_EQ(virtualKeyCode("A"), 0x41u);
  EXPECT_EQ(virtualKeyCode("7"), 0x37u);
  EXPECT_EQ(virtualKeyCode("F0"), std::nullopt);
  EXPECT_EQ(virtualKeyCode("a"), std::nullopt);
  EXPECT_EQ(virtualKeyCode("escape"), std::nullopt);
}

}  // namespace
}  // namespace risview::host
