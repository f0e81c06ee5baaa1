#pragma once
// Where FFmpeg's own error messages go. By default the libraries print them
// on standard error; a program whose standard error must carry only its own
// lines (JSON progress) sends them through our log instead, where a render's
// thread sink can attach them to that render.
//
// Threads: call once, early, on the main thread; the libraries then log from
// any thread.

namespace tintreel {

void sendLibraryMessagesToLog();

}  // namespace tintreel
