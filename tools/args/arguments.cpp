#include "tools/args/arguments.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "tools/files/file_streams.h"
#include "tools/files/system_files.h"

namespace {

// The option that name ("--output" or its alias "-o") stands for, or nullptr.
const OptionSpec *find_option(const CommandSyntax &syntax, const std::string &name) {
  for (size_t i = 0; i < syntax.option_count; ++i) {
    const OptionSpec &option = syntax.options[i];
    if (name == option.name || (option.alias && name == option.alias)) return &option;
  }
  return nullptr;
}

// Where the option with this long name sits in the command's table. A name
// that is not there is a fault in the command's code: it ends the program.
size_t option_index(const ParsedArguments &parsed, const char *name) {
  for (size_t i = 0; i < parsed.syntax->option_count; ++i)
    if (strcmp(parsed.syntax->options[i].name, name) == 0) return i;
  fprintf(stderr, "kestrune-pack: internal error: %s asks for %s, which it does not declare\n", parsed.syntax->name,
          name);
  abort();
}

std::string count_message(const CommandSyntax &syntax, size_t got) {
  std::string wanted = syntax.positional_count == 1
                           ? std::string("one ") + syntax.positional
                           : std::to_string(syntax.positional_count) + " file arguments (" + syntax.positional + ")";
  return "expected " + wanted + ", got " + std::to_string(got);
}

bool names_a_path(const OptionSpec &option) {
  return option.value_name && (strcmp(option.value_name, "file") == 0 || strcmp(option.value_name, "directory") == 0);
}

// A path written in an argument file, taken against the file's folder.
std::string resolved(const std::string &path, const std::string &folder) {
  if (folder.empty() || path.empty() || !is_relative_path(path)) return path;
  return join_path(folder, path);
}

}  // namespace

bool read_arguments(const CommandSyntax &syntax, const Arguments &args, ParsedArguments *parsed, bool *help,
                    std::string *problem) {
  parsed->syntax = &syntax;
  parsed->positional.clear();
  parsed->given.assign(syntax.option_count, false);
  parsed->values.assign(syntax.option_count, std::string());
  problem->clear();
  *help = false;
  bool options_ended = false;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i].text;
    if (options_ended || arg.size() < 2 || arg[0] != '-') {
      parsed->positional.push_back(resolved(arg, args[i].folder));
      continue;
    }
    if (arg == "--") {
      options_ended = true;
      continue;
    }
    if (arg == "-h" || arg == "--help") {
      *help = true;
      continue;
    }
    std::string value;
    bool inline_value = false;
    size_t equals = arg.find('=');
    if (arg.compare(0, 2, "--") == 0 && equals != std::string::npos) {
      value = arg.substr(equals + 1);
      arg.resize(equals);
      inline_value = true;
    }
    const OptionSpec *option = find_option(syntax, arg);
    std::string fault;
    if (!option)
      fault = "unknown option '" + arg + "'";
    else if (!option->value_name && inline_value)
      fault = arg + " takes no value";
    else if (option->value_name && !inline_value && i + 1 >= args.size())
      fault = arg + " needs a " + option->value_name;
    if (!fault.empty()) {
      if (problem->empty()) *problem = fault;
      continue;
    }
    std::string folder = args[i].folder;
    if (option->value_name && !inline_value) {
      value = args[++i].text;
      folder = args[i].folder;
    }
    size_t index = static_cast<size_t>(option - syntax.options);
    parsed->given[index] = true;
    parsed->values[index] = names_a_path(*option) ? resolved(value, folder) : value;
  }
  if (problem->empty() && parsed->positional.size() > syntax.positional_count)
    *problem = "unexpected argument '" + parsed->positional[syntax.positional_count] + "'";
  if (problem->empty() && parsed->positional.size() < syntax.positional_count)
    *problem = count_message(syntax, parsed->positional.size());
  return problem->empty();
}

bool option_given(const ParsedArguments &parsed, const char *name) { return parsed.given[option_index(parsed, name)]; }

const std::string &option_value(const ParsedArguments &parsed, const char *name) {
  return parsed.values[option_index(parsed, name)];
}

// ---- argument files -----------------------------------------------------------

namespace {

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

}  // namespace

bool split_argument_text(const std::string &text, const std::string &folder, Arguments *out) {
  std::string current;
  bool in_argument = false, quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\\' && i + 1 < text.size() && text[i + 1] == '"') {
      current += '"';
      in_argument = true;
      ++i;
    } else if (c == '"') {
      quoted = !quoted;
      in_argument = true;
    } else if (is_space(c) && !quoted) {
      if (in_argument) out->push_back(Argument(current, folder));
      current.clear();
      in_argument = false;
    } else {
      current += c;
      in_argument = true;
    }
  }
  if (quoted) return false;
  if (in_argument) out->push_back(Argument(current, folder));
  return true;
}

std::string quote_argument(const std::string &text) {
  bool bare = !text.empty();
  for (char c : text) bare = bare && c != '"' && !is_space(c);
  if (bare) return text;
  // A backslash before the closing quote would turn it into a quote of the
  // text, so the backslashes that end the text follow the quote instead.
  size_t end = text.size();
  while (end > 0 && text[end - 1] == '\\') --end;
  std::string out = "\"";
  for (size_t i = 0; i < end; ++i) out += text[i] == '"' ? std::string("\\\"") : std::string(1, text[i]);
  return out + "\"" + text.substr(end);
}

bool read_argument_file(const std::string &path, Arguments *out, std::string *error) {
  static const char BYTE_ORDER_MARK[] = "\xEF\xBB\xBF";
  std::string text;
  FileError failure;
  if (!read_small_file(path, MAX_ARGUMENT_FILE, &text, &failure)) {
    *error = "argument file " + failure.message;
    return false;
  }
  if (text.find('\0') != std::string::npos) {
    *error = "argument file " + path + ": holds a zero byte, so it is not text";
    return false;
  }
  // With a byte-order mark (as current Windows editors write it) the file
  // is UTF-8; without one it is in the system's own code page.
  if (text.compare(0, 3, BYTE_ORDER_MARK) == 0)
    text.erase(0, 3);
  else
    text = system_text_to_utf8(text);
  if (!split_argument_text(text, directory_of(path), out)) {
    *error = "argument file " + path + ": a double quote is not closed";
    return false;
  }
  return true;
}

bool expand_argument_files(const Arguments &args, Arguments *expanded, std::string *error) {
  expanded->clear();
  for (const Argument &arg : args) {
    if (arg.text.size() < 2 || arg.text[0] != '@') {
      expanded->push_back(arg);
      continue;
    }
    if (!read_argument_file(arg.text.substr(1), expanded, error)) return false;
  }
  return true;
}

bool parse_number(const std::string &text, uint64_t *value) {
  if (text.empty()) return false;
  int base = 10;
  size_t start = 0;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    start = 2;
  }
  uint64_t result = 0;
  for (size_t i = start; i < text.size(); ++i) {
    char c = text[i];
    int digit;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    else
      return false;
    if (result > (UINT64_MAX - digit) / base) return false;
    result = result * base + digit;
  }
  *value = result;
  return true;
}
