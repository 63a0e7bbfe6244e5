#include "data/data_module.h"

#include <exception>
#include <iterator>
#include <utility>
#include <vector>

#include "data/connection_string.h"
#include "data/ini_file.h"
#include "platform/protected_text.h"
#include "platform/text.h"

namespace risview::data {

Options readOptions(const Environment& env, const std::string& directory) {
  std::optional<std::string> bytes = env.readFile(directory + "\\RisOption.ini");
  IniFile ini = bytes ? IniFile::parse(*bytes) : IniFile::empty();
  Options o;
  // The eleven keys in the order they are read; then, not one of them, the ODBC driver a
  // site names when its machines lack the classic "SQL Server" one.
  const struct {
    const char *section, *key;
    std::string Options::*value;
  } keys[] = {
      {"RISDATASET", "SERVER", &Options::risServer},
      {"RISDATASET", "DataBaseName", &Options::risDatabase},
      {"RISDATASET", "USER", &Options::risUser},
      {"RISDATASET", "PASSWORD", &Options::risPassword},
      {"DICOMDATASET", "SERVER", &Options::dicomServer},
      {"DICOMDATASET", "DataBaseName", &Options::dicomDatabase},
      {"DICOMDATASET", "USER", &Options::dicomUser},
      {"DICOMDATASET", "PASSWORD", &Options::dicomPassword},
      {"DICOMWEBURL", "WEBURL", &Options::webUrl},
      {"DICOMWEBURL", "USER", &Options::webUser},
      {"DICOMWEBURL", "PASSWORD", &Options::webPassword},
      {"RISDATASET", "Driver", &Options::risDriver},
      {"DICOMDATASET", "Driver", &Options::dicomDriver},
      {"PREVIEW", "Print", &Options::previewPrint},
      {"PREVIEW", "Editions", &Options::previewEditions},
      {"RISDATASET", "Authentication", &Options::risAuthentication},
      {"RISDATASET", "Encrypt", &Options::risEncrypt},
      {"RISDATASET", "TrustServerCertificate", &Options::risTrustServerCertificate},
      {"DICOMDATASET", "Authentication", &Options::dicomAuthentication},
      {"DICOMDATASET", "Encrypt", &Options::dicomEncrypt},
      {"DICOMDATASET", "TrustServerCertificate", &Options::dicomTrustServerCertificate},
      {"LOG", "File", &Options::logFile},
  };
  for (const auto& k : keys) o.*k.value = ini.read(k.section, k.key);
  return o;
}

bool switchedOn(std::string_view value) {
  size_t i = value.empty() || (value[0] != '-' && value[0] != '+') ? 0 : 1;
  for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
    if (value[i] != '0') return true;
  }
  return false;
}

TdmRIS::TdmRIS(Services services) : services_(std::move(services)) {
  DataModuleCreate();
}

void TdmRIS::DataModuleCreate() {
  Options o = readOptionFile();
  takeWebOptions(o);
  PreviewPrint = switchedOn(o.previewPrint);
  PreviewEditions = switchedOn(o.previewEditions);
  const ConnectionSecurity risSecurity =
      security("RISDATASET", o.risAuthentication, o.risEncrypt, o.risTrustServerCertificate);
  const ConnectionSecurity dicomSecurity = security("DICOMDATASET", o.dicomAuthentication,
                                                    o.dicomEncrypt, o.dicomTrustServerCertificate);
  std::string risRefusal, dicomRefusal;
  std::string password = databasePassword("RISDATASET", o.risPassword, risSecurity, risRefusal);
  const std::string ris =
      buildOleDbConnectionString(o.risServer, o.risDatabase, o.risUser, password, risSecurity);
  wipe(password);
  password = databasePassword("DICOMDATASET", o.dicomPassword, dicomSecurity, dicomRefusal);
  const std::string dicom = buildOleDbConnectionString(o.dicomServer, o.dicomDatabase, o.dicomUser,
                                                       password, dicomSecurity);
  wipe(password);
  wipe(o.risPassword);
  wipe(o.dicomPassword);
  const Step steps[] = {
      {con, ris, o.risDriver, "RIS连接开始", "RIS成功连接", "RIS连接失败！", o.risServer,
       o.risDatabase, "con", risRefusal},
      {conRisDicom, ris, o.risDriver, "NORVSERVER连接开始", "NORVSERVER成功连接",
       "NORVSERVER连接失败！", o.risServer, o.risDatabase, "conRisDicom", risRefusal},
      {conDICOM, dicom, o.dicomDriver, "WEBSERVER连接开始", "WEBSERVER成功连接",
       "WEBSERVER连接失败！", o.dicomServer, o.dicomDatabase, "conDICOM", dicomRefusal},
  };
  openConnections(steps);
}

