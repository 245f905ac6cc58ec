// The benchmark rows: each export's workload on a 1 MiB buffer, written once and run both
// through the DLL under Wine and against the native build of the same core.
// To add a row: add the export to TESSALY_BENCH_EXPORTS and one Workload below.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstring>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "tessaly.h"

namespace tessaly::bench {

constexpr std::size_t megabyte = 1 << 20;

// The exports the benchmarks call, once: (member of Exports, export name). The DLL side finds
// each by its name, the native side takes its address.
#define TESSALY_BENCH_EXPORTS(X)                                                           \
    X(doBase64, DoBASE64) X(md5Ex, MD5_Ex) X(sha256, SHA_256) X(doDes, DoDES)              \
    X(do3Des, Do3DES) X(doAes, DoAES) X(doBlowfish, DoBlowfish) X(exclusiveOr, Exclusive_OR) \
    X(shiftData, Shift_Data) X(substitution, Substitution) X(matchPattern, MatchPattern_zk)  \
    X(doRsa, DoRSA)

// The exports a benchmark calls, however they were found.
struct Exports {
#define TESSALY_BENCH_MEMBER(member, name) decltype(&name) member = nullptr;
    TESSALY_BENCH_EXPORTS(TESSALY_BENCH_MEMBER)
#undef TESSALY_BENCH_MEMBER
};

// RSA: a 64-digit modulus and a 64-digit exponent, on 64 groups of 4 bytes.
constexpr const char* rsaModulus = "8462718295039181736460093521947381720846573919204857362910485763";
constexpr const char* rsaExponent = "5830197463520194857302918475638291047563829104756382910475638293";
constexpr std::size_t rsaGroups = 64;

struct Workload {
    std::string name;
    std::size_t bytes;            // bytes of payload one call processes
    std::function<void()> run;    // one call

    // Reported as the cost of one call rather than as throughput (small or odd payloads).
    bool perCall = false;
};

constexpr std::size_t hmacMessageSize = 64;

// Inputs shared by the workloads (and by the reference counterparts natively).
struct Buffers {
    std::vector<std::uint8_t> data = std::vector<std::uint8_t>(megabyte);
    std::vector<std::uint8_t> base64Text = std::vector<std::uint8_t>((megabyte + 2) / 3 * 4);
    std::vector<std::uint8_t> output = std::vector<std::uint8_t>(2 * megabyte);
    std::vector<std::uint8_t> key = std::vector<std::uint8_t>(16, 0x4b);
    // 100 KB of "a" ending in "b", against 16 stars each followed by "a": it fails only at
    // the last character, the worst case for a backtracking matcher.
    std::vector<std::uint8_t> rsaData = std::vector<std::uint8_t>(4 * rsaGroups, 0x37);
    std::string starText = std::string(99999, 'a') + "b";
    std::string starPattern = [] {
        std::string p;
        for (int i = 0; i < 16; ++i) p += "*a";
        return p;
    }();

    explicit Buffers(const Exports& exports) {
        std::mt19937 rng(1);
        for (auto& b : data) b = static_cast<std::uint8_t>(rng());
        exports.doBase64(data.data(), megabyte, base64Text.data(), 0, 0);
    }
};

inline std::vector<Workload> workloads(const Exports& e, Buffers& b) {
    return {
        {"DoBASE64 encode", megabyte,
         [&] { e.doBase64(b.data.data(), megabyte, b.output.data(), 0, 0); }},
        {"DoBASE64 decode", megabyte,
         [&] {
             e.doBase64(b.base64Text.data(), static_cast<std::int32_t>(b.base64Text.size()),
                        b.output.data(), 0, 1);
         }},
        {"SHA_256", megabyte, [&] { e.sha256(b.data.data(), megabyte, b.output.data()); }},
        {"MD5_Ex (MD5)", megabyte,
         [&] { e.md5Ex(b.data.data(), megabyte, nullptr, 0, b.output.data()); }},
        {"MD5_Ex (HMAC-MD5)", hmacMessageSize,
         [&] { e.md5Ex(b.data.data(), hmacMessageSize, b.key.data(), 16, b.output.data()); }, true},
        {"DoAES-128 encipher", megabyte, [&] { e.doAes(b.data.data(), megabyte, b.key.data(), 16, 0); }},
        {"DoAES-128 decipher", megabyte, [&] { e.doAes(b.data.data(), megabyte, b.key.data(), 16, 1); }},
        {"DoAES-128 one block", 16, [&] { e.doAes(b.data.data(), 16, b.key.data(), 16, 0); }, true},
        {"DoDES", megabyte, [&] { e.doDes(b.data.data(), megabyte, b.key.data(), 0); }},
        {"Do3DES", megabyte, [&] { e.do3Des(b.data.data(), megabyte, b.key.data(), 0); }},
        {"DoBlowfish", megabyte, [&] { e.doBlowfish(b.data.data(), megabyte, b.key.data(), 16, 0); }},
        {"DoBlowfish one block", 8, [&] { e.doBlowfish(b.data.data(), 8, b.key.data(), 16, 0); }, true},
        {"memcpy (the limit)", megabyte, [&] { std::memcpy(b.output.data(), b.data.data(), megabyte); }},
        {"Exclusive_OR chain", megabyte, [&] { e.exclusiveOr(b.data.data(), megabyte, 0x5A, 1); }},
        {"Exclusive_OR unchain", megabyte, [&] { e.exclusiveOr(b.data.data(), megabyte, 0x5A, 0); }},
        {"Shift_Data to start", megabyte, [&] { e.shiftData(b.data.data(), megabyte, 13, 0); }},
        {"Shift_Data to end", megabyte, [&] { e.shiftData(b.data.data(), megabyte, 13, 1); }},
        {"Substitution T", megabyte, [&] { e.substitution(b.data.data(), megabyte, 0); }},
        {"Substitution U", megabyte, [&] { e.substitution(b.data.data(), megabyte, 1); }},
        {"DoRSA, 64 groups", 4 * rsaGroups,
         [&] {
             std::int32_t length = 0;
             e.doRsa(b.rsaData.data(), 4 * rsaGroups, b.output.data(), &length, rsaExponent, rsaModulus, 0);
         },
         true},
        {"MatchPattern_zk", b.starText.size(),
         [&] { e.matchPattern(b.starText.c_str(), b.starPattern.c_str()); }, true},
    };
}

// Throughput in MB/s (10^6 bytes) over several runs of at least 50 ms each: the median and
// the slowest and fastest run. 0 everywhere: not measured.
struct Rate {
    double median = 0, slowest = 0, fastest = 0;
};

constexpr int runsPerFigure = 7;

inline Rate measure(const std::function<void()>& run, std::size_t bytes) {
    using clock = std::chrono::steady_clock;
    run();  // warm up caches and tables
    std::vector<double> rates;
    for (int sample = 0; sample < runsPerFigure; ++sample) {
        std::size_t calls = 0;
        const auto start = clock::now();
        std::chrono::duration<double> elapsed{};
        do {
            run();
            ++calls;
            elapsed = clock::now() - start;
        } while (elapsed.count() < 0.05);
        rates.push_back(static_cast<double>(bytes) * calls / elapsed.count() / 1e6);
    }
    std::sort(rates.begin(), rates.end());
    return {rates[rates.size() / 2], rates.front(), rates.back()};
}

}  // namespace tessaly::bench
