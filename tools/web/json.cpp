#include "tools/web/json.h"

#include <stdio.h>

void JsonWriter::separate() {
  if (after_key_) {
    after_key_ = false;
    return;
  }
  if (!first_) out_ += ',';
  first_ = false;
}

JsonWriter &JsonWriter::begin_object() {
  separate();
  out_ += '{';
  first_ = true;
  return *this;
}

JsonWriter &JsonWriter::end_object() {
  out_ += '}';
  first_ = false;
  return *this;
}

JsonWriter &JsonWriter::begin_array() {
  separate();
  out_ += '[';
  first_ = true;
  return *this;
}

JsonWriter &JsonWriter::end_array() {
  out_ += ']';
  first_ = false;
  return *this;
}

JsonWriter &JsonWriter::key(const char *name) {
  value(name);
  out_ += ':';
  after_key_ = true;
  return *this;
}

JsonWriter &JsonWriter::value(const std::string &text) {
  separate();
  out_ += '"';
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out_ += '\\';
      out_ += static_cast<char>(c);
    } else if (c < 0x20) {
      char escaped[8];
      snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out_ += escaped;
    } else {
      out_ += static_cast<char>(c);
    }
  }
  out_ += '"';
  return *this;
}

JsonWriter &JsonWriter::value(uint64_t number) {
  separate();
  out_ += std::to_string(number);
  return *this;
}

JsonWriter &JsonWriter::value(int64_t number) {
  separate();
  out_ += std::to_string(number);
  return *this;
}

JsonWriter &JsonWriter::value(bool flag) {
  separate();
  out_ += flag ? "true" : "false";
  return *this;
}

JsonWriter &JsonWriter::null() {
  separate();
  out_ += "null";
  return *this;
}

JsonWriter &JsonWriter::lines(const std::vector<std::string> &texts) {
  begin_array();
  for (const std::string &line : texts) value(line);
  return end_array();
}
