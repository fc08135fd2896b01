// inspect, verify, extract: reading finished packages, however damaged.
#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include "installer/install_config.h"
#include "tools/cli.h"
#include "tools/commands.h"
#include "tools/package.h"
#include "tools/record.h"
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

bool one_file_argument(const char *command, const Arguments &args, const char *help, std::string *file,
                       int *code) {
  for (const std::string &arg : args)
    if (is_help(arg)) {
      fputs(help, stdout);
      *code = EXIT_OK;
      return false;
    }
  if (args.size() != 1 || (args[0].size() > 1 && args[0][0] == '-')) {
    *code = usage_error(command, args.size() == 1 ? "unknown option '" + args[0] + "'" : "expected one FILE");
    return false;
  }
  *file = args[0];
  return true;
}

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
  const uint8_t *plain = report.plain_record;
  auto word = [plain](int offset) { return read_le32(plain + offset); };
  printf("record: at offset %llu, scrambled with 0x%02X\n", static_cast<unsigned long long>(report.record_offset),
         CONFIG_KEY);
  printf("  %-18s 0x%08X\n", "reserved_0", word(0));
  printf("  %-18s %d\n", "payload_offset", static_cast<int32_t>(word(OFFSET_PAYLOAD_OFFSET)));
  printf("  %-18s %u\n", "main_size", word(OFFSET_MAIN_SIZE));
  printf("  %-18s %u\n", "second_size", word(OFFSET_SECOND_SIZE));
  printf("  %-18s 0x%08X\n", "reserved_16", word(OFFSET_RESERVED_16));
  if (report.header_check_holds)
    printf("  %-18s 0x%08X  holds\n", "header_check", word(OFFSET_HEADER_CHECK));
  else
    printf("  %-18s 0x%08X  DOES NOT HOLD (expected 0x%08X)\n", "header_check", word(OFFSET_HEADER_CHECK),
           expected_header_check(plain));
  printf("  %-18s %u\n", "extra_size", word(OFFSET_EXTRA_SIZE));
  uint32_t flags = word(OFFSET_FLAGS);
  printf("  %-18s 0x%08X  %s%s\n", "flags", flags, flags & FLAG_COMPRESSED ? "compressed" : "stored",
         flags & FLAG_SILENT ? ", silent" : "");
  printf("  %-18s %u\n", "main_part2_size", word(OFFSET_MAIN_PART2_SIZE));
  printf("  %-18s %u\n", "main_part3_size", word(OFFSET_MAIN_PART3_SIZE));
  printf("  %-18s", "reserved_40");
  for (int i = 0; i < 24; ++i) printf(" %02X", plain[OFFSET_RESERVED_40 + i]);
  printf("\n");
  for (const TextSlot &slot : TEXT_SLOTS) {
    printf("  %-18s %s%s\n", slot.name, quoted(text_slot_value(plain, slot.offset)).c_str(),
           text_slot_terminated(plain, slot.offset) ? "" : "  (no terminating zero)");
  }
}

void print_payload(const PackageReport &report) {
  printf("payload: %s, from offset %llu\n", report.compressed ? "compressed streams" : "stored files",
         static_cast<unsigned long long>(report.payload_offset));
  if (report.items.empty()) return;
  printf("  %-12s %12s %12s %12s %12s  %s\n", "item", "offset", report.compressed ? "stream" : "length",
         "decoded", "configured", "check");
  for (const PayloadItem &item : report.items) {
    if (!item.reached) {
      printf("  %-12s %12s %12s %12s %12u  not reached\n", payload_role_name(item.role), "-", "-", "-",
             item.configured_size);
      continue;
    }
    std::string length = item.stored_length || item.ok ? std::to_string(item.stored_length) : "-";
    std::string decoded = !item.compressed               ? std::to_string(item.configured_size)
                          : item.stored_length || item.ok ? std::to_string(item.decoded_size)
                                                          : "-";
    printf("  %-12s %12llu %12s %12s %12u  %s\n", payload_role_name(item.role),
           static_cast<unsigned long long>(item.offset), length.c_str(), decoded.c_str(), item.configured_size,
           item.ok ? "ok" : item.problem.c_str());
  }
  bool all_ok = true;
  for (const PayloadItem &item : report.items) all_ok = all_ok && item.ok;
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
  std::string file;
  int code = EXIT_USAGE;
  if (!one_file_argument("inspect", args, INSPECT_HELP, &file, &code)) return code;
  std::vector<uint8_t> image;
  PackageReport report;
  if (!load_package(file, &image, &report, &code)) return code;
  printf("file: %s (%llu bytes)\n", file.c_str(), static_cast<unsigned long long>(report.file_size));
  print_record(report);
  print_payload(report);
  printf("%s\n", kestrune::describe_seal(report.seal).c_str());
  if (report.problems.empty()) {
    printf("problems: none\n");
  } else {
    printf("problems:\n");
    for (const std::string &problem : report.problems) printf("  %s\n", problem.c_str());
  }
  return EXIT_OK;
}

