// Windows images and their resource trees: what is refused, and what a
// layout reads back as.
#include <gtest/gtest.h>

#include "codec/common/byte_order.h"
#include "package/pe_image.h"
#include "package/pe_resources.h"
#include "tests/support/outcome.h"
#include "tests/support/pe_samples.h"

namespace {

const std::vector<Resource> ONE_ICON = {numbered_resource(RT_ICON_TYPE, 1, LANGUAGE_EN_US, Bytes(20, 7))};

struct Patch {
  size_t at;
  uint32_t value;
  int width;  // 2 or 4 bytes
};

Bytes patched(Bytes bytes, const std::vector<Patch> &patches) {
  for (const Patch &p : patches) {
    if (p.width == 2)
      write_le16(bytes.data() + p.at, static_cast<uint16_t>(p.value));
    else
      write_le32(bytes.data() + p.at, p.value);
  }
  return bytes;
}

TEST(PeImage, StubCheckRefusesWhatIsNotAStub) {
  const Bytes pe = sample_pe(ONE_ICON);
  const size_t opt = 0x40 + 24;
  struct Case {
    const char *what;
    Bytes image;
    const char *problem;  // nullptr: accepted
  } cases[] = {
      {"the sample", pe, nullptr},
      {"e_lfanew inside the DOS header", sample_pe(ONE_ICON, true, 0x0C), nullptr},
      {"no MZ", patched(pe, {{0, 0x5A4E, 2}}), "no MZ signature"},
      {"e_lfanew not a multiple of 4", patched(pe, {{0x3C, 0x42, 4}}), "e_lfanew 0x42"},
      {"e_lfanew past the end", patched(pe, {{0x3C, 0x10000, 4}}), "e_lfanew 0x10000"},
      {"no PE signature", patched(pe, {{0x40, 0x4551, 4}}), "no PE signature at offset 0x40"},
      {"x86-64", patched(pe, {{0x44, 0x8664, 2}}), "machine 0x8664"},
      {"PE32+", patched(pe, {{opt, 0x20B, 2}}), "not a PE32 program"},
      {"console", patched(pe, {{opt + 68, 3, 2}}), "subsystem 3"},
      {"a DLL", patched(pe, {{0x40 + 22, 0x2102, 2}}), "do not make it a program"},
      {"too many directories", patched(pe, {{opt + 92, 17, 4}}), "17 data directories"},
      {"section data past the end", patched(pe, {{opt + 224 + 16, 0x400, 4}}), "lies outside the file (offset 0x200"},
      {"no sections", patched(pe, {{0x46, 0, 2}}), "0 sections"},
      {"section table past the headers", patched(pe, {{0x46, 20, 2}}), "the section table"},
      {"file alignment 0x300", patched(pe, {{opt + 36, 0x300, 4}}), "FileAlignment 0x300"},
      {"SizeOfImage short", patched(pe, {{opt + 56, 0x1000, 4}}), "SizeOfImage 0x1000"},
      {"cut to the DOS header", Bytes(pe.begin(), pe.begin() + 0x3F), "too short for a DOS header"},
  };
  for (const Case &c : cases) {
    const StubImageCheck check = check_stub_image(c.image.data(), c.image.size(), c.image.size());
    EXPECT_TRUE(outcome_is(check.ok, check.problem, c.problem)) << c.what;
    EXPECT_EQ(check.image_end, c.problem ? 0 : c.image.size()) << c.what;
  }
  // Only the headers need to be at hand; the payload starts at the image's end.
  const StubImageCheck headers_only = check_stub_image(pe.data(), 0x200, pe.size() + 5000);
  EXPECT_TRUE(headers_only.ok) << headers_only.problem;
  EXPECT_EQ(headers_only.image_end, pe.size());
}

TEST(PeResources, TreeFaultsAreNamed) {
  // One resource: the root at 0, the name table at 24, the language table at
  // 48, the data entry at 72, the data at 88 (RVA 0x1000 + 88).
  const Bytes section = lay_out_resources(ONE_ICON, 0x1000).bytes;
  ASSERT_EQ(section.size(), 88u + 20u);
  struct Case {
    const char *what;
    std::vector<Patch> patches;
    const char *problem;
  } cases[] = {
      {"as laid out", {}, nullptr},
      {"count past the end", {{14, 0x2000, 2}}, "entries run past the section's end"},
      {"a loop back to the root", {{20, 0x80000000, 4}}, "is reached twice"},
      {"a name entry pointing at data", {{44, 72, 4}}, "points at data, not at a directory"},
      {"a language entry pointing at a table", {{68, 0x80000018, 4}}, "points at a directory, not at data"},
      {"data outside the section", {{72, 0x2000, 4}}, "lies outside the section (RVA 0x2000"},
      {"data longer than the section", {{76, 0xFFFFFFF0, 4}}, "lies outside the section"},
      {"data before the section", {{72, 0x800, 4}}, "lies outside the section (RVA 0x800"},
      {"a name outside the section", {{16, 0x80007000, 4}, {12, 1, 2}, {14, 0, 2}}, "name of the entry"},
      {"a numbered entry counted as named", {{12, 1, 2}, {14, 0, 2}}, "names first"},
      {"an id over 16 bits", {{16, 0x10003, 4}}, "has id 0x10003"},
      {"a table outside the section", {{20, 0x80000100, 4}}, "lies outside the section"},
  };
  for (const Case &c : cases) {
    const Bytes bytes = patched(section, c.patches);
    const ResourceList list = parse_resource_tree(bytes.data(), bytes.size(), 0x1000);
    EXPECT_TRUE(outcome_is(list.ok, list.problem, c.problem)) << c.what;
  }
}

TEST(PeResources, LayoutReadsBackSortedAndAligned) {
  Resource named = numbered_resource(5, 0, 0, Bytes(3, 1));
  named.name.named = true;
  named.name.name = u"PROGRESS";
  Resource named_type = numbered_resource(0, 7, 0, Bytes(5, 2));
  named_type.type.named = true;
  named_type.type.name = u"avi";
  Resource lower = named;
  lower.name.name = u"about";  // before "PROGRESS" without regard to case
  const std::vector<Resource> given = {
      numbered_resource(RT_VERSION_TYPE, 1, LANGUAGE_EN_US, Bytes(9, 3)),
      numbered_resource(RT_ICON_TYPE, 2, 1031, Bytes(1, 4)),
      numbered_resource(RT_ICON_TYPE, 2, 0, Bytes(7, 5)),
      named,
      named_type,
      lower,
  };
  const ResourceSection laid = lay_out_resources(given, 0x3000);
  ASSERT_TRUE(laid.ok) << laid.problem;
  const ResourceList back = parse_resource_tree(laid.bytes.data(), laid.bytes.size(), 0x3000);
  ASSERT_TRUE(back.ok) << back.problem;
  // named type, then 3 (languages 0, 1031), 5 ("about", "PROGRESS"), 16
  const std::vector<size_t> order = {4, 2, 1, 5, 3, 0};
  ASSERT_EQ(back.resources.size(), order.size());
  for (size_t i = 0; i < order.size(); ++i) {
    const Resource &got = back.resources[i], &want = given[order[i]];
    EXPECT_EQ(got.type.named, want.type.named);
    EXPECT_EQ(got.type.number, want.type.number);
    EXPECT_EQ(got.type.name, want.type.name);
    EXPECT_EQ(got.name.name, want.name.name);
    EXPECT_EQ(got.name.number, want.name.number);
    EXPECT_EQ(got.language, want.language);
    EXPECT_EQ(got.data, want.data) << i;
  }
  for (const Resource &r : back.resources) EXPECT_EQ(r.data_rva % 8, 0u) << r.data_rva;
  EXPECT_EQ(lay_out_resources(back.resources, 0x3000).bytes, laid.bytes);  // same list, same bytes
  std::vector<Resource> twice = given;
  twice.push_back(given[0]);
  const ResourceSection duplicate = lay_out_resources(twice, 0x3000);
  EXPECT_TRUE(outcome_is(duplicate.ok, duplicate.problem, "two resources of type 16, name 1 and language 1033"));
}

TEST(PeResources, RewriteRefusesAStubItCannotGrow) {
  const Bytes pe = sample_pe(ONE_ICON);
  const size_t opt = 0x40 + 24;
  struct Case {
    const char *what;
    Bytes stub;
    const char *problem;
  } cases[] = {
      {"resources last", pe, nullptr},
      {"a section after the resources", sample_pe(ONE_ICON, false), "not the whole of its last section"},
      {"bytes after the image", concat({pe, Bytes(16, 0)}), "16 bytes follow its image"},
      {"signed", patched(pe, {{opt + 96 + 8 * 4 + 4, 0x100, 4}}), "it is signed"},
      {"no resources", patched(pe, {{opt + 96 + 8 * 2, 0, 4}}), "no resource section"},
      {"resources mid-section", patched(pe, {{opt + 96 + 8 * 2, 0x1010, 4}}), "not the whole of its last section"},
      {"debug data in the section", patched(pe, {{opt + 96 + 8 * 6, 0x1000, 4}}), "data directory 6"},
  };
  for (const Case &c : cases) {
    const ImageRewrite rewrite = replace_resources(c.stub, ONE_ICON);
    EXPECT_TRUE(outcome_is(rewrite.ok, rewrite.problem, c.problem)) << c.what;
  }
}

}  // namespace
