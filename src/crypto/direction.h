// Which way a cipher runs: one type for every block cipher engine and format.
#pragma once

namespace tessaly {

enum class Direction { encipher, decipher };

constexpr Direction opposite(Direction d) {
    return d == Direction::encipher ? Direction::decipher : Direction::encipher;
}

}  // namespace tessaly
