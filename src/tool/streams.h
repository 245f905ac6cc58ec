// The tool's input, output and progress: a file or a standard stream read in chunks, output
// that reaches a named file whole or not at all, and a progress line on standard error.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly::tool {

// Exit statuses.
enum Status : int { succeeded = 0, badData = 1, usageError = 2, inputOutputError = 3 };

// What ends a run early: its status and the message, printed after "tessaly: ".
struct Failure {
    int status;
    std::string message;
};
[[noreturn]] void fail(int status, std::string message);

// Memory stays at a few chunks whatever the size of the input.
constexpr std::size_t chunkSize = std::size_t{1} << 20;

class Input {
public:
    // "-" reads standard input.
    explicit Input(const std::string& name);
    ~Input();
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;

    // Fills buffer as far as the input goes and returns the count; last tells whether
    // anything follows (one byte is read ahead to know).
    std::size_t read(std::span<std::uint8_t> buffer, bool& last);
    // The size of a regular file, known before reading.
    std::optional<std::uint64_t> size() const { return size_; }
    const std::string& name() const { return name_; }
    // Done with the file, so that it can be replaced (Windows refuses while it is open).
    void close();

private:
    std::size_t fill(std::uint8_t* at, std::size_t count);
    std::FILE* file_;
    bool ownsFile_ = false;
    std::string name_;
    std::optional<std::uint64_t> size_;
    int lookahead_ = -1;  // the byte read ahead, or -1
    bool ended_ = false;
};

class Output {
public:
    // An empty target writes standard output; otherwise a temporary file beside target
    // that commit() renames over it.
    explicit Output(const std::string& target);
    ~Output();  // a temporary file not committed is removed
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    void write(std::span<const std::uint8_t> bytes);
    void write(std::string_view text);
    void commit();

private:
    std::FILE* file_;
    std::string target_, temporary_;
    bool committed_ = false;
};

// "123.0 MiB of 1.0 GiB, 456.7 MiB/s, 0:03 left" on standard error, redrawn a few times a
// second; a total that is not known leaves out the size and the time left.
class Progress {
public:
    Progress(bool shown, std::optional<std::uint64_t> total);
    ~Progress();
    void advance(std::size_t bytes);

private:
    void draw();
    bool shown_;
    std::optional<std::uint64_t> total_;
    std::uint64_t done_ = 0;
    std::chrono::steady_clock::time_point start_, lastDrawn_;
};

// Reads the whole input in chunks, calling chunk(bytes, last) for each, then closes it; the
// last call may carry no bytes. Progress advances by each chunk.
template <typename Chunk>
void forEachChunk(Input& input, Progress& progress, Chunk chunk) {
    std::vector<std::uint8_t> buffer(chunkSize);
    for (bool last = false; !last;) {
        const std::size_t count = input.read(buffer, last);
        chunk(std::span<std::uint8_t>(buffer.data(), count), last);
        progress.advance(count);
    }
    input.close();
}

}  // namespace tessaly::tool
