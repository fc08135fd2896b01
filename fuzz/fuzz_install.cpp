// Fuzz target: the whole install on the simulated Win32 layer. The input is
// the installer's own file; its first 640 bytes, plain, are also the record
// the stub carries (so payload_offset 640 puts the payload right after it).
// When the lowest bit of record byte 56 (in the seal's unused words) is set,
// the input is sealed afresh before the install, so mutations of sealed
// inputs reach the install behind the seal instead of all ending at it.
//
// Beyond the sanitizers it checks what no installer may do, whatever its
// record and payload say: write anywhere but directly in the Windows
// directory, leave a handle open, show more than the question and one
// outcome message, or write far more than the input can describe.
#include <stdio.h>

#include "format/record.h"
#include "format/seal.h"
#include "fuzz/fuzz_check.h"
#include "tests/support/install_harness.h"
#include "win32sim/sim.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < CONFIG_SIZE) return 0;
  Bytes image(data, data + size);
  xor_buffer(image.data(), CONFIG_SIZE, CONFIG_KEY);  // as the package tool stores it
  if (data[56] & 1) seal_image(image.data(), image.size(), 0);
  uint8_t record[CONFIG_SIZE];
  for (int i = 0; i < CONFIG_SIZE; ++i) record[i] = image[i];
  // A generous disk: any install that reaches it has gone wrong.
  const int64_t disk = 64ll * static_cast<int64_t>(size) + (1 << 20);
  InstallOutcome outcome = install_in_fresh_world(image, record, disk);

  for (const std::string &write : outcome.outside_writes) fprintf(stderr, "fuzz_install: %s\n", write.c_str());
  fuzz_check(outcome.outside_writes.empty(), "wrote outside the Windows directory");
  fuzz_check(outcome.open_handles == 0, "left a handle open");
  const bool asks = data[OFFSET_CONFIRM_TEXT] != 0;
  fuzz_check(outcome.message_boxes <= (asks ? 2 : 1), "more than one outcome message");
  uint64_t written = 0;
  for (const auto &file : outcome.windows_files) written += file.second.size();
  fuzz_check(written < static_cast<uint64_t>(disk), "filled the disk");
  // Frees the run's world here, so each run frees what it allocated and
  // libFuzzer's leak check has no reason to run the input a second time.
  sim_reset();
  return 0;
}
