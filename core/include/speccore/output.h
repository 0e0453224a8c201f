// speccore/output.h: output files that replace their final names whole.
//
// An output replaces its final name whole or not at all: it is written to a
// new temporary file beside it, ".NAME.<process id>.tmp", which outputCommit
// renames over NAME once every byte is written. A path that exists and is not
// a regular file (a device such as /dev/null, a FIFO, a terminal) is written
// directly instead, and nothing is created beside it. A symbolic link is
// followed, as a shell redirection does: the file it leads to is replaced.
#ifndef SPECCORE_OUTPUT_H
#define SPECCORE_OUTPUT_H

#include <cstddef>
#include <cstdio>

#include "status.h"
#include "types.h"

namespace speccore {

// A file being written, that replaces its final name only once it is whole.
struct OutputFile {
  const char* path;  // the name the caller gave: messages name it
  char* target;      // what the temporary replaces; null when written directly
  char* temporary;   // the file written until it is renamed; null when written directly
  FILE* stream;      // open until outputClose
  bool failed;       // a write fell short
};

// Creates the file that will become `path`. Returns 0, or kStatusOutput after
// "File '%s' cannot create." (nothing left behind; also for an existing file
// without write permission). Ends with outputCommit or outputDiscard.
SPECCORE_API int outputOpen(OutputFile* out, const char* path);

// Appends `count` bytes. A short write is remembered, later writes are
// skipped, and outputClose reports it. Returns false once a write failed.
SPECCORE_API bool outputWrite(OutputFile* out, const void* bytes, size_t count);

// Flushes and closes the stream. Returns 0, or kStatusOutput after "File '%s'
// cannot write." when a write, the flush or the close failed (a full disk, a
// file-size limit); the final name is untouched either way.
SPECCORE_API int outputClose(OutputFile* out);

// outputClose if still open, then the temporary renamed over the final name.
// Returns 0, or kStatusOutput after "File '%s' cannot write." (the temporary
// removed, the final name as it was).
SPECCORE_API int outputCommit(OutputFile* out);

// Closes and removes the temporary: the final name keeps what it had. Does
// nothing for an output already committed or discarded.
SPECCORE_API void outputDiscard(OutputFile* out);

}  // namespace speccore

#endif
