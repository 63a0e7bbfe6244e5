// The database layer against real servers: SQLite through its ODBC driver and, where the
// test script started one, PostgreSQL through psqlODBC.
#include "data/database.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif
#include <sql.h>
#include <sqlext.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <iostream>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "data/connection_string.h"
#include "platform/errors.h"
#include "support/fixture.h"

namespace risview::data {
namespace {

using testing::Backend;
using testing::Fixture;
using testing::kNull;
using testing::Schema;

TEST(NamedParameters, BecomePositionalOutsideLiterals) {
  PreparedText p = prepareNamedParameters(
      "select ':x', \"a:b\" from T where A=:pRequisitionID and B = :pActionNum and C='it''s :y'"
      " and D::text = :pRequisitionID");
  EXPECT_EQ(p.sql,
            "select ':x', \"a:b\" from T where A=? and B = ? and C='it''s :y' and D::text = ?");
  EXPECT_EQ(p.names, (std::vector<std::string>{"pRequisitionID", "pActionNum", "pRequisitionID"}));
}

TEST(Quoting, DoublesApostrophes) {
  EXPECT_EQ(quoted("123"), "'123'");
  EXPECT_EQ(quoted("O'Brien"), "'O''Brien'");
  EXPECT_EQ(quoted(""), "''");
}

// A driver that converts the whole value again for every call, as the SQLite one does, so
// its calls are what a read costs. Some drivers cannot tell how much is left.
struct ConvertingDriver {
  std::u16string value;
  bool tellsLength = true;
  size_t offset = 0;
  int calls = 0;

  Piece operator()(char16_t* buffer, std::ptrdiff_t bytes) {
    ++calls;
    if (offset == value.size() && calls > 1) return {SQL_NO_DATA, 0};
    size_t left = value.size() - offset;
    size_t n = std::min(left, static_cast<size_t>(bytes) / 2 - 1);
    value.copy(buffer, n, offset);
    buffer[n] = u'\0';
    offset += n;
    auto length = static_cast<std::ptrdiff_t>(left * 2);
    if (n == left) return {SQL_SUCCESS, length};
    return {SQL_SUCCESS_WITH_INFO, tellsLength ? length : SQL_NO_TOTAL};
  }
};

TEST(LongValues, ArriveWholeInFewDriverCalls) {
  // Read in fixed pieces, a 10 MB text cost a conversion of all of it per 8 KB piece.
  const size_t lengths[] = {0, 1, 255, 256, 257, 4096, 8191, (size_t{1} << 21) + 3};
  for (bool tellsLength : {true, false}) {
    for (size_t length : lengths) {
      ConvertingDriver driver;
      for (size_t i = 0; i < length; ++i) driver.value += static_cast<char16_t>(0x4E00 + i % 97);
      auto read = [&](char16_t* b, std::ptrdiff_t n) { return driver(b, n); };
      std::optional<std::u16string> got = readWideValue(read, [](int) {});
      ASSERT_TRUE(got.has_value());
      EXPECT_TRUE(*got == driver.value) << length << " " << tellsLength;
      // Without a length the room doubles, so the calls grow with the length's logarithm.
      int calls = 2;
      if (!tellsLength) {
        for (size_t n = length; n > 0; n /= 2) ++calls;
      }
      EXPECT_LE(driver.calls, calls) << length;
    }
  }
}

TEST(LongValues, NullAndFailuresAreTold) {
  auto null = [](char16_t*, std::ptrdiff_t) { return Piece{SQL_SUCCESS, SQL_NULL_DATA}; };
  EXPECT_EQ(readWideValue(null, [](int) {}), std::nullopt);
  int failed = 0;
  auto broken = [](char16_t*, std::ptrdiff_t) { return Piece{SQL_ERROR, 0}; };
  EXPECT_THROW(readWideValue(broken, [&](int code) { failed = code; }), DatabaseError);
  EXPECT_EQ(failed, SQL_ERROR);
}

class DatabaseTest : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    if (!Fixture::available(GetParam())) GTEST_SKIP() << "backend not started";
    fx = std::make_unique<Fixture>(GetParam(), Schema::Ris);
  }
  std::unique_ptr<Fixture> fx;
};

