#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include "report.h"
#include "speccore/output.h"
#include "speccore/status.h"

namespace speccore {

namespace {

void reportCannotCreate(const OutputFile* out) { report("File '%s' cannot create.", out->path); }

void reportCannotWrite(const OutputFile* out) { report("File '%s' cannot write.", out->path); }

char* copyOf(const std::string& s) {
  char* c = static_cast<char*>(std::malloc(s.size() + 1));
  if (c != nullptr) std::memcpy(c, s.c_str(), s.size() + 1);
  return c;
}

bool isSeparator(char c) {
#if defined(_WIN32)
  return c == '/' || c == '\\';
#else
  return c == '/';
#endif
}

// "dir/sub/name" splits into "dir/sub/" and "name"; "name" into "" and "name".
size_t directoryLength(const std::string& path) {
  size_t n = path.size();
  while (n > 0 && !isSeparator(path[n - 1])) --n;
  return n;
}

#if defined(_WIN32)

int processId() { return _getpid(); }

// A device (NUL, CON, a pipe) or a directory is opened as it is: there is no
// regular file to replace, and a directory must fail as it always has.
bool writtenDirectly(const char* path) {
  HANDLE h = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    const DWORD type = GetFileType(h);
    CloseHandle(h);
    return type != FILE_TYPE_DISK;
  }
  const DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Links are not followed here: the name itself is replaced.
bool finalTarget(const char* path, std::string* target) {
  *target = path;
  return true;
}

// An existing file that may not be written is refused, as opening it would be.
bool replaceable(const std::string& target) {
  const DWORD attributes = GetFileAttributesA(target.c_str());
  return attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) == 0;
}

int createExclusive(const std::string& name, const std::string&) {
  return _open(name.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
}

FILE* streamOf(int fd) {
  FILE* f = _fdopen(fd, "wb");
  if (f == nullptr) _close(fd);
  return f;
}

bool replaceWith(const char* temporary, const char* target) {
  return MoveFileExA(temporary, target, MOVEFILE_REPLACE_EXISTING) != 0;
}

#else

int processId() { return int(getpid()); }

bool writtenDirectly(const char* path) {
  struct stat st;
  return stat(path, &st) == 0 && !S_ISREG(st.st_mode);
}

// The file a path leads to through any symbolic links, which need not exist
// yet: a link to a missing file names the file to create. Each link's text is
// taken relative to the folder of the link, as the system takes it.
bool finalTarget(const char* path, std::string* target) {
  std::string at = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
      *target = at;
      return true;
    }
    std::string link(size_t(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
    const ssize_t n = readlink(at.c_str(), &link[0], link.size());
    if (n <= 0 || size_t(n) >= link.size()) return false;
    link.resize(size_t(n));
    at = link[0] == '/' ? link : at.substr(0, directoryLength(at)) + link;
  }
  return false;  // a loop of links, as the system would say
}

bool replaceable(const std::string& target) {
  return access(target.c_str(), F_OK) != 0 || access(target.c_str(), W_OK) == 0;
}

// The new file takes the permissions of the one it replaces; a new name gets
// those of any new file (0666 less the umask).
int createExclusive(const std::string& name, const std::string& target) {
  const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
  struct stat st;
  if (fd >= 0 && stat(target.c_str(), &st) == 0) fchmod(fd, st.st_mode & 07777);
  return fd;
}

FILE* streamOf(int fd) {
  FILE* f = fdopen(fd, "wb");
  if (f == nullptr) close(fd);
  return f;
}

bool replaceWith(const char* temporary, const char* target) {
  return std::rename(temporary, target) == 0;
}

#endif

// Creates ".NAME.<pid>.tmp" beside the target (".NAME.<pid>-<n>.tmp" when that
// is taken). A long NAME is cut so that the whole stays within the 255 bytes
// that file systems allow a name.
FILE* createTemporary(const std::string& target, std::string* name) {
  const size_t dir = directoryLength(target);
  const std::string base = target.substr(dir, 200);
  for (int attempt = 0; attempt < 100; ++attempt) {
    *name = target.substr(0, dir) + "." + base + "." + std::to_string(processId());
    if (attempt > 0) *name += "-" + std::to_string(attempt);
    *name += ".tmp";
    const int fd = createExclusive(*name, target);
    if (fd >= 0) {
      FILE* f = streamOf(fd);
      if (f == nullptr) std::remove(name->c_str());
      return f;
    }
    if (errno != EEXIST) return nullptr;
  }
  return nullptr;
}

void releaseNames(OutputFile* out) {
  std::free(out->temporary);
  std::free(out->target);
  out->temporary = nullptr;
  out->target = nullptr;
}

}  // namespace

int outputOpen(OutputFile* out, const char* path) {
  *out = OutputFile();
  out->path = path;
  if (writtenDirectly(path)) {
    out->stream = std::fopen(path, "wb");
    if (out->stream == nullptr) {
      reportCannotCreate(out);
      return kStatusOutput;
    }
    return kStatusOk;
  }
  std::string target, temporary;
  if (!finalTarget(path, &target) || !replaceable(target)) {
    reportCannotCreate(out);
    return kStatusOutput;
  }
  // The names are kept before the file exists, so that whoever removes the
  // temporaries of a run (on a signal) never misses one that exists.
  out->target = copyOf(target);
  FILE* f = out->target != nullptr ? createTemporary(target, &temporary) : nullptr;
  out->temporary = f != nullptr ? copyOf(temporary) : nullptr;
  if (f == nullptr || out->temporary == nullptr) {
    if (f != nullptr) {
      std::fclose(f);
      std::remove(temporary.c_str());
    }
    releaseNames(out);
    reportCannotCreate(out);
    return kStatusOutput;
  }
  out->stream = f;
  return kStatusOk;
}

bool outputWrite(OutputFile* out, const void* bytes, size_t count) {
  if (out->stream == nullptr) out->failed = true;
  if (!out->failed && count > 0 && std::fwrite(bytes, count, 1, out->stream) != 1)
    out->failed = true;
  return !out->failed;
}

int outputClose(OutputFile* out) {
  if (out->stream == nullptr) return out->failed ? kStatusOutput : kStatusOk;
  // A full disk may show only when the last buffer is flushed, and on some
  // file systems only when the file is closed.
  if (std::fflush(out->stream) != 0 || std::ferror(out->stream)) out->failed = true;
  if (std::fclose(out->stream) != 0) out->failed = true;
  out->stream = nullptr;
  if (!out->failed) return kStatusOk;
  reportCannotWrite(out);
  return kStatusOutput;
}

int outputCommit(OutputFile* out) {
  // A failure that outputClose met earlier has been reported then.
  if (outputClose(out) != kStatusOk) {
    outputDiscard(out);
    return kStatusOutput;
  }
  if (out->temporary != nullptr && !replaceWith(out->temporary, out->target)) {
    reportCannotWrite(out);
    outputDiscard(out);
    return kStatusOutput;
  }
  releaseNames(out);
  return kStatusOk;
}

void outputDiscard(OutputFile* out) {
  if (out->stream != nullptr) std::fclose(out->stream);
  out->stream = nullptr;
  if (out->temporary != nullptr) std::remove(out->temporary);
  releaseNames(out);
}

}  // namespace speccore
