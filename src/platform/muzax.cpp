// muzax: music.mp3 decoded by libmpg123 on a thread of its own into a ring
// buffer, played by an SDL2 audio device at 44100 Hz stereo.
//
// Why a decoder thread rather than filling from the main loop: the main loop
// can stall for a long time (loading, a slow first frame, a window drag), and
// the ring would then run dry. The decoder thread keeps ~370 ms ahead whatever
// the main loop does; the audio callback only copies out of the ring.
//
// Files at another rate are decoded at their own rate and converted to 44100
// with an SDL_AudioStream: libmpg123's internal resampler has no
// interpolation and audibly aliases. Mono is duplicated to stereo by
// libmpg123, so a stream may switch between mono and stereo (or change
// layer) anywhere and plays on. A change of sample rate inside the stream
// (two files glued together) ends the music there, with a line on stderr
// that names the time: re-timing the rest would shift everything after it.
// All positions are counted in output frames at 44100.
//
// Locks: `DecodeLock` guards the mpg123 handle, the resampler and the write
// side of the ring; the device lock (SDL_LockAudioDevice, held by SDL around
// every callback) guards the clock and its copy position. SeekMusic takes
// both, always in that order; the decoder thread never takes the device lock
// and the callback never takes `DecodeLock`.
//
// In order: the listener's clock; the module state; decoding (the thread,
// the ring and the resampler); the entry points.
#include "platform/muzax.h"

#include <SDL.h>
#include <mpg123.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

#ifdef QVL_HAVE_ALSA
#include <alsa/asoundlib.h>
#endif

#include "engine/settings.h"

