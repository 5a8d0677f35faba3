// SPDX-License-Identifier: ISC
// The small pieces of text the output is made of: decibels, and strings
// made safe for CSV and JSON.
#ifndef TOLVANIC_TOOLS_TEXT_H
#define TOLVANIC_TOOLS_TEXT_H

#include <cstdio>
#include <string>

// A linear amplitude in dBFS; 0 gives -infinity.
double to_dbfs(double amplitude);
inline double to_dbfs(float amplitude)
{
  return to_dbfs(static_cast<double>(amplitude));
}

// A field for a CSV line, quoted when it holds a comma, a quote or a line
// break.
std::string csv_field(const std::string& text);

// A JSON string, quotes included. Bytes that are not UTF-8 (file names may
// hold any) become U+FFFD, so that every JSON parser accepts the document.
std::string json_string(const std::string& text);

// printf into a string, for short texts (up to 255 bytes).
template<typename... Values>
std::string printf_text(const char* pattern, Values... values)
{
  char text[256];
  std::snprintf(text, sizeof text, pattern, values...);
  return text;
}

#endif
