#pragma once
// Writes canonical PCM WAV files (RIFF, "fmt " chunk of 16 bytes, "data"
// chunk) for the sound tests.

#include <cstdint>
#include <string>

namespace TestSupport {

// pcm holds the sample frames as they go into the data chunk.
std::string wavBytes(int rate, int channels, int bitsPerSample, const std::string& pcm);

// frames frames of one level on every channel: 16-bit signed when bits is
// 16, else 8-bit unsigned (level taken modulo 256).
std::string levelWav(int rate, int channels, int bits, int level, int frames);

} // namespace TestSupport
