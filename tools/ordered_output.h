// SPDX-License-Identifier: ISC
// The output of many files in the order they were given, whatever order
// they are metered in: the first file not yet finished writes straight
// through; the files after it are held (in memory, then in a temporary
// file) until their turn, their lines for standard error with them.
// Every member may be called from any thread.
#ifndef TOLVANIC_TOOLS_ORDERED_OUTPUT_H
#define TOLVANIC_TOOLS_ORDERED_OUTPUT_H

#include <cstdio>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

// Standard output could not be written: nothing more can be reported.
class WriteError : public std::runtime_error {
  using std::runtime_error::runtime_error;
};

class OrderedOutput {
public:
  // `out` and `err` are standard output and error, or files in tests.
  OrderedOutput(const char* program,
                size_t files,
                std::FILE* out = stdout,
                std::FILE* err = stderr);
  ~OrderedOutput();
  OrderedOutput(const OrderedOutput&) = delete;
  OrderedOutput& operator=(const OrderedOutput&) = delete;

  // Text for the output. Throws WriteError at the first failed write, and
  // on every call after it. Throws std::runtime_error when held text
  // cannot be kept.
  void out(size_t file, const std::string& text);
  // One line for standard error, after the program's name.
  void err(size_t file, const std::string& line);
  // The file's output is complete; files after it may follow. Throws
  // WriteError when their held text cannot be written.
  void finish(size_t file);
  // Text that belongs to no file, written at once; throws as out() does.
  void direct(const std::string& text);
  // Throws WriteError once a write has failed: a cheap way to stop early.
  void check();
  // The first failed write's message; empty while none failed.
  std::string write_error();

private:
  struct Held {
    std::string text;
    std::FILE* spill = nullptr;
    std::vector<std::string> lines;
    bool finished = false;
  };
  void write(const char* data, size_t size);
  void hold(Held& held, const std::string& text);
  void release(Held& held);

  const char* program_;
  std::FILE* out_;
  std::FILE* err_;
  std::mutex mutex_;
  std::vector<Held> held_;
  size_t head_ = 0;
  std::string write_error_;
};

#endif