namespace muzax {

// ---- the clock ----

namespace {

constexpr double kCatchUp = 1.125;  // fastest rate of the clock, in real time

double Frames(const TMusicClock& clock, uint64_t from, uint64_t to) {
  if (to <= from) return 0;
  return static_cast<double>(to - from) / clock.ticksPerSecond * clock.rate;
}

// Moves `shown` to `tick`: the furthest estimate of the recent anchors,
// clamped, reached at most kCatchUp times faster than real time.
void Advance(TMusicClock& clock, uint64_t tick) {
  double frames = clock.shown;
  for (int i = 0; i < clock.anchorCount; ++i) {
    frames = std::max(frames, std::min(static_cast<double>(clock.anchorFrame[i]) +
                                           Frames(clock, clock.anchorTick[i], tick),
                                       static_cast<double>(clock.anchorUntil[i])));
  }
  frames = std::min(frames, static_cast<double>(clock.handed));
  if (clock.endFrame >= 0) frames = std::min(frames, static_cast<double>(clock.endFrame));
  frames = std::min(frames, clock.shown + kCatchUp * Frames(clock, clock.shownTick, tick));
  clock.shown = std::max(frames, clock.shown);
  clock.shownTick = std::max(clock.shownTick, tick);
}

}  // namespace

void ClockSeek(TMusicClock& clock, int64_t frame, uint64_t tick) {
  clock.anchorCount = 0;
  clock.anchorNext = 0;
  clock.handed = frame;
  clock.lastCopied = 0;
  clock.lastRequested = 0;
  clock.shown = static_cast<double>(frame);
  clock.shownTick = tick;
}

void ClockCallback(TMusicClock& clock, int64_t copied, int64_t requested, uint64_t tick) {
  // Carry the position reached so far, so that what was heard stays heard
  // even if no one read the clock since the last callback.
  Advance(clock, tick);
  const bool shortBuffer = clock.lastCopied < clock.lastRequested;
  if (shortBuffer || clock.lastCopied <= 0) {
    clock.anchorCount = 0;
    clock.anchorNext = 0;
  }
  if (clock.lastCopied > 0) {
    const int i = clock.anchorNext;
    clock.anchorFrame[i] = clock.handed - clock.lastCopied;
    clock.anchorTick[i] = tick;
    clock.anchorUntil[i] = shortBuffer ? clock.handed : INT64_MAX;
    clock.anchorNext = (i + 1) % kClockAnchors;
    clock.anchorCount = std::min(clock.anchorCount + 1, kClockAnchors);
  }
  clock.handed += copied;
  clock.lastCopied = copied;
  clock.lastRequested = requested;
}

double ClockFrames(TMusicClock& clock, uint64_t tick) {
  Advance(clock, tick);
  return clock.shown;
}

int32_t FramesToMs(double frames, double rate) {
  // The default floating-point rounding mode is to nearest, ties to even.
  return static_cast<int32_t>(std::nearbyint(frames * 1000.0 / rate));
}

// ---- state ----

namespace {

constexpr int kChannels = 2;
constexpr int kFrameBytes = kChannels * static_cast<int>(sizeof(int16_t));
constexpr uint64_t kRingFrames = 16384;  // power of two, ~370 ms
constexpr size_t kChunkFrames = 4096;     // decoded per step
constexpr int kDeviceFrames = 1024;       // asked of the device
constexpr int kMaxIdleReads = 64;         // reads without progress before giving up
constexpr int kTailFrames = 2048;         // silence after the end, at the file's rate

// Device.
SDL_AudioDeviceID Device = 0;
bool AudioSubsystemOpened = false;
int32_t OpenCount = 0;
bool Complained = false;

// Stream.
mpg123_handle* Decoder = nullptr;
SDL_AudioStream* Resampler = nullptr;  // null when the file is at 44100
long NativeRate = kOutputRate;
int64_t TrackFrames = 0;  // from mpg123_scan, at the output rate
std::string StreamName;   // the file name a complaint uses
bool RateChangeSaid = false;

// Ring: written by the decoder (under DecodeLock), read by the callback.
int16_t Ring[kRingFrames * kChannels];
std::atomic<uint64_t> RingWrite{0};
std::atomic<uint64_t> RingRead{0};

// Decoder side (under DecodeLock).
std::mutex DecodeLock;
std::condition_variable DecodeWake;
std::thread DecodeThread;
std::atomic<bool> StopDecoder{false};
int64_t DecodedFrame = 0;  // track frame of the next frame written to the ring
bool DecodeDone = false;
bool ResamplerFlushed = false;
int64_t ResampledEnd = INT64_MAX;  // the track's last frame + 1 once the decoder has met it
off_t SeekNative = 0;              // the native frame decoding last started from
int IdleReads = 0;
int16_t Scratch[kChunkFrames * kChannels];
std::atomic<int64_t> EndFrame{-1};  // set once the decoder has reached the end

// The clock, with the callback's copy position (under the device lock).
TMusicClock Clock;

// The bytes a stream opened by OpenMusicBytes reads, and its read position.
struct MemoryStream {
  std::vector<uint8_t> bytes;
  size_t pos = 0;
};
MemoryStream Memory;

mpg123_ssize_t MemoryRead(void*, void* dest, size_t n) {
  n = std::min(n, Memory.bytes.size() - Memory.pos);
  if (n > 0) std::memcpy(dest, Memory.bytes.data() + Memory.pos, n);
  Memory.pos += n;
  return static_cast<mpg123_ssize_t>(n);
}

off_t MemorySeek(void*, off_t offset, int whence) {
  const off_t size = static_cast<off_t>(Memory.bytes.size());
  const off_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? static_cast<off_t>(Memory.pos) : size;
  if (offset < -base || offset > size - base) return -1;
  Memory.pos = static_cast<size_t>(base + offset);
  return base + offset;
}

void Complain(const char* what, const char* detail) {
  if (Complained) return;
  Complained = true;
  std::fprintf(stderr, "qvlplay: no music: %s%s%s; playing on the frame clock\n", what,
               detail && *detail ? ": " : "", detail ? detail : "");
}

uint64_t Now() { return SDL_GetPerformanceCounter(); }

// A decoder set up as both the player and the capture want it. Gapless, so
// that time 0 is the first audible sample; quiet, because a damaged file is
// reported once by the caller; every rate allowed but only 16-bit stereo, so
// that mono comes out doubled and a rate change arrives as a new format.
mpg123_handle* NewDecoder(int& err) {
  mpg123_init();  // a no-op in current libmpg123, needed by old ones
  mpg123_handle* mh = mpg123_new(nullptr, &err);
  if (mh == nullptr) return nullptr;
  mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0);
  mpg123_param(mh, MPG123_REMOVE_FLAGS, MPG123_AUTO_RESAMPLE, 0);
  mpg123_format_none(mh);
  const long* rates = nullptr;
  size_t rateCount = 0;
  mpg123_rates(&rates, &rateCount);
  for (size_t i = 0; i < rateCount; ++i) mpg123_format(mh, rates[i], MPG123_STEREO, MPG123_ENC_SIGNED_16);
  return mh;
}

// Frames decoded and dropped before a seek target, so that a seek gives the
// very samples of decoding from the start. A Layer III frame's data may begin
// in the frames before it (the bit reservoir: up to 511 bytes back in MPEG-1,
// 255 in MPEG-2 and 2.5), and at the lowest bitrate of the stream's version
// and rate, with two-channel side information and a checksum, a frame holds
// little of it: as many frames as that reach are primed, plus the frame
// before the target (its overlap carries into the target) and the first one
// after the jump (it has no frame before it to reach into). Priming every
// frame the reservoir can reach keeps the seek one call; at 24 kHz and
// 8 kbit/s that is 257 tiny frames, a few ms of decoding.
long PrimingFrames(mpg123_handle* mh) {
  mpg123_frameinfo info{};
  if (mpg123_info(mh, &info) != MPG123_OK || info.rate <= 0) return 4;  // libmpg123's own default
  const bool mpeg1 = info.version == MPG123_1_0;
  const long lowestBitrate = mpeg1 ? 32000 : 8000;
  const long frameBytes = (mpeg1 ? 144 : 72) * lowestBitrate / info.rate;
  const long mainBytes = std::max(1L, frameBytes - 4 - 2 - (mpeg1 ? 32 : 17));
  const long reservoir = mpeg1 ? 511 : 255;
  return (reservoir + mainBytes - 1) / mainBytes + 2;
}

// Reads the opened stream's format and length; null, or what went wrong as
// the start of a complaint that the file name completes.
const char* PrepareDecoder(mpg123_handle* mh, long& rate) {
  int channels = 0, encoding = 0;
  if (mpg123_getformat(mh, &rate, &channels, &encoding) != MPG123_OK || rate <= 0 || channels != kChannels)
    return "no MPEG audio in ";
  mpg123_param(mh, MPG123_PREFRAMES, PrimingFrames(mh), 0);
  if (mpg123_scan(mh) != MPG123_OK) return "cannot read ";
  return nullptr;
}

// After MPG123_NEW_FORMAT: true when the format is still `rate` 16-bit
// stereo; otherwise the stream changed its rate, which is said on stderr
// once (when `said` is false) with the time of the change, or the time it
// lies before when decoding from `start` (a native frame) met it at once.
bool SameFormat(mpg123_handle* mh, long rate, off_t start, const std::string& name, bool& said) {
  long now = 0;
  int channels = 0, encoding = 0;
  if (mpg123_getformat(mh, &now, &channels, &encoding) != MPG123_OK) return false;
  if (now == rate && channels == kChannels && encoding == MPG123_ENC_SIGNED_16) return true;
  if (!said) {
    said = true;
    const off_t at = std::max<off_t>(mpg123_tell(mh), 0);
    std::fprintf(stderr, "qvlplay: the music in %s changes from %ld Hz to %ld Hz %s %.3f s; it ends there\n",
                 name.c_str(), rate, now, at > start ? "at" : "before",
                 static_cast<double>(at) / static_cast<double>(rate));
  }
  return false;
}

#ifdef QVL_HAVE_ALSA
void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}
#endif

