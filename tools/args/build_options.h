// The options of "kestrune-pack build", in one table: the console tool's
// command and Kestrune Packer's projects (tools/gui/project.h) read the
// same ones, so a project takes exactly what the command line takes.
#pragma once
#include <string>

#include "package/names.h"
#include "tools/args/arguments.h"

inline constexpr OptionSpec BUILD_OPTIONS[] = {
    {"--stub", nullptr, "file"},       {"--main", nullptr, "file"},         {"--second", nullptr, "file"},
    {"--extra", nullptr, "file"},      {"--main-name", nullptr, "name"},    {"--second-name", nullptr, "name"},
    {"--extra-name", nullptr, "name"}, {"--main-parts", nullptr, "number"}, {"--stored", nullptr, nullptr},
    {"--silent", nullptr, nullptr},    {"--best", nullptr, nullptr},        {"--confirm", nullptr, "text"},
    {"--done", nullptr, "text"},       {"--failure", nullptr, "text"},      {"--bad-header", nullptr, "text"},
    {"--dialog", nullptr, "text"},     {"--codepage", nullptr, "number"},   {"--output", "-o", "file"},
    {"--icon", nullptr, "file"},       {"--product-name", nullptr, "text"}, {"--product-version", nullptr, "text"},
    {"--company", nullptr, "text"},    {"--copyright", nullptr, "text"},    {"--description", nullptr, "text"},
};
inline constexpr size_t BUILD_OPTION_COUNT = sizeof BUILD_OPTIONS / sizeof BUILD_OPTIONS[0];

// --main-parts TEXT as a number for the request, 0 when it is not a small
// number: the package library says which values it takes
// (main_parts_problem).
int main_parts_value(const std::string &text);

// The code page a build's texts go to: --codepage's TEXT (nullptr when not
// given) or the default, the system's own on Windows and 1252 elsewhere;
// *form is how the library takes the texts then. False with *problem, and
// the default in *codepage and *form, for a code page without a table here.
bool build_codepage(const std::string *text, int *codepage, TextForm *form, std::string *problem);
