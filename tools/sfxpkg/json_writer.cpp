// A small JSON writer for inspect's report.
#include "json_writer.h"

#include <cstdio>

namespace sfxpkg {

std::string JsonQuoted(const std::string& utf8) {
  std::string out = "\"";
  for (const char ch : utf8) {
    const auto byte = static_cast<unsigned char>(ch);
    if (ch == '"' || ch == '\\') {
      out += '\\';
      out += ch;
    } else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      out += escaped;
    } else {
      out += ch;
    }
  }
  return out + "\"";
}

void JsonWriter::Open(const std::string& key) {
  if (!hasItems_.empty()) {
    if (hasItems_.back()) text_ += ",";
    hasItems_.back() = true;
    text_ += "\n" + std::string(hasItems_.size() * 2, ' ');
  }
  if (!key.empty()) text_ += JsonQuoted(key) + ": ";
}

void JsonWriter::Close(char bracket) {
  const bool hadItems = hasItems_.back();
  hasItems_.pop_back();
  if (hadItems) text_ += "\n" + std::string(hasItems_.size() * 2, ' ');
  text_ += bracket;
}

JsonWriter& JsonWriter::BeginObject(const std::string& key) {
  Open(key);
  text_ += "{";
  hasItems_.push_back(false);
  return *this;
}

JsonWriter& JsonWriter::EndObject() {
  Close('}');
  return *this;
}

JsonWriter& JsonWriter::BeginArray(const std::string& key) {
  Open(key);
  text_ += "[";
  hasItems_.push_back(false);
  return *this;
}

JsonWriter& JsonWriter::EndArray() {
  Close(']');
  return *this;
}

JsonWriter& JsonWriter::Number(const std::string& key, uint64_t value) {
  Open(key);
  text_ += std::to_string(value);
  return *this;
}

JsonWriter& JsonWriter::String(const std::string& key, const std::string& utf8) {
  Open(key);
  text_ += JsonQuoted(utf8);
  return *this;
}

JsonWriter& JsonWriter::Bool(const std::string& key, bool value) {
  Open(key);
  text_ += value ? "true" : "false";
  return *this;
}

JsonWriter& JsonWriter::Null(const std::string& key) {
  Open(key);
  text_ += "null";
  return *this;
}

}  // namespace sfxpkg
