#include "tools/args/build_options.h"

#include "package/codepage.h"
#include "tools/files/system_files.h"

int main_parts_value(const std::string &text) {
  uint64_t parts = 0;
  return parse_number(text, &parts) && parts < 10 ? static_cast<int>(parts) : 0;
}

bool build_codepage(const std::string *text, int *codepage, TextForm *form, std::string *problem) {
  const int system_codepage = system_text_codepage();
  *codepage = system_codepage ? system_codepage : static_cast<int>(DEFAULT_CODEPAGE);
  uint64_t given = 0;
  const bool known =
      !text || (parse_number(*text, &given) && given <= 65535 && codepage_known(static_cast<int>(given)));
  if (text && known) *codepage = static_cast<int>(given);
  // A system code page without a table here takes the text as it came.
  *form = codepage_known(*codepage) ? TEXT_UTF8 : TEXT_CODEPAGE_BYTES;
  if (!known) *problem = "--codepage " + *text + ": not a code page this tool knows (" + known_codepages() + ")";
  return known;
}
