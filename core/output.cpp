// One output file: where it goes, its temporary, its attributes, and the
// copy of new bytes into a file that must keep its inode.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/xattr.h>
#include <unistd.h>
#endif

#include "outputfs.h"
#include "report.h"
#include "speccore/output.h"
#include "speccore/status.h"

namespace speccore {

static bool isSeparator(char c) {
#if defined(_WIN32)
  return c == '/' || c == '\\';
#else
  return c == '/';
#endif
}

std::string folderOf(const std::string& path) {
  size_t n = path.size();
  while (n > 0 && !isSeparator(path[n - 1])) --n;
  return path.substr(0, n);
}

std::string baseOf(const std::string& path) { return path.substr(folderOf(path).size()); }

std::string openableFolder(const std::string& folder) { return folder.empty() ? "." : folder; }

std::string temporaryPrefix(const std::string& target) {
  return folderOf(target) + "." + baseOf(target).substr(0, 200) + ".";
}

void reportCannotCreate(const char* path) {
  report("File '%s' cannot create.", path != nullptr ? path : "(null)");
}

void reportCannotWrite(const char* path) {
  report("File '%s' cannot write.", path != nullptr ? path : "(null)");
}

void outputRelease(OutputFile* out) {
  if (out->stream != nullptr) std::fclose(out->stream);
#if !defined(_WIN32)
  if (out->temporary != nullptr && out->hold >= 0) close(out->hold);
#endif
  std::free(out->target);
  std::free(out->temporary);
  out->stream = nullptr;
  out->target = nullptr;
  out->temporary = nullptr;
  out->hold = -1;
}

}  // namespace speccore

