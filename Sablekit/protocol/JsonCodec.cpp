#include "Sablekit/protocol/JsonCodec.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace Sablekit::JsonCodec {

namespace {

// 2^53: every integer below it in magnitude is exactly a double, and no text
// naming another number rounds to one of them as an integer.
constexpr double exactFloatIntegerLimit = 9007199254740992.0;

std::string_view typeName(const Value& value) {
  if (value.is_number_integer()) {
    return "an integer";
  }
  if (value.is_number_float()) {
    return "a number";
  }
  switch (value.type()) {
    case Value::value_t::null:
      return "null";
    case Value::value_t::boolean:
      return "a boolean";
    case Value::value_t::string:
      return "a string";
    case Value::value_t::array:
      return "an array";
    case Value::value_t::object:
      return "an object";
    default:
      return "a value";
  }
}

[[noreturn]] void wrongType(const std::string& path, std::string_view expected, const Value& found) {
  throw DecodingError(path + ": expected " + std::string(expected) + ", found " + std::string(typeName(found)));
}

std::int64_t asInt64(const Value& value, const std::string& path) {
  if (value.is_number_unsigned()) {
    const auto unsignedValue = value.get<std::uint64_t>();
    if (unsignedValue > static_cast<std::uint64_t>(INT64_MAX)) {
      throw DecodingError(path + ": integer out of the 64-bit range");
    }
    return static_cast<std::int64_t>(unsignedValue);
  }
  if (value.is_number_integer()) {
    return value.get<std::int64_t>();
  }
  if (value.is_number_float()) {
    // 5.0 and 5e0 are the integer 5; 5.5 is not an integer.
    const double number = value.get<double>();
    if (number != std::trunc(number)) {
      throw DecodingError(path + ": expected an integer, found a number with a fractional part");
    }
    // From 2^53 on a number written with a fraction or an exponent may already
    // have been rounded to a neighbouring integer (-9223372036854775809 and
    // 9007199254740993.0 both parse to other values); refusing it is better
    // than echoing an id the parent never sent.
    if (!(std::fabs(number) < exactFloatIntegerLimit)) {
      throw DecodingError(path + ": integer out of range for a number written with a fraction or exponent");
    }
    return static_cast<std::int64_t>(number);
  }
  wrongType(path, "an integer", value);
}

}  // namespace

Value number(double value) {
  if (!std::isfinite(value)) {
    throw EncodingError("a number is not finite");
  }
  return Value(value);
}

Value number(float value) {
  if (!std::isfinite(value)) {
    throw EncodingError("a number is not finite");
  }
  // The float's shortest decimal form read back as a double is a double whose
  // own shortest form is the same digits, which is what the serializer writes.
  char digits[32];
  const auto [end, error] = std::to_chars(digits, digits + sizeof digits, value);
  *end = '\0';
  return Value(std::strtod(digits, nullptr));
}

std::string serialize(const Value& value) {
  return value.dump(-1, ' ', false, Value::error_handler_t::replace);
}

Value parse(std::string_view text) {
  // The parser stops at a NUL byte as at the end of the text, which would let
  // '{...}' followed by NUL and anything at all through. JSON text never holds
  // a raw NUL, so it is refused wherever it is.
  if (const std::size_t nul = text.find('\0'); nul != std::string_view::npos) {
    throw DecodingError("a NUL byte at offset " + std::to_string(nul) + " is not allowed in JSON text");
  }
  try {
    return Value::parse(text);
  } catch (const Value::exception& error) {
    throw DecodingError(error.what());
  }
}

ObjectReader::ObjectReader(const Value& value, std::string path) : object_(value), path_(std::move(path)) {
  if (!object_.is_object()) {
    wrongType(path_.empty() ? "the request" : path_, "an object", value);
  }
}

std::string ObjectReader::pathOf(std::string_view key) const {
  return path_.empty() ? std::string(key) : path_ + "." + std::string(key);
}

const Value* ObjectReader::member(std::string_view key) const {
  const auto found = object_.find(key);
  if (found == object_.end() || found->is_null()) {
    return nullptr;
  }
  return &*found;
}

void ObjectReader::missing(std::string_view key) const {
  throw DecodingError(pathOf(key) + ": required member is missing");
}

std::int64_t ObjectReader::requiredInt64(std::string_view key) const {
  const Value* value = member(key);
  if (value == nullptr) {
    missing(key);
  }
  return asInt64(*value, pathOf(key));
}

std::string ObjectReader::requiredString(std::string_view key) const {
  const Value* value = member(key);
  if (value == nullptr) {
    missing(key);
  }
  if (!value->is_string()) {
    wrongType(pathOf(key), "a string", *value);
  }
  return value->get<std::string>();
}

bool ObjectReader::requiredBool(std::string_view key) const {
  const auto flag = optionalBool(key);
  if (!flag) {
    missing(key);
  }
  return *flag;
}

std::optional<std::int64_t> ObjectReader::optionalInt64(std::string_view key) const {
  const Value* value = member(key);
  if (value == nullptr) {
    return std::nullopt;
  }
  return asInt64(*value, pathOf(key));
}

std::optional<bool> ObjectReader::optionalBool(std::string_view key) const {
  const Value* value = member(key);
  if (value == nullptr) {
    return std::nullopt;
  }
  if (!value->is_boolean()) {
    wrongType(pathOf(key), "a boolean", *value);
  }
  return value->get<bool>();
}

std::optional<std::string> ObjectReader::optionalString(std::string_view key) const {
  const Value* value = member(key);
  if (value == nullptr) {
    return std::nullopt;
  }
  if (!value->is_string()) {
    wrongType(pathOf(key), "a string", *value);
  }
  return value->get<std::string>();
}

std::optional<std::vector<std::string>> ObjectReader::optionalStringArray(std::string_view key) const {
  const Value* value = member(key);
  if (value == nullptr) {
    return std::nullopt;
  }
  if (!value->is_array()) {
    wrongType(pathOf(key), "an array of strings", *value);
  }
  std::vector<std::string> strings;
  strings.reserve(value->size());
  for (std::size_t index = 0; index < value->size(); ++index) {
    const Value& element = (*value)[index];
    if (!element.is_string()) {
      wrongType(pathOf(key) + "[" + std::to_string(index) + "]", "a string", element);
    }
    strings.push_back(element.get<std::string>());
  }
  return strings;
}

const Value* ObjectReader::optionalMember(std::string_view key) const {
  return member(key);
}

}  // namespace Sablekit::JsonCodec
