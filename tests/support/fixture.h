// Small real databases for the suites: the schema of db/ plus rows a test adds.
// SQLite files through the SQLite ODBC driver, or a fresh schema on the PostgreSQL
// server that the test script starts (RISVIEW_PG_PORT); both reached through the same
// ODBC layer the system uses.
#pragma once

#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "data/database.h"

namespace risview::testing {

enum class Backend { Sqlite, Postgres };

// Which schema a fixture gets.
enum class Schema { Ris, Archive };

using Row = std::vector<std::pair<std::string, std::string>>;  // column -> text value
// A value written as kNull inserts NULL.
inline const std::string kNull = std::string("\x01NULL", 5);

class Fixture {
 public:
  // Creates an empty database with the schema. Skips the test (GTEST_SKIP from the caller,
  // see available()) when the backend is not reachable.
  Fixture(Backend backend, Schema schema);
  ~Fixture();

  static bool available(Backend backend);
  Backend backend() const { return backend_; }

  void insert(const std::string& table, const Row& row);
  void execute(const std::string& sql);

  // Option-file values that reach this database: Data Source, Initial Catalog, user,
  // password and the ODBC driver name for the Driver key.
  std::string server() const { return server_; }
  std::string database() const { return database_; }
  std::string user() const { return user_; }
  std::string password() const { return password_; }
  std::string driver() const { return driver_; }

  // A read-only connection like the system's, already open.
  data::Connection& connection();

 private:
  Backend backend_;
  std::string server_, database_, user_, password_, driver_;
  std::unique_ptr<data::Connection> writer_;
  std::unique_ptr<data::Connection> reader_;
};

// The full path of a scratch directory for this test (created, removed at exit).
std::string scratchDirectory();

}  // namespace risview::testing
