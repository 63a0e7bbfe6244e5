#include "platform/services.h"

#include <cstdio>
#include <utility>

#include "platform/errors.h"

namespace risview {

namespace {

class WholeFileReader : public FileReader {
 public:
  explicit WholeFileReader(std::string bytes) : bytes_(std::move(bytes)) {}
  uint64_t size() const override { return bytes_.size(); }
  std::optional<std::string> read(uint64_t offset, size_t count) override {
    if (offset >= bytes_.size()) return std::string();
    return bytes_.substr(static_cast<size_t>(offset), count);
  }

 private:
  std::string bytes_;
};

}  // namespace

std::unique_ptr<FileReader> Environment::openFile(const std::string& path) const {
  std::optional<std::string> bytes = readFile(path);
  if (!bytes) return nullptr;
  return std::make_unique<WholeFileReader>(std::move(*bytes));
}

std::optional<std::string> Environment::variable(const std::string&) const {
  return std::nullopt;
}

std::string expandVariables(std::string_view text, const Environment& env) {
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    size_t open = text.find('%', i);
    size_t close = open == std::string_view::npos ? open : text.find('%', open + 1);
    if (close == std::string_view::npos) break;
    out.append(text.substr(i, open - i));
    std::optional<std::string> value =
        close > open + 1 ? env.variable(std::string(text.substr(open + 1, close - open - 1)))
                         : std::nullopt;
    if (value) {
      out += *value;
      i = close + 1;
    } else {
      // Not a variable: the "%" stays and the closing one may open the next name.
      out += '%';
      i = open + 1;
    }
  }
  out.append(text.substr(std::min(i, text.size())));
  return out;
}

LoggedStep::LoggedStep(StepLog* log, std::string what)
    : log_(log), what_(std::move(what)), startedMs_(log_ ? monotonicMilliseconds() : 0) {}

LoggedStep::~LoggedStep() {
  try {
    done("failed");
  } catch (...) {
    // A line the log could not take is not worth the host process.
  }
}

void LoggedStep::done(std::string_view outcome) {
  if (!log_) return;
  log_->step(what_, monotonicMilliseconds() - startedMs_, outcome);
  log_ = nullptr;
}

int LoggedBoxes::show(std::string_view text, std::string_view caption, unsigned style,
                      WindowRef owner) {
  double started = monotonicMilliseconds();
  int result = boxes_.show(text, caption, style, owner);
  log_.step("box", monotonicMilliseconds() - started,
            std::string(text) + " (answer " + std::to_string(result) + ")");
  return result;
}

Waits& waitsOf(const Services& services) {
  static InlineWaits inlineWaits;
  return services.waits ? *services.waits : inlineWaits;
}

std::string FixedLocale::shortTime(int hour, int minute, int second) const {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
    throw ConversionError("Invalid argument to time encode");
  }
  char text[8];
  std::snprintf(text, sizeof text, "%02d:%02d", hour, minute);
  return text;
}

std::string applicationTitleFromModulePath(std::string_view modulePath) {
  size_t slash = modulePath.find_last_of("\\/");
  std::string_view name =
      slash == std::string_view::npos ? modulePath : modulePath.substr(slash + 1);
  name = name.substr(0, name.find('.'));
  std::string title(name);
  for (size_t i = 1; i < title.size(); ++i) {
    if (title[i] >= 'A' && title[i] <= 'Z') title[i] += 'a' - 'A';
  }
  return title;
}

}  // namespace risview
