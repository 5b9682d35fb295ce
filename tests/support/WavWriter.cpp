#include "tests/support/WavWriter.h"

#include "tests/support/ZipWriter.h"

namespace TestSupport {

std::string wavBytes(int rate, int channels, int bitsPerSample, const std::string& pcm) {
    const auto blockAlign = static_cast<std::uint16_t>(channels * bitsPerSample / 8);
    std::string out = "RIFF";
    putU32(out, static_cast<std::uint32_t>(36 + pcm.size()));
    out += "WAVEfmt ";
    putU32(out, 16);
    putU16(out, 1); // PCM
    putU16(out, static_cast<std::uint16_t>(channels));
    putU32(out, static_cast<std::uint32_t>(rate));
    putU32(out, static_cast<std::uint32_t>(rate) * blockAlign);
    putU16(out, blockAlign);
    putU16(out, static_cast<std::uint16_t>(bitsPerSample));
    out += "data";
    putU32(out, static_cast<std::uint32_t>(pcm.size()));
    return out + pcm;
}

std::string levelWav(int rate, int channels, int bits, int level, int frames) {
    std::string pcm;
    for (int i = 0; i < frames * channels; ++i) {
        if (bits == 16)
            putU16(pcm, static_cast<std::uint16_t>(level));
        else
            pcm.push_back(static_cast<char>(level & 0xFF));
    }
    return wavBytes(rate, channels, bits, pcm);
}

} // namespace TestSupport