TEST_P(DatabaseTest, BuffersRowsAndReadsFieldsByName) {
  fx->insert("RIS_REQUEST", {{"RequisitionID", "R1"},
                             {"PatientID", "P1"},
                             {"HospitalID", "45"},
                             {"DepartmentID", "4"},
                             {"ExamBodyPart", "胸部正位"}});
  fx->insert("RIS_REQUEST", {{"RequisitionID", "R2"}, {"PatientID", kNull}, {"DepartmentID", "5"}});
  Query q(fx->connection());
  q.setSql(
      "select RequisitionID as SheetID, PatientID, ExamBodyPart, DepartmentID from RIS_REQUEST "
      "order by RequisitionID");
  q.open();
  ASSERT_EQ(q.recordCount(), 2);
  EXPECT_EQ(q.field("sheetid").asString(), "R1");
  EXPECT_EQ(q.field("ExamBodyPart").asString(), "胸部正位");
  EXPECT_EQ(q.field("DEPARTMENTID").asInteger(), 4);
  EXPECT_THROW(q.field("ExamBodyPart").asInteger(), ConversionError);
  q.next();
  EXPECT_TRUE(q.field("PatientID").isNull());
  EXPECT_EQ(q.field("PatientID").asString(), "");
  EXPECT_EQ(q.field("DepartmentID").asInteger(), 5);
  q.next();
  EXPECT_TRUE(q.eof());
  EXPECT_EQ(q.field("DepartmentID").asInteger(), 0);  // past the end every field is null
  EXPECT_THROW(q.field("NoSuchColumn"), DatabaseError);
}

TEST_P(DatabaseTest, FirstOfEqualColumnNamesWins) {
  fx->insert("RIS_REQUEST", {{"RequisitionID", "REQ"}, {"PatientID", "P"}});
  fx->insert("RIS_REPORT", {{"RequisitionID", "REP"}, {"EditOrder", "0"}, {"ReportID", "1"}});
  Query q(fx->connection());
  q.setSql("select RIS_REQUEST.*, RIS_REPORT.* from RIS_REQUEST, RIS_REPORT");
  q.open();
  EXPECT_EQ(q.field("RequisitionID").asString(), "REQ");
}

TEST_P(DatabaseTest, NamedParametersBindTextAndNumbers) {
  fx->insert("RIS_ReportAction", {{"RequisitionID", "R'1"},
                                  {"ActionName", "4"},
                                  {"ActionNum", "2"},
                                  {"ActionDate", "2024-03-07"},
                                  {"UserID", "u1"}});
  fx->insert("RIS_ReportAction", {{"RequisitionID", "R'1"},
                                  {"ActionName", "4"},
                                  {"ActionNum", "1"},
                                  {"ActionDate", "2024-03-06"},
                                  {"UserID", "u1"}});
  fx->insert("UserInfo", {{"UserID", "u1"}, {"UserName", "李明"}});
  Query q(fx->connection());
  q.clearSql();
  q.addSql(
      "select RIS_ReportAction.ActionDate,UserInfo.UserName                             from "
      "RIS_ReportAction,UserInfo                            where "
      "RIS_ReportAction.RequisitionID=:pRequisitionID                            and "
      "RIS_ReportAction.ActionName = 4                            and RIS_ReportAction.ActionNum  "
      "=:pActionNum                            and UserInfo.UserID = RIS_ReportAction.UserID");
  q.setParameter("pRequisitionID", std::string("R'1"));
  q.setParameter("pActionNum", int64_t{2});
  q.open();
  ASSERT_EQ(q.recordCount(), 1);
  EXPECT_EQ(q.field("ActionDate").asString(), "2024-03-07");
  EXPECT_EQ(q.field("UserName").asString(), "李明");
}

TEST_P(DatabaseTest, QuotedValuesFindTheirRowAndCannotChangeTheStatement) {
  fx->insert("RIS_REQUEST", {{"RequisitionID", "A"}, {"HospitalID", "O'Neil"}});
  fx->insert("RIS_REQUEST", {{"RequisitionID", "B"}, {"HospitalID", "x"}});
  Query q(fx->connection());
  q.setSql("select RequisitionID from RIS_REQUEST where HospitalID = " + quoted("O'Neil"));
  q.open();
  ASSERT_EQ(q.recordCount(), 1);
  EXPECT_EQ(q.field("RequisitionID").asString(), "A");
  q.setSql("select RequisitionID from RIS_REQUEST where HospitalID = " + quoted("' or '1'='1"));
  q.open();
  EXPECT_EQ(q.recordCount(), 0);
}

