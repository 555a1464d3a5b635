// Runs a fuzz target over its seed corpus without libFuzzer, so that the
// corpus is an ordinary test under any compiler. Each argument is a file or a
// folder of files; every file is one input. A folder with no file fails: a
// corpus that went missing must not pass as tested.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size);

namespace {

void runOne(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
  int inputs = 0;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path arg(argv[i]);
    if (std::filesystem::is_directory(arg)) {
      std::vector<std::filesystem::path> files;
      for (const auto& e : std::filesystem::directory_iterator(arg)) {
        if (e.is_regular_file()) files.push_back(e.path());
      }
      if (files.empty()) {
        std::fprintf(stderr, "%s holds no input\n", argv[i]);
        return 1;
      }
      std::sort(files.begin(), files.end());
      for (const auto& f : files) {
        runOne(f);
        ++inputs;
      }
    } else if (std::filesystem::is_regular_file(arg)) {
      runOne(arg);
      ++inputs;
    } else {
      std::fprintf(stderr, "%s: no such file or folder\n", argv[i]);
      return 1;
    }
  }
  std::printf("%d inputs ran\n", inputs);
  return inputs > 0 ? 0 : 1;
}
