// SPDX-License-Identifier: ISC
// Whether a text is one JSON document (RFC 8259) and nothing else: what
// any parser of tolvanic-meter's --json output must be able to rely on.
#ifndef TOLVANIC_TESTS_JSON_CHECK_H
#define TOLVANIC_TESTS_JSON_CHECK_H

#include <cctype>
#include <cstring>
#include <string>

class JsonCheck {
public:
  static bool valid(const std::string& text)
  {
    JsonCheck check(text);
    check.space();
    return check.value(0) && (check.space(), check.at_ == text.size());
  }

private:
  explicit JsonCheck(const std::string& text)
    : text_(text)
  {}

  char peek() const { return at_ < text_.size() ? text_[at_] : '\0'; }
  bool take(char c) { return peek() == c ? (++at_, true) : false; }
  void space()
  {
    while (peek() == ' ' || peek() == '\t' || peek() == '\r' || peek() == '\n')
      ++at_;
  }
  bool word(const char* w)
  {
    const size_t n = std::strlen(w);
    if (text_.compare(at_, n, w) != 0) return false;
    at_ += n;
    return true;
  }
  bool digits()
  {
    const size_t start = at_;
    while (peek() >= '0' && peek() <= '9')
      ++at_;
    return at_ > start;
  }
  bool number()
  {
    take('-');
    if (!take('0') && !digits()) return false;
    if (take('.') && !digits()) return false;
    if (take('e') || take('E')) {
      if (!take('+')) take('-');
      if (!digits()) return false;
    }
    return true;
  }
  bool string()
  {
    if (!take('"')) return false;
    while (at_ < text_.size()) {
      const auto c = static_cast<unsigned char>(text_[at_++]);
      if (c == '"') return true;
      if (c < 0x20) return false;
      if (c == '\\') {
        const char e = peek();
        ++at_;
        if (e == 'u') {
          for (int k = 0; k < 4; ++k, ++at_) {
            if (!std::isxdigit(static_cast<unsigned char>(peek())))
              return false;
          }
        } else if (!std::strchr("\"\\/bfnrt", e) || e == '\0') {
          return false;
        }
      }
    }
    return false;
  }
  // Items of an array or members of an object, up to `close`.
  bool items(char close, bool members, int depth)
  {
    space();
    if (take(close)) return true;
    do {
      space();
      if (members && !(string() && (space(), take(':')))) return false;
      space();
      if (!value(depth + 1)) return false;
      space();
    } while (take(','));
    return take(close);
  }
  bool value(int depth)
  {
    if (depth > 64) return false;
    switch (peek()) {
      case '{': return ++at_, items('}', true, depth);
      case '[': return ++at_, items(']', false, depth);
      case '"': return string();
      case 't': return word("true");
      case 'f': return word("false");
      case 'n': return word("null");
      default: return number();
    }
  }

  const std::string& text_;
  size_t at_ = 0;
};

#endif