Options TdmRIS::readOptionFile() {
  Options o;
  const double readStarted = monotonicMilliseconds();
  std::string readOutcome = "read";
  try {
    o = readOptions(services_.env, services_.env.currentDirectory());
  } catch (const std::exception&) {
    // An unreadable option file shows up only as failed connections.
    readOutcome = "failed";
  }
  if (services_.log) {
    // The log is the call's from here on; without the key, nowhere, as before.
    services_.log->start(o.logFile.empty() ? std::string()
                                           : expandVariables(trim(o.logFile), services_.env));
    services_.log->step("option file", monotonicMilliseconds() - readStarted, readOutcome);
  }
  return o;
}

void TdmRIS::takeWebOptions(Options& o) {
  FWebURL = o.webUrl;
  FWebUser = o.webUser;
  if (std::optional<std::string> web = revealPassword(o.webPassword, services_.secrets)) {
    FWebPassword = std::move(*web);
  } else {
    services_.debug.write(
        "[DICOMWEBURL] PASSWORD: the protected password could not be read on this machine; the "
        "viewer is opened without it");
  }
  wipe(o.webPassword);
}

// The three are opened at once, each on its own, and reported in their fixed order
// afterwards: three servers that never answer cost one login timeout, not three.
void TdmRIS::openConnections(const Step (&steps)[3]) {
  Waits& waits = waitsOf(services_);
  for (Connection* c : {&con, &conRisDicom, &conDICOM}) {
    c->setWaits(&waits);
    c->setLog(services_.log);
  }
  std::vector<Waits::Work> opening;
  for (const Step& step : steps) {
    opening.emplace_back([this, &step] {
      // Where it went, never who logged in.
      LoggedStep logged(services_, std::string("connection ") + step.name +
                                       " server=" + step.server + " database=" + step.database);
      try {
        if (!step.refusal.empty()) throw ConnectionRefused(step.refusal);
        step.connection.setConnectionString(step.oledb, step.driver);
        step.connection.open();
      } catch (const ConnectionRefused&) {
        logged.done("refused");
        throw;
      }
      logged.done("opened");
    });
  }
  std::vector<std::exception_ptr> failures;
  try {
    failures = waits.all(opening);
  } catch (const RunEnded&) {
    return;  // the list was closed while they opened: nobody is left to tell
  }
  for (size_t i = 0; i < std::size(steps); ++i) report(steps[i], failures[i]);
}

std::string TdmRIS::databasePassword(std::string_view section, std::string_view value,
                                     const ConnectionSecurity& security,
                                     std::string& refusal) const {
  if (security.windowsLogin) return {};  // not needed, so not read
  if (std::optional<std::string> password = revealPassword(value, services_.secrets)) {
    return std::move(*password);
  }
  // Never the value itself: it is of no use to anyone reading the debugger output.
  refusal = "[" + std::string(section) +
            "] PASSWORD: the protected password could not be read on this machine; not connected";
  return {};
}

ConnectionSecurity TdmRIS::security(std::string_view section, std::string_view authentication,
                                    std::string_view encrypt, std::string_view trust) {
  ConnectionSecurity s{equalsNoCase(trimmed(authentication), "Windows"), trimmed(encrypt),
                       trimmed(trust)};
  if (!s.windowsLogin && !trim(authentication).empty()) {
    // A key spelt wrong must not cost the site its connections: the login stays as before.
    services_.debug.write("[" + std::string(section) +
                          "] Authentication=" + trimmed(authentication) +
                          " is not known (Windows is); the USER and PASSWORD are used");
  }
  return s;
}

void TdmRIS::report(const Step& step, const std::exception_ptr& failure) {
  services_.debug.write(step.starting);
  if (!failure) {
    services_.debug.write(step.done);
    return;
  }
  services_.boxes.show(step.failed, services_.applicationTitle, mb::kOk);
  try {
    std::rethrow_exception(failure);
  } catch (const ConnectionRefused& e) {
    services_.debug.write(e.what());
  } catch (...) {
    // Any other failure is told by the string alone, as it always was.
  }
  // Any local program can read debugger output, so the password never goes there.
  services_.debug.write(maskPassword(step.oledb));
}

}  // namespace risview::data
