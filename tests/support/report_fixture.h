// A radiology database with one request's report, and the pages built from it the way the
// preview window builds them: fake services, fixed text metrics, picture headers from files
// in the fake environment.
#pragma once

#include <memory>
#include <set>
#include <string>

#include "model/page_model.h"
#include "pages/prnt_page.h"
#include "support/doubles.h"
#include "support/fixture.h"

namespace risview::testing {

class ReportFixture {
 public:
  ReportFixture();  // skips nothing: check Fixture::available(Backend::Sqlite) first

  // One request R1 of patient P1 with a first-edition page "1"; values override the defaults
  // by column (patient, request and report columns alike).
  void request(const Row& values = {});
  void report(const Row& values);  // a further report row of R1
  void action(const std::string& name, const std::string& user, const std::string& date,
              const std::string& time = "090000", const std::string& num = "0");
  // An image row of R1 page 1 edition 0 (or as overridden) and its picture file, whose
  // bytes come from a small BMP of the given size unless bytes are given.
  void image(int order, const std::string& path, int width, int height, const Row& values = {});
  void file(const std::string& path, std::string bytes) {
    services.env.files[path] = std::move(bytes);
  }

  // The page of the first report row of R1's newest edition, measured with the fixed metrics
  // unless others are given.
  std::unique_ptr<pages::TPrntPage> page(int departmentId = 1,
                                         const model::TextMetrics* otherMetrics = nullptr);

  Fixture db;
  FakeServices services;
  Services view = services.services();
  model::FixedTextMetrics metrics;
  pictures::Pictures pictures{services.env};
  pages::PageContext context{view, db.connection(), metrics, pictures};

 private:
  std::set<std::string> users_;
};

// The bytes of a BMP file of the given size (24 bits, pixels zero).
std::string bmpBytes(int width, int height);

}  // namespace risview::testing
