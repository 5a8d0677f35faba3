// SPDX-License-Identifier: ISC
// The output of many files in the order they were given, whatever order
// they are metered in: the first file not yet finished writes straight
// through; the files after it are held (in memory, then in a temporary
// file) until their turn.
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
  OrderedOutput(const char* program, size_t files);
  ~OrderedOutput();
  OrderedOutput(const OrderedOutput&) = delete;
  OrderedOutput& operator=(const OrderedOutput&) = delete;

  // Text for standard output. Throws WriteError at the first failed write.
  void out(size_t file, const std::string& text);
  // One line for standard error, after the program's name.
  void err(size_t file, const std::string& line);
  // The file's output is complete; files after it may follow.
  void finish(size_t file);
  // Text that belongs to no file, written at once.
  void direct(const std::string& text);

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
  std::mutex mutex_;
  std::vector<Held> held_;
  size_t head_ = 0;
};

#endif
