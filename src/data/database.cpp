#include "data/database.h"

#ifdef _WIN32
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

#include <cstring>
#include <mutex>

#include "data/connection_string.h"
#include "platform/errors.h"
#include "platform/services.h"
#include "platform/text.h"

namespace risview::data {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "ODBC wide characters must be UTF-16");

namespace {

std::u16string wide(std::string_view utf8) {
  return utf8ToUtf16(utf8);
}

SQLWCHAR* sqlw(std::u16string& s) {
  return reinterpret_cast<SQLWCHAR*>(s.data());
}

std::string narrow(const SQLWCHAR* text, size_t length) {
  return utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(text), length));
}

// The driver's diagnostic records of a handle, one per line.
std::string diagnostics(SQLSMALLINT type, SQLHANDLE handle) {
  std::string text;
  for (SQLSMALLINT i = 1;; ++i) {
    SQLWCHAR state[6] = {};
    SQLWCHAR message[1024] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    SQLRETURN r = SQLGetDiagRecW(type, handle, i, state, &native, message,
                                 static_cast<SQLSMALLINT>(std::size(message)), &length);
    if (!SQL_SUCCEEDED(r)) break;
    if (!text.empty()) text += "\n";
    size_t n = std::min<size_t>(static_cast<size_t>(length), std::size(message) - 1);
    text += narrow(message, n);
  }
  return text;
}

[[noreturn]] void fail(SQLSMALLINT type, SQLHANDLE handle, std::string_view fallback) {
  std::string text = handle ? diagnostics(type, handle) : std::string();
  throw DatabaseError(text.empty() ? std::string(fallback) : text);
}

// Frees a statement handle on every path.
struct Statement {
  SQLHSTMT handle = SQL_NULL_HSTMT;
  ~Statement() {
    if (handle) SQLFreeHandle(SQL_HANDLE_STMT, handle);
  }
};

// A driver that cannot time statements out still runs them; the login timeout and the
// server's own limits are all that is left then.
void limitStatementTime(SQLHSTMT statement, int seconds) {
  SQLSetStmtAttrW(statement, SQL_ATTR_QUERY_TIMEOUT,
                  reinterpret_cast<SQLPOINTER>(static_cast<uintptr_t>(seconds)), 0);
}

// Room for the first piece of every value: most fields are short, and a longer one
// takes just one more call.
constexpr std::ptrdiff_t kFirstPieceUnits = 256;

bool isNameStart(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool isNameChar(char c) {
  return isNameStart(c) || (c >= '0' && c <= '9');
}

}  // namespace

struct Connection::Handles {
  SQLHENV env = SQL_NULL_HENV;
  SQLHDBC dbc = SQL_NULL_HDBC;
  bool connected = false;

  ~Handles() { release(); }
  void release() {
    if (connected) SQLDisconnect(dbc);
    connected = false;
    if (dbc) SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    if (env) SQLFreeHandle(SQL_HANDLE_ENV, env);
    dbc = SQL_NULL_HDBC;
    env = SQL_NULL_HENV;
  }
};

Connection::Connection() : handles_(std::make_unique<Handles>()) {}
Connection::~Connection() = default;
Waits& Connection::waits() {
  static InlineWaits inlineWaits;
  return waits_ ? *waits_ : inlineWaits;
}

Connection::Handles& Connection::handles() {
  return *handles_;
}

void Connection::setConnectionString(std::string oledb, std::string driver) {
  close();
  oledb_ = std::move(oledb);
  driver_ = std::move(driver);
}

bool Connection::connected() const {
  return handles_->connected;
}

void Connection::close() noexcept {
  handles_->release();
}

void Connection::open() {
  if (connected()) return;
  std::u16string odbc = wide(toOdbcConnectionString(oledb_, driver_));
  Handles& h = *handles_;
  h.release();
  {
    // Connections open side by side; the driver manager sets itself up with the first
    // environment, which no two threads make at once.
    static std::mutex environments;
    std::lock_guard lock(environments);
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &h.env))) {
      throw DatabaseError("The ODBC driver manager could not be loaded");
    }
    SQLSetEnvAttr(h.env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  }
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, h.env, &h.dbc))) {
    fail(SQL_HANDLE_ENV, h.env, "Could not allocate a connection");
  }
  SQLSetConnectAttrW(h.dbc, SQL_ATTR_LOGIN_TIMEOUT,
                     reinterpret_cast<SQLPOINTER>(static_cast<uintptr_t>(loginTimeout_)), 0);
  if (readOnly_) {
    // A driver that cannot honour it still connects; the system never writes anyway.
    SQLSetConnectAttrW(h.dbc, SQL_ATTR_ACCESS_MODE,
                       reinterpret_cast<SQLPOINTER>(static_cast<uintptr_t>(SQL_MODE_READ_ONLY)), 0);
  }
  SQLSMALLINT outLength = 0;
  SQLRETURN r = SQLDriverConnectW(h.dbc, nullptr, sqlw(odbc), SQL_NTS, nullptr, 0, &outLength,
                                  SQL_DRIVER_NOPROMPT);
  if (!SQL_SUCCEEDED(r)) {
    std::string text = diagnostics(SQL_HANDLE_DBC, h.dbc);
    h.release();
    throw DatabaseError(text.empty() ? "The connection could not be opened" : text);
  }
  h.connected = true;
}

