// Building report pages: a general page with its report images and continuation sheets,
// and the report loading around it, through SQLite ODBC with fixed metrics. Picture headers
// come from memory, so the figures are the pages' own work and their queries.
#include <benchmark/benchmark.h>

#include "preview/report_loading.h"
#include "support/report_fixture.h"

namespace {

using risview::testing::ReportFixture;

void GeneralPageWithImages(benchmark::State& state) {
  ReportFixture fx;
  fx.request();
  fx.action("1", "A", "2024-03-05");
  fx.action("2", "B", "2024-03-05");
  fx.file("C:\\img\\a.bmp", risview::testing::bmpBytes(640, 480));
  fx.db.execute("BEGIN");
  for (int i = 0; i < state.range(0); ++i) fx.image(i, "C:\\img\\a.bmp", 0, 0);
  fx.db.execute("COMMIT");
  size_t components = 0;
  for (auto _ : state) {
    auto report = risview::preview::LoadReport("R1", fx.context);
    components = report.tabs.at(0).page->model().components().size();
    benchmark::DoNotOptimize(components);
  }
  state.counters["components"] = static_cast<double>(components);
}
BENCHMARK(GeneralPageWithImages)->Arg(0)->Arg(4)->Arg(11)->Arg(255)->Unit(benchmark::kMillisecond);

}  // namespace
