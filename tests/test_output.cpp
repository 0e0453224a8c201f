// Output files: a file replaces its final name whole, on commit, or not at
// all, and keeps what it had beside its bytes; a set of outputs commits as
// one; devices and FIFOs are written directly; links are followed, but not
// those planted by others in shared folders.
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <thread>

#if !defined(_WIN32)
#include <grp.h>
#include <signal.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>
#endif

#include "runoutputs.h"
#include "speccore/bmp.h"
#include "speccore/output.h"
#include "speccore/spectrumfile.h"
#include "speccore/status.h"
#include "speccore/types.h"
#include "testutil.h"

using namespace speccore;

namespace {

namespace fs = std::filesystem;

std::string text(const Bytes& b) { return std::string(b.begin(), b.end()); }
Bytes bytesOf(const std::string& s) { return Bytes(s.begin(), s.end()); }

// Every name in the folder, hidden ones and links included, sorted.
std::vector<std::string> entries(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Opens `path`, writes `content`, and commits or discards.
int writeWhole(const std::string& path, const std::string& content, bool commit = true) {
  OutputFile out;
  int status = outputOpen(&out, path.c_str());
  if (status != kStatusOk) return status;
  outputWrite(&out, content.data(), content.size());
  if (commit) return outputCommit(&out);
  outputDiscard(&out);
  return kStatusOk;
}

// Whether a missing write permission stops this process: not for root, and
// not on Windows, where folders have no such permission.
bool permissionsBind() {
#if defined(_WIN32)
  return false;
#else
  return geteuid() != 0;
#endif
}

}  // namespace

TEST(Output, FinalNameAppearsOnlyOnCommit) {
  TempDir dir;
  const std::string path = dir.file("new.bmp");
  OutputFile out;
  ASSERT_EQ(kStatusOk, outputOpen(&out, path.c_str()));
  outputWrite(&out, "pixels", 6);
  // Until the commit, only the temporary is there, named after the output.
  const std::vector<std::string> during = entries(dir.path);
  ASSERT_EQ(1u, during.size());
  EXPECT_EQ(0u, during[0].rfind(".new.bmp.", 0)) << during[0];
  EXPECT_EQ(".tmp", during[0].substr(during[0].size() - 4)) << during[0];
  ASSERT_EQ(kStatusOk, outputCommit(&out));
  EXPECT_EQ(std::vector<std::string>{"new.bmp"}, entries(dir.path));
  EXPECT_EQ("pixels", text(readBytes(path)));
}

TEST(Output, PreviousFileStaysUntilCommitAndAfterDiscard) {
  TempDir dir;
  const std::string path = dir.file("out.bmp");
  ASSERT_TRUE(writeBytes(path, bytesOf("previous")));
  OutputFile out;
  ASSERT_EQ(kStatusOk, outputOpen(&out, path.c_str()));
  outputWrite(&out, "next", 4);
  ASSERT_EQ(kStatusOk, outputClose(&out));
  EXPECT_EQ("previous", text(readBytes(path)));
  outputDiscard(&out);
  EXPECT_EQ(std::vector<std::string>{"out.bmp"}, entries(dir.path));
  EXPECT_EQ("previous", text(readBytes(path)));

  ASSERT_EQ(kStatusOk, writeWhole(path, "next"));
  EXPECT_EQ("next", text(readBytes(path)));
  EXPECT_EQ(std::vector<std::string>{"out.bmp"}, entries(dir.path));
}

TEST(Output, TakenTemporaryNameIsLeftAlone) {
  // A temporary of the same name (another run's) is never opened or removed.
  TempDir dir;
  OutputFile probe;
  ASSERT_EQ(kStatusOk, outputOpen(&probe, dir.file("out.bmp").c_str()));
  const std::string taken = probe.temporary;
  outputDiscard(&probe);
  ASSERT_TRUE(writeBytes(taken, bytesOf("other run")));
  ASSERT_EQ(kStatusOk, writeWhole(dir.file("out.bmp"), "mine"));
  EXPECT_EQ("other run", text(readBytes(taken)));
  EXPECT_EQ("mine", text(readBytes(dir.file("out.bmp"))));
}

TEST(Output, RefusedBeforeAnythingIsWritten) {
  TempDir dir;
  ASSERT_TRUE(fs::create_directory(dir.file("folder")));
  ASSERT_TRUE(writeBytes(dir.file("locked.bmp"), bytesOf("previous")));
  ASSERT_TRUE(fs::create_directory(dir.file("locked")));
  fs::permissions(dir.file("locked.bmp"), fs::perms::owner_read);
  fs::permissions(dir.file("locked"), fs::perms::owner_read | fs::perms::owner_exec);
  struct Case {
    const char* what;
    std::string path;
    bool needsPermissions;  // a case only where permissions bind
  } cases[] = {
      {"missing folder", dir.file("no/such/out.bmp"), false},
      {"a folder", dir.file("folder"), false},
      {"an empty name (an unset variable in a script)", "", false},
      {"a name that ends in a separator", dir.file("folder/"), false},
      {"a name that ends in ..", dir.file("folder/.."), false},
      {"a file without write permission", dir.file("locked.bmp"), true},
      {"in a folder without write permission", dir.file("locked/out.bmp"), true},
  };
  for (const Case& c : cases) {
    if (c.needsPermissions && !permissionsBind()) continue;
    testing::internal::CaptureStderr();
    EXPECT_EQ(kStatusOutput, writeWhole(c.path, "next")) << c.what;
    EXPECT_EQ("File '" + c.path + "' cannot create.\n", testing::internal::GetCapturedStderr())
        << c.what;
  }
  testing::internal::CaptureStderr();
  OutputFile out;
  EXPECT_EQ(kStatusOutput, outputOpen(&out, nullptr));
  EXPECT_EQ(kStatusOutput, outputOpen(nullptr, "x"));
  EXPECT_EQ("File '(null)' cannot create.\nFile 'x' cannot create.\n",
            testing::internal::GetCapturedStderr());
  fs::permissions(dir.file("locked"), fs::perms::owner_all);
  fs::permissions(dir.file("locked.bmp"), fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ((std::vector<std::string>{"folder", "locked", "locked.bmp"}), entries(dir.path));
  EXPECT_TRUE(entries(dir.file("locked")).empty());
  EXPECT_EQ("previous", text(readBytes(dir.file("locked.bmp"))));
}

#if !defined(_WIN32)

TEST(Output, ReplacedFileKeepsItsPermissions) {
  TempDir dir;
  const std::string path = dir.file("out.bmp");
  ASSERT_TRUE(writeBytes(path, bytesOf("previous")));
  ASSERT_EQ(0, chmod(path.c_str(), 0640));
  ASSERT_EQ(kStatusOk, writeWhole(path, "next"));
  struct stat st;
  ASSERT_EQ(0, stat(path.c_str(), &st));
  EXPECT_EQ(0640u, st.st_mode & 07777);
}

TEST(Output, LinksAreFollowedToTheFileTheyName) {
  // As a shell's redirection: the file at the end of the links is replaced
  // (or made), and every link stays a link. A relative link is taken from
  // the folder the link is in.
  TempDir dir;
  ASSERT_TRUE(fs::create_directory(dir.file("real")));
  ASSERT_TRUE(writeBytes(dir.file("real/target.bmp"), bytesOf("previous")));
  fs::create_symlink("target.bmp", dir.file("real/near.bmp"));
  fs::create_symlink("real/near.bmp", dir.file("far.bmp"));
  fs::create_symlink("real/made.bmp", dir.file("dangling.bmp"));
  fs::create_symlink("loop2", dir.file("loop1"));
  fs::create_symlink("loop1", dir.file("loop2"));

  ASSERT_EQ(kStatusOk, writeWhole(dir.file("far.bmp"), "through two links"));
  EXPECT_EQ("through two links", text(readBytes(dir.file("real/target.bmp"))));
  ASSERT_EQ(kStatusOk, writeWhole(dir.file("dangling.bmp"), "made"));
  EXPECT_EQ("made", text(readBytes(dir.file("real/made.bmp"))));
  testing::internal::CaptureStderr();
  EXPECT_EQ(kStatusOutput, writeWhole(dir.file("loop1"), "never"));
  EXPECT_EQ("File '" + dir.file("loop1") + "' cannot create.\n",
            testing::internal::GetCapturedStderr());

  for (const char* link : {"far.bmp", "dangling.bmp", "real/near.bmp", "loop1"})
    EXPECT_TRUE(fs::is_symlink(dir.file(link))) << link;
  EXPECT_EQ((std::vector<std::string>{"made.bmp", "near.bmp", "target.bmp"}),
            entries(dir.file("real")));
}

TEST(Output, DevicesAndFifosAreWrittenDirectly) {
  OutputFile out;
  ASSERT_EQ(kStatusOk, outputOpen(&out, "/dev/null"));
  EXPECT_EQ(nullptr, out.temporary);
  outputWrite(&out, "gone", 4);
  EXPECT_EQ(kStatusOk, outputCommit(&out));

  TempDir dir;
  const std::string fifo = dir.file("fifo");
  ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
  Bytes received;
  std::thread reader([&] { received = readBytes(fifo); });
  const std::string sent(100000, 'x');  // more than a pipe holds at once
  EXPECT_EQ(kStatusOk, writeWhole(fifo, sent));
  reader.join();
  EXPECT_EQ(sent, text(received));
  EXPECT_EQ(std::vector<std::string>{"fifo"}, entries(dir.path));
}

TEST(Output, WriteThatFailsIsReportedAndNamed) {
  // A full device: the short write shows at the flush at the latest.
  OutputFile out;
  ASSERT_EQ(kStatusOk, outputOpen(&out, "/dev/full"));
  outputWrite(&out, "lost", 4);
  testing::internal::CaptureStderr();
  EXPECT_EQ(kStatusOutput, outputCommit(&out));
  EXPECT_EQ("File '/dev/full' cannot write.\n", testing::internal::GetCapturedStderr());

  // The library's own writers, which report it as -1.
  const Pixel32 pixel = {1, 2, 3, 0};
  const Complex samples[4] = {};
  testing::internal::CaptureStderr();
  EXPECT_EQ(-1, bmpWrite32("/dev/full", &pixel, 1, 1));
  EXPECT_EQ(-1, writeSpectrumFile("/dev/full", nullptr, samples, 2, 2));
  EXPECT_EQ("File '/dev/full' cannot write.\nFile '/dev/full' cannot write.\n",
            testing::internal::GetCapturedStderr());
}

namespace {

// Runs `body` in a child process as user `uid` of group `gid`, also a member
// of `groups`, with umask 022. True when it returned true.
bool asUser(uid_t uid, gid_t gid, std::vector<gid_t> groups, const std::function<bool()>& body) {
  const pid_t pid = fork();
  if (pid == 0) {
    umask(022);
    if (setgroups(groups.size(), groups.data()) != 0 || setresgid(gid, gid, gid) != 0 ||
        setresuid(uid, uid, uid) != 0)
      _exit(2);
    _exit(body() ? 0 : 1);
  }
  int status = 0;
  return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
         WEXITSTATUS(status) == 0;
}

struct stat statOf(const std::string& path) {
  struct stat st = {};
  lstat(path.c_str(), &st);
  return st;
}

// Users and a group that need no entry in the system's lists: ids are enough.
const uid_t kUser = 65533, kOther = 65534;
const gid_t kShared = 65532;

}  // namespace

TEST(Output, ReplacementKeepsWhatTheFileHadBesideItsBytes) {
  // As other users than the file's owner, which only root can arrange.
  if (geteuid() != 0) GTEST_SKIP() << "needs root to act as other users";
  TempDir dir;
  ASSERT_EQ(0, chmod(dir.path.c_str(), 0777));
  const auto make = [&](const char* name, const char* bytes, uid_t uid, gid_t gid, mode_t mode) {
    const std::string path = dir.file(name);
    EXPECT_TRUE(writeBytes(path, bytesOf(bytes)));
    EXPECT_EQ(0, chown(path.c_str(), uid, gid));
    EXPECT_EQ(0, chmod(path.c_str(), mode));
    return path;
  };

  // Root replaces a file of another user: owner, group, mode, an extended
  // attribute and an ACL come with it (the ACL as the system stores it:
  // version 2, then tag, permissions and id of each entry).
  const std::string theirs = make("theirs.bmp", "old", kOther, kShared, 0640);
  const uint8_t acl[] = {2,    0, 0, 0,                           // version
                         1,    0, 6, 0, 0xff, 0xff, 0xff, 0xff,   // owner rw
                         2,    0, 6, 0, 0xfd, 0xff, 0,    0,      // user 65533 rw
                         4,    0, 4, 0, 0xff, 0xff, 0xff, 0xff,   // group r
                         0x10, 0, 6, 0, 0xff, 0xff, 0xff, 0xff,   // mask rw
                         0x20, 0, 0, 0, 0xff, 0xff, 0xff, 0xff};  // others none
  const bool attributes =
      setxattr(theirs.c_str(), "user.kept", "yes", 3, 0) == 0 &&
      setxattr(theirs.c_str(), "system.posix_acl_access", acl, sizeof acl, 0) == 0;
  const ino_t before = statOf(theirs).st_ino;
  ASSERT_EQ(kStatusOk, writeWhole(theirs, "new"));
  struct stat st = statOf(theirs);
  EXPECT_NE(before, st.st_ino);  // replaced, not written in place
  EXPECT_EQ(kOther, st.st_uid);
  EXPECT_EQ(kShared, st.st_gid);
  EXPECT_EQ(0660u, st.st_mode & 07777);  // the ACL's mask shows as the group's bits
  if (attributes) {
    char value[64];
    EXPECT_EQ(3, getxattr(theirs.c_str(), "user.kept", value, sizeof value));
    EXPECT_EQ(ssize_t(sizeof acl),
              getxattr(theirs.c_str(), "system.posix_acl_access", value, sizeof value));
    EXPECT_EQ(0, std::memcmp(value, acl, sizeof acl));
  }

  // A group-shared file of another user, written by a member of the group:
  // it cannot be given back its owner, so it is written in place.
  const std::string shared = make("shared.bmp", "old bytes", kOther, kShared, 0664);
  const ino_t sharedInode = statOf(shared).st_ino;
  EXPECT_TRUE(
      asUser(kUser, kUser, {kShared}, [&] { return writeWhole(shared, "new") == kStatusOk; }));
  st = statOf(shared);
  EXPECT_EQ(sharedInode, st.st_ino);
  EXPECT_EQ(kOther, st.st_uid);
  EXPECT_EQ(kShared, st.st_gid);
  EXPECT_EQ(0664u, st.st_mode & 07777);
  EXPECT_EQ("new", text(readBytes(shared)));

  // A file with a second name: both names see the new bytes.
  const std::string linked = make("linked.bmp", "old", kUser, kUser, 0644);
  ASSERT_EQ(0, link(linked.c_str(), dir.file("second.bmp").c_str()));
  EXPECT_TRUE(asUser(kUser, kUser, {}, [&] { return writeWhole(linked, "new") == kStatusOk; }));
  EXPECT_EQ("new", text(readBytes(dir.file("second.bmp"))));

  // Setuid and setgid bits are never given to the new file.
  const std::string program = make("setuid.bmp", "old", kUser, kUser, 06755);
  EXPECT_TRUE(asUser(kUser, kUser, {}, [&] { return writeWhole(program, "new") == kStatusOk; }));
  EXPECT_EQ(0755u, statOf(program).st_mode & 07777);

  // A writable file of another user in a sticky folder, which no one but its
  // owner may rename over: written in place, as a shell's redirection would.
  ASSERT_EQ(0, mkdir(dir.file("sticky").c_str(), 01777));
  ASSERT_EQ(0, chmod(dir.file("sticky").c_str(), 01777));
  const std::string open = make("sticky/open.bmp", "old", kOther, kOther, 0666);
  EXPECT_TRUE(asUser(kUser, kUser, {}, [&] { return writeWhole(open, "new") == kStatusOk; }));
  EXPECT_EQ(kOther, statOf(open).st_uid);
  EXPECT_EQ("new", text(readBytes(open)));

  // Temporaries are private while they are written, whatever the mode of the
  // file they replace; a new name then gets the mode of any new file.
  const std::string wide = make("wide.bmp", "old", kUser, kUser, 0666);
  EXPECT_TRUE(asUser(kUser, kUser, {}, [&] {
    OutputFile replacing, fresh;
    const bool open = outputOpen(&replacing, wide.c_str()) == kStatusOk &&
                      outputOpen(&fresh, dir.file("fresh.bmp").c_str()) == kStatusOk;
    const bool secret = open && (statOf(replacing.temporary).st_mode & 0777) == 0600 &&
                        (statOf(fresh.temporary).st_mode & 0777) == 0600;
    return secret && outputCommit(&replacing) == kStatusOk && outputCommit(&fresh) == kStatusOk;
  }));
  EXPECT_EQ(0666u, statOf(wide).st_mode & 07777);
  EXPECT_EQ(0644u, statOf(dir.file("fresh.bmp")).st_mode & 07777);
  EXPECT_EQ(0u, statOf(dir.file("fresh.bmp")).st_mode & S_IWOTH);

  for (const std::string& name : entries(dir.path)) EXPECT_NE('.', name[0]) << name;
}

TEST(Output, LinkPlantedInASharedFolderIsNotFollowed) {
  // A folder that is sticky and writable by everyone, as /tmp: a link there
  // is followed only when it belongs to the runner or to the folder's owner,
  // whatever the system's own setting.
  if (geteuid() != 0) GTEST_SKIP() << "needs root to give links to other users";
  TempDir dir;
  const std::string secret = dir.file("secret");
  ASSERT_TRUE(writeBytes(secret, bytesOf("root only")));
  ASSERT_EQ(0, chmod(secret.c_str(), 0600));
  ASSERT_EQ(0, mkdir(dir.file("real").c_str(), 0755));
  const struct {
    const char* what;
    mode_t folderMode;
    uid_t folderOwner, linkOwner;
    const char* path;  // within the folder "shared"
    bool followed;
  } cases[] = {
      {"another user's link", 01777, 0, kOther, "out.bmp", false},
      {"another user's link to a folder", 01777, 0, kOther, "dirlink/out.bmp", false},
      {"the runner's link", 01777, kOther, 0, "out.bmp", true},
      {"the folder owner's link", 01777, kOther, kOther, "out.bmp", true},
      {"another user's link, folder not sticky", 0777, 0, kOther, "out.bmp", true},
  };
  for (const auto& c : cases) {
    const std::string shared = dir.file("shared");
    fs::remove_all(shared);
    ASSERT_EQ(0, mkdir(shared.c_str(), 0700));
    ASSERT_EQ(0, chown(shared.c_str(), c.folderOwner, c.folderOwner));
    ASSERT_EQ(0, chmod(shared.c_str(), c.folderMode));
    const bool toFolder = std::string(c.path).find('/') != std::string::npos;
    const std::string link = shared + (toFolder ? "/dirlink" : "/out.bmp");
    fs::create_symlink(toFolder ? dir.file("real") : secret, link);
    ASSERT_EQ(0, lchown(link.c_str(), c.linkOwner, c.linkOwner));
    const std::string path = shared + "/" + c.path;
    testing::internal::CaptureStderr();
    const int status = writeWhole(path, "planted");
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(c.followed ? kStatusOk : kStatusOutput, status) << c.what;
    EXPECT_EQ(c.followed ? "" : "File '" + path + "' cannot create.\n", err) << c.what;
    const std::string reached = toFolder ? dir.file("real/out.bmp") : secret;
    EXPECT_EQ(c.followed ? "planted" : (toFolder ? "" : "root only"), text(readBytes(reached)))
        << c.what;
    ASSERT_TRUE(writeBytes(secret, bytesOf("root only")));
    fs::remove(dir.file("real/out.bmp"));
  }
}

TEST(Output, NeverReplacesWhatIsNoRegularFile) {
  // A FIFO (or a device, or a folder) put at the name while the output was
  // written stays: the commit fails and changes nothing.
  TempDir dir;
  const std::string path = dir.file("out.bmp");
  OutputFile out;
  ASSERT_EQ(kStatusOk, outputOpen(&out, path.c_str()));
  outputWrite(&out, "bytes", 5);
  ASSERT_EQ(0, mkfifo(path.c_str(), 0600));
  testing::internal::CaptureStderr();
  EXPECT_EQ(kStatusOutput, outputCommit(&out));
  EXPECT_EQ("File '" + path + "' cannot write.\n", testing::internal::GetCapturedStderr());
  EXPECT_TRUE(S_ISFIFO(statOf(path).st_mode));
  EXPECT_EQ(std::vector<std::string>{"out.bmp"}, entries(dir.path));
}

TEST(Output, FailureDuringTheCommitPutsBackWhatWasReplaced) {
  // Four outputs in two folders, the last of which fails at its rename (its
  // temporary is gone): the first, renamed over an old file, gets it back; the
  // second, written in place into a file with two names, gets its old bytes;
  // the third, a new name, is removed. Nothing of the commit is left.
  TempDir one, two;
  const std::string replaced = one.file("replaced.bmp"), inPlace = one.file("linked.bmp"),
                    made = one.file("made.bmp"), last = two.file("last.bmp");
  ASSERT_TRUE(writeBytes(replaced, bytesOf("old replaced")));
  ASSERT_TRUE(writeBytes(inPlace, bytesOf("old linked")));
  ASSERT_EQ(0, link(inPlace.c_str(), one.file("second.bmp").c_str()));
  ASSERT_TRUE(writeBytes(last, bytesOf("old last")));
  OutputFile outs[4];
  const std::string paths[4] = {replaced, inPlace, made, last};
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(kStatusOk, outputOpen(&outs[i], paths[i].c_str()));
    outputWrite(&outs[i], "new bytes, longer than the old ones", 35);
  }
  EXPECT_TRUE(outs[1].inPlace);
  ASSERT_EQ(0, unlink(outs[3].temporary));
  outputsLock(outs, 4);
  testing::internal::CaptureStderr();
  EXPECT_EQ(kStatusOutput, outputsCommit(outs, 4));
  EXPECT_EQ("File '" + last + "' cannot write.\n", testing::internal::GetCapturedStderr());
  EXPECT_EQ("old replaced", text(readBytes(replaced)));
  EXPECT_EQ("old linked", text(readBytes(inPlace)));
  EXPECT_EQ("old linked", text(readBytes(one.file("second.bmp"))));
  EXPECT_EQ("old last", text(readBytes(last)));
  EXPECT_EQ((std::vector<std::string>{"linked.bmp", "replaced.bmp", "second.bmp"}),
            entries(one.path));
  EXPECT_EQ(std::vector<std::string>{"last.bmp"}, entries(two.path));

  // The same set commits whole once nothing fails.
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(kStatusOk, outputOpen(&outs[i], paths[i].c_str()));
    outputWrite(&outs[i], "new", 3);
  }
  outputsLock(outs, 4);
  EXPECT_EQ(kStatusOk, outputsCommit(outs, 4));
  for (const std::string& path : {replaced, inPlace, made, last, one.file("second.bmp")})
    EXPECT_EQ("new", text(readBytes(path))) << path;
  EXPECT_EQ((std::vector<std::string>{"linked.bmp", "made.bmp", "replaced.bmp", "second.bmp"}),
            entries(one.path));
}