void Connection::execute(std::string_view sql) {
  open();
  Statement st;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, handles_->dbc, &st.handle))) {
    fail(SQL_HANDLE_DBC, handles_->dbc, "Could not allocate a statement");
  }
  limitStatementTime(st.handle, commandTimeout_);
  std::u16string text = wide(sql);
  SQLRETURN r = SQLExecDirectW(st.handle, sqlw(text), SQL_NTS);
  if (!SQL_SUCCEEDED(r) && r != SQL_NO_DATA) fail(SQL_HANDLE_STMT, st.handle, "Statement failed");
}

std::string Field::asString() const {
  return isNull() ? std::string() : **value_;
}

int32_t Field::asInteger() const {
  return isNull() ? 0 : toInt(**value_);
}

namespace {

// The first name after "from": which statement ran, told apart without any of its values.
std::string firstTable(std::string_view sql) {
  for (size_t i = 0; i + 4 <= sql.size(); ++i) {
    bool wordStart = i == 0 || static_cast<unsigned char>(sql[i - 1]) <= ' ';
    if (!wordStart || !equalsNoCase(sql.substr(i, 4), "from")) continue;
    size_t b = i + 4;
    if (b >= sql.size() || static_cast<unsigned char>(sql[b]) > ' ') continue;
    while (b < sql.size() && static_cast<unsigned char>(sql[b]) <= ' ') ++b;
    size_t e = b;
    // Letters and digits as ASCII has them: the C library's test is the host's locale's.
    while (e < sql.size() &&
           (std::string_view("_.[]").find(sql[e]) != std::string_view::npos ||
            (sql[e] >= '0' && sql[e] <= '9') || (sql[e] >= 'a' && sql[e] <= 'z') ||
            (sql[e] >= 'A' && sql[e] <= 'Z'))) {
      ++e;
    }
    return std::string(sql.substr(b, e - b));
  }
  return "";
}

}  // namespace

Query::Query(Connection& connection, std::string name)
    : connection_(&connection), name_(std::move(name)) {}
Query::~Query() = default;

void Query::close() noexcept {
  active_ = false;
  columns_.clear();
  rows_.clear();
  current_ = 0;
}

void Query::clearSql() {
  close();
  sql_.clear();
  parameters_.clear();
}

void Query::addSql(std::string_view line) {
  close();
  if (!sql_.empty()) sql_ += "\r\n";
  sql_ += line;
}

void Query::setSql(std::string_view sql) {
  clearSql();
  sql_ = sql;
}

void Query::setParameter(std::string_view name, std::string value) {
  for (auto& p : parameters_) {
    if (equalsNoCase(p.name, name)) {
      p.text = std::move(value);
      p.number.reset();
      return;
    }
  }
  parameters_.push_back({std::string(name), std::move(value), std::nullopt});
}

void Query::setParameter(std::string_view name, int64_t value) {
  for (auto& p : parameters_) {
    if (equalsNoCase(p.name, name)) {
      p.text.reset();
      p.number = value;
      return;
    }
  }
  parameters_.push_back({std::string(name), std::nullopt, value});
}

// The statement handle of a running statement, for a cancel from the waiting thread: set
// and cleared under the lock, so that a cancel never reaches a handle already freed.
struct Query::Running {
  std::mutex lock;
  SQLHSTMT statement = SQL_NULL_HSTMT;
  void cancel() {
    std::lock_guard<std::mutex> hold(lock);
    if (statement) SQLCancel(statement);
  }
};

void Query::open() {
  close();
  if (trim(sql_).empty()) throw DatabaseError("Command text was not set for the command object.");
  const PreparedText prepared = prepareNamedParameters(sql_);
  Running running;
  LoggedStep logged(connection_->log(), "statement " + name_ + " (" + firstTable(sql_) + ")");
  Result result = connection_->waits().run([&] { return execute(prepared, running); },
                                           [&] { running.cancel(); });
  logged.done(std::to_string(result.rows.size()) + " rows");
  columns_ = std::move(result.columns);
  rows_ = std::move(result.rows);
  current_ = 0;
  active_ = true;
}

