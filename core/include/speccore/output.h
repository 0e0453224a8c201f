// speccore/output.h: output files that replace their names whole, and sets
// of them committed as one.
//
// An output replaces its final name whole or not at all: it is written to a
// new temporary file beside it, ".NAME.<process id>.tmp" (private, mode
// 0600, while it is written), which the commit renames over NAME once every
// byte is written and flushed to the disk. The renamed file gets what the
// file it replaces had: its permission bits (never setuid, setgid or
// sticky), owner and group (as far as the runner may set them), extended
// attributes and ACLs; a new name gets the mode of any new file (0666 less
// the umask). Where the file cannot be replaced without losing one of these
// or its other names (hard links: more than one name; another owner or a
// group the runner cannot give; attributes that cannot be copied), the
// commit instead copies the new bytes into it, after reserving the room and
// keeping a copy of the old bytes until it is done.
//
// A path that exists and is not a regular file (a device such as /dev/null,
// a FIFO, a terminal) is written directly; nothing is created beside it and
// it is never replaced by a regular file. Symbolic links are followed as a
// shell redirection does, except a link in a folder that is sticky and
// writable by everyone (/tmp) whose owner is neither the folder's owner nor
// the runner: that one is refused, whatever the system's own rule.
//
// A set of outputs commits as one (outputsCommit): under a lock on each of
// their folders, so that concurrent runs never leave a set mixed from two, and
// with a record of the commit in each folder until it is complete, from which
// the next lock of the folder (outputsLock) puts back the previous files when
// a commit was cut short (SIGKILL, a power loss). The same lock removes the
// temporaries that dead runs left for the names being written.
#ifndef SPECCORE_OUTPUT_H
#define SPECCORE_OUTPUT_H

#include <cstddef>
#include <cstdio>

#include "status.h"
#include "types.h"

namespace speccore {

// A file being written, that replaces its final name only once it is whole.
// Every field is set by outputPrepare; the caller reads them, never sets them.
struct OutputFile {
  const char* path;  // the name the caller gave: messages name it
  char* target;      // the file it becomes, every symbolic link followed
  char* temporary;   // the file written until the commit; null when written directly
  FILE* stream;      // open from outputCreate until outputClose
  bool failed;       // a write fell short
  bool direct;       // a device, FIFO or terminal: written as it is, no temporary
  bool inPlace;      // the commit copies the new bytes into the target (see above)
  int hold;          // the temporary's descriptor, whose lock says its run is alive; or -1
  int folderLock;    // the descriptor locking the target's folder (outputsLock); or -1
};

// Checks that `path` may be written and decides how, creating nothing.
// Returns 0, or kStatusOutput after "File '%s' cannot create." for a null or
// empty path, a name that ends in '/', "." or "..", a folder, a link refused
// as above or a loop of links, an existing file without write permission (or
// without read permission, when it must be written in place) and a folder
// that cannot be written. Ends with outputDiscard (or a commit).
SPECCORE_API int outputPrepare(OutputFile* out, const char* path);

// Creates the temporary of a prepared output, or opens a direct one (a FIFO
// waits here for its reader). Returns 0, or kStatusOutput after "File '%s'
// cannot create." (nothing left behind).
SPECCORE_API int outputCreate(OutputFile* out);

// outputPrepare, then outputCreate. Ends with outputCommit or outputDiscard.
SPECCORE_API int outputOpen(OutputFile* out, const char* path);

// Appends `count` bytes. A short write is remembered, later writes are
// skipped, and outputClose reports it. Returns false once a write failed.
SPECCORE_API bool outputWrite(OutputFile* out, const void* bytes, size_t count);

// Flushes the stream, gives the temporary its final attributes, flushes it to
// the disk and closes the stream. Returns 0, or kStatusOutput after "File '%s'
// cannot write." when a write, the flush or the close failed (a full disk, a
// file-size limit); the final name is untouched either way.
SPECCORE_API int outputClose(OutputFile* out);

// Commits one output as outputsLock, outputsCommit and outputsUnlock do.
SPECCORE_API int outputCommit(OutputFile* out);

// Closes and removes the temporary: the final name keeps what it had. Does
// nothing for an output already committed or discarded, or never prepared
// (a zero-filled OutputFile).
SPECCORE_API void outputDiscard(OutputFile* out);

// Locks the folder of each prepared output that is not written directly, in
// an order every run shares, waiting while another run holds one; puts back
// what a commit cut short there left, and removes the temporaries that dead
// runs left for these outputs' names. A folder that cannot be locked (no read
// permission, a file system without locks) is used unlocked. One set at a
// time per process; ends with outputsUnlock.
SPECCORE_API void outputsLock(OutputFile* outputs, int count);

// Releases the locks that outputsLock took, for a set that is not committed.
SPECCORE_API void outputsUnlock(OutputFile* outputs, int count);

// Commits every output or none: closes those still open, then replaces each
// target in order, direct outputs having been written already. Returns 0, or
// kStatusOutput after "File '%s' cannot write." naming the output that
// failed, with every target as it was before (the ones already replaced put
// back) and every temporary removed. Waits for nothing: call outputsLock
// first; it releases the locks.
SPECCORE_API int outputsCommit(OutputFile* outputs, int count);

}  // namespace speccore

#endif
