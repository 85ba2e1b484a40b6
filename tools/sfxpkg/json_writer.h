// Writes one JSON document with two-space indentation, keys in the order given.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sfxpkg {

class JsonWriter {
 public:
  JsonWriter& BeginObject(const std::string& key = {});
  JsonWriter& EndObject();
  JsonWriter& BeginArray(const std::string& key = {});
  JsonWriter& EndArray();
  JsonWriter& Number(const std::string& key, uint64_t value);
  JsonWriter& String(const std::string& key, const std::string& utf8);
  JsonWriter& Bool(const std::string& key, bool value);
  JsonWriter& Null(const std::string& key);

  // The document, with a final line end.
  std::string Text() const { return text_ + "\n"; }

 private:
  void Open(const std::string& key);
  void Close(char bracket);
  std::string text_;
  std::vector<bool> hasItems_;  // one per open object or array
};

std::string JsonQuoted(const std::string& utf8);

}  // namespace sfxpkg
