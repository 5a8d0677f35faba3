// SPDX-License-Identifier: ISC
// Files finishing in any order still print in the order given, on both
// streams; a failed write stops everything after it.
#include "ordered_output.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string contents(std::FILE* file)
{
  std::fflush(file);
  std::rewind(file);
  std::string text;
  for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file))
    text += static_cast<char>(c);
  return text;
}

struct Step {
  enum { out, err, finish } kind;
  size_t file;
  const char* text;
};

TEST(OrderedOutput, EachFileInTurnWhateverOrderTheyFinishIn)
{
  struct Case {
    const char* name;
    std::vector<Step> steps;
  };
  // Three files; each writes "<n>a" and "<n>b", warns "w<n>" between them
  // and finishes, in the order of the steps.
  const auto file = [](size_t n) {
    static const char* const a[] = { "0a", "1a", "2a" };
    static const char* const w[] = { "w0", "w1", "w2" };
    static const char* const b[] = { "0b", "1b", "2b" };
    return std::vector<Step>{ { Step::out, n, a[n] },
                              { Step::err, n, w[n] },
                              { Step::out, n, b[n] },
                              { Step::finish, n, nullptr } };
  };
  const auto join = [](std::vector<std::vector<Step>> parts) {
    std::vector<Step> steps;
    for (const auto& part : parts)
      steps.insert(steps.end(), part.begin(), part.end());
    return steps;
  };
  const Case cases[] = {
    { "in order", join({ file(0), file(1), file(2) }) },
    { "backwards", join({ file(2), file(1), file(0) }) },
    { "the last first", join({ file(2), file(0), file(1) }) },
    { "interleaved",
      { { Step::out, 1, "1a" },
        { Step::out, 0, "0a" },
        { Step::err, 2, "w2" },
        { Step::err, 1, "w1" },
        { Step::out, 2, "2a" },
        { Step::out, 2, "2b" },
        { Step::finish, 2, nullptr },
        { Step::err, 0, "w0" },
        { Step::out, 1, "1b" },
        { Step::out, 0, "0b" },
        { Step::finish, 1, nullptr },
        { Step::finish, 0, nullptr } } },
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    ASSERT_TRUE(out && err);
    {
      OrderedOutput output("prog", 3, out, err);
      for (const Step& step : c.steps) {
        switch (step.kind) {
          case Step::out: output.out(step.file, step.text); break;
          case Step::err: output.err(step.file, step.text); break;
          case Step::finish: output.finish(step.file); break;
        }
      }
      EXPECT_EQ(output.write_error(), "");
    }
    EXPECT_EQ(contents(out), "0a0b1a1b2a2b");
    EXPECT_EQ(contents(err), "prog: w0\nprog: w1\nprog: w2\n");
    std::fclose(out);
    std::fclose(err);
  }
}

TEST(OrderedOutput, HeldTextBeyondMemorySpillsAndComesBackWhole)
{
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  const std::string line(1000, 'x');
  {
    OrderedOutput output("prog", 2, out, stderr);
    for (int i = 0; i < 6000; ++i) // 6 MB, more than is held in memory
      output.out(1, line + "\n");
    output.out(0, "first\n");
    output.finish(0);
    output.finish(1);
  }
  const std::string text = contents(out);
  EXPECT_EQ(text.size(), 6 + 6000 * 1001U);
  EXPECT_EQ(text.rfind("first\n", 0), 0U);
  std::fclose(out);
}

TEST(OrderedOutput, AFailedWriteStopsEveryFile)
{
  std::FILE* full = std::fopen("/dev/full", "w");
  ASSERT_NE(full, nullptr);
  OrderedOutput output("prog", 2, full, stderr);
  output.out(1, "held until its turn");
  EXPECT_THROW(output.out(0, "written"), WriteError);
  EXPECT_NE(output.write_error().find("No space left on device"),
            std::string::npos);
  EXPECT_THROW(output.check(), WriteError);
  EXPECT_THROW(output.out(1, "more"), WriteError);
  EXPECT_THROW(output.direct("end"), WriteError);
  EXPECT_THROW(output.finish(0), WriteError); // file 1's held text
  std::fclose(full);
}

} // namespace
