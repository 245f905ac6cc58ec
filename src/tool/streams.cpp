#include "streams.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "frame/console.h"

namespace tessaly::tool {

void fail(int status, std::string message) { throw Failure{status, std::move(message)}; }

namespace {

std::string systemError() { return std::strerror(errno); }

}  // namespace

Input::Input(const std::string& name) : name_(name) {
    if (name == "-") {
        file_ = stdin;
        ownsFile_ = false;
        return;
    }
    file_ = std::fopen(name.c_str(), "rb");
    if (file_ == nullptr) fail(inputOutputError, "cannot read " + name + ": " + systemError());
    ownsFile_ = true;
    struct stat status;
    if (fstat(fileno(file_), &status) == 0 && S_ISREG(status.st_mode))
        size_ = static_cast<std::uint64_t>(status.st_size);
}

Input::~Input() { close(); }

void Input::close() {
    if (ownsFile_) std::fclose(file_);
    ownsFile_ = false;
}

std::size_t Input::fill(std::uint8_t* at, std::size_t count) {
    std::size_t got = 0;
    while (got < count && !ended_) {
        const std::size_t n = std::fread(at + got, 1, count - got, file_);
        got += n;
        if (n == 0) {
            if (std::ferror(file_)) fail(inputOutputError, "cannot read " + name_ + ": " + systemError());
            ended_ = true;
        }
    }
    return got;
}

std::size_t Input::read(std::span<std::uint8_t> buffer, bool& last) {
    std::size_t count = 0;
    if (lookahead_ >= 0 && !buffer.empty()) {
        buffer[count++] = static_cast<std::uint8_t>(lookahead_);
        lookahead_ = -1;
    }
    count += fill(buffer.data() + count, buffer.size() - count);
    std::uint8_t next;
    if (fill(&next, 1) == 1) lookahead_ = next;
    last = lookahead_ < 0;
    return count;
}

Output::Output(const std::string& target) : target_(target) {
    if (target.empty()) {
        file_ = stdout;
        return;
    }
    file_ = console::createBeside(target, temporary_);
    if (file_ == nullptr) fail(inputOutputError, "cannot write beside " + target + ": " + systemError());
}

Output::~Output() {
    if (temporary_.empty() || committed_) return;
    std::fclose(file_);
    std::remove(temporary_.c_str());
}

void Output::write(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size())
        fail(inputOutputError, "cannot write " + (target_.empty() ? std::string("standard output") : target_) + ": " +
                                   systemError());
}

void Output::write(std::string_view text) {
    write(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

void Output::commit() {
    const std::string shownName = target_.empty() ? std::string("standard output") : target_;
    if (std::fflush(file_) != 0) fail(inputOutputError, "cannot write " + shownName + ": " + systemError());
    if (temporary_.empty()) return;
    const bool closed = std::fclose(file_) == 0;
    committed_ = true;  // closed either way
    if (!closed || !console::replaceFile(temporary_, target_)) {
        const std::string reason = systemError();
        std::remove(temporary_.c_str());
        fail(inputOutputError, "cannot write " + target_ + ": " + reason);
    }
}

Progress::Progress(bool shown, std::optional<std::uint64_t> total)
    : shown_(shown), total_(total), start_(std::chrono::steady_clock::now()), lastDrawn_(start_) {}

Progress::~Progress() {
    if (!shown_) return;
    draw();
    std::fputc('\n', stderr);
}

void Progress::advance(std::size_t bytes) {
    done_ += bytes;
    if (!shown_) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - lastDrawn_ < std::chrono::milliseconds(200)) return;
    lastDrawn_ = now;
    draw();
}

namespace {

std::string sizeText(double bytes) {
    const char* units[] = {"B", "KiB", "MiB", "GiB", "TiB"};
    int unit = 0;
    while (bytes >= 1024 && unit < 4) bytes /= 1024, ++unit;
    char text[32];
    std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", bytes, units[unit]);
    return text;
}

}  // namespace

void Progress::draw() {
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const double rate = seconds > 0 ? static_cast<double>(done_) / seconds : 0;
    std::string line = "\r";
    line += sizeText(static_cast<double>(done_));
    if (total_) line.append(" of ").append(sizeText(static_cast<double>(*total_)));
    line.append(", ").append(sizeText(rate)).append("/s");
    if (total_ && rate > 0 && *total_ >= done_) {
        const auto left = static_cast<long>(static_cast<double>(*total_ - done_) / rate);
        char text[32];
        std::snprintf(text, sizeof text, ", %ld:%02ld left", left / 60, left % 60);
        line += text;
    }
    line += "   ";  // clears what a longer line left
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
}

}  // namespace tessaly::tool
