// Inputs for the program tests: pictures and spectrum files built byte by
// byte, a scratch working directory, and the library's own rendering of
// what a program should have written.
#ifndef TOOLFIXTURE_H
#define TOOLFIXTURE_H

#include <sys/stat.h>

#include <functional>

#include "bmpbuild.h"
#include "commandline.h"  // the programs' exit statuses
#include "runtool.h"
#include "speccore/bmp.h"
#include "speccore/plane.h"
#include "speccore/render.h"
#include "speccore/status.h"
#include "speccore/types.h"
#include "spectrumbuild.h"
#include "testutil.h"

// A 24-bit picture whose pixel (x, y), y = 0 the bottom row, has blue = green
// = red = level(x, y): its gray levels are exactly those levels.
inline Bytes grayBmp(int32_t w, int32_t h, const std::function<int(int32_t, int32_t)>& level,
                     bool topDown = false) {
  BmpBuild b;
  b.bits = 24;
  b.width = w;
  b.height = h;
  b.topDown = topDown;
  for (int32_t y = 0; y < h; ++y) {
    Bytes row;
    for (int32_t x = 0; x < w; ++x) row.insert(row.end(), 3, uint8_t(level(x, y)));
    b.rows.push_back(row);
  }
  return makeBmp(b);
}

// Gray levels with structure in both directions, all in 1..254.
inline int testLevel(int32_t x, int32_t y) { return 1 + (x * 37 + y * 91 + x * y * 5) % 254; }

// The 32-bit BMP that the suite writes for a W x H picture, from the
// library's writer, for byte comparisons.
inline Bytes libraryBmp(const TempDir& dir, speccore::Plane pixels, int32_t w, int32_t h) {
  const std::string path = dir.file("expected.bmp");
  EXPECT_EQ(0, speccore::bmpWrite32(path.c_str(), speccore::pixelRow(pixels, 0), w, h));
  Bytes b = readBytes(path);
  std::remove(path.c_str());
  return b;
}

// What specshow should write for these samples.
inline Bytes expectedPowerBmp(const TempDir& scratch, std::vector<speccore::Complex> samples,
                              int32_t w, int32_t h, bool swap, bool linear) {
  PlaneHolder plane = planeOf(samples, w, h);
  PlaneHolder pixels(speccore::planeAlloc(sizeof(speccore::Pixel32), w, h));
  if (swap) speccore::swapQuadrants(plane.get(), w, h);
  speccore::renderPowerSpectrum(plane.get(), pixels.get(), w, h, linear);
  return libraryBmp(scratch, pixels.get(), w, h);
}

// A program's name in its usage as the tests start it: "specfwd", or
// "specfwd.exe" for a Windows program under wine.
inline std::string shownName(const std::string& name) {
  return kWindowsTools ? name + ".exe" : name;
}

// Checks the usage that `program` prints for -h; "NAME" in `usage` stands
// for its name as shownName gives it.
inline void expectUsage(const char* program, const std::string& name, std::string usage) {
  TempDir dir;
  usage.replace(usage.find("NAME"), 4, shownName(name));
  EXPECT_EQ(usage, runTool(program, {"-h"}, dir.path).err);
}

inline std::vector<std::string> names(std::initializer_list<const char*> list) {
  std::vector<std::string> v(list.begin(), list.end());
  std::sort(v.begin(), v.end());
  return v;
}

// A file a program must refuse, with the status and lines it gives.
struct Refusal {
  const char* name;
  Bytes file;  // empty: no input file
  int status;
  const char* err;
};

