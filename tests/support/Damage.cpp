#include "tests/support/Damage.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>

namespace TestSupport {

std::uint64_t envNumber(const char* name, std::uint64_t fallback) {
    const char* text = std::getenv(name);
    return text != nullptr ? std::strtoull(text, nullptr, 10) : fallback;
}

Damage::Damage(std::uint64_t fallbackSeed, std::vector<std::string> tokens)
    : m_tokens(std::move(tokens)), m_random(envNumber("MIREL_TEST_SEED", fallbackSeed)) {}

std::uint64_t Damage::rounds(std::uint64_t fallback) { return envNumber("MIREL_MUTATION_ROUNDS", fallback); }

std::size_t Damage::pick(std::size_t n) {
    return n == 0 ? 0 : std::uniform_int_distribution<std::size_t>(0, n - 1)(m_random);
}

std::vector<std::uint8_t> Damage::apply(std::vector<std::uint8_t> bytes, const std::vector<std::size_t>& fields) {
    static constexpr std::uint32_t Extremes[] = {0,          1,       0x7FFFFFFF, 0x80000000, 0xFFFFFFFF,
                                                 0xFFFFFFFE, 0x10000, 0xFFFF,     0xFFFFFF,   0x40000000,
                                                 0x7F800000 /* inf */, 0x7FC00000 /* NaN */};
    const std::size_t kind = pick(8);
    const std::size_t edits = 1 + pick(4);
    for (std::size_t e = 0; e < edits && !bytes.empty(); ++e) {
        const std::size_t at = pick(bytes.size());
        const auto position = bytes.begin() + static_cast<std::ptrdiff_t>(at);
        const std::size_t field = fields.empty() || pick(3) == 0 ? at : fields[pick(fields.size())];
        switch (kind) {
        case 0:
            bytes[at] = static_cast<std::uint8_t>(pick(256));
            break;
        case 1:
            bytes.resize(at);
            return bytes;
        case 2:
            bytes.insert(position, 1 + pick(8), static_cast<std::uint8_t>(pick(256)));
            break;
        case 3:
            bytes.erase(position, bytes.begin() + static_cast<std::ptrdiff_t>(std::min(bytes.size(), at + 1 + pick(16))));
            break;
        case 4: {
            const std::vector<std::uint8_t> run(position, bytes.begin() + static_cast<std::ptrdiff_t>(
                                                                std::min(bytes.size(), at + 1 + pick(64))));
            bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at), run.begin(), run.end());
            break;
        }
        case 5: {
            const std::string token = m_tokens.empty() ? std::to_string(static_cast<std::int32_t>(m_random()))
                                                       : m_tokens[pick(m_tokens.size())];
            bytes.insert(position, token.begin(), token.end());
            break;
        }
        case 6: {
            const std::uint32_t value = pick(3) == 0 ? static_cast<std::uint32_t>(pick(300))
                                                     : Extremes[pick(std::size(Extremes))];
            for (std::size_t i = 0; i < 4 && field + i < bytes.size(); ++i)
                bytes[field + i] = static_cast<std::uint8_t>(value >> (8 * i));
            break;
        }
        default:
            if (field + 3 < bytes.size()) bytes[field + pick(4)] ^= static_cast<std::uint8_t>(1u << pick(8));
            break;
        }
    }
    return bytes;
}

std::string Damage::apply(const std::string& text, const std::vector<std::size_t>& fields) {
    const std::vector<std::uint8_t> bytes = apply(std::vector<std::uint8_t>(text.begin(), text.end()), fields);
    return std::string(bytes.begin(), bytes.end());
}

} // namespace TestSupport
