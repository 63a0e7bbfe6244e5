// One statement through the waits against the same statement inline, in the library's own
// build under Wine: what a step costs the call for being run on a data thread while the
// calling thread answers its messages. Figures only (scripts/bench prints them).
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "platform/waits.h"
#include "platform/win32.h"
#include "support/fixture.h"

using namespace risview;

namespace {

// Milliseconds a statement, the median of several rounds of many statements each.
double perStatement(data::Connection& con, Waits& waits, int rounds, int statements) {
  con.setWaits(&waits);
  std::vector<double> ms;
  for (int r = 0; r < rounds; ++r) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < statements; ++i) {
      data::Query q(con);
      q.setSql("select count(*) as n from RIS_REPORT");
      q.open();
    }
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    ms.push_back(took.count() / statements);
  }
  con.setWaits(nullptr);
  std::sort(ms.begin(), ms.end());
  return ms[ms.size() / 2];
}

}  // namespace

int main() {
  testing::Fixture fx(testing::Backend::Sqlite, testing::Schema::Ris);
  data::Connection& con = fx.connection();
  InlineWaits inlineWaits;
  win::Win32Waits waits;
  constexpr int kRounds = 7, kStatements = 400;
  perStatement(con, waits, 1, 50);  // the data thread started, the driver warm
  const double inlined = perStatement(con, inlineWaits, kRounds, kStatements);
  const double waited = perStatement(con, waits, kRounds, kStatements);
  {
    const Waits::Batch batch(waits);
    perStatement(con, waits, 1, 50);
  }
  const double extra = waited - inlined;
  std::printf("A statement, median of %d rounds of %d (SQLite, one row):\n", kRounds, kStatements);
  std::printf("  inline %.3f ms, through the waits %.3f ms: %+.3f ms a statement\n", inlined,
              waited, extra);
  std::printf("  data threads started for %d statements: %zu\n", kRounds * kStatements + 100,
              waits.threadsStarted());
  std::printf("  [%s] a statement through the waits costs under 0.3 ms more than inline\n",
              extra < 0.3 ? "met" : "MISSED");
  waits.endCall();
  return 0;
}
