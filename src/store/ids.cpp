#include "store/ids.h"

#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <random>

#include "platform/text.h"

namespace unitarc::store {

namespace {

constexpr char kAlphabet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr std::uint64_t kBase = 62;
// 62^10 still fits a permutation of 60 bits; longer ids are drawn character by character.
constexpr int kMaxPermutedLength = 10;

std::uint64_t mix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// A keyed permutation of [0, 62^length): a counter run through it gives ids that look random
// and are distinct until the whole space is used. A Feistel network permutes the smallest even
// bit width that covers the space; values that fall outside are walked on until they land inside.
class IdSequence {
public:
    IdSequence(int length, std::mt19937_64& engine) : m_length(length) {
        m_size = 1;
        for (int i = 0; i < length; ++i) m_size *= kBase;
        int bits = 0;
        while ((std::uint64_t{1} << bits) < m_size) ++bits;
        m_half = (bits + 1) / 2;
        if (m_half == 0) m_half = 1;
        m_mask = (std::uint64_t{1} << m_half) - 1;
        for (auto& key : m_keys) key = engine();
        m_counter = engine() % m_size;
    }

    std::string next() {
        const std::uint64_t value = permute(m_counter);
        m_counter = (m_counter + 1) % m_size;
        std::string id(static_cast<std::size_t>(m_length), '0');
        std::uint64_t rest = value;
        for (int i = m_length - 1; i >= 0; --i) {
            id[static_cast<std::size_t>(i)] = kAlphabet[rest % kBase];
            rest /= kBase;
        }
        return id;
    }

private:
    std::uint64_t feistel(std::uint64_t x) const {
        std::uint64_t left = x >> m_half, right = x & m_mask;
        for (const auto key : m_keys) {
            const std::uint64_t next = left ^ (mix(right ^ key) & m_mask);
            left = right;
            right = next;
        }
        return (left << m_half) | right;
    }
    std::uint64_t permute(std::uint64_t x) const {
        do x = feistel(x);
        while (x >= m_size);
        return x;
    }

    int m_length;
    std::uint64_t m_size = 1;
    int m_half = 1;
    std::uint64_t m_mask = 1;
    std::array<std::uint64_t, 8> m_keys{};
    std::uint64_t m_counter = 0;
};

class Generator {
public:
    Generator() {
        std::random_device device;
        std::seed_seq seed{device(), device(), device(), device(), device(), device(), device(), device()};
        m_engine.seed(seed);
    }

    std::string draw(int length) {
        std::lock_guard lock(m_mutex);
        if (length > kMaxPermutedLength) {
            std::string id;
            for (int i = 0; i < length; ++i) id += kAlphabet[m_engine() % kBase];
            return id;
        }
        auto it = m_sequences.find(length);
        if (it == m_sequences.end()) it = m_sequences.emplace(length, IdSequence(length, m_engine)).first;
        return it->second.next();
    }

private:
    std::mutex m_mutex;
    std::mt19937_64 m_engine;
    std::map<int, IdSequence> m_sequences;
};

Generator& generator() {
    static Generator g;
    return g;
}

}  // namespace

std::string newNodeId(int length) {
    if (length <= 0) return {};
    try {
        return generator().draw(length);
    } catch (...) {
        return {};
    }
}

std::string newFileId(const std::string& code) {
    return code + text::formatStamp(text::now()) + newNodeId(4);
}

}  // namespace unitarc::store
