// Connection strings: the four option values survive the OLE DB text and its ODBC form
// whatever they hold, the masked text hides the password and nothing else, and any text at
// all either translates or is refused with DatabaseError.
#include <algorithm>
#include <map>
#include <string>

#include "data/connection_string.h"
#include "fuzz/fuzz.h"
#include "platform/errors.h"
#include "platform/text.h"

namespace {

using risview::fuzz::check;

// An ODBC connection string read the way driver managers read it: key=value pairs at ";",
// a value in braces running to the "}" that is not doubled.
std::map<std::string, std::string> odbcPairs(std::string_view text) {
  std::map<std::string, std::string> pairs;
  while (!text.empty()) {
    const size_t eq = text.find('=');
    if (eq == std::string_view::npos) break;
    const std::string key(text.substr(0, eq));
    text.remove_prefix(eq + 1);
    std::string value;
    if (text.starts_with('{')) {
      size_t i = 1;
      for (; i < text.size(); ++i) {
        if (text[i] == '}') {
          if (i + 1 < text.size() && text[i + 1] == '}') {
            value += '}';
            ++i;
            continue;
          }
          break;
        }
        value += text[i];
      }
      text.remove_prefix(std::min(i + 1, text.size()));
      if (text.starts_with(';')) text.remove_prefix(1);
    } else {
      const size_t semi = text.find(';');
      value = text.substr(0, semi);
      text.remove_prefix(semi == std::string_view::npos ? text.size() : semi + 1);
    }
    pairs.emplace(key, value);
  }
  return pairs;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  risview::fuzz::Input in(data, size);
  const bool otherDriver = in.byte() & 1;
  const std::string_view server = in.text(), database = in.text(), user = in.text();
  const std::string_view password = in.text();
  const std::string_view raw = in.rest();
  const std::string input(reinterpret_cast<const char*>(data), size);

  const std::string oledb =
      risview::data::buildOleDbConnectionString(server, database, user, password);
  check(risview::data::maskPassword(oledb) ==
            risview::data::buildOleDbConnectionString(server, database, user, "******"),
        "masking replaces the password and nothing else", input);

  const std::string driver = otherDriver ? "PostgreSQL Unicode" : "";
  const auto odbc = odbcPairs(risview::data::toOdbcConnectionString(oledb, driver));
  const auto value = [&](const char* key) {
    auto it = odbc.find(key);
    return it == odbc.end() ? std::string("(none)") : it->second;
  };
  check(value("DRIVER") == (otherDriver ? driver : "SQL Server"), "the driver", input);
  if (odbc.count("PORT")) {
    // Host and port may stand with blanks around the comma.
    const size_t comma = server.rfind(',');
    check(otherDriver && comma != std::string_view::npos &&
              value("SERVER") == risview::trim(server.substr(0, comma)) &&
              value("PORT") == risview::trim(server.substr(comma + 1)),
          "server and port", input);
  } else {
    check(value("SERVER") == server, "the server survives", input);
  }
  check(value("DATABASE") == database, "the database survives", input);
  check(value("UID") == user, "the user survives", input);
  check(value("PWD") == password, "the password survives", input);

  // Any text: translated or refused, and masked so that no password is left to translate.
  const std::string masked = risview::data::maskPassword(raw);
  check(masked.size() <= raw.size() + 6 * std::count(raw.begin(), raw.end(), '='),
        "masking is bounded", input);
  try {
    risview::data::toOdbcConnectionString(raw, driver);
    const auto pwd = odbcPairs(risview::data::toOdbcConnectionString(masked, driver))["PWD"];
    // Text after a quoted password's closing quote is no part of it and may stay.
    check(pwd.empty() || pwd.starts_with("******"), "a masked text keeps no password", input);
  } catch (const risview::DatabaseError&) {
  }
  return 0;
}
