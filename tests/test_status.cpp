// The library's codes and their texts, and the message sink that takes the
// lines the library reports.
#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "bmpbuild.h"
#include "speccore/bmp.h"
#include "speccore/message.h"
#include "speccore/spectrumfile.h"
#include "speccore/status.h"
#include "speccore/types.h"
#include "testutil.h"

using namespace speccore;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

TEST(Status, EveryCodeHasATextOfItsOwn) {
  std::set<std::string> texts;
  int codes = 0;
  for (int status = -2; status <= 40; ++status) {
    const std::string text = statusText(status);
    if (text == "unknown status") continue;
    ++codes;
    EXPECT_TRUE(texts.insert(text).second) << status << ": " << text;
  }
  // 0 to 9 and 11 to 21: 10 is the programs' alone.
  EXPECT_EQ(21, codes);
  EXPECT_STREQ("unknown status", statusText(10));
}

namespace {

struct Lines {
  std::vector<std::string> lines;
};

void collect(void* user, const char* line) { static_cast<Lines*>(user)->lines.push_back(line); }

}  // namespace

TEST(MessageSink, TakesEveryLineInsteadOfStandardError) {
  TempDir dir;
  // Longer than any buffer a line is first formatted in.
  const std::string missing = dir.file(std::string(300, 'm') + ".bmp");
  const std::string unwritable = dir.file("no/such/out.dat");
  const Bytes palette = withFields(plainBmp(8, 4, 2), {{kBfOffBits, 55}, {kBiSizeImage, 0}});
  const Complex samples[4] = {};
  auto report = [&] {
    uint8_t* image = nullptr;
    uint32_t size = 0;
    EXPECT_EQ(kStatusOpen, bmpLoad(missing.c_str(), &image, &size));
    EXPECT_EQ(kBmp8BitPalette, bmpCheck(palette.data(), uint32_t(palette.size())));
    EXPECT_EQ(-1, writeSpectrumFile(unwritable.c_str(), nullptr, samples, 2, 2));
  };
  const std::vector<std::string> expected = {"'" + missing + "' open error.",
                                             "Unexpected lut size. 55, 0",
                                             "File '" + unwritable + "' cannot create."};
  Lines sink;
  setMessageSink(collect, &sink);
  CaptureStderr();
  report();
  const std::string err = GetCapturedStderr();
  setMessageSink(nullptr, nullptr);
  EXPECT_EQ("", err);
  EXPECT_EQ(expected, sink.lines);

  // Without a sink the same lines go to standard error, each with its newline.
  CaptureStderr();
  report();
  EXPECT_EQ(expected[0] + "\n" + expected[1] + "\n" + expected[2] + "\n", GetCapturedStderr());
}

TEST(MessageSink, LinesArriveWholeWhileTheSinkChanges) {
  // Threads report while the sink changes under them: every line reaches one
  // of the two sinks whole, and the sinks are never called at once.
  TempDir dir;
  const std::string missing = dir.file("missing.bmp");
  const std::string line = "'" + missing + "' open error.";
  struct Counting {
    std::string expected;
    std::atomic<int> lines{0}, wrong{0};
  } a, b;
  a.expected = b.expected = line;
  static std::atomic<int> inside{0}, overlapped{0};  // calls of either sink under way
  const MessageSink count = [](void* user, const char* text) {
    if (inside.fetch_add(1) != 0) ++overlapped;
    Counting* c = static_cast<Counting*>(user);
    if (c->expected != text) ++c->wrong;
    ++c->lines;
    inside.fetch_sub(1);
  };
  setMessageSink(count, &a);
  const int threads = 4, perThread = 50;
  std::vector<std::thread> started;
  for (int t = 0; t < threads; ++t)
    started.emplace_back([&] {
      for (int i = 0; i < perThread; ++i) {
        uint8_t* image = nullptr;
        uint32_t size = 0;
        bmpLoad(missing.c_str(), &image, &size);
      }
    });
  for (int i = 0; i < 100; ++i) setMessageSink(count, i % 2 ? &a : &b);
  for (std::thread& t : started) t.join();
  setMessageSink(nullptr, nullptr);
  EXPECT_EQ(threads * perThread, a.lines + b.lines);
  EXPECT_EQ(0, a.wrong + b.wrong);
  EXPECT_EQ(0, overlapped.load());
}
