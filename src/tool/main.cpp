// tessaly: the library's formats on the command line, for those who receive data written by
// its hosts (and write data for them). Every rule of a format comes from the formats layer
// that the exports use too, so the bytes are the exports' bytes.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "crypto/scramblers.h"
#include "crypto/wipe.h"
#include "formats/base64_text.h"
#include "formats/ciphers.h"
#include "formats/digests.h"
#include "formats/library.h"
#include "formats/rsa_lines.h"
#include "formats/scrambling.h"
#include "frame/console.h"
#include "frame/version.h"
#include "streams.h"

namespace tessaly::tool {
namespace {

// ---- options every command shares ---------------------------------------------------------

struct Common {
    std::string output;  // -o
    bool progress = false, quiet = false;

    // Shown when asked for, or when standard error is a terminal and the input is large.
    bool showProgress(const Input& input) const {
        if (quiet) return false;
        if (progress) return true;
        constexpr std::uint64_t largeInput = std::uint64_t{64} << 20;
        return console::isTerminal(stderr) && input.size() && *input.size() > largeInput;
    }
};

void addCommon(CLI::App& command, Common& common) {
    command.add_option("-o,--output", common.output,
                       "write FILE (whole, or not at all when the run fails) instead of standard output")
        ->option_text("FILE");
    auto* progress = command.add_flag("--progress", common.progress, "show progress on standard error");
    command.add_flag("--quiet", common.quiet, "never show progress")->excludes(progress);
}

// Two flags of which exactly one must be given, such as -e and -d.
void addDirection(CLI::App& command, bool& first, const char* firstName, const char* firstHelp, bool& second,
                  const char* secondName, const char* secondHelp) {
    auto* way = command.add_option_group("direction", "one of:");
    way->add_flag(firstName, first, firstHelp);
    way->add_flag(secondName, second, secondHelp);
    way->require_option(1);
}

// What a command with one input ends with: FILE, the common options, and its run.
template <typename Command>
void addInputAndRun(CLI::App& command, Command& self) {
    command.add_option("FILE", self.file, "input; standard input when absent or -")->type_name("");
    addCommon(command, self.common);
    command.callback([&self] { self.run(); });
}

// One run's input, output and progress.
struct Streams {
    Streams(const std::string& file, const Common& common)
        : input(file), output(common.output), progress(common.showProgress(input), input.size()) {}
    template <typename Chunk>
    void eachChunk(Chunk chunk) {
        forEachChunk(input, progress, chunk);
    }
    Input input;
    Output output;
    Progress progress;
};

// A key: the raw bytes of a file, or the same bytes in hexadecimal. Wiped when it goes.
struct Key {
    std::string hex, file;
    std::vector<std::uint8_t> bytes;

    ~Key() {
        if (!bytes.empty()) wipe(bytes.data(), bytes.size());
        if (!hex.empty()) wipe(hex.data(), hex.size());
    }

    void add(CLI::App& command) {
        auto* group = command.add_option_group("key", "the key, one of:");
        group->add_option("--key-hex", hex, "the key's bytes in hexadecimal")->option_text("HEX");
        group->add_option("--key-file", file, "a file whose bytes are the key")->option_text("PATH");
        group->require_option(1);
    }

