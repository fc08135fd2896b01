#include "package/codepage.h"
#include "package/names.h"
#include "package/read.h"

namespace {

// The files of the installer in payload order, with why each cannot be
// written ("" when it can).
struct Candidate {
  ExtractFile file;
  std::string problem;
};

std::vector<Candidate> candidates(const PackageReport &report) {
  std::vector<Candidate> list;
  for (size_t i = 0; i < report.items.size(); ++i) {
    const ItemCheck &item = report.items[i];
    if (item.item.new_file || list.empty()) {
      Candidate next;
      next.file.name = text_slot_value(report.record, item.item.name_offset);
      if (!text_slot_terminated(&report.record, item.item.name_offset))
        next.problem = "its name has no terminating zero";
      else if (const char *why = file_name_problem(next.file.name))
        next.problem = why;
      list.push_back(next);
    }
    Candidate &file = list.back();
    file.file.items.push_back(i);
    file.file.size += item.compressed ? item.decoded_size : item.item.size;
    if (!item.ok && file.problem.empty())
      file.problem = std::string(payload_role_name(item.item.role)) + " does not check out";
  }
  return list;
}

}  // namespace

PackageResult plan_extraction(const PackageReport &report, bool force, std::vector<ExtractFile> *files,
                              std::vector<std::string> *warnings) {
  files->clear();
  warnings->clear();
  if (report.kind != KIND_PACKAGE)
    return PackageResult::fail(PACKAGE_DAMAGED, report.problems.empty() ? "not an installer" : report.problems[0]);
  if (!report.problems.empty() && !force)
    return PackageResult::fail(PACKAGE_DAMAGED, report.problems[0] + " (--force extracts what can be extracted)");
  for (const std::string &problem : report.problems) warnings->push_back(problem);
  for (Candidate &candidate : candidates(report)) {
    for (const ExtractFile &taken : *files)
      if (candidate.problem.empty() && names_are_one_file(taken.name, candidate.file.name, report.codepage))
        candidate.problem = "it is one file with \"" + codepage_to_utf8(taken.name, report.codepage) + "\"";
    if (!candidate.problem.empty()) {
      warnings->push_back("not extracting \"" + codepage_to_utf8(candidate.file.name, report.codepage) +
                          "\": " + candidate.problem);
      continue;
    }
    files->push_back(candidate.file);
  }
  if (files->empty()) return PackageResult::fail(PACKAGE_DAMAGED, "nothing in it can be extracted");
  return {};
}
