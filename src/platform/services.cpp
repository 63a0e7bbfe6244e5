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