// Starts SDL's audio. ALSA, which SDL loads, writes its own error lines to
// stderr when there is no sound card; our single "no music" line says it
// better, so its handler is silenced (the library is the same one SDL uses).
int InitAudioSystem() {
#ifdef QVL_HAVE_ALSA
  snd_lib_error_set_handler(QuietAlsa);
#endif
  return SDL_InitSubSystem(SDL_INIT_AUDIO);
}

void LockDevice() {
  if (Device != 0) SDL_LockAudioDevice(Device);
}
void UnlockDevice() {
  if (Device != 0) SDL_UnlockAudioDevice(Device);
}

void AudioCallback(void*, Uint8* out, int len) {
  const int frames = len / kFrameBytes;
  const uint64_t r = RingRead.load(std::memory_order_relaxed);
  const uint64_t w = RingWrite.load(std::memory_order_acquire);
  const int n = static_cast<int>(std::min<uint64_t>(static_cast<uint64_t>(frames), w - r));
  const uint64_t start = r % kRingFrames;
  const uint64_t first = std::min<uint64_t>(static_cast<uint64_t>(n), kRingFrames - start);
  std::memcpy(out, &Ring[start * kChannels], first * kFrameBytes);
  std::memcpy(out + first * kFrameBytes, &Ring[0], (n - first) * kFrameBytes);
  std::memset(out + n * kFrameBytes, 0, static_cast<size_t>(len - n * kFrameBytes));
  RingRead.store(r + n, std::memory_order_release);
  ClockCallback(Clock, n, frames, Now());
}

