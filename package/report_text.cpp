#include "package/report_text.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "package/codepage.h"
#include "package/names.h"
#include "package/record_fields.h"

namespace {

std::string printed(const char *format, ...) __attribute__((format(printf, 1, 2)));
std::string printed(const char *format, ...) {
  char line[512];
  va_list args;
  va_start(args, format);
  vsnprintf(line, sizeof line, format, args);
  va_end(args);
  return line;
}

std::string quote(const std::string &text, int codepage, bool utf8) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if ((c >= 0x20 && c < 0x7F) || (utf8 && c >= 0x80)) {
      out += static_cast<char>(c);
    } else if (c >= 0xA0 && codepage_known(codepage)) {
      out += codepage_to_utf8(std::string(1, static_cast<char>(c)), codepage);
    } else {
      out += printed("\\x%02X", c);
    }
  }
  return out + "\"";
}

// The width text takes on a terminal (UTF-8: one column per character).
size_t columns(const std::string &text) {
  size_t n = 0;
  for (unsigned char c : text) n += (c & 0xC0) != 0x80;
  return n;
}

std::string padded(const std::string &text, size_t width) {
  const size_t used = columns(text);
  return used >= width ? text : text + std::string(width - used, ' ');
}

std::string word_line(const InstallConfig &record, const RecordField &field, const PackageReport &report) {
  uint32_t value;
  memcpy(&value, reinterpret_cast<const uint8_t *>(&record) + field.offset, sizeof value);
  const std::string name = printed("  %-18s ", field.name);
  if (field.kind == FIELD_SIGNED_WORD) return name + std::to_string(static_cast<int32_t>(value));
  switch (field.offset) {
    case OFFSET_MAIN_SIZE:
    case OFFSET_SECOND_SIZE:
    case OFFSET_EXTRA_SIZE:
    case OFFSET_MAIN_PART2_SIZE:
    case OFFSET_MAIN_PART3_SIZE: return name + std::to_string(value);
    case OFFSET_HEADER_CHECK:
      return name + (report.header_check_holds
                         ? printed("0x%08X  holds", value)
                         : printed("0x%08X  DOES NOT HOLD (expected 0x%08X)", value, expected_header_check(&record)));
    case OFFSET_FLAGS:
      return name + printed("0x%08X  %s%s", value, value & FLAG_COMPRESSED ? "compressed" : "stored",
                            value & FLAG_SILENT ? ", silent" : "");
  }
  return name + printed("0x%08X", value);
}

void record_lines(const PackageReport &report, int codepage, std::vector<std::string> *lines) {
  const InstallConfig &record = report.record;
  lines->push_back(printed("record: at offset %llu, scrambled with 0x%02X",
                           static_cast<unsigned long long>(report.image.record_offset), CONFIG_KEY));
  for (size_t i = 0; i < RECORD_FIELD_COUNT; ++i) {
    const RecordField &field = RECORD_FIELDS[i];
    if (field.kind == FIELD_WORD || field.kind == FIELD_SIGNED_WORD) {
      lines->push_back(word_line(record, field, report));
    } else if (field.kind == FIELD_TEXT || field.offset == OFFSET_RECORD_SIGNATURE) {
      lines->push_back(printed("  %-18s ", field.name) + quoted(text_slot_value(record, field.offset), codepage) +
                       (text_slot_terminated(&record, field.offset) ? "" : "  (no terminating zero)"));
    } else {
      std::string bytes = printed("  %-18s", field.name);
      const uint8_t *area = reinterpret_cast<const uint8_t *>(&record) + field.offset;
      for (int32_t b = 0; b < field.size; ++b) bytes += printed(" %02X", area[b]);
      lines->push_back(bytes);
    }
  }
}

void payload_lines(const PackageReport &report, std::vector<std::string> *lines) {
  lines->push_back(printed("payload: %s, from offset %llu", report.compressed ? "compressed streams" : "stored files",
                           static_cast<unsigned long long>(report.payload_offset)));
  if (report.items.empty()) return;
  lines->push_back(printed("  %-12s %12s %12s %12s %12s  %s", "item", "offset", report.compressed ? "stream" : "length",
                           "decoded", "configured", "check"));
  bool all_ok = true;
  for (const ItemCheck &check : report.items) {
    all_ok = all_ok && check.ok;
    const char *role = payload_role_name(check.item.role);
    if (!check.reached) {
      lines->push_back(printed("  %-12s %12s %12s %12s %12u  not reached", role, "-", "-", "-", check.item.size));
      continue;
    }
    std::string length = check.consumed_length || check.ok ? std::to_string(check.consumed_length) : "-";
    std::string decoded = !check.compressed                   ? std::to_string(check.item.size)
                          : check.consumed_length || check.ok ? std::to_string(check.decoded_size)
                                                              : "-";
    lines->push_back(printed("  %-12s %12llu %12s %12s %12u  %s", role, static_cast<unsigned long long>(check.offset),
                             length.c_str(), decoded.c_str(), check.item.size,
                             check.ok ? "ok" : check.problem.c_str()));
  }
  if (all_ok && report.payload_end <= report.file_size)
    lines->push_back(printed("  trailing bytes after the payload: %llu",
                             static_cast<unsigned long long>(report.file_size - report.payload_end)));
}

