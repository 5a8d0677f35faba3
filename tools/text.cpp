// SPDX-License-Identifier: ISC
#include "text.h"

#include <cmath>

double to_dbfs(double amplitude)
{
  return amplitude > 0.0 ? 20.0 * std::log10(amplitude) : -HUGE_VAL;
}

std::string csv_field(const std::string& text)
{
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text)
    quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

std::string json_string(const std::string& text)
{
  std::string out = "\"";
  for (size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte == '"' || byte == '\\') {
      out += '\\';
      out += static_cast<char>(byte);
      ++i;
    } else if (byte < 0x20) {
      out += printf_text("\\u%04x", byte);
      ++i;
    } else if (byte < 0x80) {
      out += static_cast<char>(byte);
      ++i;
    } else {
      // The length a lead byte announces, then its continuation bytes;
      // overlong forms and surrogates are not checked: parsers accept them.
      const size_t length = byte >= 0xF0 && byte < 0xF5   ? 4
                            : byte >= 0xE0 && byte < 0xF0 ? 3
                            : byte >= 0xC2 && byte < 0xE0 ? 2
                                                          : 0;
      size_t good = length > 0 && i + length <= text.size() ? 1 : 0;
      while (good > 0 && good < length &&
             (static_cast<unsigned char>(text[i + good]) & 0xC0) == 0x80)
        ++good;
      if (length > 0 && good == length) {
        out += text.substr(i, length);
        i += length;
      } else {
        out += "\\ufffd";
        ++i;
      }
    }
  }
  return out + "\"";
}
