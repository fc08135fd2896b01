// The little JSON the page's engine hands to its script: objects, arrays,
// strings, numbers and booleans, written in order. Strings are UTF-8 and
// come out escaped; the writer does not check that keys and values alternate.
#pragma once
#include <stdint.h>

#include <string>
#include <vector>

class JsonWriter {
 public:
  JsonWriter &begin_object();
  JsonWriter &end_object();
  JsonWriter &begin_array();
  JsonWriter &end_array();
  // The next member's name (inside an object).
  JsonWriter &key(const char *name);
  JsonWriter &value(const std::string &text);
  JsonWriter &value(const char *text) { return value(std::string(text)); }
  // Integers up to 2^53 arrive in JavaScript exactly.
  JsonWriter &value(uint64_t number);
  JsonWriter &value(int64_t number);
  JsonWriter &value(int number) { return value(static_cast<int64_t>(number)); }
  JsonWriter &value(bool flag);
  JsonWriter &null();
  JsonWriter &lines(const std::vector<std::string> &texts);  // an array of strings

  const std::string &text() const { return out_; }

 private:
  void separate();  // the comma before a value that is not the first in its container

  std::string out_;
  bool first_ = true;  // nothing written yet in the current container
  bool after_key_ = false;
};
