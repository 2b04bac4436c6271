// videoOut: a video file made by the ffmpeg program. Raw frames go down a
// pipe into a silent video under a temporary name; at the end the music
// (a WAV of the same span) is muxed in and the result renamed into place, so
// a failed or interrupted export leaves nothing behind.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace videoOut {

// True when the ffmpeg program can be found on PATH.
bool HaveFfmpeg();
// Starts ffmpeg for `path` (.mp4 and .mkv get H.264, .webm VP9). False with
// a one-line reason.
bool Start(const std::string& path, int width, int height, int32_t rate, std::string& error);
// A pixel buffer for the next Put, used before (or empty).
std::vector<uint8_t> Spare();
// Queues one frame of RGB rows, bottom row first, as OpenGL reads them.
// False when ffmpeg has gone.
bool Put(std::vector<uint8_t>&& bottomUpRgb, std::string& error);
// Ends the video, muxes `wavPath` in unless it is empty, and renames the
// file into place. False with a reason; nothing is left behind then.
bool Finish(const std::string& wavPath, std::string& error);
// Stops ffmpeg and removes the temporary files; harmless when nothing runs.
void Abort();

// The temporary name beside `path` for a part of the export (`what`).
std::string TempName(const std::string& path, const char* what);

}  // namespace videoOut
