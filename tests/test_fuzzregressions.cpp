// Inputs on which a fuzz target once failed, kept in fuzz-regressions/<target>/
// and replayed through the same paths as the targets take them. A fault they
// bring back shows as a sanitizer report in the asan build.
#include <filesystem>

#include "fuzzpaths.h"
#include "testutil.h"

using namespace speccore;

TEST(FuzzRegressions, ReplayWithoutFault) {
  namespace fs = std::filesystem;
  const fs::path root = FUZZ_REGRESSIONS_DIR;
  // A program built for another system may not see the source tree.
  if (!fs::is_directory(root)) GTEST_SKIP() << "no folder " << root << " here";
  int replayed = 0;
  for (const std::string target : {"bmp", "spectrum"}) {
    if (!fs::is_directory(root / target)) continue;
    for (const auto& e : fs::directory_iterator(root / target)) {
      const Bytes read = readBytes(e.path().string());
      const Bytes exact(read.begin(), read.end());  // no spare capacity to hide an overread
      SCOPED_TRACE(e.path().string());
      if (target == "bmp")
        fuzzBmpPath(exact.data(), exact.size());
      else
        fuzzSpectrumPath(exact.data(), exact.size());
      ++replayed;
    }
  }
  EXPECT_GT(replayed, 0) << "no inputs under " << root;
}
