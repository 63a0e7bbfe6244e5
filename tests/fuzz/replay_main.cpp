// Feeds every file of the given folders to one fuzz target, so that the suites replay the
// seeds and the regression inputs without libFuzzer. A missing folder holds nothing; no
// input at all is a failure, since then nothing was checked.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#define RISVIEW_FUZZ_TARGETS(X) \
  X(text)                       \
  X(ini_file)                   \
  X(picture_header)             \
  X(jpeg_decode)                \
  X(age_text)                   \
  X(chinese_numerals)           \
  X(sql_text)                   \
  X(connection_string)          \
  X(viewer_address)

#define RISVIEW_DECLARE(name) extern "C" int fuzz_##name(const uint8_t*, size_t);
RISVIEW_FUZZ_TARGETS(RISVIEW_DECLARE)

namespace {

using Target = int (*)(const uint8_t*, size_t);

struct Named {
  std::string_view name;
  Target run;
};

#define RISVIEW_ENTRY(name) {#name, fuzz_##name},
constexpr Named kTargets[] = {RISVIEW_FUZZ_TARGETS(RISVIEW_ENTRY)};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s TARGET FOLDER...\n", argv[0]);
    return 2;
  }
  Target run = nullptr;
  for (const auto& t : kTargets) {
    if (t.name == argv[1]) run = t.run;
  }
  if (run == nullptr) {
    std::fprintf(stderr, "no fuzz target %s\n", argv[1]);
    return 2;
  }
  namespace fs = std::filesystem;
  int count = 0;
  for (int a = 2; a < argc; ++a) {
    if (!fs::is_directory(argv[a])) continue;
    // In name order, so that a failing run names the same input every time.
    std::vector<fs::path> files;
    for (const auto& e : fs::recursive_directory_iterator(argv[a])) {
      if (e.is_regular_file()) files.push_back(e.path());
    }
    std::sort(files.begin(), files.end());
    for (const auto& path : files) {
      std::ifstream in(path, std::ios::binary);
      const std::string bytes((std::istreambuf_iterator<char>(in)), {});
      std::fprintf(stderr, "%s\n", path.c_str());
      // A fresh copy of exactly the input's length, so that a read past it is caught.
      std::vector<uint8_t> data(bytes.begin(), bytes.end());
      run(data.data(), data.size());
      ++count;
    }
  }
  std::printf("%s: %d inputs\n", argv[1], count);
  return count > 0 ? 0 : 1;
}
