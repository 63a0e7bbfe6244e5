// The waiting service's contract, which every step that waits relies on: results and errors
// come back to the step that waited, and a run ended while a step waits cancels that step
// and skips everything after it until the run is over.
#include "platform/waits.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "support/doubles.h"

namespace risview {
namespace {

using testing::RecordingWaits;

TEST(Waits, StepsGetTheirResultsAndErrorsBack) {
  RecordingWaits waits;
  EXPECT_EQ(waits.run([] { return std::string("rows"); }), "rows");
  EXPECT_THROW(waits.run([]() -> int { throw std::runtime_error("server gone"); }),
               std::runtime_error);
  // Work handed over together is one wait; each piece's error is its own.
  std::vector<int> ran;
  auto errors = waits.all({[&] { ran.push_back(0); },
                           [&] {
                             ran.push_back(1);
                             throw std::runtime_error("login timeout");
                           },
                           [&] { ran.push_back(2); }});
  EXPECT_EQ(ran, (std::vector<int>{0, 1, 2}));
  ASSERT_EQ(errors.size(), 3u);
  EXPECT_FALSE(errors[0]);
  EXPECT_TRUE(errors[1]);
  EXPECT_FALSE(errors[2]);
  EXPECT_EQ(waits.waits, (std::vector<size_t>{1, 1, 3}));
}

TEST(Waits, ARunEndedWhileAStepWaitsCancelsItAndSkipsTheRest) {
  RecordingWaits waits;
  // Ending outside any wait changes nothing: a close between steps is the window's own.
  EXPECT_FALSE(waits.endRun());
  EXPECT_EQ(waits.run([] { return 1; }), 1);

  int cancels = 0;
  waits.onWait = [&] { EXPECT_TRUE(waits.endRun()); };
  EXPECT_THROW(waits.run([] { return 2; }, [&] { ++cancels; }), RunEnded);
  EXPECT_EQ(cancels, 1);
  waits.onWait = nullptr;
  bool ran = false;
  EXPECT_THROW(waits.run([&] { ran = true; }), RunEnded);
  EXPECT_THROW(waits.all({[&] { ran = true; }}), RunEnded);
  EXPECT_FALSE(ran);
  waits.resumeRuns();
  EXPECT_EQ(waits.run([] { return 3; }), 3);
}

}  // namespace
}  // namespace risview
