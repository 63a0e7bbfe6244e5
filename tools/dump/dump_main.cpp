// risview-dump: loads the report of one request exactly as the preview window does and
// prints its pages as JSON, for tests, for checking a site's layout without a screen, and
// for reviewers.
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include <clocale>
#include <cstdio>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "data/data_module.h"
#include "dump/page_json.h"
#include "dump/tool_platform.h"
#include "model/page_model.h"
#include "pictures/picture_info.h"
#include "platform/file_log.h"
#include "platform/text.h"
#include "preview/report_loading.h"

namespace {

constexpr char kUsage[] =
    "usage: risview-dump --requisition ID [--today YYYY-MM-DD] [--host-exe PATH]\n"
    "                    [--edition N [--changes]]\n"
    "\n"
    "Loads the report of request ID as the preview window does and prints its pages as\n"
    "JSON on standard output. Run it in a folder that holds RisOption.ini; ODBCSYSINI\n"
    "selects the ODBC driver configuration.\n"
    "\n"
    "  --today       the date ages are counted to (default: the system's)\n"
    "  --host-exe    the host program's path; its ini file (the path with its last four\n"
    "                characters replaced by \".ini\") gives the page foot. Without it\n"
    "                no host ini file is read and the foot is empty.\n"
    "  --edition     the edition N (EditOrder) instead of the newest\n"
    "  --changes     each report text also as \"changes\": what changed since the edition\n"
    "                before, inserted text as [+...] and removed text as [-...]\n"
    "\n"
    "Message boxes are written to standard error as \"messagebox: <caption>: <text>\".\n"
    "\n"
    "Text metrics are fixed, so results are the same on any machine: a character below\n"
    "U+0080 is half the font's pixel height wide (truncated), any other character the full\n"
    "pixel height; an auto-sized label is as high as its font's pixel height; a rich-text\n"
    "box wraps at its width with those widths.\n";

class StderrBoxes : public risview::MessageBoxes {
 public:
  int show(std::string_view text, std::string_view caption, unsigned, risview::WindowRef) override {
    std::cerr << "messagebox: " << caption << ": " << text << "\n";
    return 1;
  }
};

class SilentDebug : public risview::DebugOutput {
 public:
  void write(std::string_view) override {}
};

// The log's own trouble, which a person at the console wants to see.
class StderrDebug : public risview::DebugOutput {
 public:
  void write(std::string_view line) override { std::cerr << line << "\n"; }
};

bool parseDate(std::string_view text, risview::LocalDateTime& date) {
  int y = 0, m = 0, d = 0;
  char tail = 0;
  if (std::sscanf(std::string(text).c_str(), "%4d-%2d-%2d%c", &y, &m, &d, &tail) != 3) {
    return false;
  }
  if (m < 1 || m > 12 || d < 1 || d > 31) return false;
  date = {y, m, d, 0, 0, 0};
  return true;
}

int fail(const std::string& message) {
  std::cerr << "risview-dump: " << message << "\n" << kUsage;
  return 2;
}

// What the command line asks for.
struct Arguments {
  std::string requisition;
  bool haveRequisition = false;
  std::optional<int32_t> edition;
  bool changes = false;
};

// Reads the command line into args, env and clock; an exit code when the tool ends here.
std::optional<int> parseArguments(int argc, char** argv, Arguments& args,
                                  risview::dump::ToolEnvironment& env,
                                  risview::dump::ToolClock& clock) {
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    }
    if (arg == "--changes") {
      args.changes = true;
      continue;
    }
    if (i + 1 >= argc) return fail("missing value after " + std::string(arg));
    std::string_view value = argv[++i];
    if (arg == "--requisition") {
      args.requisition = value;
      args.haveRequisition = true;
    } else if (arg == "--today") {
      risview::LocalDateTime date;
      if (!parseDate(value, date)) return fail("not a date: " + std::string(value));
      clock.fixedDate = date;
    } else if (arg == "--host-exe") {
      env.executable = value;
    } else if (arg == "--edition") {
      args.edition = risview::parseInt(value);
      if (!args.edition || *args.edition < 0) return fail("not an edition: " + std::string(value));
    } else {
      return fail("unknown option " + std::string(arg));
    }
  }
  if (!args.haveRequisition) return fail("--requisition is required");
  if (args.changes && !args.edition) return fail("--changes goes with --edition");
  return std::nullopt;
}

// The report's pages as the library builds them, printed as JSON.
int dump(const Arguments& args, risview::dump::ToolEnvironment& env,
         risview::dump::ToolClock& clock) {
  StderrBoxes boxes;
  SilentDebug debug;
  risview::FixedLocale locale;
  // The option file's [LOG] File, as the library takes it.
  StderrDebug logTrouble;
  risview::FileLog log(logTrouble, clock, [] {
    return static_cast<uint32_t>(std::hash<std::thread::id>{}(std::this_thread::get_id()));
  });
  risview::LoggedBoxes loggedBoxes(boxes, log);
  risview::Services services{loggedBoxes, debug, clock, locale, env, "Risview"};
  services.log = &log;
  risview::LoggedStep total(services, "dump");
  risview::data::TdmRIS dm(services);
  risview::model::FixedTextMetrics metrics;
  risview::pictures::Pictures pictures(env);
  risview::pages::PageContext context{services, dm.con, metrics, pictures};
  namespace preview = risview::preview;
  const std::string& requisition = args.requisition;
  preview::LoadedReport report = args.edition
                                     ? preview::LoadReport(requisition, *args.edition, context)
                                     : preview::LoadReport(requisition, context);
  if (args.changes) {
    // Compared with the edition before the chosen one; the first has nothing before it.
    const std::vector<preview::Edition> editions = preview::ReadEditions(requisition, dm.con);
    for (size_t i = 1; i < editions.size(); ++i) {
      if (editions[i].editOrder != *args.edition) continue;
      preview::MarkChanges(report,
                           preview::LoadReport(requisition, editions[i - 1].editOrder, context));
    }
  }
  std::cout << risview::dump::reportJson(requisition, report).dump(2) << "\n";
  total.done("printed");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  // The same bytes as on any other machine: no carriage returns added to the line ends.
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  // The ODBC driver manager hands texts to narrow drivers in the locale's character set.
  if (!std::setlocale(LC_ALL, "C.UTF-8")) std::setlocale(LC_ALL, "");

  Arguments args;
  risview::dump::ToolEnvironment env;
  risview::dump::ToolClock clock;
  if (std::optional<int> code = parseArguments(argc, argv, args, env, clock)) return *code;
  const std::string options = env.currentDirectory() + "/RisOption.ini";
  if (!env.readFile(options)) return fail("no RisOption.ini in " + env.currentDirectory());
  return dump(args, env, clock);
}