// Failures shared by specinv and specshow, run as `program in.dat out.bmp`.
inline std::vector<Refusal> spectrumFailures() {
  const Bytes good = spectrumBytes(3, 2, testSpectrum(3, 2));
  auto with = [](Bytes f, size_t at, uint32_t v) {
    putLe32(f, at, v);
    return f;
  };
  Bytes notCpx = good;
  notCpx[3] = 'X';
  return {
      {"missing", {}, kExitStatQuery, "'in.dat' stat error.\n"},
      {"31 bytes", truncated(good, 31), speccore::kStatusSize, "'in.dat' size error.\n"},
      {"10 bytes", truncated(good, 10), speccore::kStatusSize, "'in.dat' size error.\n"},
      {"32-byte header only", truncated(spectrumBytes(2, 2, testSpectrum(2, 2)), 32),
       kExitUnknownFile, "'in.dat' unknown file\n"},
      {"one byte short", truncated(good, good.size() - 1), kExitUnknownFile,
       "'in.dat' unknown file\n"},
      {"CPX and a non-zero byte", notCpx, kExitUnknownFile, "'in.dat' unknown file\n"},
      {"width 1", with(good, kCxWidth, 1), kExitUnknownFile, "'in.dat' unknown file\n"},
      {"height 0", with(good, kCxHeight, 0), kExitUnknownFile, "'in.dat' unknown file\n"},
      {"negative height", with(good, kCxHeight, uint32_t(-2)), kExitUnknownFile,
       "'in.dat' unknown file\n"},
      // The samples must lie inside the file wherever cxOffByts puts them.
      {"samples past the end", with(good, kCxOffByts, 40), kExitUnknownFile,
       "'in.dat' unknown file\n"},
      {"negative offset", with(good, kCxOffByts, uint32_t(-16)), kExitUnknownFile,
       "'in.dat' unknown file\n"},
      {"huge size", with(with(good, kCxWidth, 0x10000000), kCxHeight, 0x10000000), kExitUnknownFile,
       "'in.dat' unknown file\n"},
      // Hostile sizes: none may pass the check through a wrapped product.
      {"W x H x 16 past 64 bits", with(with(good, kCxWidth, 0x7fffffff), kCxHeight, 0x7fffffff),
       kExitUnknownFile, "'in.dat' unknown file\n"},
      {"W x H x 16 wraps to 0 in 32 bits", with(with(good, kCxWidth, 0x08000000), kCxHeight, 2),
       kExitUnknownFile, "'in.dat' unknown file\n"},
      {"width near 2^31", with(good, kCxWidth, 0x7fffffff), kExitUnknownFile,
       "'in.dat' unknown file\n"},
      {"offset 2^31 - 1", with(good, kCxOffByts, 0x7fffffff), kExitUnknownFile,
       "'in.dat' unknown file\n"},
      {"offset -2^31", with(good, kCxOffByts, 0x80000000), kExitUnknownFile,
       "'in.dat' unknown file\n"},
  };
}

// Runs `program input args...` once per case, each in a fresh directory that
// holds only the case's file under `input` (nothing when the file is empty),
// and checks that the program refuses it: the status, the lines on standard
// error, nothing on standard output and no file written.
inline void expectRefusals(const char* program, const char* input,
                           const std::vector<std::string>& args,
                           const std::vector<Refusal>& cases) {
  std::vector<std::string> all = {input};
  all.insert(all.end(), args.begin(), args.end());
  for (const Refusal& c : cases) {
    TempDir dir;
    if (!c.file.empty()) {
      ASSERT_TRUE(writeBytes(dir.file(input), c.file));
    }
    const ToolRun run = runTool(program, all, dir.path);
    EXPECT_EQ(shellStatus(c.status), run.status) << c.name;
    EXPECT_EQ(c.err, run.err) << c.name;
    EXPECT_EQ("", run.out) << c.name;
    EXPECT_EQ(c.file.empty() ? std::vector<std::string>{} : names({input}), filesIn(dir.path))
        << c.name;
  }
}

inline void expectSpectrumFailures(const char* program) {
  expectRefusals(program, "in.dat", {"out.bmp"}, spectrumFailures());
}

inline void expectLoadFailure(const char* program) {
  // A directory passes the size query but cannot be read as a file: the
  // loader's line, then the program's. Windows gives a directory the size 0,
  // so there it ends at the size check.
  TempDir dir;
  ASSERT_EQ(0, mkdir(dir.file("in.dat").c_str(), 0755));
  struct stat st;
  ASSERT_EQ(0, stat(dir.file("in.dat").c_str(), &st));
  if (st.st_size < 32) GTEST_SKIP() << "directories here report fewer than 32 bytes";
  const ToolRun run = runTool(program, {"in.dat"}, dir.path);
  EXPECT_EQ(kWindowsTools ? speccore::kStatusSize : speccore::kStatusRead, run.status);
  EXPECT_EQ(kWindowsTools ? "'in.dat' size error.\n"
                          : "'in.dat' read error.\n'in.dat' read error.\n",
            run.err);
}

inline void expectMissingOutputDirectory(const char* program) {
  TempDir dir;
  ASSERT_TRUE(writeBytes(dir.file("in.dat"), spectrumBytes(2, 3, testSpectrum(2, 3))));
  const ToolRun run = runTool(program, {"in.dat", "no/such/out.bmp"}, dir.path);
  EXPECT_EQ(speccore::kStatusOutput, run.status);
  EXPECT_EQ("File 'no/such/out.bmp' cannot create.\n", run.err);
  EXPECT_EQ(names({"in.dat"}), filesIn(dir.path));
}

#endif
