// frameRead: reads rendered frames back from the framebuffer as RGB rows,
// bottom row first, from its lower left corner. Where the driver has
// pixel-buffer objects the read of a frame is only started when it has been
// drawn and collected one frame later, so that the copy runs beside the
// drawing of the next; elsewhere glReadPixels reads each frame at once.
#pragma once

#include <cstdint>
#include <vector>

namespace frameRead {

enum class TMode { Auto, Plain };  // Plain: never pixel-buffer objects
enum class TResult { None, Frame, Failed };

// Prepares reading width x height frames; needs the current GL context.
void Start(int width, int height, TMode mode = TMode::Auto);
// True when reads are one frame behind (pixel-buffer objects in use).
bool Deferred();
// Starts reading the frame just drawn. Frame: `out` holds the frame before
// it (deferred) or this one; None: nothing to hand over yet; Failed: the
// driver lost the pixels.
TResult Read(std::vector<uint8_t>& out);
// The frame still being read, after the last Read: Frame, None or Failed.
TResult Drain(std::vector<uint8_t>& out);
// Frees the buffers; harmless when nothing was started.
void Shutdown();

}  // namespace frameRead
