// inspect, verify, extract: reading finished packages, however damaged.
#include <stdio.h>
#include <string.h>

#include "format/record_fields.h"
#include "tools/cli.h"
#include "tools/commands.h"
#include "tools/package_read.h"
#include "tools/record_words.h"
#include "tools/tool_files.h"

namespace {

const char INSPECT_HELP[] =
    "Usage: kestrune-pack inspect FILE\n"
    "Prints the install record of an installer (unscrambled, every field by\n"
    "name, and whether header_check holds) and its payload layout: each stream\n"
    "or stored file with its offset, sizes and check result. Exit 0 when a\n"
    "record was found (even if the package is damaged), 1 otherwise.\n";

const char VERIFY_HELP[] =
    "Usage: kestrune-pack verify FILE\n"
    "Exit 0 only if the record's header check holds, its texts are terminated,\n"
    "its file names are plain names, and every stream decodes cleanly to its\n"
    "configured size (stored: every file lies within FILE). Otherwise exit 1\n"
    "with one line per fault on stderr.\n";

const char EXTRACT_HELP[] =
    "Usage: kestrune-pack extract FILE -d DIR\n"
    "Writes the payload files of an installer into DIR (created if missing)\n"
    "under their configured names, the main file assembled from its parts.\n"
    "Runs nothing. Refuses names that could leave DIR, and packages whose\n"
    "payload does not check out; a file appears only when complete.\n";

const OptionSpec EXTRACT_OPTIONS[] = {{"--directory", "-d", "directory"}};
const CommandSyntax INSPECT = {"inspect", INSPECT_HELP, nullptr, 0, 1, "FILE"};
const CommandSyntax VERIFY = {"verify", VERIFY_HELP, nullptr, 0, 1, "FILE"};
const CommandSyntax EXTRACT = {"extract", EXTRACT_HELP, EXTRACT_OPTIONS, 1, 1, "FILE"};

std::string quoted(const std::string &text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      char escape[8];
      snprintf(escape, sizeof escape, "\\x%02X", c);
      out += escape;
    }
  }
  return out + "\"";
}

void print_record(const PackageReport &report) {
  const InstallConfig &record = report.record;
  printf("record: at offset %llu, scrambled with 0x%02X\n", static_cast<unsigned long long>(report.record_offset),
         CONFIG_KEY);
  for (const RecordField &field : HEADER_WORDS) {
    uint32_t value;
    memcpy(&value, reinterpret_cast<const uint8_t *>(&record) + field.offset, sizeof value);
    printf("  %-18s ", field.name);
    switch (field.offset) {
      case OFFSET_PAYLOAD_OFFSET: printf("%d\n", static_cast<int32_t>(value)); break;
      case OFFSET_MAIN_SIZE:
      case OFFSET_SECOND_SIZE:
      case OFFSET_EXTRA_SIZE:
      case OFFSET_MAIN_PART2_SIZE:
      case OFFSET_MAIN_PART3_SIZE: printf("%u\n", value); break;
      case OFFSET_HEADER_CHECK:
        if (report.header_check_holds)
          printf("0x%08X  holds\n", value);
        else
          printf("0x%08X  DOES NOT HOLD (expected 0x%08X)\n", value, expected_header_check(&record));
        break;
      case OFFSET_FLAGS:
        printf("0x%08X  %s%s\n", value, value & FLAG_COMPRESSED ? "compressed" : "stored",
               value & FLAG_SILENT ? ", silent" : "");
        break;
      default: printf("0x%08X\n", value); break;
    }
  }
  printf("  %-18s", "reserved_40");
  for (uint8_t byte : record.reserved_40) printf(" %02X", byte);
  printf("\n");
  for (const RecordField &slot : TEXT_SLOTS) {
    printf("  %-18s %s%s\n", slot.name, quoted(text_slot_value(record, slot.offset)).c_str(),
           text_slot_terminated(&record, slot.offset) ? "" : "  (no terminating zero)");
  }
  printf("  %-18s %s\n", "reserved_576", quoted(text_slot_value(record, OFFSET_RECORD_SIGNATURE)).c_str());
}

void print_payload(const PackageReport &report) {
  printf("payload: %s, from offset %llu\n", report.compressed ? "compressed streams" : "stored files",
         static_cast<unsigned long long>(report.payload_offset));
  if (report.items.empty()) return;
  printf("  %-12s %12s %12s %12s %12s  %s\n", "item", "offset", report.compressed ? "stream" : "length", "decoded",
         "configured", "check");
  for (const ItemCheck &check : report.items) {
    const char *role = payload_role_name(check.item.role);
    if (!check.reached) {
      printf("  %-12s %12s %12s %12s %12u  not reached\n", role, "-", "-", "-", check.item.size);
      continue;
    }
    std::string length = check.consumed_length || check.ok ? std::to_string(check.consumed_length) : "-";
    std::string decoded = !check.compressed                   ? std::to_string(check.item.size)
                          : check.consumed_length || check.ok ? std::to_string(check.decoded_size)
                                                              : "-";
    printf("  %-12s %12llu %12s %12s %12u  %s\n", role, static_cast<unsigned long long>(check.offset), length.c_str(),
           decoded.c_str(), check.item.size, check.ok ? "ok" : check.problem.c_str());
  }
  bool all_ok = true;
  for (const ItemCheck &check : report.items) all_ok = all_ok && check.ok;
  if (all_ok && report.payload_end <= report.file_size)
    printf("  trailing bytes after the payload: %llu\n",
           static_cast<unsigned long long>(report.file_size - report.payload_end));
}

