// SPDX-License-Identifier: ISC
// Opening what the command line names: a file, or standard input, which
// may be a pipe. Every way ends in libsndfile reading through one of the
// byte inputs, so that a damaged file is met by the same code whichever
// way it comes.
#ifndef TOLVANIC_TOOLS_SOURCES_H
#define TOLVANIC_TOOLS_SOURCES_H

#include "audio_source.h"
#include "byte_inputs.h"

#include <memory>
#include <string>

// `path` "-" is standard input. Throws std::runtime_error with a one-line
// message when the file cannot be opened or decoded, or has no channels or
// no sample rate.
std::unique_ptr<AudioSource> open_sound_file(const std::string& path);

// The steps open_sound_file takes, for inputs that are not named files.
// An input that can be read anywhere, such as a regular file.
std::unique_ptr<AudioSource> open_seekable(std::unique_ptr<ByteInput> input,
                                           const std::string& name);
// A pipe, terminal or device, read front to back; closed at the end when
// `owned`. One that ends within its first `in_memory` bytes is read from
// memory, as a file is.
std::unique_ptr<AudioSource> open_stream(int fd,
                                         bool owned,
                                         const std::string& name,
                                         size_t in_memory = size_t{ 1 } << 20);

#endif
