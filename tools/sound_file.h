// SPDX-License-Identifier: ISC
// A sound file that libsndfile has opened, as a source of audio.
#ifndef TOLVANIC_TOOLS_SOUND_FILE_H
#define TOLVANIC_TOOLS_SOUND_FILE_H

#include "audio_source.h"
#include "byte_inputs.h"

#include <sndfile.h>

#include <memory>
#include <string>

// Takes `file` over, and `input`, which libsndfile reads it from (null
// when libsndfile reads a descriptor of its own). Throws
// std::runtime_error, having closed `file`, when it has no channels or no
// sample rate.
std::unique_ptr<AudioSource> make_sound_file(SNDFILE* file,
                                             const SF_INFO& info,
                                             const std::string& name,
                                             std::unique_ptr<ByteInput> input);

#endif