// ---- decoding ----

void WriteRing(const int16_t* src, size_t frames) {
  const uint64_t w = RingWrite.load(std::memory_order_relaxed);
  const uint64_t start = w % kRingFrames;
  const size_t first = std::min<size_t>(frames, kRingFrames - start);
  std::memcpy(&Ring[start * kChannels], src, first * kFrameBytes);
  std::memcpy(&Ring[0], src + first * kChannels, (frames - first) * kFrameBytes);
  RingWrite.store(w + frames, std::memory_order_release);
  DecodedFrame += static_cast<int64_t>(frames);
}

void FinishDecoding() {
  DecodeDone = true;
  EndFrame.store(DecodedFrame);
}

// Reads up to `frames` frames from libmpg123 into Scratch; false at the end of
// the stream or on an error it cannot get past (a damaged file ends there).
bool ReadDecoder(size_t frames, size_t& got) {
  size_t bytes = 0;
  const int rc = mpg123_read(Decoder, reinterpret_cast<unsigned char*>(Scratch),
                             frames * kFrameBytes, &bytes);
  got = bytes / kFrameBytes;
  IdleReads = got > 0 ? 0 : IdleReads + 1;
  if (rc == MPG123_OK) return IdleReads < kMaxIdleReads;
  // A mono/stereo switch keeps the stereo output; a new rate ends the music.
  if (rc == MPG123_NEW_FORMAT)
    return SameFormat(Decoder, NativeRate, SeekNative, StreamName, RateChangeSaid) && IdleReads < kMaxIdleReads;
  return false;  // MPG123_DONE, MPG123_NEED_MORE, MPG123_ERR and the rest
}

// One step of decoding into the ring; false when there was nothing to do.
// Called under DecodeLock.
bool FillStep() {
  if (Decoder == nullptr || DecodeDone) return false;
  const uint64_t used =
      RingWrite.load(std::memory_order_relaxed) - RingRead.load(std::memory_order_acquire);
  const size_t room = static_cast<size_t>(kRingFrames - used);
  if (room < kChunkFrames / 4) return false;
  const size_t want = std::min(room, kChunkFrames);

  if (Resampler == nullptr) {
    size_t got = 0;
    const bool more = ReadDecoder(want, got);
    WriteRing(Scratch, got);
    if (!more) FinishDecoding();
    return true;
  }

  const int available = SDL_AudioStreamAvailable(Resampler) / kFrameBytes;
  if (available > 0 && DecodedFrame >= ResampledEnd) {
    FinishDecoding();  // what is left is the silence that carried the end out
    return true;
  }
  if (available > 0) {
    const int n = static_cast<int>(
        std::min<int64_t>({available, static_cast<int64_t>(want), ResampledEnd - DecodedFrame}));
    const int got = SDL_AudioStreamGet(Resampler, Scratch, n * kFrameBytes);
    if (got <= 0) {
      FinishDecoding();
    } else {
      WriteRing(Scratch, static_cast<size_t>(got / kFrameBytes));
    }
    return true;
  }
  if (ResamplerFlushed) {
    FinishDecoding();
    return true;
  }
  // Native frames that make at most `want` output frames.
  const size_t native = std::max<size_t>(
      1, std::min(kChunkFrames, static_cast<size_t>(want * static_cast<double>(NativeRate) /
                                                    kOutputRate)));
  size_t got = 0;
  const bool more = ReadDecoder(native, got);
  if (got > 0 && SDL_AudioStreamPut(Resampler, Scratch, static_cast<int>(got * kFrameBytes)) != 0) {
    FinishDecoding();
    return true;
  }
  if (!more) {
    // The resampler holds back the last few hundred frames it was given
    // until more follow, and its flush may keep them (SDL 2.26 does): a tail
    // of silence carries them out, and the output stops where the track's
    // last native frame lands.
    static const int16_t silence[kTailFrames * kChannels] = {};
    SDL_AudioStreamPut(Resampler, silence, static_cast<int>(sizeof silence));
    SDL_AudioStreamFlush(Resampler);
    ResamplerFlushed = true;
    const off_t end = mpg123_tell(Decoder);
    if (end >= 0)
      ResampledEnd = static_cast<int64_t>(
          std::nearbyint(static_cast<double>(end) * kOutputRate / static_cast<double>(NativeRate)));
  }
  return true;
}