    // Never puts a key byte into a message.
    void load() {
        if (!file.empty()) {
            std::FILE* f = std::fopen(file.c_str(), "rb");
            if (f == nullptr) fail(inputOutputError, "cannot read the key file " + file);
            std::uint8_t piece[4096];
            constexpr std::size_t largestKey = 1 << 20;
            for (std::size_t n; (n = std::fread(piece, 1, sizeof piece, f)) > 0;) {
                bytes.insert(bytes.end(), piece, piece + n);
                if (bytes.size() > largestKey) break;
            }
            const bool failed = std::ferror(f) != 0;
            std::fclose(f);
            wipe(piece, sizeof piece);
            if (failed) fail(inputOutputError, "cannot read the key file " + file);
            if (bytes.size() > largestKey) fail(usageError, "the key file " + file + " is larger than 1 MiB");
            return;
        }
        const auto digit = [](char c) {
            return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        };
        if (hex.size() % 2 != 0) fail(usageError, "--key-hex needs an even number of hexadecimal digits");
        for (std::size_t i = 0; i < hex.size(); i += 2) {
            const int high = digit(hex[i]), low = digit(hex[i + 1]);
            if (high < 0 || low < 0) fail(usageError, "--key-hex takes hexadecimal digits only");
            bytes.push_back(static_cast<std::uint8_t>(high << 4 | low));
        }
    }
};

// A whole number in decimal digits, nothing else (no sign, no 0x, no octal).
std::uint64_t parseNumber(const std::string& text, const char* option, std::uint64_t largest) {
    std::uint64_t value = 0;
    bool tooLarge = false;
    for (char c : text) {
        if (c < '0' || c > '9') fail(usageError, std::string(option) + " takes a decimal number, not \"" + text + "\"");
        if (value > (largest - static_cast<std::uint64_t>(c - '0')) / 10) tooLarge = true;
        else value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (text.empty()) fail(usageError, std::string(option) + " takes a decimal number");
    if (tooLarge) fail(usageError, std::string(option) + " takes a number from 0 to " + std::to_string(largest));
    return value;
}

std::string sizeInBytes(std::uint64_t n) { return std::to_string(n) + (n == 1 ? " byte" : " bytes"); }

// ---- des, 3des, aes, blowfish -------------------------------------------------------------

struct CipherCommand {
    CipherCommand(formats::Cipher cipher, const char* name, const char* keySizes)
        : cipher(cipher), name(name), keySizes(keySizes) {}
    formats::Cipher cipher;
    const char* name;
    const char* keySizes;
    Common common;
    Key key;
    bool encipher = false, decipher = false;
    std::string length, file = "-";

    void add(CLI::App& app, const char* description) {
        auto* command = app.add_subcommand(name, description);
        addDirection(*command, encipher, "-e,--encipher",
                     "encipher: the input rounded up to whole blocks, a short last block padded with zero bytes",
                     decipher, "-d,--decipher", "decipher: whole blocks in, every deciphered byte out");
        key.add(*command);
        command->add_option("--length", length, "with -d, write only the first N deciphered bytes")->option_text("N");
        addInputAndRun(*command, *this);
    }

    void run() {
        key.load();
        if (!formats::acceptsKeySize(cipher, key.bytes.size()))
            fail(usageError, std::string(name) + " needs a key of " + keySizes + "; this one has " +
                                 sizeInBytes(key.bytes.size()));
        if (!length.empty() && encipher) fail(usageError, "--length goes with -d");
        const std::optional<std::uint64_t> wanted =
            length.empty() ? std::nullopt : std::optional(parseNumber(length, "--length", UINT64_MAX));
        Input input(file);
        const std::size_t block = formats::blockSizeOf(cipher);
        const auto checkSize = [&](std::uint64_t size) {
            if (decipher && size % block != 0)
                fail(badData, "the input (" + sizeInBytes(size) + ") is not a whole number of " +
                                  std::to_string(block) + "-byte blocks");
            if (wanted && *wanted > size)
                fail(badData, "--length " + std::to_string(*wanted) + " is more than the " + sizeInBytes(size) +
                                  " of input");
        };
        if (input.size()) checkSize(*input.size());  // before anything is written

        Output output(common.output);
        Progress progress(common.showProgress(input), input.size());
        const formats::KeyedCipher keyed(cipher, key.bytes, encipher ? Direction::encipher : Direction::decipher);
        std::uint64_t total = 0, writable = wanted.value_or(UINT64_MAX);
        forEachChunk(input, progress, [&](std::span<std::uint8_t> bytes, bool last) {
            total += bytes.size();
            if (last) checkSize(total);
            // Chunks are whole blocks but for the last; only enciphering lets that be short.
            // The chunk buffer has room for its padded block.
            std::size_t produced = bytes.size();
            if (encipher)
                produced = keyed.cryptZeroPadded(bytes.data(), bytes.size());
            else
                keyed.cryptBlocks(bytes);
            const auto shown = static_cast<std::size_t>(std::min<std::uint64_t>(produced, writable));
            output.write(std::span<const std::uint8_t>(bytes.data(), shown));
            writable -= shown;
        });
        output.commit();
    }
};

// ---- sha256, md5, hmac-md5 ----------------------------------------------------------------

struct DigestCommand {
    DigestCommand(formats::Digest digest, const char* name) : digest(digest), name(name) {}
    formats::Digest digest;
    const char* name;
    Common common;
    Key key;
    bool raw = false;
    std::vector<std::string> files;

    void add(CLI::App& app, const char* description) {
        auto* command = app.add_subcommand(name, description);
        if (digest == formats::Digest::hmacMd5) key.add(*command);
        command->add_flag("--raw", raw, "write the digest's bytes alone (one input only)");
        command->add_option("FILE", files, "inputs; standard input when none or -")->type_name("");
        addCommon(*command, common);
        command->callback([this] { run(); });
    }

    void run() {
        if (digest == formats::Digest::hmacMd5) {
            key.load();
            if (key.bytes.empty()) fail(usageError, "hmac-md5 needs a key of at least 1 byte");
        }
        if (files.empty()) files.push_back("-");
        if (raw && files.size() > 1) fail(usageError, "--raw takes one input only");
        Output output(common.output);
        for (const std::string& file : files) {
            Input input(file);
            Progress progress(common.showProgress(input), input.size());
            formats::DigestStream stream(digest, key.bytes);
            forEachChunk(input, progress, [&](std::span<std::uint8_t> bytes, bool) { stream.update(bytes); });
            std::uint8_t result[32];
            const std::size_t size = stream.finish(result);
            if (raw) {
                output.write(std::span<const std::uint8_t>(result, size));
                continue;
            }
            std::string line;
            for (std::size_t i = 0; i < size; ++i) {
                constexpr char digits[] = "0123456789abcdef";
                line += digits[result[i] >> 4];
                line += digits[result[i] & 15];
            }
            output.write(line + "  " + file + "\n");
        }
        output.commit();
    }
};

// ---- base64 --------------------------------------------------------------------------------

struct Base64Command {
    Common common;
    bool decode = false, strict = false, noNewline = false;
    std::string file = "-";

    void add(CLI::App& app) {
        auto* command = app.add_subcommand("base64", "encode bytes as DoBASE64 does, or decode its text (-d)");
        auto* decoding = command->add_flag("-d,--decode", decode, "decode, by DoBASE64's rules");
        command->add_flag("--strict", strict,
                          "with -d, accept only canonical RFC 4648 text (one final newline allowed)")
            ->needs(decoding);
        command->add_flag("-n", noNewline, "encoding: no newline after the text")->excludes(decoding);
        addInputAndRun(*command, *this);
    }

    void run() {
        Streams streams(file, common);
        std::vector<std::uint8_t> out(std::max(formats::Base64Encoder::room(chunkSize),
                                               formats::Base64Decoder::room(chunkSize)));
        if (!decode) {
            formats::Base64Encoder encoder;
            streams.eachChunk([&](std::span<std::uint8_t> bytes, bool last) {
                std::size_t n = encoder.update(bytes, out.data());
                if (last) n += encoder.finish(out.data() + n);
                streams.output.write(std::span<const std::uint8_t>(out.data(), n));
            });
            if (!noNewline) streams.output.write("\n");
        } else {
            formats::Base64Decoder decoder;
            formats::CanonicalBase64Check canonical;
            streams.eachChunk([&](std::span<std::uint8_t> text, bool last) {
                if (strict && (!canonical.update(text) || (last && !canonical.finish())))
                    fail(badData, "not canonical Base64: the character at offset " +
                                      std::to_string(canonical.offendingOffset()) + " offends");
                streams.output.write(std::span<const std::uint8_t>(out.data(), decoder.update(text, out.data())));
            });
        }
        streams.output.commit();
    }
};

// ---- rsa -------------------------------------------------------------------------------------

struct RsaCommand {
    Common common;
    bool encipher = false, decipher = false;
    std::string exponent, modulus, file = "-";

    void add(CLI::App& app) {
        auto* command = app.add_subcommand("rsa", "bytes to DoRSA's number line (-e), or such a line to bytes (-d)");
        addDirection(*command, encipher, "-e,--encipher", "bytes to a line of numbers, as DoRSA's direction 0",
                     decipher, "-d,--decipher", "a line of numbers to bytes, as DoRSA's other direction");
        command->add_option("--exponent", exponent, "the exponent in decimal")->option_text("DEC")->required();
        command->add_option("--modulus", modulus, "the modulus in decimal")->option_text("DEC")->required();
        addInputAndRun(*command, *this);
    }

    static void checkNumber(const std::string& text, const char* option) {
        rsa::Natural value;
        if (text.empty() || !rsa::parse(text, value))
            fail(usageError, std::string(option) + " takes a decimal number of at most 128 digits");
    }

    static std::string cause(rsa::Status status) {
        switch (status) {
            case rsa::Status::zeroExponent: return "the exponent is zero";
            case rsa::Status::malformedText: return "it is not a decimal number of at most 128 digits";
            case rsa::Status::notBelowModulus: return "it is not below the modulus";
            case rsa::Status::success: break;
        }
        return "";
    }

    void run() {
        checkNumber(exponent, "--exponent");
        checkNumber(modulus, "--modulus");
        const rsa::NumberOperation operation(exponent.c_str(), modulus.c_str());
        Streams streams(file, common);
        if (encipher) {
            formats::RsaLineWriter writer(operation);
            std::vector<char> line(formats::RsaLineWriter::room(chunkSize));
            streams.eachChunk([&](std::span<std::uint8_t> bytes, bool) {
                if (const formats::RsaFailure failure = writer.check(bytes); failure.status != rsa::Status::success)
                    fail(badData, "group " + std::to_string(failure.index) + " (bytes from offset " +
                                      std::to_string(failure.offset) + "): " + cause(failure.status));
                streams.output.write(std::string_view(line.data(), writer.write(bytes, line.data())));
            });
            streams.output.write("\n");
        } else {
            formats::RsaLineReader reader(operation);
            std::vector<std::uint8_t> bytes(formats::RsaLineReader::room(chunkSize));
            streams.eachChunk([&](std::span<std::uint8_t> text, bool last) {
                if (last && !text.empty() && text.back() == '\n') text = text.first(text.size() - 1);
                std::size_t n = reader.read(text, bytes.data());
                if (last) n += reader.finish(bytes.data() + n);
                streams.output.write(std::span<const std::uint8_t>(bytes.data(), n));
                if (const formats::RsaFailure& failure = reader.failure(); failure.status != rsa::Status::success)
                    fail(badData, "token " + std::to_string(failure.index) + " (at offset " +
                                      std::to_string(failure.offset) + "): " + cause(failure.status));
            });
        }
        streams.output.commit();
    }
};

// ---- xor, shift, subst -------------------------------------------------------------------------

struct XorCommand {
    Common common;
    bool chain = false, unchain = false;
    std::string seed, file = "-";

    void add(CLI::App& app) {
        auto* command = app.add_subcommand("xor", "Exclusive_OR: chain the bytes (-e) or unchain them (-d)");
        addDirection(*command, chain, "-e", "chain: each byte XOR the previous output byte (any direction but 0)",
                     unchain, "-d", "unchain: each byte XOR the previous input byte (direction 0)");
        command->add_option("--seed", seed, "the byte before the first, 0 to 255")->option_text("N")->required();
        addInputAndRun(*command, *this);
    }

    void run() {
        formats::XorChain chainer(static_cast<std::uint8_t>(parseNumber(seed, "--seed", 255)), chain);
        Streams streams(file, common);
        streams.eachChunk([&](std::span<std::uint8_t> bytes, bool) {
            chainer.apply(bytes);
            streams.output.write(bytes);
        });
        streams.output.commit();
    }
};

struct SubstCommand {
    Common common;
    bool forward = false, inverse = false;
    std::string file = "-";

    void add(CLI::App& app) {
        auto* command = app.add_subcommand("subst", "Substitution: the table T (-e) or its inverse U (-d)");
        addDirection(*command, forward, "-e", "apply T (direction 0)", inverse, "-d", "apply U, the inverse of T");
        addInputAndRun(*command, *this);
    }

    void run() {
        Streams streams(file, common);
        streams.eachChunk([&](std::span<std::uint8_t> bytes, bool) {
            scramblers::substitute(bytes.data(), bytes.size(), inverse);
            streams.output.write(bytes);
        });
        streams.output.commit();
    }
};

struct ShiftCommand {
    Common common;
    bool left = false, right = false;
    std::string count, file = "-";

    void add(CLI::App& app) {
        auto* command = app.add_subcommand("shift", "Shift_Data: rotate the whole input as one string of bits");
        addDirection(*command, left, "--left", "towards byte 0 (direction 0)", right, "--right", "towards the last byte");
        command->add_option("--count", count, "bit positions, 0 to 255")->option_text("N")->required();
        addInputAndRun(*command, *this);
    }

    // The rotation needs the whole input at once.
    void run() {
        const auto bits = static_cast<unsigned>(parseNumber(count, "--count", 255));
        Streams streams(file, common);
        std::vector<std::uint8_t> data;
        streams.eachChunk([&](std::span<std::uint8_t> bytes, bool) {
            data.insert(data.end(), bytes.begin(), bytes.end());
        });
        if (!data.empty()) scramblers::rotateBits(data.data(), data.size(), bits, left);
        streams.output.write(data);
        streams.output.commit();
    }
};

std::string versionText() {
    std::string text = "tessaly " + std::to_string(TESSALY_VERSION_MAJOR) + "." + std::to_string(TESSALY_VERSION_MINOR) +
                       "." + std::to_string(TESSALY_VERSION_PATCH) + "." + std::to_string(TESSALY_VERSION_BUILD) +
                       ", library version " + std::to_string(TESSALY_DLL_VERSION_NUMBER) + "\nfast paths:";
    for (const formats::EnginePath& path : formats::pathsInUse())
        text += std::string(" ") + path.engine + " " + path.path + ",";
    text.pop_back();
    return text;
}

int run(int argc, char** argv) {
    CLI::App app("Reads and writes the data formats of TessalyEn_M.dll: its ciphers, digests, Base64, "
                 "RSA number lines and byte scramblers.",
                 "tessaly");
    // "/path/file" is a file name, not a Windows-style option, on every platform.
    app.allow_windows_style_options(false);
    app.get_formatter()->label("SUBCOMMAND", "COMMAND");
    app.get_formatter()->label("Subcommands", "Commands");
    app.set_version_flag("--version", versionText(), "the version, the library version and the fast paths in use");
    app.require_subcommand(1);
    app.footer("Exit status: 0 success, 1 bad data, 2 usage, 3 input or output failure.\n"
               "Run tessaly COMMAND --help for a command's options.");

    CipherCommand des{formats::Cipher::des, "des", "8 bytes"};
    CipherCommand tripleDes{formats::Cipher::tripleDes, "3des", "16 bytes"};
    CipherCommand aes{formats::Cipher::aes, "aes", "16, 24 or 32 bytes"};
    CipherCommand blowfish{formats::Cipher::blowfish, "blowfish", "1 to 56 bytes"};
    des.add(app, "DES with the library's P, as DoDES (8-byte key)");
    tripleDes.add(app, "two-key triple DES, as Do3DES (16-byte key)");
    aes.add(app, "AES, as DoAES (16-, 24- or 32-byte key: AES-128, -192 or -256)");
    blowfish.add(app, "Blowfish in the library's byte order, as DoBlowfish (key of 1 to 56 bytes, up to its first zero byte)");
    DigestCommand sha256{formats::Digest::sha256, "sha256"}, md5{formats::Digest::md5, "md5"},
        hmacMd5{formats::Digest::hmacMd5, "hmac-md5"};
    sha256.add(app, "SHA-256 of each input, as SHA_256");
    md5.add(app, "MD5 of each input, as MD5_Ex without a key");
    hmacMd5.add(app, "HMAC-MD5 of each input, as MD5_Ex with a key");
    Base64Command base64;
    base64.add(app);
    RsaCommand rsa;
    rsa.add(app);
    XorCommand xorCommand;
    xorCommand.add(app);
    ShiftCommand shift;
    shift.add(app);
    SubstCommand subst;
    subst.add(app);

    if (argc == 1) fail(usageError, "no command given; tessaly --help lists the commands");
    // The parser would call an unknown command a stray argument.
    if (argc > 1 && argv[1][0] != '-' &&
        app.get_subcommands([&](const CLI::App* command) { return command->get_name() == argv[1]; }).empty())
        fail(usageError, std::string("unknown command \"") + argv[1] + "\"; tessaly --help lists the commands");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == 0) return app.exit(error);  // --help, --version
        std::fprintf(stderr, "tessaly: %s\n", error.what());
        return usageError;
    }
    return succeeded;
}

}  // namespace
}  // namespace tessaly::tool

int main(int argc, char** argv) {
    tessaly::console::useBinaryStandardStreams();
    try {
        return tessaly::tool::run(argc, argv);
    } catch (const tessaly::tool::Failure& failure) {
        std::fprintf(stderr, "tessaly: %s\n", failure.message.c_str());
        return failure.status;
    }
}
