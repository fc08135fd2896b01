// The corrupted-installer sweep: real packages from kestrune-pack, damaged in
// every way a flaky download or a careless copy can damage them, each
// installed whole on the simulation.
//
// Damage: one bit flipped in every byte of the record and of every block
// header, and in a stride of the data bytes; the file cut at every block
// boundary and at a stride of other positions. For every case the install
// must either refuse (the damaged-installer or the failure message, no
// registration) or install every file byte-identical under its own name;
// never crash, hang, write outside the Windows directory or leave a handle
// open. The counts are printed.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "codec/common/container.h"
#include "format/seal.h"
#include "tests/hardening/hardening.h"

namespace {

enum { DATA_STRIDE = 499, CUT_STRIDE = 4099 };

struct Sweep {
  Sweep(std::string sweep_name, std::map<std::string, Bytes> expected_files)
      : name(std::move(sweep_name)), expected(std::move(expected_files)) {}
  std::string name;
  std::map<std::string, Bytes> expected;
  std::map<std::string, std::map<std::string, int>> outcomes;  // damage kind -> outcome -> count
  int cases = 0;
  std::vector<std::string> violations;

  // Runs one damaged installer; record_offset locates the record in image.
  void run(const std::string &kind, const std::string &what, const Bytes &image, size_t record_offset) {
    ++cases;
    InstallOutcome outcome = install_in_fresh_world(image, image.data() + record_offset);
    std::string result = classify(outcome, image.data() + record_offset);
    if (result.rfind("VIOLATION", 0) == 0) violations.push_back(kind + " " + what + ": " + result);
    ++outcomes[kind][result];
  }

  // The messages a run of this record shows when it ends with `text`: the
  // question first if the record asks one, nothing after it in silent mode.
  // The record may be the damaged one: a damaged question or text is shown as
  // it stands, exactly as on a header mismatch.
  static std::vector<std::string> messages(const InstallConfig &record, int text_offset, bool shown_when_empty) {
    auto slot = [&record](int offset) {
      const char *text = record_text(&record, offset);
      return std::string(text, strnlen(text, TEXT_SLOT_SIZE - 1));
    };
    std::vector<std::string> texts;
    if (!slot(OFFSET_CONFIRM_TEXT).empty()) texts.push_back(slot(OFFSET_CONFIRM_TEXT));
    bool silent = (record.flags & FLAG_SILENT) != 0;
    std::string text = slot(text_offset);
    if (!silent && (shown_when_empty || !text.empty())) texts.push_back(text);
    return texts;
  }

  std::string classify(const InstallOutcome &outcome, const uint8_t *scrambled_record) const {
    InstallConfig plain;
    read_stored_record(scrambled_record, &plain);
    if (!outcome.outside_writes.empty()) return "VIOLATION: " + outcome.outside_writes[0];
    if (outcome.open_handles != 0) return "VIOLATION: a handle was left open";
    if (outcome.registered) {
      if (outcome.windows_files != expected) return "VIOLATION: registered over wrong files";
      if (outcome.texts != messages(plain, OFFSET_DONE_TEXT, false))
        return "VIOLATION: registered, with other messages than done";
      return "installed intact";
    }
    if (outcome.texts == messages(plain, OFFSET_BAD_HEADER_TEXT, false) && outcome.windows_files.empty())
      return "refused as damaged";
    if (outcome.texts == messages(plain, OFFSET_FAILURE_TEXT, true)) return "failed";
    return "VIOLATION: not registered, messages: " + std::to_string(outcome.texts.size()) +
           (outcome.texts.empty() ? "" : ", last \"" + outcome.texts.back() + "\"");
  }

