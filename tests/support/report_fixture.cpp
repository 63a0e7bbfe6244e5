#include "support/report_fixture.h"

#include <cstdint>

#include "preview/report_loading.h"

namespace risview::testing {

namespace {

// Splits the overrides by table; a column named by no table goes to the request.
const char* tableOf(const std::string& column) {
  static const char* patient[] = {"PATIENT_ID", "PTN_NAME", "SEX", "BIRTH"};
  static const char* report[] = {"EditOrder",      "ReportID",        "EaxmDesc", "EaxmTechnic",
                                 "ImageFinding",   "Impression",      "Advice",   "PathologicID",
                                 "PathologicPart", "PathologicReport"};
  for (const char* c : patient) {
    if (column == c) return "RIS_PATIENT";
  }
  for (const char* c : report) {
    if (column == c) return "RIS_REPORT";
  }
  return "RIS_REQUEST";
}

void put(Row& row, const std::string& column, const std::string& value) {
  for (auto& [name, v] : row) {
    if (name == column) {
      v = value;
      return;
    }
  }
  row.emplace_back(column, value);
}

void le(std::string& out, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

}  // namespace

std::string bmpBytes(int width, int height) {
  const uint32_t stride = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
  const uint32_t pixels = stride * static_cast<uint32_t>(height);
  std::string b = "BM";
  le(b, 54 + pixels, 4);
  le(b, 0, 4);
  le(b, 54, 4);
  le(b, 40, 4);
  le(b, static_cast<uint32_t>(width), 4);
  le(b, static_cast<uint32_t>(height), 4);
  le(b, 1, 2);
  le(b, 24, 2);
  le(b, 0, 4);
  le(b, pixels, 4);
  le(b, 2835, 4);
  le(b, 2835, 4);
  le(b, 0, 4);
  le(b, 0, 4);
  b.append(pixels, '\0');
  return b;
}

ReportFixture::ReportFixture() : db(Backend::Sqlite, Schema::Ris) {
  services.env.exe = "C:\\App\\Host.exe";
}

void ReportFixture::request(const Row& values) {
  Row patient = {{"PATIENT_ID", "P1"}, {"PTN_NAME", "张三"}, {"SEX", "M"}, {"BIRTH", "19800101"}};
  Row request = {{"RequisitionID", "R1"}, {"PatientID", "P1"},
                 {"HospitalID", "ZY1"},   {"ClinicID", ""},
                 {"ExamID", ""},          {"Examdate", "2024-03-05"},
                 {"DepartmentID", "1"},   {"ReqDepartment", "内科"},
                 {"SickbedID", "3床"},    {"Modality", "CT"},
                 {"ModalityAE", "CT1"},   {"Emergency", "0"}};
  Row report = {{"RequisitionID", "R1"}, {"EditOrder", "0"},      {"ReportID", "1"},
                {"EaxmDesc", "胸部CT"},  {"EaxmTechnic", "平扫"}, {"ImageFinding", "所见"},
                {"Impression", "诊断"}};
  for (const auto& [column, value] : values) {
    std::string table = tableOf(column);
    put(table == "RIS_PATIENT" ? patient : table == "RIS_REPORT" ? report : request, column, value);
  }
  db.insert("RIS_PATIENT", patient);
  db.insert("RIS_REQUEST", request);
  db.insert("RIS_REPORT", report);
}

void ReportFixture::report(const Row& values) {
  Row report = {{"RequisitionID", "R1"}, {"EditOrder", "0"}, {"ReportID", "2"}};
  for (const auto& [column, value] : values) put(report, column, value);
  db.insert("RIS_REPORT", report);
}

void ReportFixture::action(const std::string& name, const std::string& user,
                           const std::string& date, const std::string& time,
                           const std::string& num) {
  if (users_.insert(user).second) {
    db.insert("UserInfo", {{"UserID", "u" + user}, {"UserName", user}});
  }
  db.insert("RIS_ReportAction", {{"RequisitionID", "R1"},
                                 {"ActionName", name},
                                 {"ActionNum", num},
                                 {"ActionDate", date},
                                 {"ActionTime", time},
                                 {"UserID", "u" + user}});
}

void ReportFixture::image(int order, const std::string& path, int width, int height,
                          const Row& values) {
  Row row = {{"RequisitionID", "R1"},
             {"ReportID", "1"},
             {"EditOrder", "0"},
             {"OnReport", "1"},
             {"ImageOrder", std::to_string(order)},
             {"ImageFileName", path},
             {"ImageText", ""}};
  for (const auto& [column, value] : values) put(row, column, value);
  db.insert("RIS_REPORT_IMG", row);
  if (width > 0 && height > 0) file(path, bmpBytes(width, height));
}

std::unique_ptr<pages::TPrntPage> ReportFixture::page(int departmentId,
                                                      const model::TextMetrics* otherMetrics) {
  data::Query query(db.connection());
  for (const auto& line : preview::reportStatement("R1")) query.addSql(line);
  query.open();
  if (otherMetrics == nullptr) return pages::createPage(departmentId, query, context);
  pages::PageContext measured{view, db.connection(), *otherMetrics, pictures};
  return pages::createPage(departmentId, query, measured);
}

}  // namespace risview::testing
