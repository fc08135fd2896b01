#include "tools/gui/project.h"

#include "package/build.h"
#include "tools/args/build_options.h"
#include "tools/files/file_streams.h"
#include "tools/files/system_files.h"

namespace {

// The optional texts of a project with their options, in the order a
// project file lists them.
struct TextOption {
  const char *option;
  std::optional<std::string> Project::*field;
};
const TextOption NAME_OPTIONS[] = {{"--main-name", &Project::main_name},
                                   {"--second-name", &Project::second_name},
                                   {"--extra-name", &Project::extra_name}};
const TextOption TEXT_OPTIONS[] = {
    {"--confirm", &Project::confirm}, {"--dialog", &Project::dialog},         {"--done", &Project::done},
    {"--failure", &Project::failure}, {"--bad-header", &Project::bad_header},
};
const TextOption VERSION_OPTIONS[] = {
    {"--product-name", &Project::product_name}, {"--product-version", &Project::product_version},
    {"--company", &Project::company},           {"--copyright", &Project::copyright},
    {"--description", &Project::description},
};

// The arguments of one project file line.
typedef std::vector<Arguments> Lines;

void add(Arguments *line, const char *option, const std::string &value) {
  line->push_back(option);
  line->push_back(value);
}

void add_text(Lines *lines, const Project &project, const TextOption &text) {
  if (project.*text.field) add(&lines->emplace_back(), text.option, *(project.*text.field));
}

// The project's arguments grouped into the lines of its file.
Lines project_lines(const Project &project, const std::string &folder) {
  Lines lines;
  const std::string *files[] = {&project.main, &project.second, &project.extra};
  const char *file_options[] = {"--main", "--second", "--extra"};
  for (int i = 0; i < 3; ++i) {
    if (files[i]->empty() && !(project.*NAME_OPTIONS[i].field)) continue;
    Arguments &line = lines.emplace_back();
    if (!files[i]->empty()) add(&line, file_options[i], path_in_project(*files[i], folder));
    if (project.*NAME_OPTIONS[i].field) add(&line, NAME_OPTIONS[i].option, *(project.*NAME_OPTIONS[i].field));
  }
  Arguments packing;
  if (project.stored) packing.push_back("--stored");
  if (project.best) packing.push_back("--best");
  if (project.main_parts != 1) add(&packing, "--main-parts", std::to_string(project.main_parts));
  if (project.silent) packing.push_back("--silent");
  if (!packing.empty()) lines.push_back(packing);
  for (const TextOption &text : TEXT_OPTIONS) add_text(&lines, project, text);
  if (!project.icon.empty()) add(&lines.emplace_back(), "--icon", path_in_project(project.icon, folder));
  for (const TextOption &text : VERSION_OPTIONS) add_text(&lines, project, text);
  if (!project.codepage.empty()) add(&lines.emplace_back(), "--codepage", project.codepage);
  if (!project.stub.empty()) add(&lines.emplace_back(), "--stub", path_in_project(project.stub, folder));
  if (!project.output.empty()) add(&lines.emplace_back(), "-o", path_in_project(project.output, folder));
  return lines;
}

bool same_name_character(char a, char b) {
  if (is_path_separator(a) && is_path_separator(b)) return true;
  // Windows compares names without regard to case; POSIX systems do not.
  if (PATH_SEPARATOR == '\\') {
    if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 'a' + 'A');
    if (b >= 'a' && b <= 'z') b = static_cast<char>(b - 'a' + 'A');
  }
  return a == b;
}

std::optional<std::string> given(const ParsedArguments &parsed, const char *option) {
  if (!option_given(parsed, option)) return std::nullopt;
  return option_value(parsed, option);
}

// A project holds the options of "kestrune-pack build" and nothing else.
const CommandSyntax PROJECT_SYNTAX = {"build", "", BUILD_OPTIONS, BUILD_OPTION_COUNT, 0, ""};

}  // namespace

bool same_project(const Project &a, const Project &b) { return project_file_text(a, "") == project_file_text(b, ""); }

Arguments project_arguments(const Project &project, const std::string &folder) {
  Arguments all;
  for (const Arguments &line : project_lines(project, folder)) all.insert(all.end(), line.begin(), line.end());
  return all;
}

std::string project_file_text(const Project &project, const std::string &folder) {
  std::string text;
  for (const Arguments &line : project_lines(project, folder)) {
    for (size_t i = 0; i < line.size(); ++i) text += (i ? " " : "") + quote_argument(line[i].text);
    text += "\r\n";
  }
  return text;
}

bool project_from_arguments(const Arguments &args, Project *project, std::string *problem) {
  ParsedArguments parsed;
  bool help = false;
  if (!read_arguments(PROJECT_SYNTAX, args, &parsed, &help, problem)) return false;
  Project read;
  read.main = option_value(parsed, "--main");
  read.second = option_value(parsed, "--second");
  read.extra = option_value(parsed, "--extra");
  for (const TextOption &name : NAME_OPTIONS) read.*name.field = given(parsed, name.option);
  if (option_given(parsed, "--main-parts")) {
    read.main_parts = main_parts_value(option_value(parsed, "--main-parts"));
    if (const char *why = main_parts_problem(read.main_parts)) {
      *problem = why;
      return false;
    }
  }
  read.stored = option_given(parsed, "--stored");
  read.best = option_given(parsed, "--best");
  read.silent = option_given(parsed, "--silent");
  for (const TextOption &text : TEXT_OPTIONS) read.*text.field = given(parsed, text.option);
  read.icon = option_value(parsed, "--icon");
  for (const TextOption &text : VERSION_OPTIONS) read.*text.field = given(parsed, text.option);
  read.output = option_value(parsed, "--output");
  read.stub = option_value(parsed, "--stub");
  read.codepage = option_value(parsed, "--codepage");
  *project = read;
  return true;
}

bool read_project(const std::string &path, Project *project, std::string *error) {
  Arguments args;
  if (!read_argument_file(path, &args, error)) return false;
  std::string problem;
  if (project_from_arguments(args, project, &problem)) return true;
  *error = "project " + path + ": " + problem;
  return false;
}

bool write_project(const std::string &path, const Project &project, std::string *error) {
  // In the system's own code page, as an editor of the system writes it and
  // as read_argument_file reads a file without a byte-order mark.
  const std::string text = system_text_for_console(project_file_text(project, directory_of(path)));
  OutputFile out;
  FileError failure;
  if (!out.open(path, {}, true, &failure) || !out.sink().write(text.data(), text.size()) || !out.commit(&failure)) {
    *error = failure.message.empty() ? out.sink().error() : failure.message;
    return false;
  }
  return true;
}

std::string path_in_project(const std::string &path, const std::string &folder) {
  if (folder.empty() || path.size() <= folder.size()) return path;
  for (size_t i = 0; i < folder.size(); ++i)
    if (!same_name_character(path[i], folder[i])) return path;
  // With slashes, which Windows takes as well, the project builds the same
  // on every system.
  std::string inside = path.substr(folder.size());
  for (char &c : inside)
    if (c == '\\' && is_path_separator(c)) c = '/';
  return inside;
}
