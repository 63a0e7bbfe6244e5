// The OLE DB-style connection strings of the option file and their ODBC form.
#pragma once

#include <string>
#include <string_view>

namespace risview::data {

// "Provider=SQLOLEDB.1;Password=" + password + ";Persist Security Info=True;User ID=" + user +
// ";Initial Catalog=" + database + ";Data Source=" + server + ";". A value that would change
// the meaning of the string (one holding ";", a leading quote, or a blank or control
// character at either end, say) is put in double quotes.
std::string buildOleDbConnectionString(std::string_view server, std::string_view database,
                                       std::string_view user, std::string_view password);

// The same text with the Password value replaced by "******", for diagnostics.
std::string maskPassword(std::string_view oledb);

// The ODBC connection string for an OLE DB-style one:
//   DRIVER={<driver>};SERVER=<Data Source>;DATABASE=<Initial Catalog>;UID=<User ID>;PWD=<Password>;
// The driver defaults to "SQL Server". Drivers other than SQL Server ones get a
// "host,port" Data Source as SERVER=host;PORT=port. Throws DatabaseError for a provider
// other than SQLOLEDB.
std::string toOdbcConnectionString(std::string_view oledb, std::string_view driver = {});

}  // namespace risview::data
