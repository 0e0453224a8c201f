// The library's side of the message sink (speccore/message.h): every line an
// operation reports goes through report().
#ifndef SPECCORE_REPORT_H
#define SPECCORE_REPORT_H

#if defined(__MINGW32__)
#define SPECCORE_PRINTF_LIKE __attribute__((format(gnu_printf, 1, 2)))
#elif defined(__GNUC__)
#define SPECCORE_PRINTF_LIKE __attribute__((format(printf, 1, 2)))
#else
#define SPECCORE_PRINTF_LIKE
#endif

namespace speccore {

// Formats one line as printf does, without its final newline, and hands it
// to the sink. A line that does not fit a small buffer is formatted again in
// one of its length; when that cannot be had it goes out cut short.
void report(const char* format, ...) SPECCORE_PRINTF_LIKE;

}  // namespace speccore

#endif
