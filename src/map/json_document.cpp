#include "map/json_document.h"

#include "map/number_conversion.h"

namespace rover {

JsonValue JsonDocument::bigInteger(std::string_view digits, SourcePosition at) {
  bigIntegers_.push_back(parseIntegerText(digits));
  return JsonValue::makeInt(&bigIntegers_.back(), at);
}

}  // namespace rover