// Decodes until the ring is at least half full or the track has ended.
void Prefill() {
  while (!DecodeDone &&
         RingWrite.load(std::memory_order_relaxed) - RingRead.load(std::memory_order_acquire) <
             kRingFrames / 2) {
    if (!FillStep()) break;
  }
}

void DecoderLoop() {
  std::unique_lock<std::mutex> lock(DecodeLock);
  while (!StopDecoder.load()) {
    if (!FillStep()) {
      DecodeWake.wait_for(lock, std::chrono::milliseconds(4));
    } else {
      // Let SeekMusic in between steps.
      lock.unlock();
      lock.lock();
    }
  }
}

void CloseStream() {
  if (DecodeThread.joinable()) {
    StopDecoder.store(true);
    DecodeWake.notify_all();
    DecodeThread.join();
  }
  StopDecoder.store(false);
  LockDevice();
  if (Decoder != nullptr) {
    mpg123_delete(Decoder);
    Decoder = nullptr;
  }
  if (Resampler != nullptr) {
    SDL_FreeAudioStream(Resampler);
    Resampler = nullptr;
  }
  RingRead.store(RingWrite.load());
  Clock = TMusicClock{};
  UnlockDevice();
  Memory = MemoryStream{};
  TrackFrames = 0;
  StreamName.clear();
  RateChangeSaid = false;
  DecodedFrame = 0;
  DecodeDone = false;
  ResamplerFlushed = false;
  ResampledEnd = INT64_MAX;
  IdleReads = 0;
  EndFrame.store(-1);
}

// Moves the decoder to `frame` (output rate) and empties the ring. Called with
// DecodeLock held and the device locked.
void SeekDecoder(int64_t frame) {
  const auto native = static_cast<off_t>(
      std::nearbyint(static_cast<double>(frame) * static_cast<double>(NativeRate) / kOutputRate));
  const bool ok = mpg123_seek(Decoder, native, SEEK_SET) >= 0;
  SeekNative = native;
  if (Resampler != nullptr) SDL_AudioStreamClear(Resampler);
  RingRead.store(RingWrite.load());
  DecodedFrame = frame;
  DecodeDone = false;
  ResamplerFlushed = false;
  ResampledEnd = INT64_MAX;
  IdleReads = 0;
  EndFrame.store(-1);
  if (!ok) FinishDecoding();
  Clock.ticksPerSecond = static_cast<double>(SDL_GetPerformanceFrequency());
  ClockSeek(Clock, frame, Now());
}

// Reads the clock under the device lock, with the end if the decoder knows it.
double CurrentFrames() {
  LockDevice();
  Clock.endFrame = EndFrame.load();
  const double frames = ClockFrames(Clock, Now());
  UnlockDevice();
  return frames;
}

}  // namespace

// ---- entry points ----

void InitAudio(int32_t soundDevice) {
  // A run with sound off must not touch the audio device at all.
  if (settings::SoundOff || Device != 0) return;
  if (!AudioSubsystemOpened) {
    if (InitAudioSystem() != 0) {
      Complain("cannot start the audio system", SDL_GetError());
      return;
    }
    AudioSubsystemOpened = true;
  }
  const char* name = nullptr;
  if (soundDevice > 0) {
    const int count = SDL_GetNumAudioDevices(0);
    if (soundDevice <= count) {
      name = SDL_GetAudioDeviceName(soundDevice - 1, 0);
    } else {
      std::fprintf(stderr, "qvlplay: sound device %d not found; using the default output\n",
                   soundDevice);
    }
  }
  SDL_AudioSpec want{};
  want.freq = kOutputRate;
  want.format = AUDIO_S16SYS;
  want.channels = kChannels;
  want.samples = kDeviceFrames;
  want.callback = AudioCallback;
  SDL_AudioSpec have{};
  // Rate, format and channels are converted by SDL if the hardware differs, so
  // the callback always sees 44100 Hz stereo 16-bit.
  Device = SDL_OpenAudioDevice(name, 0, &want, &have, SDL_AUDIO_ALLOW_SAMPLES_CHANGE);
  if (Device == 0) {
    Complain("cannot open the audio device", SDL_GetError());
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    AudioSubsystemOpened = false;
    return;
  }
  ++OpenCount;
}

