#pragma once
// The one damage generator of every reader's mutation test: copies of a good
// file with flipped bytes, cuts, inserted, removed or repeated runs, inserted
// tokens of the format, or 32-bit fields set to extreme values. The seed
// comes from MIREL_TEST_SEED when set, the number of copies from
// MIREL_MUTATION_ROUNDS.

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace TestSupport {

std::uint64_t envNumber(const char* name, std::uint64_t fallback);

class Damage {
  public:
    explicit Damage(std::uint64_t fallbackSeed, std::vector<std::string> tokens = {});

    // The number of copies to try: MIREL_MUTATION_ROUNDS or the fallback.
    static std::uint64_t rounds(std::uint64_t fallback);

    std::size_t pick(std::size_t n);
    // A damaged copy; `fields` are offsets of 32-bit fields that damage
    // should reach more often than chance would.
    std::vector<std::uint8_t> apply(std::vector<std::uint8_t> bytes, const std::vector<std::size_t>& fields = {});
    std::string apply(const std::string& text, const std::vector<std::size_t>& fields = {});

  private:
    std::vector<std::string> m_tokens;
    std::mt19937_64 m_random;
};

} // namespace TestSupport
