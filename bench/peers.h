// The peer libraries on each row's work, natively: OpenSSL, Botan 2, Crypto++ and GMP, and
// memcpy as the limit for the scramblers. Standard DES and Blowfish do the same work as the
// library's variants (the changed P entry and the byte order cost nothing).
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "workloads.h"

namespace tessaly::bench {

struct Peer {
    std::string library;  // "OpenSSL", "Botan", "Crypto++", "GMP", "memcpy"
    std::string what;     // the call timed
    std::function<void()> run;
};

// Every row's peers, keyed by row name; the objects they use live as long as the buffers.
std::map<std::string, std::vector<Peer>> peers(Buffers& buffers);

}  // namespace tessaly::bench