namespace {

// Opens the stream from the file, or from `bytes` when given.
void Open(const std::string& fileName, const std::vector<uint8_t>* bytes) {
  if (settings::SoundOff) return;
  CloseStream();
  int err = MPG123_OK;
  Decoder = NewDecoder(err);
  if (Decoder == nullptr) {
    Complain("cannot start the MP3 decoder", mpg123_plain_strerror(err));
    return;
  }
  StreamName = fileName;
  const char* failure = nullptr;
  bool opened = false;
  if (bytes == nullptr) {
    opened = mpg123_open(Decoder, fileName.c_str()) == MPG123_OK;
  } else {
    Memory.bytes = *bytes;
    opened = mpg123_replace_reader_handle(Decoder, MemoryRead, MemorySeek, nullptr) == MPG123_OK &&
             mpg123_open_handle(Decoder, &Memory) == MPG123_OK;
  }
  failure = opened ? PrepareDecoder(Decoder, NativeRate) : "cannot open ";
  const off_t length = failure ? 0 : mpg123_length(Decoder);
  if (!failure && length <= 0) failure = "no MPEG audio in ";
  if (failure) {
    Complain((failure + fileName).c_str(), mpg123_plain_strerror(mpg123_errcode(Decoder)));
    mpg123_delete(Decoder);
    Decoder = nullptr;
    return;
  }
  TrackFrames = static_cast<int64_t>(std::nearbyint(static_cast<double>(length) * kOutputRate /
                                                    static_cast<double>(NativeRate)));
  if (NativeRate != kOutputRate) {
    Resampler = SDL_NewAudioStream(AUDIO_S16SYS, kChannels, static_cast<int>(NativeRate),
                                   AUDIO_S16SYS, kChannels, kOutputRate);
    if (Resampler == nullptr) {
      Complain("cannot convert the music's sample rate", SDL_GetError());
      mpg123_delete(Decoder);
      Decoder = nullptr;
      return;
    }
  }
  {
    std::lock_guard<std::mutex> guard(DecodeLock);
    LockDevice();
    SeekDecoder(0);
    UnlockDevice();
    Prefill();
  }
  if (Device == 0) return;  // decodes nothing more without a device to play it
  DecodeThread = std::thread(DecoderLoop);
}

}  // namespace

void OpenMusic(const std::string& fileName) { Open(fileName, nullptr); }

void OpenMusicBytes(const std::vector<uint8_t>& bytes, const std::string& name) { Open(name, &bytes); }

int64_t DecodeWithoutDevice(int64_t maxFrames) {
  if (Decoder == nullptr || Device != 0) return 0;
  std::lock_guard<std::mutex> guard(DecodeLock);
  int64_t decoded = 0;
  for (;;) {
    // Nobody listens: what waits in the ring (the prefill included) is dropped.
    decoded += static_cast<int64_t>(RingWrite.load() - RingRead.load());
    RingRead.store(RingWrite.load());
    if (DecodeDone || decoded >= maxFrames || !FillStep()) break;
  }
  return decoded;
}

void SeekMusic(int32_t ms) {
  if (Decoder == nullptr) return;
  int64_t frame = static_cast<int64_t>(std::nearbyint(static_cast<double>(ms) * kOutputRate / 1000.0));
  frame = std::clamp<int64_t>(frame, 0, TrackFrames);
  std::lock_guard<std::mutex> guard(DecodeLock);
  LockDevice();
  SeekDecoder(frame);
  UnlockDevice();
  Prefill();
}

