// speccore/message.h: where the library's messages go.
//
// An operation that meets a failure reports it in one line, the line given in
// its comment ("'%s' open error." with the path, for example). Every line goes
// to the message sink: by default standard error, where it is written with
// its newline in one call, exactly as a program prints. An application that
// shows the lines elsewhere (a window, a web page, a log) sets a sink of its
// own; a plain function and a pointer of the caller's are all it takes, so C
// glue (Emscripten's, for one) can set it as easily as C++.
#ifndef SPECCORE_MESSAGE_H
#define SPECCORE_MESSAGE_H

#include "types.h"

namespace speccore {

// Receives one line, without its final newline, and the `user` pointer given
// with the sink. Called on the thread of the operation that reports, for one
// line at a time: calls never overlap. It must not call setMessageSink.
typedef void (*MessageSink)(void* user, const char* line);

// Sends every later line to sink(user, line); a null sink restores standard
// error. Set it before the operations whose lines it should receive start,
// and do not change it while they run: a line reported meanwhile goes to the
// old sink or the new one, whole, and the old one must stay callable until
// setMessageSink has returned. The sink is one for the whole process.
SPECCORE_API void setMessageSink(MessageSink sink, void* user);

}  // namespace speccore

#endif
