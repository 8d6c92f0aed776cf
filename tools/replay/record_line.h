#pragma once

#include <gmpxx.h>

#include <cstdint>
#include <optional>
#include <string>

#include "checked_json.h"

namespace rover::replay {

// One parsed line of a record, with accessors that fail with a detail naming
// the line and the member (a Failure of kind Fail, positioned at the line).
// Numbers keep their text, so integers of any size stay exact.
class RecordLine {
 public:
  // Parses line `number` (1-based); fails when it is not a JSON object with a string "type".
  RecordLine(const std::string& text, std::size_t number);

  std::size_t number() const { return number_; }
  const std::string& type() const { return type_; }
  bool has(const char* member) const;
  std::string string(const char* member) const;
  mpz_class integer(const char* member) const;
  std::int64_t smallInteger(const char* member) const;
  // A real: a JSON number, or one of the strings "nan", "inf", "-inf".
  double real(const char* member) const;
  bool isNull(const char* member) const;
  const rapidjson::Value& value(const char* member) const;
  const rapidjson::Value& root() const { return document_; }

  // The same accessors for a value inside the line (a member of a nested object).
  double realOf(const rapidjson::Value& value, const char* what) const;
  mpz_class integerOf(const rapidjson::Value& value, const char* what) const;
  std::string stringOf(const rapidjson::Value& value, const char* what) const;
  [[noreturn]] void fail(const std::string& what) const;

 private:
  rapidjson::Document document_;
  std::size_t number_;
  std::string type_;
};

}  // namespace rover::replay
