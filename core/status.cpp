#include "speccore/status.h"

namespace speccore {

const char* statusText(int status) {
  switch (status) {
    case kStatusOk:
      return "success";
    case kBmpNoImage:
      return "no BMP image: the file holds 54 bytes or fewer";
    case kBmpNotBmp:
      return "not a BMP file: no \"BM\" at its start, or a reserved word not 0";
    case kBmpCompressed:
      return "a compressed BMP, or one of more than one plane";
    case kBmpSizeMismatch:
      return "the BMP's rows, palette or image size lie outside the file";
    case kBmp32BitOffset:
      return "a 32-bit BMP whose pixels do not follow the 54-byte header";
    case kBmp24BitOffset:
      return "a 24-bit BMP whose pixels do not follow the 54-byte header";
    case kBmp8BitPalette:
      return "an 8-bit BMP whose palette is no whole number of entries";
    case kBmp1BitPalette:
      return "a 1-bit BMP whose palette is not 2 entries";
    case kStatusBitCount:
      return "a BMP bit count the decoder does not expand";
    case kStatusOpen:
      return "the file cannot be opened";
    case kStatusStat:
      return "the file's size cannot be queried";
    case kStatusSize:
      return "the file is too short for its kind, or 2 GiB or longer";
    case kStatusMemory:
      return "not enough memory";
    case kStatusRead:
      return "the file cannot be read";
    case kStatusOutput:
      return "an output cannot be created or written whole";
    case kStatusNotSpectrum:
      return "not a usable spectrum file";
    case kStatusNotFinite:
      return "the inverse transform is not finite";
    case kStatusTooSmall:
      return "a picture 1 pixel wide or high has no spectrum a reader takes";
    case kStatusArgument:
      return "an argument the operation cannot take";
    case kStatusNoFft:
      return "this build has no FFT";
    default:
      return "unknown status";
  }
}

}  // namespace speccore
