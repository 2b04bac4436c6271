// muzax: music playback. music.mp3 is decoded ahead of the audio device;
// MusicPosition is what the listener hears, in whole milliseconds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace muzax {

// Opens the output: soundDevice 0 is the default output, k the k-th entry of
// PlaybackDevices(). A failure is said once on stderr; the music then stays off.
void InitAudio(int32_t soundDevice);
// Opens the MP3 stream (the player passes "music.mp3").
void OpenMusic(const std::string& fileName);
// The same on a copy of `bytes`; `name` is what a complaint calls them.
void OpenMusicBytes(const std::vector<uint8_t>& bytes, const std::string& name);
// With no device open: decodes and drops the open stream's output frames
// from its position on (those already decoded ahead included), stopping once
// `maxFrames` are passed; returns how many there were. For tools and tests.
int64_t DecodeWithoutDevice(int64_t maxFrames);
void SeekMusic(int32_t ms);
void PlayMusic();
// Holds the device (true) or lets it play on (false); the position stays.
void PauseMusic(bool pause);
// The position the listener hears, ms, rounded half to even. Never goes
// backwards except after SeekMusic; stops at the end of the track.
int32_t MusicPosition();
// Frees the stream and the device; harmless when nothing was opened.
void FreeAudio();

// True while a stream is open on a device, so MusicPosition is the clock.
bool MusicAvailable();
// True once playback has consumed the whole track.
bool MusicEnded();

// The playback devices, in the order the setup window lists them after
// "<Default>".
std::vector<std::string> PlaybackDevices();

// The rate the device plays at; all frame counts below are at this rate.
inline constexpr int32_t kOutputRate = 44100;

// Length of the open track in ms (0 when none is open).
int32_t MusicLength();
// How often an output device has been opened since the program started, so
// tests can check that a run with sound off never touches the audio device.
int32_t AudioOpenCount();
// The track frame after the last one the device has taken from the decoder
// (the copy position of the audio callback); the position heard lags it by
// what the device still buffers.
int64_t FramesConsumed();

// Music decoded to memory with no audio device, for captures: 16-bit stereo
// at the file's own rate, so nothing is resampled.
struct TPcm {
  int32_t Rate = 0;             // frames a second
  std::vector<int16_t> Samples;  // left, right, left, ...
};
// The music from demo time `fromMs` for frameCount / frameRate seconds
// (rounded to whole sample frames). Time before the track's start or past its
// end (a change of sample rate inside the file is its end) is silence.
// False with a one-line reason when the file cannot be decoded.
bool DecodeSpan(const std::string& fileName, int32_t fromMs, int64_t frameCount, int32_t frameRate, TPcm& out,
                std::string& error);

// The listener's clock, kept apart from the device so that it can be driven
// with made-up ticks. The device holds two buffers: when a callback runs, the
// buffer the previous callback filled starts playing, so its first frame is
// heard at that moment (an anchor). Between callbacks the clock runs on a
// high-resolution timer from the anchors, but never past the frames handed to
// the device, never past the end of the track, and never back (except through
// ClockSeek).
//
// A callback may start late (its thread woke late) but the device never plays
// early, so of the recent anchors the one that puts the clock furthest on is
// the truest; the estimate is the largest of the last kClockAnchors. Keeping
// only those (~190 ms of callbacks) lets it follow a device whose rate differs
// a little from the timer's. A buffer that ran short (the decoder fell behind,
// or the track ended) was padded with silence: the anchors from before it no
// longer hold, and its own holds only up to its last real frame. When a better
// anchor puts the estimate ahead, the clock catches up at most 1/8 faster than
// real time instead of jumping.
inline constexpr int kClockAnchors = 8;
struct TMusicClock {
  double rate = kOutputRate;                  // frames a second
  double ticksPerSecond = 1e9;                // timer ticks a second
  int64_t anchorFrame[kClockAnchors] = {};    // the frame heard at anchorTick ...
  uint64_t anchorTick[kClockAnchors] = {};
  int64_t anchorUntil[kClockAnchors] = {};    // ... and the frames after it up to this one
  int anchorCount = 0;                        // anchors in use (none before playback starts)
  int anchorNext = 0;                         // the slot the next anchor goes to
  int64_t handed = 0;                         // track frame after the last one handed over
  int64_t lastCopied = 0;                     // track frames in the last callback's buffer
  int64_t lastRequested = 0;                  // frames the last callback was asked for
  int64_t endFrame = -1;                      // frames in the track, -1 while unknown
  double shown = 0;                           // largest position read since the last seek
  uint64_t shownTick = 0;                     // when `shown` was reckoned
};
// The track jumps to `frame` at `tick`; nothing of it is handed over yet.
void ClockSeek(TMusicClock& clock, int64_t frame, uint64_t tick);
// A callback at `tick` asked for `requested` frames and got `copied` track
// frames (the rest silence).
void ClockCallback(TMusicClock& clock, int64_t copied, int64_t requested, uint64_t tick);
// The frame heard at `tick` (fractional); remembers it so later reads never go back.
double ClockFrames(TMusicClock& clock, uint64_t tick);
// Frames to whole ms, rounded to nearest, ties to even.
int32_t FramesToMs(double frames, double rate);

}  // namespace muzax
