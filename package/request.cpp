#include "package/request.h"

namespace {

PackageResult refuse(const std::string &why) { return PackageResult::fail(PACKAGE_REFUSED, why); }

bool wants_version(const PackageRequest &request) {
  return request.product_name || request.product_version || request.company || request.copyright || request.description;
}

}  // namespace

PackageResult convert_names(const PackageRequest &request, RecordTexts *texts) {
  const PackageFile *files[] = {&request.main, &request.second, &request.extra};
  const char *options[] = {"--main-name", "--second-name", "--extra-name"};
  const int count = request.extra.source ? 3 : 2;
  std::string error;
  for (int i = 0; i < count; ++i) {
    std::string &name = texts->names[i];
    if (!text_in_codepage(files[i]->name, request.text_form, request.codepage, options[i], &name, &error))
      return refuse(error);
    if (const char *why = file_name_problem(name))
      return refuse(std::string(options[i]) + " \"" + files[i]->name + "\": " + why);
  }
  for (int i = 0; i < count; ++i)
    for (int j = i + 1; j < count; ++j)
      if (names_are_one_file(texts->names[i], texts->names[j], request.codepage))
        return refuse("the payload files need different names: " + std::string(options[i]) + " \"" + files[i]->name +
                      "\" and " + options[j] + " \"" + files[j]->name +
                      "\" are one file under Windows (it ignores case and trailing dots and spaces)");
  return {};
}

PackageResult convert_texts(const PackageRequest &request, RecordTexts *texts) {
  struct Text {
    const char *option;
    const std::optional<std::string> *given;
    std::string *out;
  } list[] = {{"--confirm", &request.confirm, &texts->confirm},
              {"--done", &request.done, &texts->done},
              {"--failure", &request.failure, &texts->failure},
              {"--bad-header", &request.bad_header, &texts->bad_header},
              {"--dialog", &request.dialog, &texts->dialog}};
  std::string error;
  for (const Text &text : list) {
    if (!text.given->has_value()) continue;
    if (!text_in_codepage(**text.given, request.text_form, request.codepage, text.option, text.out, &error))
      return refuse(error);
    if (text.out->find('\0') != std::string::npos) return refuse(std::string(text.option) + " contains a zero byte");
    if (text.out->size() > TEXT_SLOT_SIZE - 1)
      return refuse(std::string(text.option) + " is " + std::to_string(text.out->size()) + " bytes in code page " +
                    std::to_string(request.codepage) + "; at most 63 fit");
  }
  if (!request.done) texts->done = default_done_text(texts->names[0]);
  if (!request.failure) texts->failure = DEFAULT_FAILURE_TEXT;
  if (!request.bad_header) texts->bad_header = DEFAULT_BAD_HEADER_TEXT;
  return {};
}

PackageResult check_shape(const PackageRequest &request, std::vector<uint64_t> *parts) {
  if (!request.stub) return refuse("no stub given");
  if (!request.main.source || !request.second.source) return refuse("--main and --second are both needed");
  if (const char *why = main_parts_problem(request.main_parts)) return refuse(why);
  if (request.stored && request.main_parts != 1)
    return refuse("--main-parts needs a compressed package (not --stored)");
  if (request.stored && request.best) return refuse("--best needs a compressed package (not --stored)");
  const uint64_t main_size = request.main.source->size();
  const ByteSource *sources[] = {request.main.source, request.second.source, request.extra.source};
  for (const ByteSource *source : sources)
    if (source && source->size() > MAX_PACKAGE_SIZE) return refuse("payload files must be smaller than 2 GiB");
  if (request.extra.source && request.extra.source->size() == 0)
    return refuse("the extra file is empty; an empty extra file cannot be represented (size 0 means none)");
  if (request.main_parts > 1 && main_size < static_cast<uint64_t>(request.main_parts))
    return refuse("the main file has fewer bytes than --main-parts; an empty part cannot be represented");
  *parts = request.main_part_sizes.empty() ? split_main_file(main_size, request.stored ? 1 : request.main_parts)
                                           : request.main_part_sizes;
  uint64_t total = 0;
  for (uint64_t part : *parts) total += part;
  if (parts->size() != static_cast<size_t>(request.stored ? 1 : request.main_parts) || total != main_size)
    return refuse("the main part sizes do not add up to the main file");
  for (size_t i = 1; i < parts->size(); ++i)
    if ((*parts)[i] == 0) return refuse("an empty main part cannot be represented");
  return {};
}

std::vector<std::string> notes_for(const PackageRequest &request) {
  std::vector<std::string> notes;
  const bool dialog = request.dialog && !request.dialog->empty();
  if (request.stored && dialog) notes.push_back("stored packages show no progress dialog; --dialog is kept but unused");
  if (request.silent && dialog && !request.stored)
    notes.push_back("silent packages show no progress dialog; --dialog is kept but unused");
  if (request.silent && request.done && !request.done->empty())
    notes.push_back("silent packages show no messages; --done is kept but unused");
  return notes;
}

// The author's icon and version information, in the record's code page.
PackageResult branding_request(const PackageRequest &request, const std::string &main_name, BrandingRequest *brand) {
  if (request.icon) {
    if (request.icon->size() > MAX_ICON_SOURCE)
      return refuse("--icon: " + std::to_string(request.icon->size()) + " bytes; an icon file or program of at most " +
                    std::to_string(MAX_ICON_SOURCE >> 20) + " MiB is taken");
    brand->has_icon = true;
    brand->icon.resize(static_cast<size_t>(request.icon->size()));
    if (!request.icon->read_exactly(0, brand->icon.data(), brand->icon.size()))
      return PackageResult::fail(PACKAGE_DAMAGED, "--icon: reading failed: " + request.icon->error());
  }
  if (!wants_version(request)) return {};
  brand->has_version = true;
  VersionFields &fields = brand->version;
  fields.codepage = request.codepage;
  struct Text {
    const char *option;
    const std::optional<std::string> *given;
    std::string *out;
  } list[] = {{"--product-name", &request.product_name, &fields.product_name},
              {"--product-version", &request.product_version, &fields.product_version},
              {"--company", &request.company, &fields.company},
              {"--copyright", &request.copyright, &fields.copyright},
              {"--description", &request.description, &fields.description}};
  std::string error;
  for (const Text &text : list)
    if (*text.given &&
        !text_in_codepage(**text.given, request.text_form, request.codepage, text.option, text.out, &error))
      return refuse(error);
  if (!request.description) fields.description = display_name(main_name) + " Setup";
  if (!text_in_codepage(request.output_name, request.text_form, request.codepage, "-o", &fields.original_file_name,
                        &error))
    return refuse(error);
  if (!fields.product_version.empty()) {
    VersionNumber number = parse_version_number(fields.product_version);
    if (!number.ok) return refuse("--product-version " + fields.product_version + ": " + number.problem);
  }
  return {};
}
