// Laying out a resource section, and the stub rewritten around it.
//
// The data of each resource starts on an 8-byte boundary (the section itself
// starts on a page). What Windows reads from these resources needs 4 (the
// DWORDs of BITMAPINFOHEADER, VS_VERSIONINFO's blocks, aligned from the start
// of the resource); 8 is what the resource compiler that built the stub used,
// so a rewritten stub keeps its data where such tools would put it, at a cost
// of at most 4 bytes more per resource.
#include <algorithm>
#include <new>

#include "codec/common/byte_order.h"
#include "package/hex_text.h"
#include "package/pe_image.h"
#include "package/pe_resources.h"

namespace {

const uint32_t HIGH_BIT = 0x80000000u;
const size_t TABLE_SIZE = 16;
const size_t ENTRY_SIZE = 8;
const size_t DATA_ENTRY_SIZE = 16;
const size_t DATA_ALIGNMENT = 8;
const uint64_t MAX_SECTION = 0x7FFFFFFF;  // offsets keep their high bit for flags

char16_t fold(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c; }

// Named before numbered; names without regard to ASCII case (then exactly, so
// the order is total), numbers ascending.
int compare_keys(const ResourceKey &a, const ResourceKey &b) {
  if (a.named != b.named) return a.named ? -1 : 1;
  if (!a.named) return a.number < b.number ? -1 : a.number > b.number ? 1 : 0;
  const size_t n = std::min(a.name.size(), b.name.size());
  for (size_t i = 0; i < n; ++i)
    if (fold(a.name[i]) != fold(b.name[i])) return fold(a.name[i]) < fold(b.name[i]) ? -1 : 1;
  if (a.name.size() != b.name.size()) return a.name.size() < b.name.size() ? -1 : 1;
  return a.name < b.name ? -1 : a.name > b.name ? 1 : 0;
}

int compare_resources(const Resource &a, const Resource &b) {
  if (int c = compare_keys(a.type, b.type)) return c;
  if (int c = compare_keys(a.name, b.name)) return c;
  return a.language < b.language ? -1 : a.language > b.language ? 1 : 0;
}

// One directory table: its entries' keys and the index (into the next level's
// tables, or into the sorted resources) each points at.
struct Table {
  std::vector<ResourceKey> keys;
  std::vector<size_t> targets;
  uint64_t offset = 0;
};

struct Plan {
  Table root;
  std::vector<Table> names;      // one per type
  std::vector<Table> languages;  // one per type and name
  std::vector<uint64_t> string_offsets;
  uint64_t entries_offset = 0;  // the data entries
  std::vector<uint64_t> data_offsets;
  uint64_t size = 0;
};

// Every table, in the order they are laid out: the root, the name tables, the
// language tables.
std::vector<const Table *> all_tables(const Plan &plan) {
  std::vector<const Table *> tables = {&plan.root};
  for (const Table &t : plan.names) tables.push_back(&t);
  for (const Table &t : plan.languages) tables.push_back(&t);
  return tables;
}

std::string key_text(const ResourceKey &key) {
  if (!key.named) return std::to_string(key.number);
  std::string text = "\"";
  for (char16_t c : key.name) text += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
  return text + "\"";
}

void plan_tables(const std::vector<const Resource *> &sorted, Plan *plan) {
  for (size_t i = 0; i < sorted.size(); ++i) {
    const Resource &r = *sorted[i];
    const bool new_type = i == 0 || compare_keys(sorted[i - 1]->type, r.type) != 0;
    if (new_type) {
      plan->root.keys.push_back(r.type);
      plan->root.targets.push_back(plan->names.size());
      plan->names.emplace_back();
    }
    if (new_type || compare_keys(sorted[i - 1]->name, r.name) != 0) {
      plan->names.back().keys.push_back(r.name);
      plan->names.back().targets.push_back(plan->languages.size());
      plan->languages.emplace_back();
    }
    plan->languages.back().keys.push_back(resource_number(r.language));
    plan->languages.back().targets.push_back(i);
  }
}

// Offsets of every part, in the order lay_out_resources (pe_resources.h) gives.
void plan_offsets(const std::vector<const Resource *> &sorted, Plan *plan) {
  uint64_t at = 0;
  const auto place = [&at](Table &t) {
    t.offset = at;
    at += TABLE_SIZE + ENTRY_SIZE * t.keys.size();
  };
  place(plan->root);
  for (Table &t : plan->names) place(t);
  for (Table &t : plan->languages) place(t);
  for (const Table *t : all_tables(*plan))
    for (const ResourceKey &key : t->keys)
      if (key.named) {
        plan->string_offsets.push_back(at);
        at += 2 + 2 * key.name.size();
      }
  plan->entries_offset = pe_align_up(at, 4);
  at = plan->entries_offset + DATA_ENTRY_SIZE * sorted.size();
  for (const Resource *r : sorted) {
    at = pe_align_up(at, DATA_ALIGNMENT);
    plan->data_offsets.push_back(at);
    at += r->data.size();
  }
  plan->size = at;
}

bool tables_fit(const Plan &plan, std::string *problem) {
  for (const Table *t : all_tables(plan))
    for (const ResourceKey &key : t->keys)
      if (t->keys.size() > 0xFFFF || key.name.size() > 0xFFFF) {
        *problem = "resources: a directory of " + std::to_string(t->keys.size()) + " entries or a name of " +
                   std::to_string(key.name.size()) + " characters does not fit its 16-bit count";
        return false;
      }
  if (plan.size > MAX_SECTION) {
    *problem = "resources: " + std::to_string(plan.size) + " bytes, too large for a resource section";
    return false;
  }
  return true;
}

void write_tables(const Plan &plan, const std::vector<const Resource *> &sorted, uint32_t rva, uint8_t *out) {
  const std::vector<const Table *> tables = all_tables(plan);
  size_t next_string = 0;
  for (size_t ti = 0; ti < tables.size(); ++ti) {
    const Table &t = *tables[ti];
    const bool leaf_level = ti > plan.names.size();  // past the root and the name tables
    uint16_t named = 0;
    for (const ResourceKey &key : t.keys) named = static_cast<uint16_t>(named + key.named);
    write_le16(out + t.offset + 12, named);
    write_le16(out + t.offset + 14, static_cast<uint16_t>(t.keys.size() - named));
    for (size_t e = 0; e < t.keys.size(); ++e) {
      uint8_t *entry = out + t.offset + TABLE_SIZE + ENTRY_SIZE * e;
      const ResourceKey &key = t.keys[e];
      if (key.named) {
        const uint64_t at = plan.string_offsets[next_string++];
        write_le16(out + at, static_cast<uint16_t>(key.name.size()));
        for (size_t c = 0; c < key.name.size(); ++c) write_le16(out + at + 2 + 2 * c, key.name[c]);
        write_le32(entry, static_cast<uint32_t>(at) | HIGH_BIT);
      } else {
        write_le32(entry, key.number);
      }
      const size_t target = t.targets[e];
      const uint64_t points_at = leaf_level ? plan.entries_offset + DATA_ENTRY_SIZE * target
                                 : ti == 0  ? plan.names[target].offset | HIGH_BIT
                                            : plan.languages[target].offset | HIGH_BIT;
      write_le32(entry + 4, static_cast<uint32_t>(points_at));
    }
  }
  for (size_t i = 0; i < sorted.size(); ++i) {
    uint8_t *entry = out + plan.entries_offset + DATA_ENTRY_SIZE * i;
    write_le32(entry, static_cast<uint32_t>(rva + plan.data_offsets[i]));
    write_le32(entry + 4, static_cast<uint32_t>(sorted[i]->data.size()));
    write_le32(entry + 8, sorted[i]->codepage);
    std::copy(sorted[i]->data.begin(), sorted[i]->data.end(), out + plan.data_offsets[i]);
  }
}

ResourceSection lay_out(const std::vector<Resource> &resources, uint32_t rva) {
  ResourceSection section;
  std::vector<const Resource *> sorted;
  for (const Resource &r : resources) sorted.push_back(&r);
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const Resource *a, const Resource *b) { return compare_resources(*a, *b) < 0; });
  for (size_t i = 1; i < sorted.size(); ++i)
    if (compare_resources(*sorted[i - 1], *sorted[i]) == 0) {
      section.problem = "resources: two resources of type " + key_text(sorted[i]->type) + ", name " +
                        key_text(sorted[i]->name) + " and language " + std::to_string(sorted[i]->language);
      return section;
    }
  Plan plan;
  plan_tables(sorted, &plan);
  plan_offsets(sorted, &plan);
  if (!tables_fit(plan, &section.problem)) return section;
  if (static_cast<uint64_t>(rva) + plan.size > 0xFFFFFFFFu) {
    section.problem = "resources: the section would end past the 4 GiB address space";
    return section;
  }
  section.bytes.assign(static_cast<size_t>(plan.size), 0);
  write_tables(plan, sorted, rva, section.bytes.data());
  section.ok = true;
  return section;
}

}  // namespace

