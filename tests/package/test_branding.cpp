// Branding the stub: on the real kestrune.exe when the cross build made one,
// and on a sample image that shares an icon image between two groups.
#include <gtest/gtest.h>

#include "codec/common/byte_order.h"
#include "format/record.h"
#include "package/branding.h"
#include "package/pe_image.h"
#include "package/pe_resources.h"
#include "tests/support/outcome.h"
#include "tests/support/pe_samples.h"

namespace {

BrandingRequest full_request() {
  BrandingRequest request;
  request.has_icon = true;
  request.icon = ico_file({icon_bitmap(16, 4), icon_png(256), icon_bitmap(32, 8)});
  request.has_version = true;
  request.version = {"Starfield", "2.0.1", "Kestrune Works", "\xA9 2024 Kestrune", "Starfield screen saver",
                     "STARS.EXE", 1252};
  return request;
}

bool replaced(const Resource &r, const std::vector<uint16_t> &old_images) {
  if (r.type.number == RT_VERSION_TYPE) return true;
  if (r.type.number == RT_GROUP_ICON_TYPE && r.name.number == STUB_ICON_GROUP_ID) return true;
  for (uint16_t id : old_images)
    if (r.type.number == RT_ICON_TYPE && r.name.number == id) return true;
  return false;
}

// What holds for every branded stub: a stub still, whose headers differ only
// in the fields the rewrite sets, whose other sections and other resources
// are byte for byte the same, with a valid checksum when it had one.
void expect_branded(const Bytes &before, const Bytes &after, const std::vector<uint16_t> &old_images) {
  const StubImageCheck check = check_stub_image(after.data(), after.size(), after.size());
  ASSERT_TRUE(check.ok) << check.problem;
  EXPECT_EQ(check.image_end, after.size());
  const PeImage a = parse_pe_image(before.data(), before.size(), before.size()).image;
  const PeImage b = parse_pe_image(after.data(), after.size(), after.size()).image;
  ASSERT_EQ(a.sections.size(), b.sections.size());
  const PeSection &last = b.sections.back();
  const size_t changed[] = {a.checksum_offset,         a.optional_offset + 8,  a.optional_offset + 56,
                            a.directories_offset + 20, last.header_offset + 8, last.header_offset + 16};
  Bytes head_a(before.begin(), before.begin() + last.raw_offset),
      head_b(after.begin(), after.begin() + last.raw_offset);
  for (size_t at : changed)
    for (size_t i = 0; i < 4; ++i) head_a[at + i] = head_b[at + i] = 0;
  EXPECT_TRUE(head_a == head_b) << "headers or sections before the resources changed";
  EXPECT_EQ(b.size_of_image, pe_align_up(last.virtual_address + last.virtual_size, b.section_alignment));
  EXPECT_EQ(b.directories[PE_DIRECTORY_RESOURCE].size, last.virtual_size);
  EXPECT_EQ(last.raw_size, pe_align_up(last.virtual_size, b.file_alignment));
  if (a.checksum) {
    EXPECT_EQ(b.checksum, pe_checksum(after.data(), after.size(), b.checksum_offset));
  }
  const ResourceList old_list = read_image_resources(before.data(), before.size());
  const ResourceList new_list = read_image_resources(after.data(), after.size());
  ASSERT_TRUE(new_list.ok) << new_list.problem;
  for (const Resource &r : old_list.resources) {
    if (replaced(r, old_images)) continue;
    const Resource *kept = find_resource(new_list.resources, r.type.number, r.name.number, r.language);
    ASSERT_TRUE(kept) << r.type.number << "/" << r.name.number;
    EXPECT_EQ(kept->data, r.data) << r.type.number << "/" << r.name.number;
  }
}

void expect_version(const BrandingReport &report, const VersionFields &fields) {
  ASSERT_TRUE(report.has_version);
  EXPECT_EQ(version_number_text(report.version.file_version), "2.0.1.0");
  EXPECT_EQ(report.version.table_key, "040904E4");
  ASSERT_EQ(report.version.strings.size(), 7u);
  EXPECT_EQ(report.version.strings[0].value, fields.product_name);
  EXPECT_EQ(report.version.strings[4].value, "\xC2\xA9 2024 Kestrune");  // © from 1252, as UTF-8
}

std::vector<uint16_t> ids_of(const BrandingReport &report) {
  std::vector<uint16_t> ids;
  for (const IconGroupEntry &e : report.icon_images) ids.push_back(e.id);
  return ids;
}

TEST(Branding, RealStubKeepsItsDialogAndGainsIconAndVersion) {
  const Bytes stub = file_bytes(KESTRUNE_TEST_STUB);
  if (stub.empty()) GTEST_SKIP() << "no cross-built kestrune.exe (" << KESTRUNE_TEST_STUB << ")";
  const PeImage image = parse_pe_image(stub.data(), stub.size(), stub.size()).image;
  EXPECT_EQ(image.checksum, pe_checksum(stub.data(), stub.size(), image.checksum_offset)) << "as the linker sums";
  EXPECT_EQ(brand_stub(stub, BrandingRequest()).stub, stub);

  const BrandingRequest request = full_request();
  const Branding branded = brand_stub(stub, request);
  ASSERT_TRUE(branded.ok) << branded.problem;
  EXPECT_EQ(branded.notes, std::vector<std::string>({"left out 1 PNG image (256x256), which Windows 95 cannot show"}));
  const std::vector<uint16_t> stub_images = ids_of(read_branding(stub.data(), stub.size()));
  expect_branded(stub, branded.stub, stub_images);
  const BrandingReport report = read_branding(branded.stub.data(), branded.stub.size());
  ASSERT_TRUE(report.ok) << report.problem;
  EXPECT_EQ(ids_of(report), std::vector<uint16_t>({1, 2}));
  EXPECT_EQ(describe_icon_entry(report.icon_images[1]), "32x32, 1 plane, 8 bits per pixel, 2216 bytes (RT_ICON 2)");
  expect_version(report, request.version);
  EXPECT_EQ(brand_stub(stub, request).stub, branded.stub);  // the same inputs, the same bytes

  BrandingRequest icon_only;
  icon_only.has_icon = true;
  icon_only.icon = ico_file({icon_bitmap(48, 32)});
  const Branding again = brand_stub(branded.stub, icon_only);
  ASSERT_TRUE(again.ok) << again.problem;
  expect_branded(branded.stub, again.stub, {1, 2});
  const BrandingReport second = read_branding(again.stub.data(), again.stub.size());
  EXPECT_EQ(ids_of(second), std::vector<uint16_t>({1}));
  expect_version(second, request.version);  // kept from the first branding
}

TEST(Branding, NewImagesTakeIdsNoOtherGroupHolds) {
  const Bytes old_image = icon_bitmap(32, 4), shared = icon_bitmap(16, 1);
  std::vector<IconImage> entries(2);
  entries[0].data = old_image;
  entries[1].data = shared;
  Bytes group_1020, group_7;
  ASSERT_TRUE(icon_group_bytes(entries, {1, 2}, &group_1020));
  ASSERT_TRUE(icon_group_bytes({entries[1]}, {2}, &group_7));
  const Bytes stub = sample_pe({numbered_resource(RT_DIALOG_TYPE, STUB_DIALOG_ID, LANGUAGE_EN_US, Bytes(60, 9)),
                                numbered_resource(RT_GROUP_ICON_TYPE, STUB_ICON_GROUP_ID, LANGUAGE_EN_US, group_1020),
                                numbered_resource(RT_GROUP_ICON_TYPE, 7, LANGUAGE_EN_US, group_7),
                                numbered_resource(RT_ICON_TYPE, 1, LANGUAGE_EN_US, old_image),
                                numbered_resource(RT_ICON_TYPE, 2, LANGUAGE_EN_US, shared),
                                numbered_resource(RT_VERSION_TYPE, 1, 0, Bytes(8, 0))});
  const Branding branded = brand_stub(stub, full_request());
  ASSERT_TRUE(branded.ok) << branded.problem;
  expect_branded(stub, branded.stub, {1});
  const BrandingReport report = read_branding(branded.stub.data(), branded.stub.size());
  ASSERT_TRUE(report.ok) << report.problem;
  EXPECT_EQ(ids_of(report), std::vector<uint16_t>({1, 3}));  // 2 stays with group 7
  const ResourceList list = read_image_resources(branded.stub.data(), branded.stub.size());
  EXPECT_EQ(find_resource(list.resources, RT_ICON_TYPE, 2, LANGUAGE_EN_US)->data, shared);
  EXPECT_FALSE(find_resource(list.resources, RT_VERSION_TYPE, 1, 0));  // the old version gave way
  expect_version(report, full_request().version);
}

TEST(Branding, PassesOnWhatItRefuses) {
  BrandingRequest bad_icon = full_request(), bad_version = full_request(), marked = full_request();
  bad_icon.icon = ico_file({icon_png(256)});
  bad_version.version.product_version = "2.0.1.0.0";
  Bytes bitmap = icon_bitmap(32, 4);
  for (size_t i = 0; i < RECORD_SIGNATURE_SIZE; ++i) bitmap[200 + i] = RECORD_SIGNATURE[i] ^ CONFIG_KEY;
  marked.icon = ico_file({bitmap});
  const Bytes stub =
      sample_pe({numbered_resource(RT_GROUP_ICON_TYPE, STUB_ICON_GROUP_ID, LANGUAGE_EN_US, Bytes(6, 0))});
  struct Case {
    const char *what;
    Bytes stub;
    BrandingRequest request;
    const char *problem;
  } cases[] = {
      {"no group 1020", sample_pe({}), full_request(), "stub: it holds no icon group 1020"},
      {"not a program", Bytes(100, 0), full_request(), "stub: no MZ signature"},
      {"a PNG-only icon", stub, bad_icon, "icon file: no image Windows 95 can show"},
      {"a bad version", stub, bad_version, "version information: product version '2.0.1.0.0': more than four parts"},
      {"the record's signature in the icon", stub, marked, "holds the install record's signature"},
  };
  for (const Case &c : cases) {
    const Branding branded = brand_stub(c.stub, c.request);
    EXPECT_TRUE(outcome_is(branded.ok, branded.problem, c.problem)) << c.what;
  }
}

}  // namespace
