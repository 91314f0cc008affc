// Music files (WMA, MP3, Ogg, FLAC, AAC/M4A, WAV, and MIDI files through the
// synthesizer): one at a time, with volume, rate,
// a start position and looping between two points checked once per frame.
// Positions are milliseconds at this interface and seconds inside.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/AudioStream.h"

namespace zun {

struct zDShowState {
    float Volume = 0.0f;  // 0 until the game's settings set it
    std::shared_ptr<MusicStream> MediaControl;  // the loaded file; none when nothing is loaded
    bool Loaded = false;
    bool Looping = false;
    double LoopStart = 0;  // seconds
    double LoopEnd = 0;    // seconds
};
extern zDShowState zDShow;

void MusicCheckLoop();
int32_t GetMusicPosition();
bool PlayMusicFile(const std::string& FileName, bool Looping, float Volume, float Speed, int32_t LoopStartMs,
                   int32_t LoopEndMs, int32_t StartMs);
void DShow_Release();
// When a music folder (game path) holds music files other than MIDI, their
// decoder's libraries start opening on a thread of their own at start-up, so
// that the first of them played starts without waiting for them (a file
// never waits for them in the frame's thread: its own decode thread opens
// them). A game with MIDI music only never loads them.
void DShow_Prepare(const std::string& Folder);
bool LoadMusic(const std::string& FileName);
void SetupMusic(float Volume, float Speed);
void MusicStop();
void MusicPlay(int32_t StartMs);

}  // namespace zun
