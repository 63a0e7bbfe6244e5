#include "support/fixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "data/connection_string.h"
#include "schema_sql.h"

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

namespace risview::testing {

namespace {

std::atomic<int> counter{0};

std::string env(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

// Runs each ";"-terminated statement of a schema file.
void runScript(data::Connection& con, std::string_view script) {
  size_t start = 0;
  while (start < script.size()) {
    size_t end = script.find(';', start);
    if (end == std::string_view::npos) end = script.size();
    std::string statement(script.substr(start, end - start));
    std::string body;
    for (size_t i = 0; i < statement.size();) {
      size_t nl = statement.find('\n', i);
      std::string line = statement.substr(i, nl == std::string::npos ? std::string::npos : nl - i);
      if (line.rfind("--", 0) != 0) body += line + "\n";
      i = nl == std::string::npos ? statement.size() : nl + 1;
    }
    if (body.find_first_not_of(" \r\n\t") != std::string::npos) con.execute(body);
    start = end + 1;
  }
}

std::string uniqueName() {
  return "risview_" + std::to_string(getpid()) + "_" + std::to_string(counter++);
}

}  // namespace

std::string scratchDirectory() {
  // Under Wine the drivers are native programs, so the directory is a host path the test
  // script hands over; natively the system's temporary directory serves.
  static const std::string dir = [] {
    std::string base = env("RISVIEW_SCRATCH");
#ifndef _WIN32
    if (base.empty()) base = std::filesystem::temp_directory_path().string();
    std::string path = base + "/risview-" + std::to_string(getpid());
    std::filesystem::create_directories(path);
    return path;
#else
    if (base.empty()) base = "/tmp";
    return base;
#endif
  }();
  return dir;
}

bool Fixture::available(Backend backend) {
  if (backend == Backend::Postgres) return !env("RISVIEW_PG_PORT").empty();
  return true;
}

Fixture::Fixture(Backend backend, Schema schema) : backend_(backend) {
  writer_ = std::make_unique<data::Connection>();
  writer_->setReadOnly(false);
  if (backend == Backend::Sqlite) {
    server_ = "localhost";
    database_ = scratchDirectory() + "/" + uniqueName() + ".db";
    driver_ = "SQLite3";
  } else {
    server_ = "127.0.0.1," + env("RISVIEW_PG_PORT");
    database_ = uniqueName();
    user_ = "risview";
    password_ = "risview";
    driver_ = "PostgreSQL Unicode";
    data::Connection admin;
    admin.setReadOnly(false);
    admin.setConnectionString(
        data::buildOleDbConnectionString(server_, "postgres", user_, password_), driver_);
    admin.execute("CREATE DATABASE " + database_ + " ENCODING 'UTF8' TEMPLATE template0");
  }
  writer_->setConnectionString(
      data::buildOleDbConnectionString(server_, database_, user_, password_), driver_);
  runScript(*writer_, schema == Schema::Ris ? kRisSchemaSql : kArchiveSchemaSql);
}

Fixture::~Fixture() {
  reader_.reset();
  writer_.reset();
  if (backend_ == Backend::Postgres) {
    try {
      data::Connection admin;
      admin.setReadOnly(false);
      admin.setConnectionString(
          data::buildOleDbConnectionString(server_, "postgres", user_, password_), driver_);
      admin.execute("DROP DATABASE IF EXISTS " + database_);
    } catch (const std::exception&) {
      // The server goes away with the test run anyway.
    }
  } else {
    std::error_code ignored;
    std::filesystem::remove(database_, ignored);
  }
}

void Fixture::execute(const std::string& sql) {
  writer_->execute(sql);
}

void Fixture::insert(const std::string& table, const Row& row) {
  std::string columns, values;
  for (const auto& [column, value] : row) {
    if (!columns.empty()) columns += ",", values += ",";
    columns += column;
    values += value == kNull ? std::string("NULL") : data::quoted(value);
  }
  writer_->execute("INSERT INTO " + table + " (" + columns + ") VALUES (" + values + ")");
}

data::Connection& Fixture::connection() {
  if (!reader_) {
    reader_ = std::make_unique<data::Connection>();
    reader_->setConnectionString(
        data::buildOleDbConnectionString(server_, database_, user_, password_), driver_);
    reader_->open();
  }
  return *reader_;
}

}  // namespace risview::testing

#ifndef _WIN32
#include <clocale>
namespace {
// The driver manager hands texts to narrow-only drivers (SQLite's) in the locale's
// character set; UTF-8 keeps every character.
const bool kUtf8Locale = std::setlocale(LC_CTYPE, "C.UTF-8") != nullptr;
}  // namespace
#endif
