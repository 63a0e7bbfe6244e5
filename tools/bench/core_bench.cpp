// Speed of the paths a user waits on: the list query buffered through ODBC, one long text
// read whole, and the option file parsed. Run with `make bench`; figures are printed, never
// asserted.
#include <benchmark/benchmark.h>

#include "data/database.h"
#include "data/ini_file.h"
#include "list/report_list.h"
#include "support/fixture.h"

namespace {

using risview::testing::Backend;
using risview::testing::Fixture;
using risview::testing::Schema;

void ListQuery(benchmark::State& state) {
  Fixture fx(Backend::Sqlite, Schema::Ris);
  fx.execute("BEGIN");
  for (int i = 0; i < state.range(0); ++i) {
    std::string id = "CT" + std::to_string(100000 + i);
    fx.insert("RIS_REQUEST", {{"RequisitionID", id},
                              {"PatientID", "P1"},
                              {"HospitalID", "45"},
                              {"Examdate", "2024-03-05 09:30"},
                              {"ExamBodyPart", "胸部CT平扫"}});
  }
  fx.execute("COMMIT");
  risview::data::Query q(fx.connection());
  for (auto _ : state) {
    q.setSql(risview::list::listStatement("", "45"));
    q.open();
    size_t bytes = 0;
    for (; !q.eof(); q.next()) bytes += q.field("ExamProjectNameDesc").asString().size();
    benchmark::DoNotOptimize(bytes);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(ListQuery)->Arg(10)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// A findings text of the given number of megabytes (Chinese, three bytes a character in
// UTF-8): the time should grow with the length, not with its square.
void LongText(benchmark::State& state) {
  Fixture fx(Backend::Sqlite, Schema::Ris);
  fx.execute("CREATE TABLE LongText (v TEXT)");
  const std::string piece = "两肺纹理增粗，";
  std::string text;
  while (text.size() < static_cast<size_t>(state.range(0)) << 20) text += piece;
  fx.insert("LongText", {{"v", text}});
  risview::data::Query q(fx.connection());
  q.setSql("select v from LongText");
  for (auto _ : state) {
    q.open();
    benchmark::DoNotOptimize(q.field("v").isNull());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(LongText)->Arg(1)->Arg(2)->Arg(10)->Unit(benchmark::kMillisecond);

void OptionFile(benchmark::State& state) {
  std::string text;
  for (int s = 0; s < 20; ++s) {
    text += "[SECTION" + std::to_string(s) + "]\r\n";
    for (int k = 0; k < 20; ++k)
      text += "Key" + std::to_string(k) + " = value " + std::to_string(k) + "\r\n";
  }
  text += "[DICOMWEBURL]\r\nWEBURL=http://pacs/viewer?uids=\r\n";
  for (auto _ : state) {
    auto ini = risview::data::IniFile::parse(text);
    benchmark::DoNotOptimize(ini.read("DICOMWEBURL", "WEBURL"));
  }
}
BENCHMARK(OptionFile)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
