// SPDX-License-Identifier: ISC
// Strings made safe for JSON and CSV, byte for byte.
#include "text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

TEST(Text, JsonStringEscapesWhatJsonForbids)
{
  const std::pair<std::string, std::string> cases[] = {
    { "take.wav", "\"take.wav\"" },
    { "a\"b", "\"a\\\"b\"" },
    { "C:\\takes\\a.wav", "\"C:\\\\takes\\\\a.wav\"" },
    { "two\nlines", "\"two\\u000alines\"" },
    { "tab\there", "\"tab\\u0009here\"" },
    { std::string("nul\0byte", 8), "\"nul\\u0000byte\"" },
    { "\x1b[31m", "\"\\u001b[31m\"" },
    { "\x1f", "\"\\u001f\"" },                  // the last control character
    { "caf\xc3\xa9", "\"caf\xc3\xa9\"" },       // UTF-8 kept
    { "\xe2\x82\xac 5", "\"\xe2\x82\xac 5\"" }, // three bytes
    { "\xf0\x9f\x8e\xb5", "\"\xf0\x9f\x8e\xb5\"" },       // four bytes
    { "latin1 \xe9t\xe9", "\"latin1 \\ufffdt\\ufffd\"" }, // not UTF-8
    { "cut \xe2\x82", "\"cut \\ufffd\\ufffd\"" },         // sequence cut short
    { "\xc0\xaf", "\"\\ufffd\\ufffd\"" },                 // no such lead byte
    { "\xc3\xc3\xa9",
      "\"\\ufffd\xc3\xa9\"" }, // a lead byte where one continues
    { "", "\"\"" },
  };
  for (const auto& [text, json] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(json_string(text), json);
  }
}

TEST(Text, CsvFieldQuotesOnlyWhatMustBe)
{
  const std::pair<std::string, std::string> cases[] = {
    { "take.wav", "take.wav" },
    { "a,b.wav", "\"a,b.wav\"" },
    { "say \"hi\".wav", "\"say \"\"hi\"\".wav\"" },
    { "\"", "\"\"\"\"" },
    { "two\nlines", "\"two\nlines\"" },
    { "cr\rhere", "\"cr\rhere\"" },
    { "semi;colon 'quote'", "semi;colon 'quote'" },
    { "", "" },
  };
  for (const auto& [text, field] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(csv_field(text), field);
  }
}

TEST(Text, DecibelsOfFullScaleSilenceAndBetween)
{
  EXPECT_EQ(to_dbfs(1.0), 0.0);
  EXPECT_NEAR(to_dbfs(0.5), -6.0206, 1e-4);
  EXPECT_EQ(to_dbfs(0.0), -HUGE_VAL);
  EXPECT_EQ(to_dbfs(-0.5), -HUGE_VAL);
}

} // namespace
