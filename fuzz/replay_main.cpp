// Standalone driver for a fuzz target: runs LLVMFuzzerTestOneInput once per
// file named on the command line (directories are walked, one level deep), so
// saved crashers and seeds replay in the ordinary build without libFuzzer.
// Exit status 0 when every input ran; a finding aborts, as under the fuzzer.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace fs = std::filesystem;

namespace {

bool run_file(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    fprintf(stderr, "replay: cannot read %s\n", path.c_str());
    return false;
  }
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  return true;
}

}  // namespace

int main(int argc, char **argv) {
  int ran = 0;
  bool ok = true;
  for (int i = 1; i < argc; ++i) {
    fs::path arg = argv[i];
    std::vector<fs::path> files;
    if (fs::is_directory(arg)) {
      for (const auto &entry : fs::directory_iterator(arg))
        if (entry.is_regular_file()) files.push_back(entry.path());
      std::sort(files.begin(), files.end());
    } else if (fs::exists(arg)) {
      files.push_back(arg);
    }
    for (const auto &file : files) {
      ok = run_file(file) && ok;
      ++ran;
    }
  }
  printf("replay: %d inputs\n", ran);
  return ok ? 0 : 1;
}
