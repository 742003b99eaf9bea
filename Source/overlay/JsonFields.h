// JsonFields: safe reads of the browser's JSON messages, which may lack any field or carry it
// with another type than expected. Internal to the overlay.
//
// Threads: any; the functions keep no state.
#pragma once

#include <nlohmann/json.hpp>

#include <string>

namespace CorvaneEngine {
namespace JsonFields {

// The string under `key`, or the empty string when `object` is no object or the field is missing
// or not a string.
inline std::string Text(const nlohmann::json& object, const char* key) {
  if (!object.is_object()) return std::string();
  auto found = object.find(key);
  return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

// The value under `key`, or null when `object` is no object or has no such field.
inline const nlohmann::json& Member(const nlohmann::json& object, const char* key) {
  static const nlohmann::json kNone;
  if (!object.is_object()) return kNone;
  auto found = object.find(key);
  return found == object.end() ? kNone : *found;
}

}  // namespace JsonFields
}  // namespace CorvaneEngine
