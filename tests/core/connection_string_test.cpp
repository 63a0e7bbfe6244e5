#include "data/connection_string.h"

#include <gtest/gtest.h>

#include "platform/errors.h"

namespace risview::data {
namespace {

TEST(ConnectionString, OrdinaryValuesGiveTheClassicText) {
  EXPECT_EQ(buildOleDbConnectionString("srv01", "RIS", "sa", "pw"),
            "Provider=SQLOLEDB.1;Password=pw;Persist Security Info=True;User ID=sa;"
            "Initial Catalog=RIS;Data Source=srv01;");
  EXPECT_EQ(buildOleDbConnectionString("", "", "", ""),
            "Provider=SQLOLEDB.1;Password=;Persist Security Info=True;User ID=;"
            "Initial Catalog=;Data Source=;");
}

TEST(ConnectionString, TranslatesToOdbc) {
  std::string oledb = buildOleDbConnectionString("srv01,1433", "RIS", "sa", "pw");
  EXPECT_EQ(toOdbcConnectionString(oledb),
            "DRIVER={SQL Server};SERVER=srv01,1433;DATABASE=RIS;UID=sa;PWD=pw;");
  EXPECT_EQ(toOdbcConnectionString(oledb, "ODBC Driver 18 for SQL Server"),
            "DRIVER={ODBC Driver 18 for SQL Server};SERVER=srv01,1433;DATABASE=RIS;UID=sa;PWD=pw;");
  // Other drivers take the port on its own.
  EXPECT_EQ(toOdbcConnectionString(oledb, "PostgreSQL Unicode"),
            "DRIVER={PostgreSQL Unicode};SERVER=srv01;PORT=1433;DATABASE=RIS;UID=sa;PWD=pw;");
}

TEST(ConnectionString, ValuesThatWouldChangeTheMeaningStayWhole) {
  // A password with ";" or "}" must reach the driver as one value.
  std::string oledb = buildOleDbConnectionString("s", "d", "u", "a;b}c\"d");
  EXPECT_EQ(oledb,
            "Provider=SQLOLEDB.1;Password=\"a;b}c\"\"d\";Persist Security Info=True;User ID=u;"
            "Initial Catalog=d;Data Source=s;");
  EXPECT_EQ(toOdbcConnectionString(oledb),
            "DRIVER={SQL Server};SERVER=s;DATABASE=d;UID=u;PWD={a;b}}c\"d};");
  EXPECT_EQ(toOdbcConnectionString(buildOleDbConnectionString("s", "d", "u", "x=y")),
            "DRIVER={SQL Server};SERVER=s;DATABASE=d;UID=u;PWD=x=y;");
}

TEST(ConnectionString, BlanksAndControlCharactersAtTheEndsSurvive) {
  // Both parsers trim an unquoted value, which once cost a password its final tab.
  const struct {
    std::string password, oledb, odbc;
  } cases[] = {
      {"pw\t", "\"pw\t\"", "{pw\t}"},
      {"\x01pw", "\"\x01pw\"", "{\x01pw}"},
      {" pw", "\" pw\"", "{ pw}"},
      {"p\tw", "p\tw", "p\tw"},  // inside, nothing is trimmed
  };
  for (const auto& c : cases) {
    std::string oledb = buildOleDbConnectionString("s", "d", "u", c.password);
    EXPECT_EQ(oledb, "Provider=SQLOLEDB.1;Password=" + c.oledb +
                         ";Persist Security Info=True;User ID=u;Initial Catalog=d;Data Source=s;");
    EXPECT_EQ(toOdbcConnectionString(oledb),
              "DRIVER={SQL Server};SERVER=s;DATABASE=d;UID=u;PWD=" + c.odbc + ";");
  }
}

TEST(ConnectionString, DriverNameCannotAddAttributes) {
  std::string oledb = buildOleDbConnectionString("s", "d", "u", "p");
  EXPECT_EQ(toOdbcConnectionString(oledb, "a};UID=x"),
            "DRIVER={a}};UID=x};SERVER=s;DATABASE=d;UID=u;PWD=p;");
}

TEST(ConnectionString, MasksThePasswordOnly) {
  EXPECT_EQ(maskPassword(buildOleDbConnectionString("s", "d", "sa", "secret")),
            "Provider=SQLOLEDB.1;Password=******;Persist Security Info=True;User ID=sa;"
            "Initial Catalog=d;Data Source=s;");
  EXPECT_EQ(maskPassword(buildOleDbConnectionString("s", "d", "sa", "")),
            "Provider=SQLOLEDB.1;Password=******;Persist Security Info=True;User ID=sa;"
            "Initial Catalog=d;Data Source=s;");
  EXPECT_EQ(maskPassword(buildOleDbConnectionString("s", "d", "sa", "a;b")),
            "Provider=SQLOLEDB.1;Password=******;Persist Security Info=True;User ID=sa;"
            "Initial Catalog=d;Data Source=s;");
}

TEST(ConnectionString, SecurityKeysGiveTheseStrings) {
  // Each row: the section's keys, the driver, then the string the debugger output shows
  // (masked) and the one the driver gets ("" where the connection is refused).
  const struct {
    ConnectionSecurity security;
    const char* driver;
    const char* masked;
    const char* odbc;
  } cases[] = {
      {{},
       "",
       "Provider=SQLOLEDB.1;Password=******;Persist Security Info=True;User ID=sa;Initial "
       "Catalog=d;Data Source=s;",
       "DRIVER={SQL Server};SERVER=s;DATABASE=d;UID=sa;PWD=pw;"},
      {{true},
       "",
       "Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;Initial "
       "Catalog=d;Data Source=s;",
       "DRIVER={SQL Server};SERVER=s;DATABASE=d;Trusted_Connection=Yes;"},
      {{true},
       "ODBC Driver 18 for SQL Server",
       "Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;Initial "
       "Catalog=d;Data Source=s;",
       "DRIVER={ODBC Driver 18 for SQL Server};SERVER=s;DATABASE=d;Trusted_Connection=Yes;"},
      // A driver of another make gets no login of its own to fall back on either.
      {{true},
       "PostgreSQL Unicode",
       "Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;Initial "
       "Catalog=d;Data Source=s;",
       "DRIVER={PostgreSQL Unicode};SERVER=s;DATABASE=d;"},
      {{false, "yes", "no"},
       "ODBC Driver 17 for SQL Server",
       "Provider=SQLOLEDB.1;Password=******;Persist Security Info=True;User ID=sa;Initial "
       "Catalog=d;Data Source=s;Encrypt=yes;TrustServerCertificate=no;",
       "DRIVER={ODBC Driver 17 for SQL Server};SERVER=s;DATABASE=d;UID=sa;PWD=pw;Encrypt=yes;"
       "TrustServerCertificate=no;"},
      {{true, "strict"},
       "ODBC Driver 18 for SQL Server",
       "Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;Initial "
       "Catalog=d;Data Source=s;Encrypt=strict;",
       "DRIVER={ODBC Driver 18 for SQL Server};SERVER=s;DATABASE=d;Trusted_Connection=Yes;"
       "Encrypt=strict;"},
      {{false, "", "yes"},
       "SQL Server Native Client 11.0",
       "Provider=SQLOLEDB.1;Password=******;Persist Security Info=True;User ID=sa;Initial "
       "Catalog=d;Data Source=s;TrustServerCertificate=yes;",
       "DRIVER={SQL Server Native Client 11.0};SERVER=s;DATABASE=d;UID=sa;PWD=pw;"
       "TrustServerCertificate=yes;"},
      // The classic driver would connect in clear; so would one that ignores the keys.
      {{false, "yes"},
       "",
       "Provider=SQLOLEDB.1;Password=******;Persist Security Info=True;User ID=sa;Initial "
       "Catalog=d;Data Source=s;Encrypt=yes;",
       ""},
      {{true, "", "no"},
       "SQL Server",
       "Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;Initial "
       "Catalog=d;Data Source=s;TrustServerCertificate=no;",
       ""},
      {{false, "yes"},
       "PostgreSQL Unicode",
       "Provider=SQLOLEDB.1;Password=******;Persist Security Info=True;User ID=sa;Initial "
       "Catalog=d;Data Source=s;Encrypt=yes;",
       ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.masked) + " / " + c.driver);
    std::string oledb = buildOleDbConnectionString("s", "d", "sa", "pw", c.security);
    EXPECT_EQ(maskPassword(oledb), c.masked);
    if (*c.odbc) {
      EXPECT_EQ(toOdbcConnectionString(oledb, c.driver), c.odbc);
    } else {
      EXPECT_THROW(toOdbcConnectionString(oledb, c.driver), ConnectionRefused);
    }
  }
}

TEST(ConnectionString, UnknownProviderIsAClearError) {
  try {
    toOdbcConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=x.mdb;");
    FAIL();
  } catch (const DatabaseError& e) {
    EXPECT_NE(std::string(e.what()).find("Microsoft.Jet.OLEDB.4.0"), std::string::npos);
  }
  EXPECT_THROW(toOdbcConnectionString(""), DatabaseError);
}

}  // namespace
}  // namespace risview::data
