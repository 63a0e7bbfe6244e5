#include "platform/services.h"

namespace risview {

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
