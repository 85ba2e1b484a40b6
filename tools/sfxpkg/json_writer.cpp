// A small JSON writer for inspect's report.
#include "json_writer.h"

#include <cstdio>

#include "utf8_text.h"

namespace sfxpkg {

// Control characters (DEL and C1 too, which a terminal acts on) as \u escapes;
// a byte that is no UTF-8 as U+FFFD, so that the document stays valid JSON.
std::string JsonQuoted(const std::string& utf8) {
  std::string out = "\"";
  for (size_t at = 0; at < utf8.size();) {
    const Utf8Character character = NextUtf8Character(utf8, at);
    if (character.length == 0) {
      out += "\\ufffd";
      ++at;
      continue;
    }
    if (character.code == '"' || character.code == '\\') {
      out += '\\';
      out += utf8[at];
    } else if (IsControlCharacter(character.code)) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(character.code));
      out += escaped;
    } else {
      out.append(utf8, at, character.length);
    }
    at += character.length;
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
