// messages: every message box of the program goes through here.
//
// A box has no owner, a caption, a text and one OK button. The sink that
// shows it is installed by the player (a real box) or by tests (capture);
// until then, and wherever no display is available, it is written to
// stderr as "<caption>: <text>".
#pragma once

#include <functional>
#include <stdexcept>
#include <string>

namespace messages {

using Sink = std::function<void(const std::string& caption, const std::string& text)>;

void Show(const std::string& caption, const std::string& text);
// Installs a sink; an empty one restores the stderr writer. Returns the old one.
Sink SetSink(Sink sink);
// Installs a sink for the calling thread alone, used ahead of the shared
// one: a worker thread collects its messages for the thread that shows
// them. An empty one ends it. Returns the old one.
Sink SetThreadSink(Sink sink);
// The stderr writer.
void WriteToStderr(const std::string& caption, const std::string& text);

// A fault that ends the program once its message has been shown. The player
// catches it at the top, shuts down normally and exits with status 1.
class Fatal : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
// Shows the message, then throws Fatal.
[[noreturn]] void ShowFatal(const std::string& caption, const std::string& text);

}  // namespace messages