Query::Result Query::execute(const PreparedText& prepared, Running& running) const {
  Connection& con = *connection_;
  con.open();
  Statement st;
  SQLHDBC dbc = con.handles().dbc;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &st.handle))) {
    fail(SQL_HANDLE_DBC, dbc, "Could not allocate a statement");
  }
  struct Published {
    Running& running;
    Published(Running& r, SQLHSTMT statement) : running(r) {
      std::lock_guard<std::mutex> hold(running.lock);
      running.statement = statement;
    }
    ~Published() {
      std::lock_guard<std::mutex> hold(running.lock);
      running.statement = SQL_NULL_HSTMT;
    }
  } published(running, st.handle);
  limitStatementTime(st.handle, con.commandTimeout());

  // Bound buffers must outlive the execution.
  std::vector<std::u16string> texts;
  std::vector<SQLBIGINT> numbers;
  std::vector<SQLLEN> indicators(prepared.names.size());
  texts.reserve(prepared.names.size());
  numbers.reserve(prepared.names.size());
  for (size_t i = 0; i < prepared.names.size(); ++i) {
    const Parameter* p = nullptr;
    for (const auto& candidate : parameters_) {
      if (equalsNoCase(candidate.name, prepared.names[i])) p = &candidate;
    }
    if (p == nullptr) throw DatabaseError("Parameter '" + prepared.names[i] + "' not found");
    auto index = static_cast<SQLUSMALLINT>(i + 1);
    SQLRETURN r;
    if (p->number) {
      numbers.push_back(*p->number);
      indicators[i] = 0;
      r = SQLBindParameter(st.handle, index, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 0, 0,
                           &numbers.back(), 0, &indicators[i]);
    } else {
      texts.push_back(wide(*p->text));
      std::u16string& t = texts.back();
      indicators[i] = static_cast<SQLLEN>(t.size() * sizeof(char16_t));
      r = SQLBindParameter(st.handle, index, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR,
                           std::max<SQLULEN>(t.size(), 1), 0, t.data(), indicators[i],
                           &indicators[i]);
    }
    if (!SQL_SUCCEEDED(r)) fail(SQL_HANDLE_STMT, st.handle, "Parameter could not be bound");
  }

  std::u16string text = wide(prepared.sql);
  SQLRETURN r = SQLExecDirectW(st.handle, sqlw(text), SQL_NTS);
  if (!SQL_SUCCEEDED(r) && r != SQL_NO_DATA) fail(SQL_HANDLE_STMT, st.handle, "Statement failed");

  SQLSMALLINT columnCount = 0;
  SQLNumResultCols(st.handle, &columnCount);
  if (columnCount <= 0) throw DatabaseError("CommandText does not return a result set");
  std::vector<std::string> columns;
  for (SQLSMALLINT c = 1; c <= columnCount; ++c) {
    SQLWCHAR name[256] = {};
    SQLSMALLINT length = 0, type = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    SQLDescribeColW(st.handle, static_cast<SQLUSMALLINT>(c), name,
                    static_cast<SQLSMALLINT>(std::size(name)), &length, &type, &size, &digits,
                    &nullable);
    columns.push_back(narrow(name, std::min<size_t>(static_cast<size_t>(length), 255)));
  }

  std::vector<std::vector<std::optional<std::string>>> rows;
  auto onFailure = [&](int) { fail(SQL_HANDLE_STMT, st.handle, "A field could not be read"); };
  for (;;) {
    r = SQLFetch(st.handle);
    if (r == SQL_NO_DATA) break;
    if (!SQL_SUCCEEDED(r)) fail(SQL_HANDLE_STMT, st.handle, "Rows could not be read");
    auto& row = rows.emplace_back();
    row.reserve(static_cast<size_t>(columnCount));
    for (SQLSMALLINT c = 1; c <= columnCount; ++c) {
      auto read = [&](char16_t* buffer, std::ptrdiff_t bytes) {
        SQLLEN indicator = 0;
        SQLRETURN code = SQLGetData(st.handle, static_cast<SQLUSMALLINT>(c), SQL_C_WCHAR, buffer,
                                    static_cast<SQLLEN>(bytes), &indicator);
        return Piece{code, static_cast<std::ptrdiff_t>(indicator)};
      };
      std::optional<std::u16string> value = readWideValue(read, onFailure);
      if (!value) {
        row.emplace_back();
        continue;
      }
      // Only the UTF-8 form is kept, at its own size: the conversion reserves for three
      // bytes a character, which a long Latin text would hold on to three times over.
      std::string utf8 = utf16ToUtf8(*value);
      value.reset();
      if (utf8.capacity() - utf8.size() > utf8.size() / 4) utf8.shrink_to_fit();
      row.emplace_back(std::move(utf8));
    }
  }
  return {std::move(columns), std::move(rows)};
}