  void report() const {
    printf("sweep %s: %d cases\n", name.c_str(), cases);
    for (const auto &kind : outcomes) {
      printf("  %-22s", kind.first.c_str());
      for (const auto &result : kind.second) printf("  %s %d", result.first.c_str(), result.second);
      printf("\n");
    }
    printf("  violations: %zu\n", violations.size());
    for (size_t i = 0; i < violations.size() && i < 20; ++i) printf("    %s\n", violations[i].c_str());
    fflush(stdout);
  }
};

// Start offsets of every container block from payload_offset on: a stream is
// a size block and data blocks, the first block shorter than BLOCK_SIZE
// being its last.
std::vector<size_t> block_starts(const Bytes &image, size_t payload_offset) {
  std::vector<size_t> starts;
  size_t at = payload_offset;
  while (at + BLOCK_HEADER_SIZE <= image.size()) {
    starts.push_back(at);  // size block
    at += read_block_header(image.data() + at).length;
    while (at + BLOCK_HEADER_SIZE <= image.size()) {
      starts.push_back(at);
      size_t length = read_block_header(image.data() + at).length;
      at += length;
      if (length != BLOCK_SIZE) break;
    }
  }
  return starts;
}

// Payload bytes get one flipped bit each, the bit rotating with the offset.
void flip(Bytes *image, size_t at) { (*image)[at] ^= static_cast<uint8_t>(1u << (at % 8)); }

// Record bytes get every one of their bits flipped, one case each.
void sweep_record(Sweep *sweep, const TestPackage &package) {
  for (size_t i = 0; i < CONFIG_SIZE; ++i) {
    for (unsigned bit = 0; bit < 8; ++bit) {
      Bytes image = package.image;
      image[package.record_offset + i] ^= static_cast<uint8_t>(1u << bit);
      sweep->run("record bit", std::to_string(i) + "." + std::to_string(bit), image, package.record_offset);
    }
  }
}

void sweep_payload(Sweep *sweep, const TestPackage &package, bool compressed) {
  const size_t payload = package.payload_offset();
  const size_t size = package.image.size();
  std::set<size_t> headers, boundaries;
  if (compressed) {
    for (size_t start : block_starts(package.image, payload)) {
      boundaries.insert(start);
      for (size_t i = 0; i < 6 && start + i < size; ++i) headers.insert(start + i);
    }
  }
  for (size_t at : headers) {
    Bytes image = package.image;
    flip(&image, at);
    sweep->run("block header byte", std::to_string(at), image, package.record_offset);
  }
  for (size_t at = payload; at < size; at += DATA_STRIDE) {
    if (headers.count(at)) continue;
    Bytes image = package.image;
    flip(&image, at);
    sweep->run("data byte", std::to_string(at), image, package.record_offset);
  }
  std::set<size_t> cuts = boundaries;
  for (size_t at = payload; at < size; at += CUT_STRIDE) cuts.insert(at);
  cuts.insert(size - 1);
  for (size_t at : cuts) {
    if (at >= size) continue;
    Bytes image(package.image.begin(), package.image.begin() + static_cast<std::ptrdiff_t>(at));
    sweep->run(boundaries.count(at) ? "cut at block boundary" : "cut elsewhere", std::to_string(at), image,
               package.record_offset);
  }
}

TestRequest sweep_request() {
  static const Bytes extra = sample_bytes(5000, 23);
  return hardening_request(sample_bytes(320 * 1024, 21), sample_bytes(24 * 1024, 22), &extra);
}

void finish(const Sweep &sweep) {
  sweep.report();
  EXPECT_TRUE(sweep.violations.empty()) << sweep.violations.size() << " violations, first: " << sweep.violations[0];
}

TEST(CorruptionSweep, SealedCompressedPackage) {
  TestRequest request = sweep_request();
  request.main_parts = 3;
  TestPackage package = build_test_package(request);
  Sweep sweep("sealed compressed (" + std::to_string(package.image.size()) + " bytes, 5 streams)",
              expected_files(request));
  sweep_record(&sweep, package);
  sweep_payload(&sweep, package, true);
  finish(sweep);
}

TEST(CorruptionSweep, SealedStoredPackage) {
  TestRequest request = sweep_request();
  request.stored = true;
  TestPackage package = build_test_package(request);
  Sweep sweep("sealed stored (" + std::to_string(package.image.size()) + " bytes)", expected_files(request));
  sweep_record(&sweep, package);
  sweep_payload(&sweep, package, false);
  finish(sweep);
}

TEST(CorruptionSweep, UnsealedCompressedPayloadRestsOnTheBlockChecks) {
  // A package from a tool without the seal: the record is trusted as it stands,
  // but the container's own checks must still catch every damaged or cut
  // payload.
  TestRequest request = sweep_request();
  request.main_parts = 3;
  TestPackage package = build_test_package(request);
  package.unseal();
  Sweep sweep("unsealed compressed payload (" + std::to_string(package.image.size()) + " bytes)",
              expected_files(request));
  sweep_payload(&sweep, package, true);
  finish(sweep);
}

}  // namespace
