// libFuzzer target: every operation of the public header, with arguments
// taken from the input: sizes and counts of any value, thread counts, null
// pointers wherever a pointer is taken, doubles of every kind, filters of any
// shape, and planes as large as the call is told (the one precondition no
// operation can check, since a plane does not keep its size). None may fault,
// read or write past what it is given, overflow a signed integer or divide by
// zero; the sanitizers watch. Files are written only to /dev/null, /dev/full
// and a scratch folder of the target's own.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "speccore.h"

using namespace speccore;

namespace {

int32_t anySize(FuzzedDataProvider& in) {
  static const int32_t kEdges[] = {INT32_MIN, -7, -1, 0, 1, 2, 3, 16, 46341, INT32_MAX};
  return in.ConsumeBool() ? in.PickValueInArray(kEdges) : in.ConsumeIntegralInRange<int32_t>(1, 12);
}

int32_t anyInt(FuzzedDataProvider& in) {
  static const int32_t kEdges[] = {INT32_MIN, INT32_MIN + 1, -6, -1, 0, 1, 3, INT32_MAX};
  return in.ConsumeBool() ? in.PickValueInArray(kEdges) : in.ConsumeIntegral<int32_t>();
}

double anyDouble(FuzzedDataProvider& in) {
  static const double kEdges[] = {
      std::nan(""), INFINITY, -INFINITY, 0.0, -0.0, DBL_MAX, -DBL_MAX, DBL_MIN, 4.9e-324,
      1e308,        1.7e308,  1e200,     5,   0.5,  1,       2,        -3};
  return in.ConsumeBool() ? in.PickValueInArray(kEdges) : in.ConsumeFloatingPoint<double>();
}

int anyThreads(FuzzedDataProvider& in) { return in.ConsumeIntegralInRange<int>(-2, 3); }

bool small(int32_t width, int32_t height) {
  return width >= 1 && width <= 12 && height >= 1 && height <= 12;
}

// A plane of W x H elements filled from the input, or null when the sizes are
// not those of a small plane or the input says so. The caller frees it.
Plane planeFor(FuzzedDataProvider& in, int32_t elementSize, int32_t width, int32_t height) {
  if (!small(width, height) || in.ConsumeBool()) return nullptr;
  Plane plane = planeAlloc(elementSize, width, height);
  if (plane == nullptr) return nullptr;
  const size_t bytes = size_t(elementSize) * size_t(width) * size_t(height);
  const std::vector<uint8_t> fill = in.ConsumeBytes<uint8_t>(bytes);
  if (!fill.empty()) std::memcpy(plane[0], fill.data(), fill.size());
  return plane;
}

// A filter of up to four factors of any kind, shape and values.
struct AnyFilter {
  SpectrumFilter filter = {};
  FilterFactor factors[4] = {};
  AnyFilter(FuzzedDataProvider& in, int32_t width, int32_t height) {
    for (FilterFactor& k : factors) {
      k.kind = in.ConsumeIntegralInRange<int>(-1, 6);
      k.radius = anyDouble(in);
      k.outer = anyDouble(in);
      k.u = anyInt(in);
      k.v = anyInt(in);
      const bool fits = in.ConsumeBool();
      k.mask.width = fits ? width : anySize(in);
      k.mask.height = fits ? height : anySize(in);
      k.mask.pixels = planeFor(in, sizeof(Pixel32), k.mask.width, k.mask.height);
    }
    filter.shape = in.ConsumeIntegralInRange<int>(-1, 3);
    filter.order = in.ConsumeBool() ? in.ConsumeIntegralInRange<int>(-2, 12) : INT32_MAX;
    filter.factors = in.ConsumeBool() ? factors : nullptr;
    filter.count = in.ConsumeIntegralInRange<int>(-1, 4);
    filter.maskNatural = in.ConsumeBool();
    filter.maskSymmetric = in.ConsumeBool();
  }
  ~AnyFilter() {
    for (FilterFactor& k : factors) std::free(k.mask.pixels);
  }
};

// In memory where the system has such a folder: commits flush their files
// to the disk, which would otherwise take most of the time.
const std::string& scratch() {
  static std::string folder;
  if (folder.empty()) {
    char shared[] = "/dev/shm/fuzz_api-XXXXXX", temporary[] = "/tmp/fuzz_api-XXXXXX";
    folder = mkdtemp(shared) != nullptr      ? shared
             : mkdtemp(temporary) != nullptr ? temporary
                                             : "/tmp";
  }
  return folder;
}

const char* anyPath(FuzzedDataProvider& in) {
  static const std::string file = scratch() + "/out.bmp", folder = scratch() + "/sub/",
                           missing = scratch() + "/no/out.bmp";
  const char* paths[] = {nullptr,      "",           "/dev/null",    "/dev/full",
                         file.c_str(), file.c_str(), folder.c_str(), missing.c_str()};
  return in.PickValueInArray(paths);
}

// A loaded file: its bytes with the loader's 32 spare bytes, or null.
std::vector<uint8_t> anyFile(FuzzedDataProvider& in) {
  return in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(0, 4096));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const int32_t width = anySize(in), height = anySize(in);
  const int threads = anyThreads(in);
  Plane complexPlane = planeFor(in, sizeof(Complex), width, height);
  Plane picture = planeFor(in, sizeof(Pixel32), width, height);
  switch (in.ConsumeIntegralInRange<int>(0, 14)) {
    case 0: {
      // Sizes whose block is small, or too large for any machine (refused
      // before anything is asked of malloc, whose limit here is 2 GiB).
      const int32_t e = anyInt(in), w = anyInt(in), h = anyInt(in);
      const unsigned __int128 bytes =
          (unsigned __int128)(e > 0 ? e : 0) * uint32_t(w > 0 ? w : 0) * uint32_t(h > 0 ? h : 0);
      const bool refused = bytes > (unsigned __int128)(PTRDIFF_MAX);
      if (bytes <= (1u << 20) || refused) std::free(planeAlloc(e, w, h));
      // A row table takes 8 bytes a row, whatever the data it is laid over.
      if (h <= (1 << 16) || refused)
        std::free(planeWrap(in.ConsumeBool() ? complexPlane : nullptr, e, w, h));
      break;
    }
    case 1:
      pictureToGray(picture, complexPlane, width, height, threads);
      complexToImage(complexPlane, picture, width, height, threads);
      break;
    case 2:
      swapQuadrants(complexPlane, width, height, threads);
      renderPowerSpectrum(complexPlane, picture, width, height, in.ConsumeBool(), threads);
      break;
    case 3: {
      DftProgress progress;
      dft2dThreads(complexPlane, width, height, in.ConsumeIntegral<int>(), threads,
                   in.ConsumeBool() ? &progress : nullptr);
      dft2d(complexPlane, width, height, kDftInverse);
      break;
    }
    case 4:
      idft2dToImage(complexPlane, picture, width, height, threads);
      break;
    case 5: {
      AnyFilter f(in, width, height);
      const SpectrumFilter* filter = in.ConsumeBool() ? &f.filter : nullptr;
      filterGain(filter, anyInt(in), anyInt(in), width, height);
      filterGain(filter, in.ConsumeIntegralInRange<int32_t>(0, 11),
                 in.ConsumeIntegralInRange<int32_t>(0, 11), width, height);
      filterFactorFits(in.ConsumeBool() ? &f.factors[0] : nullptr, width, height);
      filterSpectrum(complexPlane, width, height, filter, threads);
      break;
    }
    case 6: {
      std::vector<uint8_t> file = anyFile(in);
      file.resize(file.size() + 32);
      const uint32_t loaded = uint32_t(file.size() - 32);
      const uint8_t* image = in.ConsumeBool() ? file.data() : nullptr;
      BmpHeader header;
      if (loaded >= kBmpHeaderSize) bmpHeaderRead(image, in.ConsumeBool() ? &header : nullptr);
      bmpBitCountSupported(anyInt(in));
      pixelToGray(Pixel32{uint8_t(anyInt(in)), uint8_t(anyInt(in)), uint8_t(anyInt(in)), 0});
      if (bmpCheck(image, loaded) == 0) {
        BmpPicture decoded;
        if (bmpDecodePicture(image, in.ConsumeBool() ? &decoded : nullptr) == kStatusOk)
          std::free(decoded.pixels);
      }
      bmpDecode(nullptr, nullptr);
      break;
    }
    case 7: {
      std::vector<uint8_t> file = anyFile(in);
      const uint32_t loaded = uint32_t(file.size());
      file.resize(file.size() + 32);
      uint8_t* bytes = in.ConsumeBool() ? file.data() : nullptr;
      CpxHeader header;
      if (loaded >= kCpxHeaderSize) cpxHeaderRead(bytes, in.ConsumeBool() ? &header : nullptr);
      checkSpectrumHeader(bytes, loaded);
      std::free(spectrumText(bytes, loaded));
      SpectrumView view;
      if (spectrumViewOpen(bytes, loaded, in.ConsumeBool() ? &view : nullptr) == kStatusOk)
        std::free(view.samples);
      spectrumSamples(nullptr);
      break;
    }
    case 8: {
      uint8_t* image = nullptr;
      uint32_t loaded = 0;
      if (bmpLoad(anyPath(in), in.ConsumeBool() ? &image : nullptr,
                  in.ConsumeBool() ? &loaded : nullptr) == kStatusOk)
        std::free(image);
      int status = 0;
      std::free(readSpectrumFile(anyPath(in), in.ConsumeBool() ? &loaded : nullptr,
                                 in.ConsumeBool() ? &status : nullptr));
      break;
    }
    case 9: {
      const bool pixels = in.ConsumeBool();
      bmpWrite32(anyPath(in), pixels && picture ? picture[0] : nullptr, width, height);
      const std::string text = in.ConsumeRandomLengthString(64);
      writeSpectrumFile(anyPath(in), in.ConsumeBool() ? text.c_str() : nullptr,
                        complexPlane ? complexRow(complexPlane, 0) : nullptr, width, height);
      spectrumFileSizeCheck(anyPath(in), width, height, in.ConsumeIntegral<size_t>());
      break;
    }
    case 10:
      writeComplexImage(anyPath(in), complexPlane, picture, width, height);
      writePowerSpectrum(anyPath(in), complexPlane, picture, width, height);
      break;
    case 11: {
      OutputFile outs[2];
      const int count = in.ConsumeIntegralInRange<int>(0, 2);
      bool open = true;
      for (int i = 0; i < count; ++i) open = outputOpen(&outs[i], anyPath(in)) == kStatusOk && open;
      for (int i = 0; open && i < count; ++i) {
        const std::vector<uint8_t> bytes = in.ConsumeBytes<uint8_t>(64);
        outputWrite(&outs[i], in.ConsumeBool() ? bytes.data() : nullptr, bytes.size());
      }
      if (open && in.ConsumeBool()) {
        outputsLock(outs, count);
        outputsCommit(outs, count);
      } else {
        for (int i = 0; i < count; ++i) outputDiscard(&outs[i]);
      }
      break;
    }
    case 12:
      outputOpen(nullptr, anyPath(in));
      outputWrite(nullptr, nullptr, size_t(anyInt(in)));
      outputClose(nullptr);
      outputCommit(nullptr);
      outputDiscard(nullptr);
      outputsLock(nullptr, anyInt(in));
      outputsUnlock(nullptr, anyInt(in));
      outputsCommit(nullptr, anyInt(in));
      bmpWrite32To(nullptr, nullptr, width, height);
      writeSpectrumTo(nullptr, nullptr, nullptr, width, height);
      break;
    case 13: {
      complexToImageRounded(complexPlane, picture, width, height, threads);
      renderLogMagnitude(complexPlane, picture, width, height, threads);
      renderPhase(complexPlane, picture, width, height, threads);
      idft2dToImageRounded(complexPlane, picture, width, height, threads);
      SpectrumPeak peaks[8];
      spectrumPeaks(complexPlane, width, height, in.ConsumeBool() ? peaks : nullptr,
                    in.ConsumeBool() ? in.ConsumeIntegralInRange<int32_t>(0, 8) : anyInt(in));
      break;
    }
    case 14: {
      statusText(anyInt(in));
      writeCentredPowerSpectrum(anyPath(in), complexPlane, picture, width, height);
      Plane spectrum = nullptr;
      int32_t w = 0, h = 0;
      if (bmpFileSpectrum(anyPath(in), in.ConsumeBool() ? &spectrum : nullptr,
                          in.ConsumeBool() ? &w : nullptr, in.ConsumeBool() ? &h : nullptr,
                          threads) == kStatusOk)
        std::free(spectrum);
      break;
    }
    default:
      availableProcessors();
      break;
  }
  std::free(complexPlane);
  std::free(picture);
  return 0;
}
