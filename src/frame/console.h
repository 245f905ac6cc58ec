// What the command-line tool asks of the platform: raw bytes on the standard streams, whether
// a stream is a terminal, and writing a file whole or not at all. One implementation per
// platform (console_windows.cpp, console_posix.cpp).
#pragma once

#include <cstdio>
#include <string>

namespace tessaly::console {

// Standard input and output carry bytes as they are (no newline translation on Windows).
void useBinaryStandardStreams();

bool isTerminal(std::FILE* stream);

// Creates a new, empty file in the folder of target, for writing bytes; its name goes to
// temporary. Null when it cannot be created.
std::FILE* createBeside(const std::string& target, std::string& temporary);

// Renames temporary over target, replacing a file of that name; false when that fails.
bool replaceFile(const std::string& temporary, const std::string& target);

}  // namespace tessaly::console