TEST_P(DatabaseTest, LongTextsArriveWhole) {
  fx->execute("CREATE TABLE LongText (n INTEGER, v TEXT)");
  // Around the first piece's end (255 characters and a terminator) and that of the old
  // fixed pieces (4,095), a character outside the basic plane split across the first, and a
  // findings text of several megabytes.
  auto repeat = [](std::string_view s, size_t n) {
    std::string out;
    out.reserve(s.size() * n);
    for (size_t i = 0; i < n; ++i) out += s;
    return out;
  };
  std::vector<std::string> values = {repeat("x", 255),   repeat("肺", 256),
                                     repeat("x", 257),   repeat("x", 4095),
                                     repeat("肺", 4096), repeat("两肺纹理增粗，", 200000)};
  // The SQLite driver loses the rest of such a pair itself.
  if (GetParam() == Backend::Postgres) values.push_back(repeat("x", 254) + "𝄞" + "y");
  for (size_t i = 0; i < values.size(); ++i) {
    fx->insert("LongText", {{"n", std::to_string(i)}, {"v", values[i]}});
  }
  Query q(fx->connection());
  q.setSql("select v from LongText order by n");
  q.open();
  for (const auto& value : values) {
    ASSERT_FALSE(q.eof());
    std::string got = q.field("v").asString();
    EXPECT_EQ(got.size(), value.size());
    EXPECT_TRUE(got == value) << value.substr(0, 20);
    q.next();
  }
}

TEST_P(DatabaseTest, ErrorsCarryTheDriverText) {
  Query q(fx->connection());
  EXPECT_THROW(q.recordCount(), DatabaseError);  // never opened
  EXPECT_THROW(q.open(), DatabaseError);         // no statement
  q.setSql("select * from NO_SUCH_TABLE");
  try {
    q.open();
    FAIL();
  } catch (const DatabaseError& e) {
    EXPECT_NE(std::string(e.what()).find_first_of("nN"), std::string::npos) << e.what();
  }
  EXPECT_FALSE(q.active());
  q.setSql("select 1 as a where 1 = :missing");
  EXPECT_THROW(q.open(), DatabaseError);
}

TEST_P(DatabaseTest, ClosedConnectionOpensOnDemand) {
  fx->insert("UserInfo", {{"UserID", "u"}, {"UserName", "n"}});
  Connection con;
  con.setConnectionString(
      buildOleDbConnectionString(fx->server(), fx->database(), fx->user(), fx->password()),
      fx->driver());
  EXPECT_FALSE(con.connected());
  Query q(con);
  q.setSql("select UserName from UserInfo");
  q.open();
  EXPECT_TRUE(con.connected());
  EXPECT_EQ(q.field("UserName").asString(), "n");
}

INSTANTIATE_TEST_SUITE_P(Backends, DatabaseTest,
                         ::testing::Values(Backend::Sqlite, Backend::Postgres),
                         [](const auto& testInfo) {
                           return testInfo.param == Backend::Sqlite ? "Sqlite" : "Postgres";
                         });

TEST(Connection, UnreachableServerFailsWithTheDriverText) {
  Connection con;
  con.setLoginTimeout(3);
  con.setConnectionString(buildOleDbConnectionString("127.0.0.1,1", "RIS", "sa", "x"));
  try {
    con.open();
    FAIL();
  } catch (const DatabaseError& e) {
    EXPECT_FALSE(std::string(e.what()).empty());
  }
  EXPECT_FALSE(con.connected());
}

TEST_P(DatabaseTest, StatementsEndAtTheCommandTimeout) {
  if (GetParam() != Backend::Postgres) GTEST_SKIP() << "needs a statement that sleeps";
  Connection& con = fx->connection();
  EXPECT_EQ(con.commandTimeout(), 30);
  con.setCommandTimeout(1);
  Query q(con);
  q.setSql("select pg_sleep(5) as slept");
  auto start = std::chrono::steady_clock::now();
  EXPECT_THROW(q.open(), DatabaseError);
  std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  std::cout << "a 5 s statement with a 1 s timeout ended after " << took.count() << " s\n";
  EXPECT_FALSE(q.active());
}

// Runs a statement on a data thread and, once it runs, ends the run as a window closed
// meanwhile would; notes whether the statement then returned soon or was waited out.
class EndingWaits : public Waits {
 public:
  bool returnedSoon = false;

