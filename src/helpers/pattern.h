// Wildcard matching: "*", "?", bracketed classes with signed-byte ranges, ASCII case folding.
#pragma once

namespace tessaly::pattern {

// Whether the whole text matches the whole pattern; null reads as the empty text. Every
// element but "*" consumes exactly one character, so remembering the last star is enough:
// time is at most proportional to len(text) * len(pattern), and nothing is allocated.
//
// Rules hosts rely on: literals match either case of an ASCII letter; in a class the text
// character is upper-cased and compared with the class bytes as written ([a-z] accepts
// nothing); a range "x-y" compares as signed bytes, with the item before it (0 at the start
// of the class) as its low end; "-" before "]" or the end of the pattern rejects. A class
// without its "]" matches when one of its items accepted, and the pattern then ends there.
bool matches(const char* text, const char* pattern);

}  // namespace tessaly::pattern
