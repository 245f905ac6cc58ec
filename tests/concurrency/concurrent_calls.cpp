// Eight threads call the crypto exports and the matcher at once, each on inputs of its own, in
// a fresh process: the first call of every export (the library's loading, the processor check,
// the tables) races too. Every result must equal what one thread alone computes afterwards.
// Exits non-zero on any difference.
#include <cstdint>
#include <cstdio>
#include <latch>
#include <string>
#include <thread>
#include <vector>

#include "common/fixed_input.h"
#include "common/library_under_test.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr unsigned threadCount = 8;
constexpr unsigned rounds = 60;

using tessaly::testing::input;

void append(Bytes& record, const Bytes& bytes) { record.insert(record.end(), bytes.begin(), bytes.end()); }

// One round's results for one thread, every export on inputs made from (thread, round).
Bytes oneRound(unsigned thread, unsigned round) {
    const std::uint32_t seed = thread * 1000 + round;
    const std::size_t length = 1 + (seed * 37) % 3000;  // short calls and the many-block paths
    const Bytes data = input(length, seed);
    const Bytes key = input(32, seed ^ 0x9E3779B9u);
    Bytes record;

    for (const std::int32_t keyLength : {16, 24, 32}) {
        Bytes buffer = data;
        buffer.resize((length + 15) / 16 * 16, 0);
        EXPORT(DoAES)(buffer.data(), static_cast<std::int32_t>(length), key.data(), keyLength, 0);
        append(record, buffer);
        EXPORT(DoAES)(buffer.data(), static_cast<std::int32_t>(buffer.size()), key.data(), keyLength, 1);
        append(record, buffer);
    }
    Bytes blocks = data;
    blocks.resize((length + 7) / 8 * 8, 0);
    for (const std::int32_t mode : {0, 1}) {
        EXPORT(DoDES)(blocks.data(), static_cast<std::int32_t>(blocks.size()), key.data(), mode);
        append(record, blocks);
        EXPORT(Do3DES)(blocks.data(), static_cast<std::int32_t>(blocks.size()), key.data(), mode);
        append(record, blocks);
        EXPORT(DoBlowfish)(blocks.data(), static_cast<std::int32_t>(blocks.size()), key.data(), 20, mode);
        append(record, blocks);
    }

    Bytes digest(32);
    EXPORT(SHA_256)(data.data(), static_cast<std::uint32_t>(length), digest.data());
    append(record, digest);
    EXPORT(MD5_Ex)(data.data(), static_cast<std::uint32_t>(length), key.data(), 16, digest.data());
    append(record, digest);
    EXPORT(MD5_Ex)(data.data(), static_cast<std::uint32_t>(length), key.data(), 0, digest.data());
    append(record, digest);

    Bytes text((length + 2) / 3 * 4);
    const std::int32_t encoded = EXPORT(DoBASE64)(data.data(), static_cast<std::int32_t>(length), text.data(), 0, 0);
    Bytes decoded(text.size());
    const std::int32_t decodedCount = EXPORT(DoBASE64)(text.data(), encoded, decoded.data(), 0, 1);
    append(record, text);
    decoded.resize(static_cast<std::size_t>(decodedCount > 0 ? decodedCount : 0));
    append(record, decoded);

    Bytes line(16 * 24);
    std::int32_t lineLength = 0;
    const std::int32_t rsa = EXPORT(DoRSA)(data.data(), static_cast<std::int32_t>(length < 16 ? length : 16), line.data(),
                                           &lineLength, "65537", "18446743979220271189", 0);
    record.push_back(static_cast<std::uint8_t>(rsa));
    line.resize(static_cast<std::size_t>(lineLength));
    append(record, line);

    std::string subject(reinterpret_cast<const char*>(text.data()), text.size() < 40 ? text.size() : 40);
    for (const char* pattern : {"*", "?*A*", "*[a-m]*9", "Z*z?", "*+*/*"}) {
        const std::int32_t matched = EXPORT(MatchPattern_zk)(subject.c_str(), pattern);
        record.push_back(static_cast<std::uint8_t>(matched));
    }
    return record;
}

}  // namespace

int main() {
    std::vector<std::vector<Bytes>> raced(threadCount, std::vector<Bytes>(rounds));
    {
        std::latch start(threadCount);
        std::vector<std::thread> threads;
        for (unsigned t = 0; t < threadCount; ++t)
            threads.emplace_back([&, t] {
                start.arrive_and_wait();  // no export has been called before this
                for (unsigned r = 0; r < rounds; ++r) raced[t][r] = oneRound(t, r);
            });
        for (auto& thread : threads) thread.join();
    }
    unsigned differences = 0;
    for (unsigned t = 0; t < threadCount; ++t)
        for (unsigned r = 0; r < rounds; ++r)
            if (oneRound(t, r) != raced[t][r]) {
                std::printf("thread %u, round %u: the concurrent result differs from the single-threaded one\n", t, r);
                ++differences;
            }
    std::printf("concurrent calls: %u threads x %u rounds, %u differences\n", threadCount, rounds, differences);
    return differences == 0 ? 0 : 1;
}
