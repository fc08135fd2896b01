// Icon sources: the images kept, the ones left out, and the files refused.
#include <gtest/gtest.h>

#include "codec/common/byte_order.h"
#include "package/icon.h"
#include "tests/support/outcome.h"
#include "tests/support/pe_samples.h"

namespace {

Bytes with_word(Bytes bytes, size_t at, uint32_t value) {
  write_le32(bytes.data() + at, value);
  return bytes;
}

// An icon group naming these RT_ICON ids for images.
Bytes group_for(const std::vector<Bytes> &images, const std::vector<uint16_t> &ids) {
  std::vector<IconImage> entries(images.size());
  for (size_t k = 0; k < images.size(); ++k) entries[k].data = images[k];
  Bytes group;
  EXPECT_TRUE(icon_group_bytes(entries, ids, &group));
  return group;
}

TEST(Icon, KeepsTheBitmapsAndNotesThePngImages) {
  const Bytes small = icon_bitmap(16, 4), large = icon_bitmap(32, 8), huge = icon_bitmap(256, 32);
  const Bytes ico = ico_file({small, icon_png(256), large, huge});
  const std::vector<Resource> program = {
      numbered_resource(RT_GROUP_ICON_TYPE, 7, 0, group_for({small, large, icon_png(256), huge}, {3, 4, 5, 6})),
      numbered_resource(RT_ICON_TYPE, 3, 0, small), numbered_resource(RT_ICON_TYPE, 4, 0, large),
      numbered_resource(RT_ICON_TYPE, 5, 0, icon_png(256)), numbered_resource(RT_ICON_TYPE, 6, 0, huge),
      // a later group, which is not taken
      numbered_resource(RT_GROUP_ICON_TYPE, 9, 0, group_for({large}, {4}))};
  for (const Bytes &source : {ico, sample_pe(program)}) {
    const IconRead read = read_icon_source(source.data(), source.size());
    ASSERT_TRUE(read.ok) << read.problem;
    ASSERT_EQ(read.images.size(), 3u);
    const IconImage &a = read.images[0], &b = read.images[1], &c = read.images[2];
    EXPECT_EQ(std::vector<uint32_t>({a.width, a.height, a.colours, a.planes, a.bit_count}),
              std::vector<uint32_t>({16, 16, 16, 1, 4}));
    EXPECT_EQ(std::vector<uint32_t>({b.width, b.height, b.colours, b.planes, b.bit_count}),
              std::vector<uint32_t>({32, 32, 0, 1, 8}));
    EXPECT_EQ(std::vector<uint32_t>({c.width, c.height, c.colours, c.bit_count}),
              std::vector<uint32_t>({256, 256, 0, 32}));
    EXPECT_EQ(a.data, small);
    EXPECT_EQ(c.data, huge);
    EXPECT_EQ(read.notes, std::vector<std::string>({"left out 1 PNG image (256x256), which Windows 95 cannot show"}));
  }
}

TEST(Icon, RefusesWhatWindows95CannotShow) {
  const Bytes bitmap = icon_bitmap(32, 4);
  const Bytes ico = ico_file({bitmap});
  const std::vector<Resource> dialog_only = {numbered_resource(RT_DIALOG_TYPE, 1010, 1033, Bytes(40, 1))};
  const std::vector<Resource> missing_image = {numbered_resource(RT_GROUP_ICON_TYPE, 1, 1033, group_for({bitmap}, {5})),
                                               numbered_resource(RT_ICON_TYPE, 6, 1033, bitmap)};
  Bytes cut_entries = ico;
  cut_entries[4] = 3;
  struct Case {
    const char *what;
    Bytes file;
    const char *problem;
  } cases[] = {
      {"empty", {}, "icon file: 0 bytes, too short"},
      {"no images", ico_file({}), "it holds no images"},
      {"a cursor", with_word(ico, 2, 0x00010002), "a cursor, not an icon"},
      {"not an icon", sample_bytes(100, 1), "neither an icon (.ico) nor a program"},
      {"entries past the end", Bytes(cut_entries.begin(), cut_entries.begin() + 40),
       "3 image entries run past its end"},
      {"an image past the end", Bytes(ico.begin(), ico.end() - 1),
       "image 1 lies outside the file (offset 22, 744 bytes)"},
      {"an image of no bytes", with_word(ico, 6 + 8, 0), "image 1 lies outside the file (offset 22, 0 bytes)"},
      {"a bitmap cut short", ico_file({Bytes(bitmap.begin(), bitmap.end() - 1)}), "is cut short: 743 bytes"},
      {"3 bits per pixel", with_word(ico, 22 + 12, 0x00030001), "3 bits per pixel"},
      {"compressed", with_word(ico, 22 + 16, 1), "compression 1"},
      {"a mask-less height", with_word(ico, 22 + 8, 33), "bitmap of 32x33"},
      {"too wide", ico_file({icon_bitmap(300, 1)}), "bitmap of 300x600"},
      {"a palette too large", with_word(ico, 22 + 32, 17), "claims 17 palette colours"},
      {"neither bitmap nor PNG", ico_file({with_word(bitmap, 0, 12)}), "image 1 is neither a bitmap"},
      {"PNG only", ico_file({icon_png(256), icon_png(512)}), "its only images are PNG (256x256, 512x512)"},
      {"a program without an icon", sample_pe(dialog_only), "the program holds no icon"},
      {"a group naming a missing image", sample_pe(missing_image), "names image 5, which the program does not hold"},
      {"a damaged program", Bytes({'M', 'Z', 0, 0}), "icon file: 4 bytes, too short for a DOS header"},
  };
  for (const Case &c : cases) {
    const IconRead read = read_icon_source(c.file.data(), c.file.size());
    EXPECT_TRUE(outcome_is(read.ok, read.problem, c.problem)) << c.what;
  }
}

TEST(Icon, GroupEntriesReadBackAndDescribe) {
  const Bytes ico = ico_file({icon_bitmap(16, 4), icon_bitmap(256, 32)});
  const IconRead read = read_icon_source(ico.data(), ico.size());
  ASSERT_TRUE(read.ok) << read.problem;
  Bytes group;
  ASSERT_TRUE(icon_group_bytes(read.images, {1, 2}, &group));
  const IconGroup parsed = parse_icon_group(group.data(), group.size());
  ASSERT_TRUE(parsed.ok) << parsed.problem;
  ASSERT_EQ(parsed.entries.size(), 2u);
  EXPECT_EQ(describe_icon_entry(parsed.entries[0]),
            "16x16, 16 colours, 1 plane, 4 bits per pixel, 296 bytes (RT_ICON 1)");
  EXPECT_EQ(describe_icon_entry(parsed.entries[1]), "256x256, 1 plane, 32 bits per pixel, 270376 bytes (RT_ICON 2)");
  EXPECT_FALSE(parse_icon_group(group.data(), group.size() - 1).ok);
}

}  // namespace