namespace speccore {

namespace {

char* copyOf(const std::string& s) {
  char* c = static_cast<char*>(std::malloc(s.size() + 1));
  if (c != nullptr) std::memcpy(c, s.c_str(), s.size() + 1);
  return c;
}

// A name whose last part is empty, "." or ".." names a folder, never a file
// (and "" is what a script's unset variable gives).
bool namesAFile(const char* path) {
  const std::string p = path;
  if (p.empty() || isSeparator(p.back())) return false;
  const std::string base = baseOf(p);
  return base != "." && base != "..";
}

int cannotCreate(OutputFile* out) {
  reportCannotCreate(out->path);
  outputRelease(out);
  return kStatusOutput;
}

#if defined(_WIN32)

// A device (NUL, CON, a pipe) is written as it is: there is no regular file
// to replace.
bool isDevice(const char* path) {
  HANDLE h = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  const DWORD type = GetFileType(h);
  CloseHandle(h);
  return type != FILE_TYPE_DISK;
}

// Links are not followed here: the name itself is replaced. An existing file
// that may not be written is refused, as opening it would be.
int prepare(OutputFile* out, const char* path) {
  const DWORD attributes = GetFileAttributesA(path);
  if (isDevice(path)) {
    out->direct = true;
  } else if (attributes != INVALID_FILE_ATTRIBUTES &&
             (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) {
    return cannotCreate(out);
  }
  out->target = copyOf(path);
  return out->target != nullptr ? kStatusOk : cannotCreate(out);
}

FILE* openDirect(const char* target) { return std::fopen(target, "wb"); }

int processIdOf() { return _getpid(); }

// Creates `name` for writing, only if it does not exist yet.
int createExclusive(const std::string& name) {
  return _open(name.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
}

bool holdTemporary(OutputFile*, int fd, FILE** stream) {
  *stream = _fdopen(fd, "wb");
  if (*stream == nullptr) _close(fd);
  return *stream != nullptr;
}

bool giveAttributes(OutputFile*) { return true; }

bool flushToDisk(FILE* stream) { return _commit(_fileno(stream)) == 0; }

#else

// Whether this process may follow the link at `link`, owned by `owner`: not
// when it lies in a folder that is sticky and writable by everyone (such as
// /tmp) and belongs to neither the runner nor the folder's owner. Linux keeps
// this rule only where fs.protected_symlinks is set; here it always holds, so
// that nobody can plant a link in /tmp that a privileged run then follows to
// a file of their choosing.
bool mayFollow(const std::string& link, uid_t owner) {
  struct stat folder;
  if (stat(openableFolder(folderOf(link)).c_str(), &folder) != 0) return false;
  const bool shared = (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
  return !shared || owner == geteuid() || owner == folder.st_uid;
}

// Puts the parts of `path` on `rest` so that the first is taken first from
// its back: "a//b/./c" pushes "c", "b", "a".
void pushParts(const std::string& path, std::vector<std::string>* rest) {
  std::vector<std::string> parts;
  for (size_t at = 0; at <= path.size();) {
    size_t end = path.find('/', at);
    if (end == std::string::npos) end = path.size();
    const std::string part = path.substr(at, end - at);
    if (!part.empty() && part != ".") parts.push_back(part);
    at = end + 1;
  }
  rest->insert(rest->end(), parts.rbegin(), parts.rend());
}

// The file `path` leads to, every symbolic link on the way, in its folders as
// at its end, replaced by the link's text, which counts from the link's
// folder as the system counts it: "far.bmp" -> "real/near.bmp" ->
// "target.bmp" gives "real/target.bmp". The file itself need not exist. False
// for a link that may not be followed, one that cannot be read, or more than
// 40 of them (a loop).
bool resolvePath(const char* path, std::string* target) {
  std::string done = path[0] == '/' ? "/" : "";
  std::vector<std::string> rest;
  pushParts(path, &rest);
  for (int links = 0; !rest.empty();) {
    const std::string part = rest.back();
    rest.pop_back();
    const std::string at = done.empty() || done.back() == '/' ? done + part : done + "/" + part;
    struct stat st;
    if (lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
      done = at;
      continue;
    }
    if (++links > 40 || !mayFollow(at, st.st_uid)) return false;
    std::string text(size_t(st.st_size > 0 ? st.st_size : 4095) + 1, '\0');
    const ssize_t n = readlink(at.c_str(), &text[0], text.size());
    if (n <= 0 || size_t(n) >= text.size()) return false;
    text.resize(size_t(n));
    if (text[0] == '/') done = "/";
    pushParts(text, &rest);
  }
  *target = done.empty() ? "." : done;
  return true;
}

bool inGroup(gid_t gid) {
  if (gid == getegid()) return true;
  const int n = getgroups(0, nullptr);
  if (n <= 0) return false;
  std::vector<gid_t> groups(static_cast<size_t>(n));
  const int got = getgroups(n, groups.data());
  for (int i = 0; i < got; ++i)
    if (groups[size_t(i)] == gid) return true;
  return false;
}

// A file that a new one renamed over it would change in more than its bytes:
// its other names would keep the old bytes, or the new file could not be
// given the owner or group back (only root gives a file away; others give it
// only a group of their own).
bool mustKeepItsInode(const struct stat& st) {
  if (st.st_nlink > 1) return true;
  if (geteuid() == 0) return false;
  return st.st_uid != geteuid() || !inGroup(st.st_gid);
}

int prepare(OutputFile* out, const char* path) {
  std::string target;
  if (!resolvePath(path, &target)) return cannotCreate(out);
  struct stat st;
  if (lstat(target.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return cannotCreate(out);
    out->direct = !S_ISREG(st.st_mode);
    // Refused as a shell's redirection refuses it; a file written in place
    // must also be read, for the copy of its old bytes.
    if (!out->direct && access(target.c_str(), W_OK) != 0) return cannotCreate(out);
    out->inPlace = !out->direct && mustKeepItsInode(st);
    if (out->inPlace && access(target.c_str(), R_OK) != 0) return cannotCreate(out);
  } else if (errno != ENOENT) {
    return cannotCreate(out);
  }
  if (!out->direct && access(openableFolder(folderOf(target)).c_str(), W_OK | X_OK) != 0)
    return cannotCreate(out);
  out->target = copyOf(target);
  return out->target != nullptr ? kStatusOk : cannotCreate(out);
}

// The target was found to be a device, FIFO or terminal: it is opened as it
// is, never created, and never through a link put in its place since. A FIFO
// waits here for its reader.
FILE* openDirect(const char* target) {
  const int fd = open(target, O_WRONLY | O_TRUNC | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return nullptr;
  FILE* f = fdopen(fd, "wb");
  if (f == nullptr) close(fd);
  return f;
}

int processIdOf() { return int(getpid()); }

// Private from the start: nobody else reads the new bytes before they are
// whole and the file has the mode of the one it replaces.
int createExclusive(const std::string& name) {
  return open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
}

// Keeps `fd` open and locked for as long as the output lives, and writes
// through a stream on a second descriptor. While the lock is held the file
// belongs to a live run; a later run that can take it knows that the run is
// gone, whatever has become of its process id.
bool holdTemporary(OutputFile* out, int fd, FILE** stream) {
  flock(fd, LOCK_EX | LOCK_NB);
  const int second = fcntl(fd, F_DUPFD_CLOEXEC, 0);
  *stream = second >= 0 ? fdopen(second, "wb") : nullptr;
  if (*stream == nullptr) {
    if (second >= 0) close(second);
    close(fd);
    return false;
  }
  out->hold = fd;
  return true;
}

// The mode of a new file: 0666 less the umask. The umask is read where the
// system shows it, since asking umask() for it means changing it for a
// moment.
mode_t newFileMode() {
  unsigned mask = 0;
  bool found = false;
  if (FILE* f = std::fopen("/proc/self/status", "r")) {
    char line[256];
    while (!found && std::fgets(line, sizeof line, f) != nullptr)
      found = std::sscanf(line, "Umask: %o", &mask) == 1;
    std::fclose(f);
  }
  if (!found) {
#if defined(__EMSCRIPTEN__)
    // The page's in-memory file system keeps no umask (umask() answers
    // 0777, which would make every new file unreadable): the usual 022.
    mask = 022;
#else
    mask = umask(0);
    umask(mode_t(mask));
#endif
  }
  return mode_t(0666 & ~mask);
}

// Every extended attribute of `from`, its ACLs included (they are the
// attributes system.posix_acl_*), given to the file open at `to`; not the
// security labels, which the system gives each new file by its own rules.
bool copyExtendedAttributes(const char* from, int to) {
#if defined(__EMSCRIPTEN__)
  // The page's in-memory file system keeps no extended attributes.
  (void)from;
  (void)to;
  return true;
#else
  ssize_t size = llistxattr(from, nullptr, 0);
  if (size < 0) return errno == ENOTSUP || errno == ENOSYS;  // none on this file system
  std::vector<char> names(size_t(size) + 1, '\0');
  size = llistxattr(from, names.data(), names.size() - 1);
  if (size < 0) return false;
  for (size_t at = 0; at < size_t(size); at += std::strlen(&names[at]) + 1) {
    const char* name = &names[at];
    if (std::strncmp(name, "security.", 9) == 0) continue;
    const ssize_t length = lgetxattr(from, name, nullptr, 0);
    if (length < 0) return false;
    std::vector<char> value(size_t(length) + 1);
    const ssize_t got = lgetxattr(from, name, value.data(), value.size());
    if (got < 0 || fsetxattr(to, name, value.data(), size_t(got), 0) != 0) return false;
  }
  return true;
#endif
}

// Gives the temporary what the file it replaces has: its extended attributes,
// its permission bits (never setuid, setgid or sticky) and its owner and
// group. False when one of them cannot be given: the file is then written in
// place instead.
bool giveAttributes(OutputFile* out) {
  const int fd = out->hold;
  struct stat old, mine;
  if (lstat(out->target, &old) != 0) {
    fchmod(fd, newFileMode());  // the process's own file: this cannot be refused
    return true;
  }
  if (!S_ISREG(old.st_mode) || fstat(fd, &mine) != 0) return false;
  if (!copyExtendedAttributes(out->target, fd) || fchmod(fd, old.st_mode & 0777) != 0) return false;
  const uid_t uid = old.st_uid != mine.st_uid ? old.st_uid : uid_t(-1);
  const gid_t gid = old.st_gid != mine.st_gid ? old.st_gid : gid_t(-1);
  return (uid == uid_t(-1) && gid == gid_t(-1)) || fchown(fd, uid, gid) == 0;
}

bool flushToDisk(FILE* stream) { return fsync(fileno(stream)) == 0; }

#endif

// Creates ".NAME.<pid>.tmp" beside the target (".NAME.<pid>-<n>.tmp" when that
// is taken).
int createTemporary(OutputFile* out) {
  const std::string prefix = temporaryPrefix(out->target);
  const std::string pid = std::to_string(processIdOf());
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name =
        prefix + pid + (attempt > 0 ? "-" + std::to_string(attempt) : std::string()) + ".tmp";
    const int fd = createExclusive(name);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return cannotCreate(out);
    }
    FILE* stream = nullptr;
    out->temporary = holdTemporary(out, fd, &stream) ? copyOf(name) : nullptr;
    if (out->temporary == nullptr) {
      if (stream != nullptr) std::fclose(stream);
      std::remove(name.c_str());
      return cannotCreate(out);
    }
    out->stream = stream;
    return kStatusOk;
  }
  return cannotCreate(out);
}

}  // namespace

int processId() { return processIdOf(); }

int outputPrepare(OutputFile* out, const char* path) {
  if (out == nullptr) {
    reportCannotCreate(path);
    return kStatusOutput;
  }
  *out = OutputFile();
  out->path = path;
  out->hold = -1;
  out->folderLock = -1;
  if (path == nullptr || !namesAFile(path)) return cannotCreate(out);
  return prepare(out, path);
}

int outputCreate(OutputFile* out) {
  if (out == nullptr || out->target == nullptr || out->stream != nullptr ||
      out->temporary != nullptr) {
    reportCannotCreate(out != nullptr ? out->path : nullptr);
    return kStatusOutput;
  }
  if (!out->direct) return createTemporary(out);
  out->stream = openDirect(out->target);
  return out->stream != nullptr ? kStatusOk : cannotCreate(out);
}

int outputOpen(OutputFile* out, const char* path) {
  const int status = outputPrepare(out, path);
  return status == kStatusOk ? outputCreate(out) : status;
}

bool outputWrite(OutputFile* out, const void* bytes, size_t count) {
  if (out == nullptr) return false;
  if (out->stream == nullptr || (bytes == nullptr && count > 0)) out->failed = true;
  if (!out->failed && count > 0 && std::fwrite(bytes, count, 1, out->stream) != 1)
    out->failed = true;
  return !out->failed;
}

int outputClose(OutputFile* out) {
  if (out == nullptr) return kStatusOutput;
  if (out->stream == nullptr) return out->failed ? kStatusOutput : kStatusOk;
  // A full disk may show only when the last buffer is flushed, and on some
  // file systems only when the file is closed.
  if (std::fflush(out->stream) != 0 || std::ferror(out->stream)) out->failed = true;
  if (!out->failed && out->temporary != nullptr) {
    if (!out->inPlace && !giveAttributes(out)) out->inPlace = true;
    // On the disk before its rename: a crash after the rename cannot leave
    // the name with a file whose bytes never arrived, and the rename itself
    // has nothing left to flush.
    if (!flushToDisk(out->stream)) out->failed = true;
  }
  if (std::fclose(out->stream) != 0) out->failed = true;
  out->stream = nullptr;
  if (!out->failed) return kStatusOk;
  reportCannotWrite(out->path);
  return kStatusOutput;
}

void outputDiscard(OutputFile* out) {
  if (out == nullptr) return;
  if (out->stream != nullptr) std::fclose(out->stream);
  out->stream = nullptr;
  if (out->temporary != nullptr) std::remove(out->temporary);
  outputRelease(out);
}

int outputCommit(OutputFile* out) {
  outputsLock(out, 1);
  return outputsCommit(out, 1);
}

#if !defined(_WIN32)

bool copyInto(int from, int to, uint64_t size) {
#if defined(__linux__)
  // The room first, without changing what the file holds: a full disk then
  // fails here, before a byte of the old content is overwritten.
  if (size > 0 && fallocate(to, FALLOC_FL_KEEP_SIZE, 0, off_t(size)) != 0 && errno != EOPNOTSUPP &&
      errno != ENOSYS)
    return false;
#endif
  std::vector<char> buffer(size_t(1) << 20);
  for (uint64_t at = 0; at < size;) {
    const size_t want = size - at < buffer.size() ? size_t(size - at) : buffer.size();
    const ssize_t got = pread(from, buffer.data(), want, off_t(at));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    for (ssize_t done = 0; done < got;) {
      const ssize_t put = pwrite(to, buffer.data() + done, size_t(got - done), off_t(at) + done);
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) return false;
      done += put;
    }
    at += uint64_t(got);
  }
  return ftruncate(to, off_t(size)) == 0 && fsync(to) == 0;
}

bool writeInPlace(const char* target, const char* from, int fromFd) {
  const int source = fromFd >= 0 ? fromFd : open(from, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  // Without waiting, should a FIFO have been put at the name since.
  const int fd = open(target, O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  struct stat in, st;
  const bool done = source >= 0 && fd >= 0 && fstat(source, &in) == 0 && fstat(fd, &st) == 0 &&
                    S_ISREG(st.st_mode) && copyInto(source, fd, uint64_t(in.st_size));
  if (fd >= 0) close(fd);
  if (source >= 0 && source != fromFd) close(source);
  return done;
}

#endif

}  // namespace speccore