TEST(Output, TemporariesOfDeadRunsAreRemovedByTheNextRun) {
  // A run that died (here: a child process that exits without a commit)
  // leaves its temporary; the next output of the same name removes it. One
  // whose run is alive, and a file of another name, stay.
  TempDir dir;
  const std::string out = dir.file("out.bmp");
  const auto leaveTemporary = [&](int signalPipe) {
    const pid_t pid = fork();
    if (pid == 0) {
      OutputFile left;
      if (outputOpen(&left, out.c_str()) != kStatusOk) _exit(1);
      char c = 0;
      if (signalPipe >= 0) read(signalPipe, &c, 1);  // alive until the parent writes
      _exit(0);
    }
    return pid;
  };
  int status = 0;
  const pid_t dead = leaveTemporary(-1);
  ASSERT_EQ(dead, waitpid(dead, &status, 0));
  int wake[2];
  ASSERT_EQ(0, pipe(wake));
  const pid_t alive = leaveTemporary(wake[0]);
  const std::string live = "." + std::string("out.bmp.") + std::to_string(alive) + ".tmp";
  for (int i = 0; i < 1000 && !fs::exists(dir.file(live)); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_TRUE(writeBytes(dir.file(".other.bmp.1.tmp"), bytesOf("not ours")));
  ASSERT_EQ(kStatusOk, writeWhole(out, "mine"));
  EXPECT_EQ((std::vector<std::string>{".other.bmp.1.tmp", live, "out.bmp"}), entries(dir.path));
  ASSERT_EQ(1, write(wake[1], "x", 1));
  ASSERT_EQ(alive, waitpid(alive, &status, 0));
  close(wake[0]);
  close(wake[1]);
  ASSERT_EQ(kStatusOk, writeWhole(out, "again"));
  EXPECT_EQ((std::vector<std::string>{".other.bmp.1.tmp", "out.bmp"}), entries(dir.path));
}

TEST(RunOutputs, OutputsThatAreInputsAreFound) {
  // By device and inode: every spelling and every link of a name counts;
  // only regular files take part.
  TempDir dir;
  const std::string in = dir.file("in.bmp");
  ASSERT_TRUE(writeBytes(in, bytesOf("picture")));
  ASSERT_TRUE(writeBytes(dir.file("other.bmp"), bytesOf("picture")));
  ASSERT_EQ(0, link(in.c_str(), dir.file("hard.bmp").c_str()));
  fs::create_symlink("in.bmp", dir.file("soft.bmp"));
  const struct {
    std::string output;
    bool same;
  } cases[] = {
      {in, true},
      {dir.path + "/./in.bmp", true},
      {dir.path + "/../" + fs::path(dir.path).filename().string() + "/in.bmp", true},
      {dir.file("hard.bmp"), true},
      {dir.file("soft.bmp"), true},
      {dir.file("other.bmp"), false},
      {dir.file("missing.bmp"), false},
      {"/dev/null", false},
  };
  const char* inputs[] = {"/dev/null", in.c_str()};
  for (const auto& c : cases) {
    const char* outputs[] = {"/dev/null", c.output.c_str()};
    testing::internal::CaptureStderr();
    EXPECT_EQ(c.same ? kStatusOutput : kStatusOk, runOutputsApart(outputs, 2, inputs, 2))
        << c.output;
    EXPECT_EQ(c.same
                  ? "File '" + c.output + "' cannot create. same file as the input '" + in + "'\n"
                  : "",
              testing::internal::GetCapturedStderr());
  }
}

#endif
