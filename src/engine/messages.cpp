#include "engine/messages.h"

#include <cstdio>

namespace messages {

namespace {
Sink sink;
thread_local Sink threadSink;
}

void WriteToStderr(const std::string& caption, const std::string& text) {
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

void Show(const std::string& caption, const std::string& text) {
  if (threadSink)
    threadSink(caption, text);
  else if (sink)
    sink(caption, text);
  else
    WriteToStderr(caption, text);
}

void ShowFatal(const std::string& caption, const std::string& text) {
  Show(caption, text);
  throw Fatal(caption + ": " + text);
}

Sink SetThreadSink(Sink s) {
  Sink old = std::move(threadSink);
  threadSink = std::move(s);
  return old;
}

Sink SetSink(Sink s) {
  Sink old = std::move(sink);
  sink = std::move(s);
  return old;
}

}  // namespace messages
