// SPDX-License-Identifier: ISC
// The command's own standard output and error. Libraries print into the
// process's: libsndfile's SDS reader writes debugging lines on standard
// output, where they would break a JSON document, and mpg123 writes its
// warnings on standard error, beside the command's one line per problem.
// So the command writes through copies of the two descriptors, and the
// process's own point at /dev/null.
#ifndef TOLVANIC_TOOLS_OUTPUT_STREAMS_H
#define TOLVANIC_TOOLS_OUTPUT_STREAMS_H

#include <cstdio>

struct OutputStreams {
  std::FILE* out = stdout;
  std::FILE* err = stderr;
};

// Call once, before any other thread starts. Where a descriptor cannot be
// copied (it is closed), that stream stays as it was.
OutputStreams claim_output_streams();

#endif
