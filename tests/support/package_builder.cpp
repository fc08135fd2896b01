#include <string.h>

#include <stdexcept>

#include "codec/common/stream.h"
#include "platform/win32.h"
#include "tests/support/package_builder.h"
#include "win32sim/sim.h"

namespace {

// The codec over the simulated Win32 files: this program's seam provider is
// the installer's. Encoding only; the installer's tests read nothing back.
class SimulatedFilesCodec : public StreamCodec {
 public:
  StreamRun encode(ByteSource &source, uint64_t offset, uint32_t count, ByteSink &sink, bool best,
                   Progress *) override {
    StreamRun run;
    Bytes data(count);
    if (count && !source.read_exactly(offset, data.data(), count)) {
      run.read_failed = true;
      return run;
    }
    Bytes packed = compress(data, best);
    run.write_failed = !sink.write(packed.data(), packed.size());
    run.ok = !run.write_failed;
    run.produced = packed.size();
    return run;
  }
  StreamRun decode(ByteSource &, uint64_t, ByteSink *, Progress *) override { return StreamRun(); }
};

}  // namespace

Bytes compress(const Bytes &data, bool best) {
  sim_make_dir("C:\\BUILD");
  sim_write_file("C:\\BUILD\\PLAIN", data);
  HANDLE in = CreateFileA("C:\\BUILD\\PLAIN", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  HANDLE out = CreateFileA("C:\\BUILD\\PACKED", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  int ok = (best ? compress_stream_best : compress_stream)(in, out, static_cast<int32_t>(data.size()));
  CloseHandle(in);
  CloseHandle(out);
  if (!ok) throw std::runtime_error("compress_stream failed");
  return sim_read_file("C:\\BUILD\\PACKED");
}

TestPackage build_test_package(const TestRequest &request) {
  SimulatedFilesCodec codec;
  return package_from(request, codec);
}

TestPackage stored_package(const Bytes &main, const Bytes &second, const Bytes *extra) {
  TestRequest request = test_request(main, second, extra);
  request.stored = true;
  TestPackage package = build_test_package(request);
  package.unseal();
  return package;
}

TestPackage compressed_package(const std::vector<Bytes> &main_parts, const Bytes &second, const Bytes *extra) {
  Bytes main;
  std::vector<uint64_t> sizes;
  for (size_t i = 0; i < main_parts.size(); ++i) {
    if (i > 0 && main_parts[i].empty()) continue;
    main.insert(main.end(), main_parts[i].begin(), main_parts[i].end());
    sizes.push_back(main_parts[i].size());
  }
  TestRequest request = test_request(main, second, extra);
  request.main_parts = static_cast<int>(sizes.size());
  request.main_part_sizes = sizes;
  TestPackage package = build_test_package(request);
  package.unseal();
  // Without part 2, part 3's stream follows part 1 directly: the same layout
  // with its size in the part-3 word.
  if (main_parts.size() == 3 && main_parts[1].empty() && !main_parts[2].empty()) {
    package.set_word(OFFSET_MAIN_PART3_SIZE, package.word(OFFSET_MAIN_PART2_SIZE));
    package.set_word(OFFSET_MAIN_PART2_SIZE, 0);
  }
  return package;
}