 protected:
  void runAll(const std::vector<Work>& work) override {
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    std::thread data([&] {
      for (const Work& w : work) w();
      std::lock_guard lock(m);
      done = true;
      cv.notify_all();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    endRun();
    std::unique_lock lock(m);
    returnedSoon = cv.wait_for(lock, std::chrono::seconds(10), [&] { return done; });
    lock.unlock();
    data.join();
  }
};

// A statement held by a lock would otherwise keep the closing window for its whole timeout.
TEST_P(DatabaseTest, AStatementOfAnEndedRunIsCancelledNotWaitedOut) {
  if (GetParam() != Backend::Postgres) GTEST_SKIP() << "needs a statement that sleeps";
  Connection& con = fx->connection();
  EndingWaits waits;
  con.setWaits(&waits);
  Query q(con);
  q.setSql("select pg_sleep(25) as slept");
  EXPECT_THROW(q.open(), RunEnded);
  EXPECT_TRUE(waits.returnedSoon);
  EXPECT_FALSE(q.active());
  // The connection serves the next run.
  con.setWaits(nullptr);
  q.setSql("select 1 as one");
  q.open();
  EXPECT_EQ(q.field("one").asInteger(), 1);
}

#ifndef _WIN32
// A listening loopback port: the system completes connections to it whether or not they
// are ever accepted.
class LoopbackPort {
 public:
  LoopbackPort() : socket_(socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof(address);
    bind(socket_, reinterpret_cast<sockaddr*>(&address), size);
    listen(socket_, 4);
    getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
  }
  ~LoopbackPort() { close(socket_); }
  int handle() const { return socket_; }
  std::string server() const { return "127.0.0.1," + std::to_string(port_); }

 private:
  int socket_;
  int port_ = 0;
};

TEST(Connection, ServerThatNeverAnswersEndsInAnError) {
  LoopbackPort port;
  // Should the login wait for good, shutting the port resets the connection after a while.
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false, rescued = false;
  std::thread watchdog([&] {
    std::unique_lock lock(mutex);
    if (!finished.wait_for(lock, std::chrono::seconds(30), [&] { return done; })) {
      rescued = true;
      shutdown(port.handle(), SHUT_RDWR);
    }
  });
  Connection con;
  con.setLoginTimeout(2);
  con.setConnectionString(buildOleDbConnectionString(port.server(), "RIS", "risview", "x"),
                          "PostgreSQL Unicode");
  auto start = std::chrono::steady_clock::now();
  EXPECT_THROW(con.open(), DatabaseError);
  std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  {
    std::lock_guard lock(mutex);
    done = true;
  }
  finished.notify_one();
  watchdog.join();
  std::cout << "a server that never answers failed the login after " << took.count() << " s\n";
  EXPECT_FALSE(rescued);
  EXPECT_FALSE(con.connected());
}

// Plays a PostgreSQL server far enough to be sent a password in clear text, then refuses.
std::string passwordSentTo(const LoopbackPort& port) {
  pollfd waiting{port.handle(), POLLIN, 0};
  if (poll(&waiting, 1, 10000) != 1) return "(no connection)";
  int peer = accept(port.handle(), nullptr, nullptr);
  timeval limit{10, 0};
  setsockopt(peer, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof(limit));
  auto receive = [&](size_t n) {
    std::string bytes(n, '\0');
    size_t got = 0;
    while (got < n) {
      ssize_t r = recv(peer, bytes.data() + got, n - got, 0);
      if (r <= 0) throw std::runtime_error("the client went away");
      got += static_cast<size_t>(r);
    }
    return bytes;
  };
  auto number = [](std::string_view b) {
    return static_cast<uint32_t>(
        static_cast<unsigned char>(b[0]) << 24 | static_cast<unsigned char>(b[1]) << 16 |
        static_cast<unsigned char>(b[2]) << 8 | static_cast<unsigned char>(b[3]));
  };
  std::string password;
  try {
    for (;;) {  // encryption requests are declined until the startup message comes
      std::string head = receive(8);
      receive(number(head) - 8);
      if (number(head.substr(4)) >> 16 == 3) break;
      send(peer, "N", 1, 0);
    }
    send(peer, "R\0\0\0\x08\0\0\0\x03", 9, 0);  // clear-text password, please
    std::string head = receive(5);
    password = receive(number(head.substr(1)) - 4);
    if (!password.empty() && password.back() == '\0') password.pop_back();
    const std::string refusal =
        std::string("E\0\0\0\x14", 5) + std::string("SFATAL\0Mpasswd\0\0", 16);
    send(peer, refusal.data(), refusal.size(), 0);
  } catch (const std::exception& e) {
    password = std::string("(") + e.what() + ")";
  }
  close(peer);
  return password;
}

TEST(Connection, PasswordsReachTheServerAsWritten) {
  // An option-file password ending in a control character once lost it on the way.
  for (std::string password : {"pw\t", "\x01pw", " pw ", "a;b}c", "p=w"}) {
    LoopbackPort port;
    std::string received;
    std::thread server([&] { received = passwordSentTo(port); });
    Connection con;
    con.setLoginTimeout(5);
    con.setConnectionString(buildOleDbConnectionString(port.server(), "RIS", "risview", password),
                            "PostgreSQL Unicode");
    EXPECT_THROW(con.open(), DatabaseError);
    server.join();
    EXPECT_EQ(received, password);
  }
}
#endif

TEST(Connection, UnknownProviderNeverReachesADriver) {
  Connection con;
  con.setConnectionString("Provider=MSDASQL;DSN=x;");
  EXPECT_THROW(con.open(), DatabaseError);
}

}  // namespace
}  // namespace risview::data