void Query::requireActive(std::string_view what) const {
  if (!active_) {
    throw DatabaseError("Operation is not allowed when the object is closed (" + std::string(what) +
                        ").");
  }
}

int Query::recordCount() const {
  requireActive("RecordCount");
  return static_cast<int>(rows_.size());
}

bool Query::eof() const {
  return !active_ || current_ >= rows_.size();
}

void Query::next() {
  requireActive("Next");
  if (current_ < rows_.size()) ++current_;
}

Field Query::field(std::string_view name) const {
  requireActive("Field");
  for (size_t c = 0; c < columns_.size(); ++c) {
    if (equalsNoCase(columns_[c], name)) {
      return current_ < rows_.size() ? Field(&rows_[current_][c]) : Field();
    }
  }
  throw DatabaseError("Field '" + std::string(name) + "' not found");
}

std::optional<std::u16string> readWideValue(const ReadPiece& read,
                                            const std::function<void(int)>& onFailure) {
  constexpr std::ptrdiff_t unit = sizeof(char16_t);
  auto check = [&](const Piece& piece) {
    if (!SQL_SUCCEEDED(piece.code) && piece.code != SQL_NO_DATA) {
      onFailure(piece.code);
      throw DatabaseError("A field could not be read");
    }
  };
  std::u16string value(static_cast<size_t>(kFirstPieceUnits), u'\0');
  Piece piece = read(value.data(), kFirstPieceUnits * unit);
  check(piece);
  if (piece.code == SQL_NO_DATA) return std::u16string();
  if (piece.indicator == SQL_NULL_DATA) return std::nullopt;
  // Drivers convert the whole value again for every call, so fixed-size pieces would cost
  // the square of its length. The first call tells how long the value is and one more call
  // takes the rest; a driver that cannot tell gets room that doubles with every call.
  size_t have = 0;
  std::ptrdiff_t room = kFirstPieceUnits;
  for (;;) {
    const bool more = piece.code == SQL_SUCCESS_WITH_INFO &&
                      (piece.indicator == SQL_NO_TOTAL || piece.indicator >= room * unit);
    if (!more) {
      auto units = static_cast<size_t>(room - 1);
      if (piece.indicator >= 0) {
        units = std::min(units, static_cast<size_t>(piece.indicator / unit));
      } else {
        // No length given: the terminator ends the piece.
        units = std::min(units, std::u16string_view(value.data() + have, units).find(u'\0'));
      }
      value.resize(have + units);
      return value;
    }
    have += static_cast<size_t>(room - 1);  // every piece but the last ends in a terminator
    room = piece.indicator == SQL_NO_TOTAL ? static_cast<std::ptrdiff_t>(have) * 2
                                           : piece.indicator / unit - (room - 1) + 1;
    value.resize(have + static_cast<size_t>(room));
    piece = read(value.data() + have, room * unit);
    check(piece);
    if (piece.code == SQL_NO_DATA) {
      value.resize(have);
      return value;
    }
  }
}

PreparedText prepareNamedParameters(std::string_view sql) {
  PreparedText out;
  out.sql.reserve(sql.size());
  for (size_t i = 0; i < sql.size();) {
    char c = sql[i];
    if (c == '\'' || c == '"') {
      // Copy a literal or quoted identifier whole; a doubled quote stays inside it.
      size_t end = i + 1;
      for (;;) {
        end = sql.find(c, end);
        if (end == std::string_view::npos) {
          end = sql.size();
          break;
        }
        if (end + 1 < sql.size() && sql[end + 1] == c) {
          end += 2;
          continue;
        }
        ++end;
        break;
      }
      out.sql.append(sql.substr(i, end - i));
      i = end;
    } else if (c == ':' && i + 1 < sql.size() && sql[i + 1] == ':') {
      out.sql += "::";
      i += 2;
    } else if (c == ':' && i + 1 < sql.size() && isNameStart(sql[i + 1])) {
      size_t end = i + 1;
      while (end < sql.size() && isNameChar(sql[end])) ++end;
      out.names.emplace_back(sql.substr(i + 1, end - i - 1));
      out.sql += '?';
      i = end;
    } else {
      out.sql += c;
      ++i;
    }
  }
  return out;
}

std::string quoted(std::string_view value) {
  std::string out = "'";
  for (char c : value) {
    out += c;
    if (c == '\'') out += '\'';
  }
  out += '\'';
  return out;
}

}  // namespace risview::data