void PlayMusic() {
  if (Device != 0 && Decoder != nullptr) SDL_PauseAudioDevice(Device, 0);
}

void PauseMusic(bool pause) {
  if (pause) {
    if (Device != 0) SDL_PauseAudioDevice(Device, 1);
  } else {
    PlayMusic();
  }
}

int32_t MusicPosition() {
  if (Decoder == nullptr) return 0;
  return FramesToMs(CurrentFrames(), kOutputRate);
}

void FreeAudio() {
  // Nothing was opened: make no audio call at all.
  if (Device == 0 && Decoder == nullptr && !AudioSubsystemOpened) {
    Complained = false;
    return;
  }
  if (Device != 0) SDL_PauseAudioDevice(Device, 1);
  CloseStream();
  if (Device != 0) {
    SDL_CloseAudioDevice(Device);
    Device = 0;
  }
  if (AudioSubsystemOpened) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    AudioSubsystemOpened = false;
  }
  Complained = false;
}

bool MusicAvailable() { return Device != 0 && Decoder != nullptr; }

bool MusicEnded() {
  if (Decoder == nullptr) return false;
  const int64_t end = EndFrame.load();
  return end >= 0 && CurrentFrames() >= static_cast<double>(end);
}

bool DecodeSpan(const std::string& fileName, int32_t fromMs, int64_t frameCount, int32_t frameRate, TPcm& out,
                std::string& error) {
  out = TPcm{};
  int err = MPG123_OK;
  mpg123_handle* mh = NewDecoder(err);
  if (mh == nullptr) {
    error = std::string("cannot start the MP3 decoder: ") + mpg123_plain_strerror(err);
    return false;
  }
  long rate = 0;
  const char* failure = mpg123_open(mh, fileName.c_str()) == MPG123_OK ? PrepareDecoder(mh, rate) : "cannot open ";
  if (failure) {
    error = failure + fileName;
    mpg123_delete(mh);
    return false;
  }

  // In sample frames of the file; the span may start before the track.
  const auto first = static_cast<int64_t>(std::nearbyint(static_cast<double>(fromMs) * rate / 1000.0));
  const auto count = static_cast<int64_t>(
      std::nearbyint(static_cast<double>(std::max<int64_t>(frameCount, 0)) * rate / std::max(frameRate, 1)));
  out.Rate = static_cast<int32_t>(rate);
  out.Samples.assign(static_cast<size_t>(count) * kChannels, 0);
  int64_t at = first < 0 ? -first : 0;  // frames of `out` filled or skipped so far
  if (at < count && mpg123_seek(mh, static_cast<off_t>(std::max<int64_t>(first, 0)), SEEK_SET) >= 0) {
    int idle = 0;
    bool said = false;
    while (at < count && idle < kMaxIdleReads) {
      size_t bytes = 0;
      const size_t want = static_cast<size_t>(count - at) * kFrameBytes;
      auto* into = reinterpret_cast<unsigned char*>(&out.Samples[static_cast<size_t>(at) * kChannels]);
      const int rc = mpg123_read(mh, into, want, &bytes);
      at += static_cast<int64_t>(bytes / kFrameBytes);
      idle = bytes > 0 ? 0 : idle + 1;
      // The end, damage or a new rate: the player stops there too.
      const off_t start = static_cast<off_t>(std::max<int64_t>(first, 0));
      if (rc == MPG123_NEW_FORMAT ? !SameFormat(mh, rate, start, fileName, said) : rc != MPG123_OK) break;
    }
  }
  mpg123_delete(mh);
  return true;
}

std::vector<std::string> PlaybackDevices() {
  std::vector<std::string> names;
  if (InitAudioSystem() != 0) return names;
  const int count = SDL_GetNumAudioDevices(0);
  for (int i = 0; i < count; ++i) {
    const char* name = SDL_GetAudioDeviceName(i, 0);
    names.emplace_back(name ? name : "");
  }
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  return names;
}

int32_t MusicLength() {
  if (Decoder == nullptr) return 0;
  return FramesToMs(static_cast<double>(TrackFrames), kOutputRate);
}

int32_t AudioOpenCount() { return OpenCount; }

int64_t FramesConsumed() {
  LockDevice();
  const int64_t handed = Clock.handed;
  UnlockDevice();
  return handed;
}

}  // namespace muzax
