#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

// A parsed JSON document, for tests that read a program's JSON output. Lookups of
// absent keys or indexes give a null value, so a chain of them never throws.
class JsonValue {
 public:
  enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject };

  // None when text is not one well-formed JSON value (surrounding blanks allowed).
  static std::optional<JsonValue> Parse(const std::string& text);

  Kind kind() const { return kind_; }
  bool IsNull() const { return kind_ == Kind::kNull; }
  bool Has(const std::string& key) const { return members_.count(key) > 0; }
  const JsonValue& operator[](const std::string& key) const;
  const JsonValue& operator[](size_t index) const;
  size_t Size() const { return kind_ == Kind::kArray ? items_.size() : members_.size(); }
  uint64_t Number() const;  // whole numbers only
  const std::string& String() const { return text_; }
  bool Bool() const { return kind_ == Kind::kBool && text_ == "true"; }

 private:
  friend class JsonParser;
  Kind kind_ = Kind::kNull;
  std::string text_;  // a string's UTF-8, a number's or a literal's spelling
  std::vector<JsonValue> items_;
  std::map<std::string, JsonValue> members_;
};

}  // namespace testsupport
