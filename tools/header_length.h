// SPDX-License-Identifier: ISC
// The length a sound file's header declares, in frames. libsndfile
// quietly shortens a file whose audio runs past its end to what is there,
// and keeps the header's own figure only in the log it writes while it
// reads the header: that is where it is read from.
#ifndef TOLVANIC_TOOLS_HEADER_LENGTH_H
#define TOLVANIC_TOOLS_HEADER_LENGTH_H

#include <cstdint>
#include <string>

// What libsndfile says of an open file besides its log.
struct HeaderFacts {
  int format = 0; // SF_INFO::format
  int channels = 1;
  int64_t frames = 0; // SF_INFO::frames: libsndfile's own count
  bool seekable = false;
};

// Bytes per sample of an encoding (SF_INFO::format) that has a whole
// number of them; 0 for the compressed ones (ADPCM, GSM, G.72x, DWVW,
// FLAC, Vorbis, ...), whose byte counts say nothing exact about frames.
unsigned bytes_per_sample(int format);

// The frames the header declares, or -1 when it declares none we can
// trust (a stream's "unknown length", a count of compressed packets, a
// format whose length libsndfile estimates).
int64_t declared_frames(const std::string& log, const HeaderFacts& facts);

#endif
