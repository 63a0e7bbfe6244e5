// The data module: reads the option file, opens the three connections in a fixed
// order (reporting each failure and carrying on), and keeps the viewer's address.
#pragma once

#include <exception>
#include <string>
#include <string_view>

#include "data/connection_string.h"
#include "data/database.h"
#include "platform/services.h"

namespace risview::data {

// The option file's eleven values, plus the optional ODBC driver name per database and
// the optional [PREVIEW] keys: Print offers printing in the report preview, Editions the
// earlier editions of a report and what each revision changed.
// The optional security keys of a database section: Authentication (Windows: the
// workstation user's login), Encrypt and TrustServerCertificate; and [LOG] File, where the
// diagnostic log of a call goes.
struct Options {
  std::string risServer, risDatabase, risUser, risPassword, risDriver;
  std::string dicomServer, dicomDatabase, dicomUser, dicomPassword, dicomDriver;
  std::string webUrl, webUser, webPassword;
  std::string previewPrint, previewEditions;
  std::string risAuthentication, risEncrypt, risTrustServerCertificate;
  std::string dicomAuthentication, dicomEncrypt, dicomTrustServerCertificate;
  std::string logFile;
};

// A key switched on as the profile functions read a number: the value's leading whole
// number (an optional sign, then digits; nothing else counts) is not zero.
bool switchedOn(std::string_view value);

// The option file in the given directory: directory + "\RisOption.ini". A missing file
// gives empty values.
Options readOptions(const Environment& env, const std::string& directory);

class TdmRIS {
 public:
  // Runs the creation handler: reads RisOption.ini from the current directory, opens con,
  // conRisDicom and conDICOM at once and reports them in that order. Never throws.
  explicit TdmRIS(Services services);
  TdmRIS(const TdmRIS&) = delete;
  TdmRIS& operator=(const TdmRIS&) = delete;

  Connection con;          // radiology information database: every report query
  Connection conRisDicom;  // opened with the radiology parameters; nothing queries it
  Connection conDICOM;     // image archive
  Query qryShowDeatil{con, "qryShowDeatil"};
  Query qryDicom{conDICOM, "qryDicom"};

  std::string FWebURL, FWebUser, FWebPassword;
  // [PREVIEW] Print: the preview offers its two print buttons.
  bool PreviewPrint = false;
  // [PREVIEW] Editions: the preview offers the report's earlier editions and their changes.
  bool PreviewEditions = false;

 private:
  // One connection of the creation handler: what it opens and the lines and box that
  // report it.
  struct Step {
    Connection& connection;
    const std::string& oledb;
    const std::string& driver;
    const char *starting, *done, *failed;
    const std::string& server;
    const std::string& database;
    const char* name;
    const std::string& refusal;  // why it is not tried at all; "" : it is
  };
  void DataModuleCreate();
  // The option file read, and the call's log started as it says.
  Options readOptionFile();
  // The viewer's address and login, its password revealed and wiped from the options.
  void takeWebOptions(Options& o);
  void openConnections(const Step (&steps)[3]);
  void report(const Step& step, const std::exception_ptr& failure);
  // The section's password, read from its protected form where it has one; "" with the
  // refusal set when it cannot be read here.
  std::string databasePassword(std::string_view section, std::string_view value,
                               const ConnectionSecurity& security, std::string& refusal) const;
  ConnectionSecurity security(std::string_view section, std::string_view authentication,
                              std::string_view encrypt, std::string_view trust);

  Services services_;
};

}  // namespace risview::data
