// A set of outputs committed as one: folder locks, the record of a commit,
// the copies of what it replaces, and the undoing of a commit that failed or
// that a dead run left half done.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>
#endif

#include "outputfs.h"
#include "report.h"
#include "speccore/output.h"
#include "speccore/status.h"

namespace speccore {

#if defined(_WIN32)

// No locks and no record: the outputs are renamed one after the other.
void outputsLock(OutputFile* outputs, int count) {
  for (int i = 0; outputs != nullptr && i < count; ++i) outputs[i].folderLock = -1;
}

void outputsUnlock(OutputFile*, int) {}

int outputsCommit(OutputFile* outputs, int count) {
  if (outputs == nullptr || count < 0) return kStatusOutput;
  int status = kStatusOk;
  for (int i = 0; i < count; ++i) {
    OutputFile* out = &outputs[i];
    if (status == kStatusOk && outputClose(out) != kStatusOk) status = kStatusOutput;
    if (status == kStatusOk && out->temporary != nullptr &&
        MoveFileExA(out->temporary, out->target, MOVEFILE_REPLACE_EXISTING) == 0) {
      reportCannotWrite(out->path);
      status = kStatusOutput;
    }
    if (status == kStatusOk) {
      outputRelease(out);
    } else {
      outputDiscard(out);
    }
  }
  return status;
}

#else

namespace {

// One output's part in a commit. The paths are whole; a record keeps only
// the names within the folder, which all of them share.
struct Step {
  OutputFile* out = nullptr;
  std::string target, temporary, backup;  // backup "" when there is none
  char kind = 'R';        // 'R' renamed over the target, 'I' copied into it in place
  char backupKind = '-';  // 'L' a second name of the old file, 'C' a copy of its bytes, '-' none
  unsigned long long temporaryInode = 0;
  bool hadFile = false;  // the target existed when the commit began
};

bool removeIfThere(const std::string& path) { return unlink(path.c_str()) == 0 || errno == ENOENT; }

bool exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

// Puts back what a step replaced, however far it got: the one rule for a
// commit that fails and for one that a dead run left. A step not renamed
// yet still has its temporary; one renamed has its new file at the target.
bool undo(const Step& s) {
  if (s.kind == 'I') {
    const bool back =
        s.backupKind == '-' || !exists(s.backup) ||
        (writeInPlace(s.target.c_str(), s.backup.c_str(), -1) && removeIfThere(s.backup));
    return removeIfThere(s.temporary) && back;
  }
  if (exists(s.temporary))
    return removeIfThere(s.temporary) && (s.backup.empty() || removeIfThere(s.backup));
  struct stat st;
  const bool replaced = lstat(s.target.c_str(), &st) == 0 && st.st_ino == s.temporaryInode;
  if (!replaced) return s.backup.empty() || removeIfThere(s.backup);
  switch (s.backupKind) {
    case 'L':
      return rename(s.backup.c_str(), s.target.c_str()) == 0;
    case 'C':
      return writeInPlace(s.target.c_str(), s.backup.c_str(), -1) && removeIfThere(s.backup);
    default:
      return removeIfThere(s.target);  // the name was new
  }
}

bool syncFolder(const std::string& folder) {
  const int fd = open(openableFolder(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const bool synced = fd >= 0 && fsync(fd) == 0;
  if (fd >= 0) close(fd);
  return synced;
}

// ---- Records ------------------------------------------------------------------
// ".speccore.<pid>.commit" in each folder of a commit, written once every
// copy of an old file is made and before the first rename, removed when the
// commit is complete (or undone). The text line, then six fields per step,
// each ended by a zero byte: kind, backup kind, target, temporary, backup and
// the temporary's inode; then "end". The writer holds a lock on the record
// while it lives, so a record whose lock can be taken is a dead run's.

const char kRecordMagic[] = "speccore commit 1\n";
const char kRecordPrefix[] = ".speccore.";
const char kRecordSuffix[] = ".commit";

bool isRecordName(const std::string& name) {
  const size_t prefix = sizeof kRecordPrefix - 1, suffix = sizeof kRecordSuffix - 1;
  if (name.size() <= prefix + suffix || name.compare(0, prefix, kRecordPrefix) != 0 ||
      name.compare(name.size() - suffix, suffix, kRecordSuffix) != 0)
    return false;
  return name.find_first_not_of("0123456789", prefix) == name.size() - suffix;
}

// Writes the record of `steps` (all in `folder`) and keeps it open and
// locked. Returns its descriptor, or -1.
int writeRecord(const std::string& path, const std::vector<Step*>& steps) {
  std::string text = kRecordMagic;
  for (const Step* s : steps) {
    const std::string fields[] = {std::string(1, s->kind), std::string(1, s->backupKind),
                                  baseOf(s->target),       baseOf(s->temporary),
                                  baseOf(s->backup),       std::to_string(s->temporaryInode)};
    for (const std::string& f : fields) text += f + '\0';
  }
  text += std::string("end") + '\0';
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return -1;
  flock(fd, LOCK_EX | LOCK_NB);
  bool written = true;
  for (size_t at = 0; written && at < text.size();) {
    const ssize_t n = write(fd, text.data() + at, text.size() - at);
    if (n < 0 && errno == EINTR) continue;
    written = n > 0;
    at += n > 0 ? size_t(n) : 0;
  }
  if (written && fsync(fd) == 0) return fd;
  close(fd);
  unlink(path.c_str());
  return -1;
}

// A name within a folder that a record may give: never a path elsewhere.
bool plainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

// Reads the steps of the record open at `fd` in `folder`. A record cut short was
// being written when its run died: nothing was renamed under it yet, and its
// steps so far are undone all the same (which removes what they made).
std::vector<Step> readRecord(int fd, const std::string& folder) {
  std::vector<Step> steps;
  std::string text;
  char buffer[4096];
  for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, size_t(n));
  if (text.compare(0, sizeof kRecordMagic - 1, kRecordMagic) != 0) return steps;
  std::vector<std::string> fields;
  for (size_t at = sizeof kRecordMagic - 1; at < text.size();) {
    const size_t end = text.find('\0', at);
    if (end == std::string::npos) break;
    fields.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  for (size_t i = 0; i + 6 <= fields.size(); i += 6) {
    Step s;
    const std::string* f = &fields[i];
    const bool valid = (f[0] == "R" || f[0] == "I") &&
                       (f[1] == "L" || f[1] == "C" || (f[1] == "-" && f[4].empty())) &&
                       plainName(f[2]) && plainName(f[3]) && (f[4].empty() || plainName(f[4]));
    if (!valid) break;
    s.kind = f[0][0];
    s.backupKind = f[1][0];
    s.target = folder + f[2];
    s.temporary = folder + f[3];
    s.backup = f[4].empty() ? std::string() : folder + f[4];
    s.temporaryInode = std::strtoull(f[5].c_str(), nullptr, 10);
    steps.push_back(s);
  }
  return steps;
}

// Puts back what every commit that a dead run left in `folder` replaced.
// Only the runner's own records are followed, so nobody can make a run undo
// what they choose; one that cannot be undone whole stays for the next run.
void recoverCommits(const std::string& folder) {
  DIR* dir = opendir(openableFolder(folder).c_str());
  if (dir == nullptr) return;
  std::vector<std::string> records;
  while (const dirent* e = readdir(dir))
    if (isRecordName(e->d_name)) records.push_back(folder + e->d_name);
  closedir(dir);
  for (const std::string& path : records) {
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat st;
    if (fd < 0) continue;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid() &&
        flock(fd, LOCK_EX | LOCK_NB) == 0) {
      const std::vector<Step> steps = readRecord(fd, folder);
      bool undone = true;
      for (auto s = steps.rbegin(); s != steps.rend(); ++s) undone = undo(*s) && undone;
      if (undone && syncFolder(folder)) unlink(path.c_str());
    }
    close(fd);
  }
}

bool processGone(long pid) { return pid > 0 && kill(pid_t(pid), 0) != 0 && errno == ESRCH; }

// The process id in a name that `prefix` starts: "<pid>.tmp", "<pid>-<n>.tmp",
// or ".old" for a copy of an old file. 0 for any other name.
long processOf(const std::string& name, const std::string& prefix, const char* suffix) {
  const size_t suffixLength = std::strlen(suffix);
  if (name.size() <= prefix.size() + suffixLength || name.compare(0, prefix.size(), prefix) != 0 ||
      name.compare(name.size() - suffixLength, suffixLength, suffix) != 0)
    return 0;
  const std::string middle = name.substr(prefix.size(), name.size() - prefix.size() - suffixLength);
  const size_t dash = middle.find('-');
  const std::string pid = middle.substr(0, dash);
  if (pid.empty() || pid.size() > 9 || pid.find_first_not_of("0123456789") != std::string::npos)
    return 0;
  if (dash != std::string::npos &&
      (dash + 1 == middle.size() ||
       middle.find_first_not_of("0123456789", dash + 1) != std::string::npos))
    return 0;
  return std::strtol(pid.c_str(), nullptr, 10);
}

// A temporary of the runner's that no live run holds: its lock can be taken
// and its process is gone.
bool deadTemporary(const std::string& path, long pid) {
  const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  const bool dead = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid() &&
                    flock(fd, LOCK_EX | LOCK_NB) == 0 && processGone(pid);
  close(fd);
  return dead;
}

// Removes what dead runs left in `folder` for the names `targets`: their
// temporaries, and copies of old files that no record names any more. Only
// these names are looked at: a file of another program is never taken for
// one of ours.
void removeDeadFiles(const std::string& folder, const std::vector<std::string>& targets) {
  DIR* dir = opendir(openableFolder(folder).c_str());
  if (dir == nullptr) return;
  std::vector<std::string> dead;
  while (const dirent* e = readdir(dir)) {
    const std::string name = e->d_name;
    for (const std::string& target : targets) {
      const std::string prefix = baseOf(temporaryPrefix(target));
      const long temporary = processOf(name, prefix, ".tmp"), old = processOf(name, prefix, ".old");
      if (temporary == processId() || old == processId()) break;  // this run's own
      if ((temporary != 0 && deadTemporary(folder + name, temporary)) ||
          (old != 0 && processGone(old))) {
        dead.push_back(folder + name);
        break;
      }
    }
  }
  closedir(dir);
  for (const std::string& path : dead) unlink(path.c_str());
}

// The folders of a set, each once (by device and inode, whatever its
// spelling), with the names written there.
struct Folder {
  std::string path;  // as the first target has it: "" or ending in '/'
  dev_t device = 0;
  ino_t inode = 0;
  int fd = -1;
  OutputFile* keeper = nullptr;  // the output that keeps the folder's lock
  std::vector<std::string> targets;
  std::vector<Step*> steps;
};

bool sameFolder(const Folder& f, const struct stat& st) {
  return f.device == st.st_dev && f.inode == st.st_ino;
}

// Makes the copy of the old file that a step's undoing needs: a second name
// where the file system allows it, else a copy of its bytes (a file written
// in place keeps its inode, so only a copy can hold its old bytes).
bool makeBackup(Step* s) {
  s->backup = s->temporary.substr(0, s->temporary.size() - 4) + ".old";
  if (s->kind == 'R' && link(s->target.c_str(), s->backup.c_str()) == 0) {
    s->backupKind = 'L';
    return true;
  }
  const int copy =
      open(s->backup.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (copy < 0) {
    s->backup.clear();
    return false;
  }
  s->backupKind = 'C';
  const int old = open(s->target.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  struct stat st;
  const bool copied = old >= 0 && fstat(old, &st) == 0 && S_ISREG(st.st_mode) &&
                      copyInto(old, copy, uint64_t(st.st_size));
  if (old >= 0) close(old);
  close(copy);
  if (!copied) {  // a part of the old bytes must never be taken for them
    unlink(s->backup.c_str());
    s->backup.clear();
    s->backupKind = '-';
  }
  return copied;
}

// Replaces every target of `steps`, or none. See outputsCommit.
int commitSteps(std::vector<Step>& steps) {
  // Only ever a regular file is replaced: a folder, device or FIFO put at the
  // name during the run stays as it is.
  for (Step& s : steps) {
    struct stat st;
    if (lstat(s.target.c_str(), &st) == 0) {
      if (!S_ISREG(st.st_mode)) {
        reportCannotWrite(s.out->path);
        return kStatusOutput;
      }
      s.hadFile = true;
    } else if (s.kind == 'I') {
      s.kind = 'R';  // gone since: it is made anew
    }
    if (fstat(s.out->hold, &st) != 0) {
      reportCannotWrite(s.out->path);
      return kStatusOutput;
    }
    s.temporaryInode = st.st_ino;
  }
  // One rename replaces one file whole by itself.
  if (steps.size() == 1 && steps[0].kind == 'R') {
    if (rename(steps[0].temporary.c_str(), steps[0].target.c_str()) == 0) return kStatusOk;
    reportCannotWrite(steps[0].out->path);
    return kStatusOutput;
  }
  std::vector<Folder> folders;
  for (Step& s : steps) {
    struct stat st;
    const std::string folder = folderOf(s.target);
    if (stat(openableFolder(folder).c_str(), &st) != 0) {
      reportCannotWrite(s.out->path);
      return kStatusOutput;
    }
    auto f = std::find_if(folders.begin(), folders.end(),
                          [&](const Folder& g) { return sameFolder(g, st); });
    if (f == folders.end()) {
      folders.push_back(Folder());
      f = folders.end() - 1;
      f->path = folder;
      f->device = st.st_dev;
      f->inode = st.st_ino;
    }
    f->steps.push_back(&s);
  }
  // Until the record is on the disk, a crash leaves every target as it was.
  const char* failed = nullptr;
  for (size_t i = 0; i < steps.size() && failed == nullptr; ++i)
    if (steps[i].hadFile && !makeBackup(&steps[i])) failed = steps[i].out->path;
  for (Folder& f : folders) {
    if (failed != nullptr) break;
    const std::string record = f.path + kRecordPrefix + std::to_string(processId()) + kRecordSuffix;
    f.fd = writeRecord(record, f.steps);
    if (f.fd < 0 || !syncFolder(f.path)) failed = f.steps[0]->out->path;
  }
  for (size_t i = 0; i < steps.size() && failed == nullptr; ++i) {
    Step& s = steps[i];
    const bool done = s.kind == 'R' ? rename(s.temporary.c_str(), s.target.c_str()) == 0
                                    : writeInPlace(s.target.c_str(), nullptr, s.out->hold) &&
                                          removeIfThere(s.temporary);
    if (!done) failed = s.out->path;
  }
  bool undone = true;
  if (failed != nullptr) {
    reportCannotWrite(failed);
    for (auto s = steps.rbegin(); s != steps.rend(); ++s) undone = undo(*s) && undone;
  }
  // The record goes only once what it describes is on the disk; the copies
  // of the old files only once the record is gone.
  for (Folder& f : folders) {
    if (f.fd < 0) continue;
    if (undone && syncFolder(f.path))
      unlink((f.path + kRecordPrefix + std::to_string(processId()) + kRecordSuffix).c_str());
    close(f.fd);
    syncFolder(f.path);
  }
  if (failed != nullptr) return kStatusOutput;
  for (const Step& s : steps)
    if (!s.backup.empty()) removeIfThere(s.backup);
  return kStatusOk;
}

}  // namespace

void outputsLock(OutputFile* outputs, int count) {
  std::vector<Folder> folders;
  for (int i = 0; outputs != nullptr && i < count; ++i) {
    OutputFile* out = &outputs[i];
    if (out->target == nullptr || out->direct) continue;
    out->folderLock = -1;
    const std::string folder = folderOf(out->target);
    const int fd = open(openableFolder(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0) {
      if (fd >= 0) close(fd);
      continue;
    }
    auto f = std::find_if(folders.begin(), folders.end(),
                          [&](const Folder& g) { return sameFolder(g, st); });
    if (f != folders.end()) {
      close(fd);
    } else {
      folders.push_back(Folder());
      f = folders.end() - 1;
      f->path = folder;
      f->device = st.st_dev;
      f->inode = st.st_ino;
      f->fd = fd;
      f->keeper = out;
    }
    f->targets.push_back(out->target);
  }
  // One order for every run, so that two runs that share folders never wait
  // for each other.
  std::sort(folders.begin(), folders.end(), [](const Folder& a, const Folder& b) {
    return a.device != b.device ? a.device < b.device : a.inode < b.inode;
  });
  for (Folder& f : folders) {
    int locked;
    while ((locked = flock(f.fd, LOCK_EX)) != 0 && errno == EINTR) {
    }
    if (locked != 0) {
      close(f.fd);
      continue;
    }
    f.keeper->folderLock = f.fd;
    recoverCommits(f.path);
    removeDeadFiles(f.path, f.targets);
  }
}

void outputsUnlock(OutputFile* outputs, int count) {
  for (int i = 0; outputs != nullptr && i < count; ++i) {
    if (outputs[i].target != nullptr && outputs[i].folderLock >= 0) close(outputs[i].folderLock);
    if (outputs[i].target != nullptr) outputs[i].folderLock = -1;
  }
}

int outputsCommit(OutputFile* outputs, int count) {
  if (outputs == nullptr || count < 0) return kStatusOutput;
  int status = kStatusOk;
  for (int i = 0; i < count && status == kStatusOk; ++i)
    if (outputClose(&outputs[i]) != kStatusOk) status = kStatusOutput;
  std::vector<Step> steps;
  for (int i = 0; i < count && status == kStatusOk; ++i) {
    OutputFile* out = &outputs[i];
    if (out->temporary == nullptr) continue;
    Step s;
    s.out = out;
    s.target = out->target;
    s.temporary = out->temporary;
    s.kind = out->inPlace ? 'I' : 'R';
    steps.push_back(s);
  }
  if (status == kStatusOk && !steps.empty()) status = commitSteps(steps);
  outputsUnlock(outputs, count);
  for (int i = 0; i < count; ++i) {
    if (status == kStatusOk) {
      outputRelease(&outputs[i]);
    } else {
      outputDiscard(&outputs[i]);
    }
  }
  return status;
}

#endif

}  // namespace speccore
