// risview-scenario: the scenario language's parser on the build machine, for the runner and
// for people.
//   risview-scenario --commands         every command with its arguments and one line of help
//   risview-scenario --setup SCENARIO   the runner's set-up of the scenario, a `KEY VALUE` line
//                                       each (tests/e2e/run-scenario reads them)
// Exit status 0, 1 when the scenario has a mistake (said with its line), 2 on bad usage.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "host/commands.h"
#include "host/script.h"

namespace {

int usage() {
  std::fputs("usage: risview-scenario --commands | --setup SCENARIO\n", stderr);
  return 2;
}

int printSetup(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "risview-scenario: cannot read %s\n", path.c_str());
    return 1;
  }
  std::stringstream text;
  text << in.rdbuf();
  try {
    const risview::host::Script script = risview::host::parseScript(text.str());
    for (const auto& [key, value] : script.setup()) {
      std::printf("%s %s\n", key.c_str(), value.c_str());
    }
  } catch (const risview::host::ScriptError& e) {
    std::fprintf(stderr, "%s: %s\n", path.c_str(), e.what());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "--commands" && argc == 2) {
    std::fputs(risview::host::commandList().c_str(), stdout);
    return 0;
  }
  if (mode == "--setup" && argc == 3) return printSetup(argv[2]);
  return usage();
}
