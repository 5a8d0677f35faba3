// SPDX-License-Identifier: ISC
#include "ordered_output.h"

#include <cerrno>
#include <cstring>
#include <utility>

namespace {

// A later file's output is held in memory up to this size, then spilled.
constexpr size_t HOLD_IN_MEMORY = size_t{ 4 } << 20;

} // namespace

OrderedOutput::OrderedOutput(const char* program,
                             size_t files,
                             std::FILE* out,
                             std::FILE* err)
  : program_(program)
  , out_(out)
  , err_(err)
  , held_(files)
{}

OrderedOutput::~OrderedOutput()
{
  for (Held& held : held_) {
    if (held.spill) std::fclose(held.spill);
  }
}

void OrderedOutput::write(const char* data, size_t size)
{
  if (!write_error_.empty()) throw WriteError(write_error_);
  // Flushed at once, so that a full disk or a closed pipe shows at the
  // first failed write, not after a long file.
  if (std::fwrite(data, 1, size, out_) != size || std::fflush(out_) != 0) {
    write_error_ = std::string("standard output: ") + std::strerror(errno);
    throw WriteError(write_error_);
  }
}

void OrderedOutput::hold(Held& held, const std::string& text)
{
  if (!held.spill && held.text.size() + text.size() > HOLD_IN_MEMORY) {
    held.spill = std::tmpfile();
    if (!held.spill) {
      throw std::runtime_error(std::string("temporary file: ") +
                               std::strerror(errno));
    }
  }
  if (!held.spill) {
    held.text += text;
    return;
  }
  for (const std::string* part : { &std::as_const(held.text), &text }) {
    if (std::fwrite(part->data(), 1, part->size(), held.spill) !=
        part->size()) {
      throw std::runtime_error(std::string("temporary file: ") +
                               std::strerror(errno));
    }
  }
  held.text.clear();
}

void OrderedOutput::release(Held& held)
{
  // The lines first: they are short, and no failed write may keep them.
  for (const std::string& line : held.lines)
    std::fprintf(err_, "%s: %s\n", program_, line.c_str());
  held.lines.clear();
  if (held.spill) {
    std::rewind(held.spill);
    char buffer[65536];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, held.spill)) > 0)
      write(buffer, got);
    std::fclose(held.spill);
    held.spill = nullptr;
  }
  write(held.text.data(), held.text.size());
  held.text.clear();
}

void OrderedOutput::out(size_t file, const std::string& text)
{
  const std::lock_guard<std::mutex> lock(mutex_);
  if (!write_error_.empty()) throw WriteError(write_error_);
  if (file == head_) {
    write(text.data(), text.size());
  } else {
    hold(held_[file], text);
  }
}

void OrderedOutput::err(size_t file, const std::string& line)
{
  const std::lock_guard<std::mutex> lock(mutex_);
  if (file == head_) {
    std::fprintf(err_, "%s: %s\n", program_, line.c_str());
  } else {
    held_[file].lines.push_back(line);
  }
}

void OrderedOutput::finish(size_t file)
{
  const std::lock_guard<std::mutex> lock(mutex_);
  held_[file].finished = true;
  while (head_ < held_.size() && held_[head_].finished) {
    ++head_;
    if (head_ < held_.size()) release(held_[head_]);
  }
}

void OrderedOutput::direct(const std::string& text)
{
  const std::lock_guard<std::mutex> lock(mutex_);
  write(text.data(), text.size());
}

void OrderedOutput::check()
{
  const std::lock_guard<std::mutex> lock(mutex_);
  if (!write_error_.empty()) throw WriteError(write_error_);
}

std::string OrderedOutput::write_error()
{
  const std::lock_guard<std::mutex> lock(mutex_);
  return write_error_;
}
