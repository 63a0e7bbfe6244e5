// Database access: connections opened from the OLE DB-style connection strings
// of the option file, and queries whose results are buffered when opened (like a
// client-side cursor). ODBC underneath; texts are UTF-8 on this side.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/waits.h"

namespace risview {
class StepLog;
}

namespace risview::data {

class Connection {
 public:
  Connection();
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // The OLE DB-style text ("Provider=SQLOLEDB.1;Password=…;…") and the ODBC driver to
  // reach it through (empty: the "SQL Server" driver). Closes an open connection.
  void setConnectionString(std::string oledb, std::string driver = {});
  const std::string& connectionString() const { return oledb_; }

  // Opens the connection read-only with a login timeout. Throws DatabaseError.
  void open();
  void close() noexcept;
  bool connected() const;

  // Read-only is the rule; fixture builders switch it off before opening.
  void setReadOnly(bool readOnly) { readOnly_ = readOnly; }
  void setLoginTimeout(int seconds) { loginTimeout_ = seconds; }
  // Every statement on this connection gives up after this long, so a server that stops
  // answering cannot hold the calling thread for good.
  void setCommandTimeout(int seconds) { commandTimeout_ = seconds; }
  int commandTimeout() const { return commandTimeout_; }
  // Where the statements of the queries on this connection wait; none: inline. The
  // connection does not own it.
  void setWaits(Waits* waits) { waits_ = waits; }
  Waits& waits();
  // Where the statements of the queries on this connection are logged; none: nowhere.
  void setLog(StepLog* log) { log_ = log; }
  StepLog* log() const { return log_; }

  // Runs a statement that returns no rows (fixtures only). Throws DatabaseError.
  void execute(std::string_view sql);

  struct Handles;
  Handles& handles();

 private:
  std::string oledb_;
  std::string driver_;
  bool readOnly_ = true;
  int loginTimeout_ = 15;
  int commandTimeout_ = 30;
  Waits* waits_ = nullptr;
  StepLog* log_ = nullptr;
  std::unique_ptr<Handles> handles_;
};

// One field of the current row.
class Field {
 public:
  Field() = default;
  explicit Field(const std::optional<std::string>* value) : value_(value) {}
  bool isNull() const { return value_ == nullptr || !value_->has_value(); }
  // The value as text; null gives the empty text.
  std::string asString() const;
  // The value as a whole number; null gives 0, any other non-integer throws ConversionError.
  int32_t asInteger() const;

 private:
  const std::optional<std::string>* value_ = nullptr;
};

struct PreparedText;

class Query {
 public:
  // A value bound to a named parameter of the statement.
  struct Parameter {
    std::string name;
    std::optional<std::string> text;
    std::optional<int64_t> number;
  };

  // The name says in the diagnostic log which statement ran, never what it was asked.
  explicit Query(Connection& connection, std::string name = "query");
  ~Query();
  Query(const Query&) = delete;
  Query& operator=(const Query&) = delete;

  Connection& connection() { return *connection_; }

  void close() noexcept;
  // The statement text: clearSql + addSql builds it line by line, setSql replaces it.
  void clearSql();
  void addSql(std::string_view line);
  void setSql(std::string_view sql);
  const std::string& sql() const { return sql_; }

  // Named parameters are written ":name" in the text (never inside a string literal).
  void setParameter(std::string_view name, std::string value);
  void setParameter(std::string_view name, int64_t value);

  // Runs the statement and buffers every row; opens a closed connection first.
  // Throws DatabaseError (an empty statement included).
  void open();
  bool active() const { return active_; }

  // Throws DatabaseError when the query is not open.
  int recordCount() const;
  bool eof() const;
  void next();
  // A column of the current row by name (case-insensitive, the first of equal names).
  // A name the result lacks throws DatabaseError; at the end of the rows every field is null.
  Field field(std::string_view name) const;
  const std::vector<std::string>& columnNames() const { return columns_; }

 private:
  struct Result {
    std::vector<std::string> columns;
    std::vector<std::vector<std::optional<std::string>>> rows;
  };
  // Executes the prepared text and reads every row; a statement running on the handle is
  // published in `running` for a cancel from another thread.
  struct Running;
  Result execute(const PreparedText& prepared, Running& running) const;
  void requireActive(std::string_view what) const;

  Connection* connection_;
  std::string name_;
  std::string sql_;
  std::vector<Parameter> parameters_;
  bool active_ = false;
  std::vector<std::string> columns_;
  std::vector<std::vector<std::optional<std::string>>> rows_;
  size_t current_ = 0;
};

// One call of the driver's piecewise read of a wide-text value (SQLGetData for SQL_C_WCHAR):
// fills at most `bytes` of `buffer`, a terminator included, and returns the call's code
// with its length indicator (the bytes left before the call, SQL_NO_TOTAL or SQL_NULL_DATA).
struct Piece {
  int code;
  std::ptrdiff_t indicator;
};
using ReadPiece = std::function<Piece(char16_t* buffer, std::ptrdiff_t bytes)>;

// Reads one whole value through read: null gives nullopt. A failed call throws
// DatabaseError through onFailure, which gets the call's code.
std::optional<std::u16string> readWideValue(const ReadPiece& read,
                                            const std::function<void(int)>& onFailure);

// Statement text with ":name" markers replaced by "?", outside string literals, and the
// names in order of appearance.
struct PreparedText {
  std::string sql;
  std::vector<std::string> names;
};
PreparedText prepareNamedParameters(std::string_view sql);

// Puts a text between apostrophes for splicing into a statement, doubling any apostrophe
// inside so that no value can end the literal early.
std::string quoted(std::string_view value);

}  // namespace risview::data
