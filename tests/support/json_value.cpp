#include "support/json_value.h"

#include <cstdlib>

namespace testsupport {

class JsonParser {
 public:
  explicit JsonParser(const std::string& text) : text_(text) {}

  bool Document(JsonValue& value) {
    if (!Value(value)) return false;
    Blanks();
    return at_ == text_.size();
  }

 private:
  void Blanks() {
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\n' || text_[at_] == '\r' || text_[at_] == '\t')) {
      ++at_;
    }
  }
  bool Take(char ch) {
    Blanks();
    if (at_ < text_.size() && text_[at_] == ch) {
      ++at_;
      return true;
    }
    return false;
  }
  bool Literal(const char* word, JsonValue::Kind kind, JsonValue& value) {
    const std::string spelled = word;
    if (text_.compare(at_, spelled.size(), spelled) != 0) return false;
    at_ += spelled.size();
    value.kind_ = kind;
    value.text_ = spelled;
    return true;
  }
  static void AppendUtf8(std::string& out, unsigned code) {
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  bool StringBody(std::string& out) {
    if (!Take('"')) return false;
    while (at_ < text_.size() && text_[at_] != '"') {
      const char ch = text_[at_++];
      if (static_cast<unsigned char>(ch) < 0x20) return false;
      if (ch != '\\') {
        out += ch;
        continue;
      }
      if (at_ >= text_.size()) return false;
      const char escaped = text_[at_++];
      switch (escaped) {
        case '"': case '\\': case '/': out += escaped; break;
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'r': out += '\r'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'u': {
          if (at_ + 4 > text_.size()) return false;
          AppendUtf8(out, static_cast<unsigned>(std::strtoul(text_.substr(at_, 4).c_str(), nullptr, 16)));
          at_ += 4;
          break;
        }
        default: return false;
      }
    }
    return Take('"');
  }
  bool Value(JsonValue& value) {
    Blanks();
    if (at_ >= text_.size()) return false;
    const char ch = text_[at_];
    if (ch == '{') {
      ++at_;
      value.kind_ = JsonValue::Kind::kObject;
      if (Take('}')) return true;
      do {
        std::string key;
        JsonValue member;
        if (!StringBody(key) || !Take(':') || !Value(member)) return false;
        value.members_[key] = member;
      } while (Take(','));
      return Take('}');
    }
    if (ch == '[') {
      ++at_;
      value.kind_ = JsonValue::Kind::kArray;
      if (Take(']')) return true;
      do {
        JsonValue item;
        if (!Value(item)) return false;
        value.items_.push_back(item);
      } while (Take(','));
      return Take(']');
    }
    if (ch == '"') {
      value.kind_ = JsonValue::Kind::kString;
      return StringBody(value.text_);
    }
    if (ch == '-' || (ch >= '0' && ch <= '9')) {
      const size_t start = at_;
      while (at_ < text_.size() && std::string("+-.eE0123456789").find(text_[at_]) != std::string::npos) ++at_;
      value.kind_ = JsonValue::Kind::kNumber;
      value.text_ = text_.substr(start, at_ - start);
      return true;
    }
    return Literal("true", JsonValue::Kind::kBool, value) || Literal("false", JsonValue::Kind::kBool, value) ||
           Literal("null", JsonValue::Kind::kNull, value);
  }

  const std::string& text_;
  size_t at_ = 0;
};

namespace {
const JsonValue& NullValue() {
  static const JsonValue null;
  return null;
}
}  // namespace

std::optional<JsonValue> JsonValue::Parse(const std::string& text) {
  JsonValue value;
  JsonParser parser(text);
  if (!parser.Document(value)) return std::nullopt;
  return value;
}

const JsonValue& JsonValue::operator[](const std::string& key) const {
  const auto it = members_.find(key);
  return it == members_.end() ? NullValue() : it->second;
}

const JsonValue& JsonValue::operator[](size_t index) const {
  return index < items_.size() ? items_[index] : NullValue();
}

uint64_t JsonValue::Number() const {
  return kind_ == Kind::kNumber ? std::strtoull(text_.c_str(), nullptr, 10) : 0;
}

}  // namespace testsupport
