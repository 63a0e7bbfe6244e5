// The OLE DB-style connection strings of the option file and their ODBC form.
#pragma once

#include <string>
#include <string_view>

#include "platform/errors.h"

namespace risview::data {

// What a database section asks of its connection beyond the classic four values. Left
// empty, the strings are exactly the classic ones.
struct ConnectionSecurity {
  // The workstation user's Windows login instead of a user and password.
  bool windowsLogin = false;
  // Passed on as written, to drivers that know them.
  std::string encrypt, trustServerCertificate;
};

// A connection that is not tried because what it asks for cannot be given: the text says
// why, for the debugger output.
class ConnectionRefused : public DatabaseError {
 public:
  using DatabaseError::DatabaseError;
};

// "Provider=SQLOLEDB.1;Password=" + password + ";Persist Security Info=True;User ID=" + user +
// ";Initial Catalog=" + database + ";Data Source=" + server + ";". A value that would change
// the meaning of the string (one holding ";", a leading quote, or a blank or control
// character at either end, say) is put in double quotes.
std::string buildOleDbConnectionString(std::string_view server, std::string_view database,
                                       std::string_view user, std::string_view password);

// The same with the section's security keys: a Windows login gives
// "Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;Initial Catalog="
// + database + ";Data Source=" + server + ";" (no user, no password); "Encrypt=" and
// "TrustServerCertificate=" follow when the section has them.
std::string buildOleDbConnectionString(std::string_view server, std::string_view database,
                                       std::string_view user, std::string_view password,
                                       const ConnectionSecurity& security);

// The same text with the Password value replaced by "******", for diagnostics.
std::string maskPassword(std::string_view oledb);

// The ODBC connection string for an OLE DB-style one:
//   DRIVER={<driver>};SERVER=<Data Source>;DATABASE=<Initial Catalog>;UID=<User ID>;PWD=<Password>;
// The driver defaults to "SQL Server". Drivers other than SQL Server ones get a
// "host,port" Data Source as SERVER=host;PORT=port. Integrated Security gives
// Trusted_Connection=Yes (SQL Server drivers) in place of UID and PWD; Encrypt and
// TrustServerCertificate follow as written. Throws DatabaseError for a provider other than
// SQLOLEDB, ConnectionRefused for Encrypt or TrustServerCertificate through a driver that
// does not know them (the classic "SQL Server" one among them).
std::string toOdbcConnectionString(std::string_view oledb, std::string_view driver = {});

}  // namespace risview::data
