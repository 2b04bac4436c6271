// pngPool: encodes captured frames to PNG files on worker threads, one per
// core, so that the renderer only reads pixels. Files are written in frame
// order; the queue is small and Put waits while it is full.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pngPool {

// Starts the workers for frames of width x height into `dir`.
void Start(const std::string& dir, int width, int height);
// A pixel buffer for the next Put, used before (or empty): the buffers in
// use never number more than the queue and the workers hold.
std::vector<uint8_t> Spare();
// Hands over frame `frame` (RGB rows, bottom row first, as OpenGL reads
// them). Frames come in increasing order. False once any write has failed.
bool Put(int64_t frame, std::vector<uint8_t>&& bottomUpRgb);
// Waits for the queued frames and stops the workers. False with the first
// failure in `error`; frames after a failed one are not written.
bool Finish(std::string& error);

// The file name of frame `frame` in `dir`.
std::string FrameFileName(const std::string& dir, int64_t frame);

}  // namespace pngPool