ResourceSection lay_out_resources(const std::vector<Resource> &resources, uint32_t rva) {
  try {
    return lay_out(resources, rva);
  } catch (const std::bad_alloc &) {
    ResourceSection section;
    section.problem = "resources: out of memory";
    return section;
  }
}

namespace {

// The stub's resource section, when the rewrite may replace it: the last
// section, holding the tree from its first byte, its data the last in the
// file, and no other directory pointing into it.
bool find_resource_section(const std::vector<uint8_t> &stub, const PeImage &image, size_t *index,
                           std::string *problem) {
  const std::vector<PeDirectory> &dirs = image.directories;
  if (image.image_end != stub.size()) {
    *problem = "stub: " + std::to_string(stub.size() - image.image_end) + " bytes follow its image (offset " +
               hex_text(image.image_end) + ")";
    return false;
  }
  if (dirs.size() > PE_DIRECTORY_SECURITY && dirs[PE_DIRECTORY_SECURITY].size != 0) {
    *problem = "stub: it is signed; its resources can only be changed before signing";
    return false;
  }
  if (dirs.size() <= PE_DIRECTORY_RESOURCE || dirs[PE_DIRECTORY_RESOURCE].rva == 0) {
    *problem = "stub: it has no resource section";
    return false;
  }
  const uint32_t rva = dirs[PE_DIRECTORY_RESOURCE].rva;
  const int found = pe_section_of(image, rva);
  const size_t last = image.sections.size() - 1;
  if (found != static_cast<int>(last) || image.sections[last].virtual_address != rva ||
      static_cast<uint64_t>(image.sections[last].raw_offset) + image.sections[last].raw_size != image.image_end) {
    *problem = "stub: its resources (RVA " + hex_text(rva) + ") are not the whole of its last section";
    return false;
  }
  for (size_t i = 0; i < dirs.size(); ++i)
    if (i != PE_DIRECTORY_RESOURCE && i != PE_DIRECTORY_SECURITY && dirs[i].rva != 0 &&
        pe_section_of(image, dirs[i].rva) == static_cast<int>(last)) {
      *problem = "stub: data directory " + std::to_string(i) + " points into the resource section";
      return false;
    }
  *index = last;
  return true;
}

ImageRewrite rewrite(const std::vector<uint8_t> &stub, const std::vector<Resource> &resources) {
  ImageRewrite result;
  const PeParse parse = parse_pe_image(stub.data(), stub.size(), stub.size());
  if (!parse.ok) {
    result.problem = "stub: " + parse.problem;
    return result;
  }
  const PeImage &image = parse.image;
  size_t index = 0;
  if (!find_resource_section(stub, image, &index, &result.problem)) return result;
  const PeSection &section = image.sections[index];
  ResourceSection laid = lay_out_resources(resources, section.virtual_address);
  if (!laid.ok) {
    result.problem = laid.problem;
    return result;
  }
  const uint64_t length = laid.bytes.size();
  const uint64_t raw_size = pe_align_up(length, image.file_alignment);
  const uint64_t size_of_image = pe_align_up(section.virtual_address + length, image.section_alignment);
  if (section.raw_offset + raw_size > 0x7FFFFFFF || size_of_image > 0xFFFFFFFFu) {
    result.problem = "stub: the new resource section makes the image too large";
    return result;
  }
  std::vector<uint8_t> &out = result.image;
  out.assign(stub.begin(), stub.begin() + section.raw_offset);
  out.insert(out.end(), laid.bytes.begin(), laid.bytes.end());
  out.resize(static_cast<size_t>(section.raw_offset + raw_size), 0);

  write_le32(out.data() + section.header_offset + 8, static_cast<uint32_t>(length));
  write_le32(out.data() + section.header_offset + 16, static_cast<uint32_t>(raw_size));
  uint8_t *optional = out.data() + image.optional_offset;
  write_le32(optional + 56, static_cast<uint32_t>(size_of_image));
  if (section.characteristics & PE_SCN_INITIALIZED_DATA) {
    const int64_t initialized = static_cast<int64_t>(read_le32(optional + 8)) - section.raw_size + raw_size;
    write_le32(optional + 8, static_cast<uint32_t>(std::max<int64_t>(0, std::min<int64_t>(initialized, 0xFFFFFFFF))));
  }
  uint8_t *directory = out.data() + image.directories_offset + 8 * PE_DIRECTORY_RESOURCE;
  write_le32(directory, section.virtual_address);
  write_le32(directory + 4, static_cast<uint32_t>(length));
  if (image.checksum != 0)
    write_le32(out.data() + image.checksum_offset, pe_checksum(out.data(), out.size(), image.checksum_offset));
  result.ok = true;
  return result;
}

}  // namespace

ImageRewrite replace_resources(const std::vector<uint8_t> &stub, const std::vector<Resource> &resources) {
  try {
    return rewrite(stub, resources);
  } catch (const std::bad_alloc &) {
    ImageRewrite result;
    result.problem = "stub: out of memory";
    return result;
  }
}
