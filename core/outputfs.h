// What output.cpp and outputset.cpp share: names beside a target, the
// messages, and the copying of bytes from one file into another.
#ifndef SPECCORE_OUTPUTFS_H
#define SPECCORE_OUTPUTFS_H

#include <cstdint>
#include <string>

#include "speccore/output.h"

namespace speccore {

// "dir/sub/name" gives "dir/sub/" and "name"; "name" gives "" and "name".
std::string folderOf(const std::string& path);
std::string baseOf(const std::string& path);

// The folder as a path that can be opened: "" is ".".
std::string openableFolder(const std::string& folder);

// ".NAME." beside `target`: every temporary of NAME starts so, followed by
// the process id, "-n" when that name was taken, and ".tmp". NAME is cut to
// 200 bytes so that the whole stays within the 255 a file name may have.
std::string temporaryPrefix(const std::string& target);

int processId();

void reportCannotCreate(const char* path);
void reportCannotWrite(const char* path);

// Closes what an output holds and frees its names: the end of every output.
void outputRelease(OutputFile* out);

#if !defined(_WIN32)
// Writes the `size` bytes of the file open at `from` over the start of the
// file open at `to` and cuts `to` to that size, then flushes it to the disk.
// The room is reserved first where the file system can, so that a full disk
// shows before anything is overwritten.
bool copyInto(int from, int to, uint64_t size);

// The bytes of the file at `from` (or open at `fromFd` when it is not -1)
// copied into the existing file at `target`, which keeps its inode, owner,
// mode and other names. Refuses a target that is no longer a regular file.
bool writeInPlace(const char* target, const char* from, int fromFd);
#endif

}  // namespace speccore

#endif
