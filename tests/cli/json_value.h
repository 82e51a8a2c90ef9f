// A strict reader of JSON text for tests: it accepts exactly the JSON grammar
// and keeps the order of object keys, so tests can check a document's shape,
// types and order.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace orvalis::testing {

struct JsonValue;
using JsonArray = std::vector<JsonValue>;
using JsonObject = std::vector<std::pair<std::string, JsonValue>>;

struct JsonValue {
  std::variant<std::nullptr_t, bool, double, std::string, std::shared_ptr<JsonArray>,
               std::shared_ptr<JsonObject>>
      value;
  std::string numberText;  // a number as written

  bool isNull() const { return std::holds_alternative<std::nullptr_t>(value); }
  bool isNumber() const { return std::holds_alternative<double>(value); }
  bool isString() const { return std::holds_alternative<std::string>(value); }
  bool isArray() const { return std::holds_alternative<std::shared_ptr<JsonArray>>(value); }
  bool isObject() const { return std::holds_alternative<std::shared_ptr<JsonObject>>(value); }
  // A number without fraction or exponent.
  bool isInteger() const {
    return isNumber() && numberText.find_first_of(".eE") == std::string::npos;
  }

  double number() const { return std::get<double>(value); }
  const std::string& string() const { return std::get<std::string>(value); }
  const JsonArray& array() const { return *std::get<std::shared_ptr<JsonArray>>(value); }
  const JsonObject& object() const { return *std::get<std::shared_ptr<JsonObject>>(value); }
  // The member `key` of an object; throws when there is none.
  const JsonValue& operator[](std::string_view key) const;
  // The keys of an object in document order.
  std::vector<std::string> keys() const;
};

// Reads one JSON document (surrounding white space allowed); throws
// std::runtime_error on anything that is not JSON, including invalid UTF-8.
JsonValue parseJson(std::string_view text);

}  // namespace orvalis::testing
