// specfilter's command line read in-process: what each option gives the
// filter, the line each bad value gets, and the text that records a run.
#include <string>
#include <vector>

#include "request.h"
#include "speccore/filter.h"
#include "testutil.h"

using namespace speccore;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

namespace {

// Scans `args` as specfilter's command line and reads the request.
struct Read {
  std::vector<std::string> args;
  std::vector<char*> argv;
  CommandLine line;
  FilterRequest request;
  int status = -1;
  std::string err;

  explicit Read(std::vector<std::string> given) : args(std::move(given)) {
    args.insert(args.begin(), "specfilter");
    for (std::string& a : args) argv.push_back(&a[0]);
    line = scanCommandLine(kFilterCommandLine, int(argv.size()), argv.data());
    CaptureStderr();
    if (!line.usage) status = filterRequestRead(line, &request);
    err = GetCapturedStderr();
  }
};

}  // namespace

TEST(FilterRequest, EachOptionGivesItsFactorInOrder) {
  Read r({"-o3", "-l2.5", "-n-1,2,0.5", "-d", "-mmask.bmp", "-b1,4", "-s", "-e7", "-r2,3"});
  ASSERT_EQ(kExitOk, r.status) << r.err;
  const SpectrumFilter& f = r.request.filter;
  EXPECT_EQ(kShapeButterworth, f.shape);
  EXPECT_EQ(3, f.order);
  EXPECT_TRUE(f.maskNatural);
  EXPECT_TRUE(f.maskSymmetric);
  ASSERT_EQ(6, f.count);
  const struct {
    int kind;
    double radius, outer;
    int32_t u, v;
  } expected[] = {{kFilterLowPass, 2.5, 0, 0, 0}, {kFilterNotch, 0.5, 0, -1, 2},
                  {kFilterMask, 0, 0, 0, 0},      {kFilterBandPass, 1, 4, 0, 0},
                  {kFilterHighPass, 7, 0, 0, 0},  {kFilterBandStop, 2, 3, 0, 0}};
  for (int i = 0; i < f.count; ++i) {
    const FilterFactor& k = f.factors[i];
    EXPECT_EQ(expected[i].kind, k.kind) << i;
    EXPECT_EQ(expected[i].radius, k.radius) << i;
    EXPECT_EQ(expected[i].outer, k.outer) << i;
    EXPECT_EQ(expected[i].u, k.u) << i;
    EXPECT_EQ(expected[i].v, k.v) << i;
  }
  char* text = filterRequestText(r.request, "specfilter -g -l9");
  EXPECT_STREQ(
      "specfilter -g -l9\nspecfilter -o3 -d -s -l2.5 -n-1,2,0.5 -mmask.bmp -b1,4 -e7 -r2,3", text);
  std::free(text);
  EXPECT_EQ(kShapeGaussian, Read({"-g", "-l1"}).request.filter.shape);
  EXPECT_EQ(kShapeIdeal, Read({"-l1"}).request.filter.shape);
}

TEST(FilterRequest, BadValuesAreNamedBeforeTheUsage) {
  const struct {
    std::vector<std::string> args;
    const char* err;
  } cases[] = {
      {{"-lx"}, "Option '-lx': the radius is not a positive number.\n"},
      {{"-l0"}, "Option '-l0': the radius is not a positive number.\n"},
      {{"-e-2"}, "Option '-e-2': the radius is not a positive number.\n"},
      {{"-l"}, "Option '-l': the radius is not a positive number.\n"},
      {{"-linf"}, "Option '-linf': the radius is not a positive number.\n"},
      {{"-lnan"}, "Option '-lnan': the radius is not a positive number.\n"},
      {{"-l3,"}, "Option '-l3,': the radius is not a positive number.\n"},
      {{"-b3,2"}, "Option '-b3,2': not two positive radii, the smaller first.\n"},
      {{"-r2"}, "Option '-r2': not two positive radii, the smaller first.\n"},
      {{"-b2,2"}, "Option '-b2,2': not two positive radii, the smaller first.\n"},
      {{"-n1,2"}, "Option '-n1,2': not a frequency u,v of whole numbers and a positive radius.\n"},
      {{"-n1.5,2,1"},
       "Option '-n1.5,2,1': not a frequency u,v of whole numbers and a positive radius.\n"},
      {{"-n1,2,0"},
       "Option '-n1,2,0': not a frequency u,v of whole numbers and a positive radius.\n"},
      {{"-n1,2,3,4"},
       "Option '-n1,2,3,4': not a frequency u,v of whole numbers and a positive radius.\n"},
      {{"-m"}, "Option '-m': no mask file named.\n"},
      {{"-l3", "-o0"}, "Option '-o0': the order is not a whole number from 1 on.\n"},
      {{"-l3", "-o1.5"}, "Option '-o1.5': the order is not a whole number from 1 on.\n"},
      {{"-o2", "-l3", "-g"}, "Options -g and -o: one shape only.\n"},
      {{"-g", "-d"}, "No filter: give -l, -e, -b, -r, -n or -m.\n"},
      // The first bad value is the one named.
      {{"-l1", "-e0", "-l0"}, "Option '-e0': the radius is not a positive number.\n"},
  };
  for (const auto& c : cases) {
    const Read r(c.args);
    EXPECT_EQ(kExitUsage, r.status) << c.args[0];
    EXPECT_EQ(c.err, r.err) << c.args[0];
  }
}

TEST(FilterRequest, EveryValuedOptionIsReadAndEveryKindHasOne) {
  // Each option that takes a value names the option when the value is
  // missing, so none is accepted without a reader; and the filters they read
  // cover every kind.
  std::vector<bool> kinds(kFilterMask + 1, false);
  const std::vector<std::string> good = {"-l1", "-e1", "-b1,2", "-r1,2", "-n1,1,1", "-mm.bmp"};
  for (const std::string& option : good) {
    const Read r({option});
    ASSERT_EQ(kExitOk, r.status) << option;
    kinds[size_t(r.request.filter.factors[0].kind)] = true;
  }
  EXPECT_EQ(std::vector<bool>(kinds.size(), true), kinds);
  for (int i = 0; i < kFilterCommandLine.optionCount; ++i) {
    const ToolOption& o = kFilterCommandLine.options[i];
    if (o.value[0] == '\0') continue;
    const Read r({std::string("-l1"), std::string("-") + o.letter});
    EXPECT_EQ(kExitUsage, r.status) << o.letter;
    EXPECT_EQ(0u, r.err.find(std::string("Option '-") + o.letter)) << r.err;
  }
}
