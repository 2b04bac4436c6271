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
void SeekMusic(int32_t ms);
void PlayMusic();
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

}  // namespace muzax
