// Output files: a file replaces its final name whole, on commit, or not at
// all; devices and FIFOs are written directly; links are followed.
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <thread>

#if !defined(_WIN32)
#include <unistd.h>
#endif

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

#endif