bool load_package(const std::string &file, std::vector<uint8_t> *image, PackageReport *report, int *code) {
  std::string error;
  if (!read_whole_file(file, image, &error)) {
    *code = fail(EXIT_BAD_DATA, error);
    return false;
  }
  *report = read_package(image->data(), image->size());
  if (!report->record_found) {
    *code = fail(EXIT_BAD_DATA, file + ": " + report->problems.front() + " (not a Kestrune installer?)");
    return false;
  }
  return true;
}

}  // namespace

int command_inspect(const Arguments &args) {
  ParsedArguments parsed;
  int code = EXIT_USAGE;
  if (!parse_arguments(INSPECT, args, &parsed, &code)) return code;
  const std::string &file = parsed.positional[0];
  std::vector<uint8_t> image;
  PackageReport report;
  if (!load_package(file, &image, &report, &code)) return code;
  printf("file: %s (%llu bytes)\n", file.c_str(), static_cast<unsigned long long>(report.file_size));
  print_record(report);
  print_payload(report);
  printf("%s\n", describe_seal(report.seal).c_str());
  if (report.problems.empty()) {
    printf("problems: none\n");
  } else {
    printf("problems:\n");
    for (const std::string &problem : report.problems) printf("  %s\n", problem.c_str());
  }
  return EXIT_OK;
}

int command_verify(const Arguments &args) {
  ParsedArguments parsed;
  int code = EXIT_USAGE;
  if (!parse_arguments(VERIFY, args, &parsed, &code)) return code;
  const std::string &file = parsed.positional[0];
  std::vector<uint8_t> image;
  PackageReport report;
  if (!load_package(file, &image, &report, &code)) return code;
  if (!report.problems.empty()) {
    for (const std::string &problem : report.problems) fail(EXIT_BAD_DATA, file + ": " + problem);
    return EXIT_BAD_DATA;
  }
  printf("%s: ok (%s, %zu %s, payload of %llu bytes from offset %llu, %s)\n", file.c_str(),
         report.compressed ? "compressed" : "stored", report.items.size(), report.compressed ? "streams" : "files",
         static_cast<unsigned long long>(report.payload_end - report.payload_offset),
         static_cast<unsigned long long>(report.payload_offset),
         report.seal.seal.present ? "sealed, whole-installer check ok" : "not sealed");
  return EXIT_OK;
}

int command_extract(const Arguments &args) {
  ParsedArguments parsed;
  int code = EXIT_USAGE;
  if (!parse_arguments(EXTRACT, args, &parsed, &code)) return code;
  const std::string &file = parsed.positional[0];
  const std::string &directory = option_value(parsed, "--directory");
  if (directory.empty()) return usage_error("extract", "-d DIR is required");

  std::vector<uint8_t> image;
  PackageReport report;
  if (!load_package(file, &image, &report, &code)) return code;
  if (!report.header_check_holds)
    fprintf(stderr, "kestrune-pack: %s: warning: header_check does not hold; the installer would refuse it\n",
            file.c_str());
  if (report.items.empty()) return fail(EXIT_BAD_DATA, file + ": " + report.problems.back());
  for (const ItemCheck &check : report.items) {
    const char *role = payload_role_name(check.item.role);
    if (!check.ok)
      return fail(EXIT_BAD_DATA, file + ": " + role + " at offset " + std::to_string(check.offset) + ": " +
                                     (check.reached ? check.problem : std::string("not reached")));
    std::string name = text_slot_value(report.record, check.item.name_offset);
    if (!text_slot_terminated(&report.record, check.item.name_offset))
      return fail(EXIT_BAD_DATA, file + ": the " + role + " file name has no terminating zero");
    if (const char *why = file_name_problem(name))
      return fail(EXIT_BAD_DATA, file + ": refusing to extract " + quoted(name) + ": " + why);
  }

  int system_code = 0;
  if (!system_make_directory(directory.c_str(), &system_code))
    return fail(EXIT_BAD_DATA, directory + ": " + system_error_text(system_code));

  // Items in payload order; main parts continue the main file.
  std::string error;
  OutputFile out;
  ToolFile sink;
  std::string current_name;
  for (size_t i = 0; i < report.items.size(); ++i) {
    const ItemCheck &item = report.items[i];
    if (item.item.new_file) {
      current_name = text_slot_value(report.record, item.item.name_offset);
      if (!out.open(join_path(directory, current_name), &error)) return fail(EXIT_BAD_DATA, error);
      sink = tool_file_system(out.file());
    }
    if (!write_payload_item(image.data(), image.size(), item, as_stream_file(&sink)))
      return fail(EXIT_BAD_DATA, join_path(directory, current_name) + ": write failed: " +
                                     system_error_text(sink.error_number ? sink.error_number : SYSTEM_ERROR_IO));
    bool last_part = i + 1 == report.items.size() || report.items[i + 1].item.new_file;
    if (last_part) {
      if (!out.commit(&error)) return fail(EXIT_BAD_DATA, error);
      printf("%s (%llu bytes)\n", join_path(directory, current_name).c_str(),
             static_cast<unsigned long long>(sink.bytes_written));
    }
  }
  return EXIT_OK;
}
