#include "data/connection_string.h"

#include <vector>

#include "platform/errors.h"
#include "platform/text.h"

namespace risview::data {

namespace {

// One "key=value" pair of an OLE DB-style string, with where its value stands in the text.
struct Pair {
  std::string key;
  std::string value;
  size_t valueBegin = 0, valueEnd = 0;
};

// Splits at ";" outside a value in double or single quotes (a doubled quote inside stays).
std::vector<Pair> parse(std::string_view text) {
  std::vector<Pair> pairs;
  size_t i = 0;
  while (i < text.size()) {
    size_t eq = text.find('=', i);
    size_t semi = text.find(';', i);
    if (eq == std::string_view::npos || (semi != std::string_view::npos && semi < eq)) {
      if (semi == std::string_view::npos) break;
      i = semi + 1;  // a piece without "=" carries nothing
      continue;
    }
    Pair p;
    p.key = trimmed(text.substr(i, eq - i));
    size_t v = eq + 1;
    while (v < text.size() && text[v] == ' ') ++v;
    if (v < text.size() && (text[v] == '"' || text[v] == '\'')) {
      char quote = text[v];
      size_t k = v + 1;
      for (; k < text.size(); ++k) {
        if (text[k] == quote) {
          if (k + 1 < text.size() && text[k + 1] == quote) {
            p.value += quote;
            ++k;
            continue;
          }
          break;
        }
        p.value += text[k];
      }
      p.valueBegin = v;
      p.valueEnd = std::min(k + 1, text.size());
      size_t next = text.find(';', p.valueEnd);
      i = next == std::string_view::npos ? text.size() : next + 1;
    } else {
      size_t end = semi == std::string_view::npos ? text.size() : semi;
      p.value = trimmed(text.substr(v, end - v));
      p.valueBegin = v;
      p.valueEnd = end;
      i = end + 1;
    }
    pairs.push_back(std::move(p));
  }
  return pairs;
}

// The value as it stands, or between open and close with every close inside doubled.
std::string wrapped(std::string_view value, bool wrap, char open, char close) {
  if (!wrap) return std::string(value);
  std::string out(1, open);
  for (char c : value) {
    out += c;
    if (c == close) out += close;
  }
  return out + close;
}

// A blank or control character at either end would be trimmed by the parser of either
// string; a password may well end in one.
bool blankAtAnEnd(std::string_view value) {
  return !value.empty() && (static_cast<unsigned char>(value.front()) <= ' ' ||
                            static_cast<unsigned char>(value.back()) <= ' ');
}

std::string oleDbValue(std::string_view value) {
  bool wrap = value.find(';') != std::string_view::npos || blankAtAnEnd(value) ||
              (!value.empty() && (value.front() == '"' || value.front() == '\''));
  return wrapped(value, wrap, '"', '"');
}

std::string odbcValue(std::string_view value) {
  bool wrap = value.find_first_of(";{}") != std::string_view::npos || blankAtAnEnd(value);
  return wrapped(value, wrap, '{', '}');
}

bool containsNoCase(std::string_view text, std::string_view part) {
  for (size_t i = 0; i + part.size() <= text.size(); ++i) {
    if (equalsNoCase(text.substr(i, part.size()), part)) return true;
  }
  return false;
}

// The drivers that take Encrypt and TrustServerCertificate: "ODBC Driver 17 for SQL Server"
// and its kin, and the Native Client before them.
bool knowsEncryption(std::string_view driver) {
  return (containsNoCase(driver, "ODBC Driver") && containsNoCase(driver, "for SQL Server")) ||
         containsNoCase(driver, "SQL Server Native Client");
}

bool isYes(std::string_view value) {
  return equalsNoCase(value, "SSPI") || equalsNoCase(value, "true") || equalsNoCase(value, "yes");
}

}  // namespace

std::string buildOleDbConnectionString(std::string_view server, std::string_view database,
                                       std::string_view user, std::string_view password,
                                       const ConnectionSecurity& security) {
  std::string out =
      security.windowsLogin
          ? "Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;Initial "
            "Catalog=" +
                oleDbValue(database) + ";Data Source=" + oleDbValue(server) + ";"
          : buildOleDbConnectionString(server, database, user, password);
  if (!security.encrypt.empty()) out += "Encrypt=" + oleDbValue(security.encrypt) + ";";
  if (!security.trustServerCertificate.empty()) {
    out += "TrustServerCertificate=" + oleDbValue(security.trustServerCertificate) + ";";
  }
  return out;
}

std::string buildOleDbConnectionString(std::string_view server, std::string_view database,
                                       std::string_view user, std::string_view password) {
  return "Provider=SQLOLEDB.1;Password=" + oleDbValue(password) +
         ";Persist Security Info=True;User ID=" + oleDbValue(user) +
         ";Initial Catalog=" + oleDbValue(database) + ";Data Source=" + oleDbValue(server) + ";";
}

std::string maskPassword(std::string_view oledb) {
  std::string out(oledb);
  auto pairs = parse(oledb);
  // From the last: a replacement moves what follows it, never what comes before.
  for (size_t i = pairs.size(); i-- > 0;) {
    const auto& entry = pairs[i];
    if (equalsNoCase(entry.key, "Password") || equalsNoCase(entry.key, "Pwd")) {
      out.replace(entry.valueBegin, entry.valueEnd - entry.valueBegin, "******");
    }
  }
  return out;
}

std::string toOdbcConnectionString(std::string_view oledb, std::string_view driver) {
  std::string provider, server, database, user, password, encrypt, trust;
  bool integrated = false;
  for (const auto& p : parse(oledb)) {
    if (equalsNoCase(p.key, "Provider"))
      provider = p.value;
    else if (equalsNoCase(p.key, "Data Source"))
      server = p.value;
    else if (equalsNoCase(p.key, "Initial Catalog"))
      database = p.value;
    else if (equalsNoCase(p.key, "User ID"))
      user = p.value;
    else if (equalsNoCase(p.key, "Password"))
      password = p.value;
    else if (equalsNoCase(p.key, "Integrated Security"))
      integrated = isYes(p.value);
    else if (equalsNoCase(p.key, "Encrypt"))
      encrypt = p.value;
    else if (equalsNoCase(p.key, "TrustServerCertificate"))
      trust = p.value;
  }
  if (!equalsNoCase(provider, "SQLOLEDB") && !equalsNoCase(provider, "SQLOLEDB.1")) {
    throw DatabaseError("Provider cannot be found. It may not be properly installed. (" + provider +
                        ")");
  }
  std::string driverName = driver.empty() ? std::string("SQL Server") : std::string(driver);
  // A driver that does not know the keys would connect in clear without a word: the
  // connection is better not made.
  if ((!encrypt.empty() || !trust.empty()) && !knowsEncryption(driverName)) {
    throw ConnectionRefused(
        equalsNoCase(driverName, "SQL Server")
            ? "Encrypt/TrustServerCertificate need Driver=ODBC Driver 18 for SQL Server (or 17): "
              "the \"SQL Server\" driver cannot encrypt on its own; not connected"
            : "Encrypt/TrustServerCertificate are not known to the driver \"" + driverName +
                  "\"; not connected");
  }
  // Always braced, and a "}" inside doubled: a driver name cannot end the attribute early
  // and add others of its own.
  std::string out = "DRIVER=" + wrapped(driverName, true, '{', '}') + ";";
  size_t comma = server.rfind(',');
  if (!containsNoCase(driverName, "SQL Server") && comma != std::string::npos &&
      parseInt(trim(std::string_view(server).substr(comma + 1)))) {
    out += "SERVER=" + odbcValue(trimmed(std::string_view(server).substr(0, comma))) +
           ";PORT=" + trimmed(std::string_view(server).substr(comma + 1)) + ";";
  } else {
    out += "SERVER=" + odbcValue(server) + ";";
  }
  out += "DATABASE=" + odbcValue(database) + ";";
  if (integrated) {
    // The driver logs in as the workstation's user; other drivers get no login at all.
    if (containsNoCase(driverName, "SQL Server")) out += "Trusted_Connection=Yes;";
  } else {
    out += "UID=" + odbcValue(user) + ";PWD=" + odbcValue(password) + ";";
  }
  if (!encrypt.empty()) out += "Encrypt=" + odbcValue(encrypt) + ";";
  if (!trust.empty()) out += "TrustServerCertificate=" + odbcValue(trust) + ";";
  return out;
}

}  // namespace risview::data
