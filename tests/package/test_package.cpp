// Building packages and reading them back, refusals, and reading packages
// that are damaged in every way a file can be.
#include <gtest/gtest.h>
#include <string.h>

#include <random>

#include "codec/common/byte_order.h"
#include "format/record.h"
#include "package/read.h"
#include "tests/support/package_builder.h"

namespace {

const size_t RECORD_OFFSET = 2048;  // where stand_in_stub() puts the record

TestRequest sample_request() {
  TestRequest request;
  request.stub = stand_in_stub(RECORD_OFFSET);
  request.main_file = sample_bytes(50000, 1);
  request.second_file = sample_bytes(3000, 2);
  request.main_name = "KESTREL.SCR";
  request.second_name = "README.TXT";
  request.done_text = "Installed.";
  request.failure_text = "Failed.";
  return request;
}

std::vector<uint8_t> build(const TestRequest &request) { return build_library_package(request).image; }

// The outcome of a build that may be refused.
BuildOutcome try_build(const TestRequest &request, std::vector<uint8_t> *package) {
  VectorSink sink(package);
  return build_package(request.request(), package_codec(), sink, nullptr);
}

PackageReport read(const std::vector<uint8_t> &package, size_t size) {
  MemorySource source(package.data(), size);
  return read_package(source, package_codec(), DEFAULT_CODEPAGE, nullptr);
}
PackageReport read(const std::vector<uint8_t> &package) { return read(package, package.size()); }

std::vector<uint8_t> item_content(const std::vector<uint8_t> &package, const PackageReport &report, PayloadRole first,
                                  PayloadRole last) {
  std::vector<uint8_t> content;
  MemorySource source(package);
  VectorSink sink(&content);
  for (const ItemCheck &item : report.items)
    if (item.item.role >= first && item.item.role <= last) {
      EXPECT_TRUE(write_payload_item(package_codec(), source, item, sink, nullptr).ok());
    }
  return content;
}

// Every supported shape builds, reads back as sound, and yields the files.
TEST(Package, BuildsAndReadsBackEveryShape) {
  struct Shape {
    bool stored;
    bool extra;
    int parts;
  } shapes[] = {{false, false, 1}, {false, true, 1}, {false, true, 2},
                {false, false, 3}, {true, false, 1}, {true, true, 1}};
  for (const Shape &shape : shapes) {
    SCOPED_TRACE(testing::Message() << "stored " << shape.stored << " extra " << shape.extra << " parts "
                                    << shape.parts);
    TestRequest request = sample_request();
    request.stored = shape.stored;
    request.main_parts = shape.parts;
    request.has_extra = shape.extra;
    request.extra_file = sample_bytes(777, 3);
    request.extra_name = "EXTRA.DAT";
    request.silent = shape.stored;
    std::vector<uint8_t> package = build(request);

    PackageReport report = read(package);
    ASSERT_EQ(report.kind, KIND_PACKAGE);
    EXPECT_EQ(report.image.record_offset, RECORD_OFFSET);
    EXPECT_TRUE(report.problems.empty()) << report.problems.front();
    EXPECT_TRUE(report.header_check_holds);
    EXPECT_EQ(report.compressed, !shape.stored);
    EXPECT_EQ(report.silent, shape.stored);
    EXPECT_EQ(report.payload_offset, request.stub.size());
    EXPECT_EQ(report.payload_end, package.size());
    EXPECT_EQ(report.items.size(), (shape.extra ? 3u : 2u) + shape.parts - 1);
    EXPECT_EQ(item_content(package, report, ROLE_MAIN, ROLE_MAIN_PART3), request.main_file);
    EXPECT_EQ(item_content(package, report, ROLE_SECOND, ROLE_SECOND), request.second_file);
    if (shape.extra) {
      EXPECT_EQ(item_content(package, report, ROLE_EXTRA, ROLE_EXTRA), request.extra_file);
    }
    // Everything outside the record is the stub, unchanged.
    EXPECT_TRUE(std::equal(request.stub.begin(), request.stub.begin() + RECORD_OFFSET, package.begin()));
    EXPECT_TRUE(std::equal(request.stub.begin() + RECORD_OFFSET + CONFIG_SIZE, request.stub.end(),
                           package.begin() + RECORD_OFFSET + CONFIG_SIZE));
  }
}

TEST(Package, FillsTheRecordAsTheInstallerReadsIt) {
  TestRequest request = sample_request();
  request.main_parts = 3;
  request.main_file = sample_bytes(10, 4);  // parts of 4, 3 and 3 bytes
  request.has_extra = true;
  request.extra_file = sample_bytes(9, 5);
  request.extra_name = "E";
  request.confirm_text = std::string(63, 'q');
  request.dialog_text = "Copying";
  std::vector<uint8_t> package = build(request);

  uint8_t plain[CONFIG_SIZE];
  memcpy(plain, package.data() + RECORD_OFFSET, CONFIG_SIZE);
  xor_buffer(plain, CONFIG_SIZE, CONFIG_KEY);
  auto word = [&plain](int offset) { return read_le32(plain + offset); };
  EXPECT_EQ(word(0), 0u);
  EXPECT_EQ(word(OFFSET_PAYLOAD_OFFSET), request.stub.size());
  EXPECT_EQ(word(OFFSET_MAIN_SIZE), 4u);
  EXPECT_EQ(word(OFFSET_MAIN_PART2_SIZE), 3u);
  EXPECT_EQ(word(OFFSET_MAIN_PART3_SIZE), 3u);
  EXPECT_EQ(word(OFFSET_SECOND_SIZE), 3000u);
  EXPECT_EQ(word(OFFSET_EXTRA_SIZE), 9u);
  EXPECT_EQ(word(OFFSET_FLAGS), static_cast<uint32_t>(FLAG_COMPRESSED));
  EXPECT_EQ(word(OFFSET_HEADER_CHECK), request.stub.size() ^ 4u ^ 3000u);
  auto text = [&plain](int offset) { return std::string(reinterpret_cast<const char *>(plain + offset)); };
  EXPECT_EQ(text(OFFSET_CONFIRM_TEXT), request.confirm_text);
  EXPECT_EQ(plain[OFFSET_CONFIRM_TEXT + 63], 0);
  EXPECT_EQ(text(OFFSET_EXTRA_FILE_NAME), "E");
  EXPECT_EQ(text(OFFSET_DIALOG_TEXT), "Copying");
  EXPECT_EQ(text(OFFSET_RECORD_SIGNATURE), RECORD_SIGNATURE);
  EXPECT_EQ(split_main_file(10, 3), (std::vector<uint64_t>{4, 3, 3}));
}

TEST(Package, SameRequestSameBytes) {
  TestRequest request = sample_request();
  request.main_parts = 2;
  EXPECT_EQ(build(request), build(request));
}

TEST(Package, RefusesWhatCannotBeRepresented) {
  struct Case {
    const char *what;
    void (*change)(TestRequest *);
    const char *message;
  } cases[] = {
      {"64-character name", [](TestRequest *r) { r->main_name = std::string(64, 'n'); }, "63"},
      {"name with a slash", [](TestRequest *r) { r->second_name = "sub/x"; }, "separator"},
      {"name with a backslash", [](TestRequest *r) { r->main_name = "..\\x.scr"; }, "separator"},
      {"name with a colon", [](TestRequest *r) { r->main_name = "c:x.scr"; }, "colon"},
      {"dot-dot name", [](TestRequest *r) { r->second_name = ".."; }, "directory"},
      {"empty name", [](TestRequest *r) { r->main_name = ""; }, "empty"},
      {"same names", [](TestRequest *r) { r->second_name = "kestrel.scr"; }, "different names"},
      {"names one file but for a trailing dot", [](TestRequest *r) { r->second_name = "KESTREL.SCR."; }, "dot"},
      {"names one file in the code page",
       [](TestRequest *r) {
         r->main_name = "\xC9TOILE.SCR";  // É
         r->second_name = "\xE9toile.scr";
       },
       "different names"},
      {"64-character text", [](TestRequest *r) { r->done_text = std::string(64, 't'); }, "--done"},
      {"empty extra file",
       [](TestRequest *r) {
         r->has_extra = true;
         r->extra_name = "X";
         r->extra_file.clear();
       },
       "extra file is empty"},
      {"fewer main bytes than parts",
       [](TestRequest *r) {
         r->main_file.resize(2);
         r->main_parts = 3;
       },
       "empty part"},
      {"parts in stored mode",
       [](TestRequest *r) {
         r->stored = true;
         r->main_parts = 2;
       },
       "--stored"},
      {"stub without record", [](TestRequest *r) { memset(r->stub.data() + RECORD_OFFSET, 0, CONFIG_SIZE); },
       "holds no install record"},
      {"not a program", [](TestRequest *r) { r->stub.assign(5000, 0); }, "not a Kestrune stub: no MZ signature"},
      {"stub with two records",
       [](TestRequest *r) {
         std::copy(r->stub.begin() + RECORD_OFFSET, r->stub.begin() + RECORD_OFFSET + CONFIG_SIZE,
                   r->stub.begin() + 1024);
       },
       "2 install records"},
      {"stub cut off after its record", [](TestRequest *r) { r->stub.resize(r->stub.size() - 100); },
       "lies outside the file"},
      {"stub with bytes after its image", [](TestRequest *r) { r->stub.resize(r->stub.size() + 100); },
       "goes on 100 bytes past the end of its image"},
  };
  for (const Case &c : cases) {
    TestRequest request = sample_request();
    c.change(&request);
    std::vector<uint8_t> package;
    BuildOutcome outcome = try_build(request, &package);
    EXPECT_EQ(outcome.result.status, PACKAGE_REFUSED) << c.what;
    EXPECT_NE(outcome.result.message.find(c.message), std::string::npos) << c.what << ": " << outcome.result.message;
    EXPECT_TRUE(package.empty()) << c.what;
  }
}

TEST(Package, RefusesAStubThatIsAlreadyAPackage) {
  TestRequest request = sample_request();
  request.stub = build(request);
  std::vector<uint8_t> package;
  BuildOutcome outcome = try_build(request, &package);
  EXPECT_EQ(outcome.result.status, PACKAGE_REFUSED);
  EXPECT_NE(outcome.result.message.find("already a package"), std::string::npos) << outcome.result.message;
}

TEST(Package, EmptyMainAndSecondFilesAreFine) {
  for (bool stored : {false, true}) {
    TestRequest request = sample_request();
    request.stored = stored;
    request.main_file.clear();
    request.second_file.clear();
    std::vector<uint8_t> package = build(request);
    PackageReport report = read(package);
    EXPECT_TRUE(report.problems.empty()) << report.problems.front();
  }
}

// A record edited behind the tool's back: each fault is named.
TEST(Package, NamesEveryFaultOfAHostileRecord) {
  TestRequest request = sample_request();
  request.stored = true;
  std::vector<uint8_t> good = build(request);
  const size_t at = RECORD_OFFSET;
  struct Case {
    const char *what;
    int offset;
    std::vector<uint8_t> plain_bytes;
    const char *expected;
  } cases[] = {
      {"header check", OFFSET_HEADER_CHECK, {0xFF}, "header_check does not hold"},
      {"negative payload offset", OFFSET_PAYLOAD_OFFSET + 3, {0x80}, "payload_offset is negative"},
      {"stored size beyond the file", OFFSET_MAIN_SIZE + 3, {0x7F}, "main at offset"},
      {"unterminated text", OFFSET_DONE_TEXT, std::vector<uint8_t>(64, 'x'), "done_text has no terminating zero"},
      {"path in a name", OFFSET_SECOND_FILE_NAME, {'.', '.', '/', 'x', 0}, "second_file_name is not a plain"},
      {"extra present but unnamed", OFFSET_EXTRA_SIZE, {1}, "extra_file_name is not a plain"},
  };
  for (const Case &c : cases) {
    std::vector<uint8_t> package = good;
    for (size_t i = 0; i < c.plain_bytes.size(); ++i) package[at + c.offset + i] = c.plain_bytes[i] ^ CONFIG_KEY;
    PackageReport report = read(package);
    std::string all;
    for (const std::string &problem : report.problems) all += problem + "; ";
    EXPECT_NE(all.find(c.expected), std::string::npos) << c.what << ": " << all;
  }
}

// Truncation at many places and bit flips all over a compressed package:
// reading never crashes (ASan watches), and any change to the record,
// the blocks' headers or their data is reported.
TEST(Package, DamagedPackagesAreReportedNotTrusted) {
  TestRequest request = sample_request();
  request.main_file = sample_bytes(30000, 9);
  request.main_parts = 2;
  request.has_extra = true;
  request.extra_file = sample_bytes(500, 8);
  request.extra_name = "EXTRA.DAT";
  const std::vector<uint8_t> good = build(request);
  const size_t payload = request.stub.size();

  for (size_t cut = 0; cut < good.size(); cut += cut < payload ? 601 : 97) {
    PackageReport report = read(good, cut);
    EXPECT_FALSE(report.problems.empty()) << "cut at " << cut;
  }
  std::mt19937 random(1234);
  for (size_t at = RECORD_OFFSET; at < good.size(); at += at < payload ? 1 : 13) {
    std::vector<uint8_t> package = good;
    package[at] ^= static_cast<uint8_t>(1u << (random() % 8));
    PackageReport report = read(package);
    // Flags, texts and reserved bytes are not covered by any check; every
    // other record word, the signature and the whole payload are.
    size_t in_record = at - RECORD_OFFSET;
    bool checked = at >= payload || (in_record >= 4 && in_record < 28) || (in_record >= 32 && in_record < 40) ||
                   (in_record >= OFFSET_RECORD_SIGNATURE && in_record < OFFSET_RECORD_SIGNATURE + 24);
    if (!checked) continue;
    EXPECT_FALSE(report.problems.empty()) << "flip at " << at;
  }
}

TEST(Package, ReadsPastAStrayHitThatCannotBeARecord) {
  std::vector<uint8_t> package = build(sample_request());
  // A scrambled signature in the first 576 bytes cannot start a record.
  for (size_t i = 0; i < RECORD_SIGNATURE_SIZE; ++i) package[400 + i] = RECORD_SIGNATURE[i] ^ CONFIG_KEY;
  PackageReport report = read(package);
  EXPECT_EQ(report.image.signature_hits, 1u);
  EXPECT_EQ(report.image.record_offset, RECORD_OFFSET);
  EXPECT_TRUE(report.problems.empty()) << report.problems.front();
}

TEST(Package, ReadsGarbageWithoutARecord) {
  std::vector<uint8_t> junk(3000);
  std::mt19937 random(5);
  for (uint8_t &byte : junk) byte = static_cast<uint8_t>(random());
  for (size_t size : {0u, 1u, 600u, 3000u}) {
    PackageReport report = read(junk, size);
    EXPECT_EQ(report.kind, KIND_NOT_A_STUB);
    ASSERT_FALSE(report.problems.empty());
    EXPECT_EQ(report.problems[0].compare(0, 21, "not a Kestrune stub: "), 0) << report.problems[0];
  }
}

}  // namespace
