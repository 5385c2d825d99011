// Runs a fuzz target once over each seed named (files, or directories of them), without
// libFuzzer, so the ordinary build's tests replay the corpora with any compiler.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  // Every name is read before the first run: a target may change the working directory.
  std::vector<std::pair<std::string, std::vector<char>>> seeds;
  for (int i = 1; i < argc; ++i) {
    std::vector<fs::path> files;
    if (fs::is_directory(argv[i])) {
      for (const auto& entry : fs::directory_iterator(argv[i]))
        if (entry.is_regular_file()) files.push_back(entry.path());
    } else {
      files.emplace_back(argv[i]);
    }
    for (const fs::path& f : files) {
      std::ifstream in(f, std::ios::binary);
      if (!in) {
        std::fprintf(stderr, "cannot read %s\n", f.c_str());
        return 1;
      }
      seeds.emplace_back(f.string(), std::vector<char>(std::istreambuf_iterator<char>(in), {}));
    }
  }
  if (seeds.empty()) {
    std::fprintf(stderr, "no seeds\n");
    return 1;
  }
  for (const auto& [name, bytes] : seeds) {
    std::fprintf(stderr, "%s\n", name.c_str());
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  }
  std::fprintf(stderr, "%zu seeds, no finding\n", seeds.size());
  return 0;
}