int command_verify(const Arguments &args) {
  std::string file;
  int code = EXIT_USAGE;
  if (!one_file_argument("verify", args, VERIFY_HELP, &file, &code)) return code;
  std::vector<uint8_t> image;
  PackageReport report;
  if (!load_package(file, &image, &report, &code)) return code;
  if (!report.problems.empty()) {
    for (const std::string &problem : report.problems) fail(EXIT_BAD_DATA, file + ": " + problem);
    return EXIT_BAD_DATA;
  }
  printf("%s: ok (%s, %zu %s, payload of %llu bytes from offset %llu, %s)\n", file.c_str(),
         report.compressed ? "compressed" : "stored", report.items.size(),
         report.compressed ? "streams" : "files",
         static_cast<unsigned long long>(report.payload_end - report.payload_offset),
         static_cast<unsigned long long>(report.payload_offset),
         report.seal.present ? "sealed, whole-installer check ok" : "not sealed");
  return EXIT_OK;
}

int command_extract(const Arguments &args) {
  std::string file, directory;
  for (size_t i = 0; i < args.size(); ++i) {
    if (is_help(args[i])) {
      fputs(EXTRACT_HELP, stdout);
      return EXIT_OK;
    }
    if (args[i] == "-d" || args[i] == "--directory") {
      if (i + 1 >= args.size()) return usage_error("extract", args[i] + " needs a directory");
      directory = args[++i];
    } else if (args[i].compare(0, 12, "--directory=") == 0) {
      directory = args[i].substr(12);
    } else if (args[i].size() > 1 && args[i][0] == '-') {
      return usage_error("extract", "unknown option '" + args[i] + "'");
    } else if (file.empty()) {
      file = args[i];
    } else {
      return usage_error("extract", "unexpected argument '" + args[i] + "'");
    }
  }
  if (file.empty()) return usage_error("extract", "expected FILE");
  if (directory.empty()) return usage_error("extract", "-d DIR is required");

  std::vector<uint8_t> image;
  PackageReport report;
  int code = EXIT_USAGE;
  if (!load_package(file, &image, &report, &code)) return code;
  if (!report.header_check_holds)
    fprintf(stderr, "kestrune-pack: %s: warning: header_check does not hold; the installer would refuse it\n",
            file.c_str());
  if (report.items.empty()) return fail(EXIT_BAD_DATA, file + ": " + report.problems.back());
  for (const PayloadItem &item : report.items) {
    if (!item.ok)
      return fail(EXIT_BAD_DATA, file + ": " + payload_role_name(item.role) + " at offset " +
                                     std::to_string(item.offset) + ": " +
                                     (item.reached ? item.problem : std::string("not reached")));
    std::string name = text_slot_value(report.plain_record, name_offset_for(item.role));
    if (!text_slot_terminated(report.plain_record, name_offset_for(item.role)))
      return fail(EXIT_BAD_DATA, file + ": the " + payload_role_name(item.role) + " file name has no terminating zero");
    if (const char *why = file_name_problem(name))
      return fail(EXIT_BAD_DATA, file + ": refusing to extract " + quoted(name) + ": " + why);
  }

  if (mkdir(directory.c_str(), 0777) != 0 && errno != EEXIST)
    return fail(EXIT_BAD_DATA, directory + ": " + strerror(errno));
  struct stat info;
  if (stat(directory.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
    return fail(EXIT_BAD_DATA, directory + ": not a directory");

  // Items in payload order; main parts continue the main file.
  std::string error;
  OutputFile out;
  ToolFile sink;
  std::string current_name;
  for (size_t i = 0; i < report.items.size(); ++i) {
    const PayloadItem &item = report.items[i];
    if (item.role != ROLE_MAIN_PART2 && item.role != ROLE_MAIN_PART3) {
      current_name = text_slot_value(report.plain_record, name_offset_for(item.role));
      if (!out.open(directory + "/" + current_name, &error)) return fail(EXIT_BAD_DATA, error);
      sink = tool_file_descriptor(out.fd());
    }
    if (!write_payload_item(image.data(), image.size(), item, as_stream_file(&sink)))
      return fail(EXIT_BAD_DATA, directory + "/" + current_name + ": write failed: " +
                                     strerror(sink.error_number ? sink.error_number : EIO));
    bool last_part = i + 1 == report.items.size() || (report.items[i + 1].role != ROLE_MAIN_PART2 &&
                                                      report.items[i + 1].role != ROLE_MAIN_PART3);
    if (last_part) {
      if (!out.commit(&error)) return fail(EXIT_BAD_DATA, error);
      printf("%s/%s (%llu bytes)\n", directory.c_str(), current_name.c_str(),
             static_cast<unsigned long long>(sink.bytes_written));
    }
  }
  return EXIT_OK;
}