void branding_lines(const BrandingReport &branding, std::vector<std::string> *lines) {
  if (!branding.has_icon_group) {
    lines->push_back("icon: no icon group 1020");
  } else {
    const size_t count = branding.icon_images.size();
    lines->push_back(
        printed("icon: group 1020, %llu image%s", static_cast<unsigned long long>(count), count == 1 ? "" : "s"));
    for (const IconGroupEntry &entry : branding.icon_images) lines->push_back("  " + describe_icon_entry(entry));
  }
  if (!branding.has_version) {
    lines->push_back("version information: none");
    return;
  }
  lines->push_back("version information: " + version_number_text(branding.version.file_version) + ", strings " +
                   branding.version.table_key);
  for (const VersionString &entry : branding.version.strings)
    lines->push_back(printed("  %-18s ", entry.key.c_str()) + quoted_utf8(entry.value));
}

}  // namespace

std::string describe_seal(const SealCheck &check) {
  if (!check.seal.present) return "integrity: not sealed (no whole-installer check)";
  const char *payload_state = check.trailing_bytes < 0 ? "MISMATCH (file too short)"
                              : check.payload_ok       ? "ok"
                                                       : "MISMATCH";
  std::string text =
      printed("integrity: sealed, record CRC-32 %08x %s, payload %u bytes CRC-32 %08x %s", check.seal.record_crc,
              check.record_ok ? "ok" : "MISMATCH", check.seal.payload_length, check.seal.payload_crc, payload_state);
  if (check.trailing_bytes > 0)
    text += printed(", %lld bytes appended after it (not checked)", static_cast<long long>(check.trailing_bytes));
  return text;
}

std::string with_commas(uint64_t value) {
  std::string digits = std::to_string(value), out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

std::string quoted(const std::string &text, int codepage) { return quote(text, codepage, false); }

std::string quoted_utf8(const std::string &text) { return quote(text, 0, true); }

std::vector<std::string> build_summary(const std::string &output, const PackageReport &report, int codepage) {
  std::vector<std::string> lines;
  lines.push_back(printed("%s: %s installer, %s bytes, %s", output.c_str(), report.compressed ? "compressed" : "stored",
                          with_commas(report.file_size).c_str(), report.seal.seal.present ? "sealed" : "not sealed"));
  struct Row {
    const char *role;
    std::string name;
    uint64_t size = 0, packed = 0;
    size_t parts = 0;
  };
  std::vector<Row> rows;
  size_t name_width = 20;
  for (const ItemCheck &item : report.items) {
    if (item.item.new_file || rows.empty()) {
      rows.push_back(Row());
      rows.back().role = payload_role_name(item.item.role);
      rows.back().name = codepage_to_utf8(text_slot_value(report.record, item.item.name_offset), codepage);
      if (columns(rows.back().name) > name_width) name_width = columns(rows.back().name);
    }
    rows.back().size += item.item.size;
    rows.back().packed += item.consumed_length;
    rows.back().parts++;
  }
  uint64_t payload_in = 0;
  for (const Row &row : rows) {
    payload_in += row.size;
    lines.push_back(printed("  %-6s  ", row.role) + padded(row.name, name_width) +
                    printed(" %13s -> %s bytes%s", with_commas(row.size).c_str(), with_commas(row.packed).c_str(),
                            row.parts > 1 ? (" in " + std::to_string(row.parts) + " streams").c_str() : ""));
  }
  const uint64_t payload_out = report.payload_end - report.payload_offset;
  std::string total =
      printed("payload %s -> %s bytes", with_commas(payload_in).c_str(), with_commas(payload_out).c_str());
  if (payload_in)
    total += printed(" (%.1f%%)", 100.0 * static_cast<double>(payload_out) / static_cast<double>(payload_in));
  lines.push_back(total);
  return lines;
}

std::string verify_verdict(const std::string &file, const PackageReport &report) {
  return printed("%s: ok (%s, %llu %s, payload of %llu bytes from offset %llu, %s)", file.c_str(),
                 report.compressed ? "compressed" : "stored", static_cast<unsigned long long>(report.items.size()),
                 report.compressed ? "streams" : "files",
                 static_cast<unsigned long long>(report.payload_end - report.payload_offset),
                 static_cast<unsigned long long>(report.payload_offset),
                 report.seal.seal.present ? "sealed, whole-installer check ok" : "not sealed");
}

std::vector<std::string> inspect_listing(const std::string &file, const PackageReport &report, int codepage) {
  std::vector<std::string> lines;
  lines.push_back(printed("file: %s (%llu bytes)", file.c_str(), static_cast<unsigned long long>(report.file_size)));
  if (report.kind == KIND_NOT_A_STUB) return lines;
  record_lines(report, codepage, &lines);
  if (report.kind == KIND_PACKAGE) {
    payload_lines(report, &lines);
    lines.push_back(describe_seal(report.seal));
    branding_lines(report.branding, &lines);
  }
  if (report.problems.empty()) {
    lines.push_back("problems: none");
  } else {
    lines.push_back("problems:");
    for (const std::string &problem : report.problems) lines.push_back("  " + problem);
  }
  return lines;
}
