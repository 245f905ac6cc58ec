// The benchmark table: each row timed through both DLLs (dll_bench --serve under Wine, asked
// row by row), on the native core and on every peer library, one row after another, so that
// a row's figures all come from the same minute. Also writes the chart the README shows.
//
// native_bench [--dll COLUMN COMMAND]... [--portable COMMAND] [--chart FILE]
//   --dll: a shell command that starts dll_bench --serve; its figures fill the column
//   --portable: the same for the DLL built without processor extensions (AES rows, against
//               the peers with AES-NI turned off)
// native_bench --peers ROW: the peers' figures for one row, as "library<TAB>what<TAB>median
//   <TAB>slowest<TAB>fastest" lines (run by the above with AES-NI masked off the peers).
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <vector>

#include "crypto/bignum.h"
#include "peers.h"
#include "workloads.h"

namespace {

using tessaly::bench::Rate;
using tessaly::bench::Workload;

// dll_bench --serve in a child process, asked for one row at a time.
class DllServer {
public:
    DllServer(std::string column, const std::string& command) : column_(std::move(column)) {
        // Close-on-exec, so that a later server (and Wine's own processes) does not hold this
        // one's pipes open: it would never see the end of its input.
        int toChild[2], fromChild[2];
        if (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(toChild[0], 0);
            dup2(fromChild[1], 1);
            close(toChild[1]);
            close(fromChild[0]);
            execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(toChild[0]);
        close(fromChild[1]);
        requests_ = fdopen(toChild[1], "w");
        answers_ = fdopen(fromChild[0], "r");
        // Wine prints nothing before the program does; wait for it to load the DLL.
        for (std::string line; readLine(line);)
            if (line == "ready") {
                ready_ = true;
                break;
            }
        if (!ready_) std::fprintf(stderr, "native_bench: %s did not start: %s\n", column_.c_str(), command.c_str());
    }
    ~DllServer() {
        if (requests_ != nullptr) std::fclose(requests_);
        if (answers_ != nullptr) std::fclose(answers_);
        if (pid_ > 0) waitpid(pid_, nullptr, 0);
    }
    const std::string& column() const { return column_; }

    Rate measure(const std::string& row) {
        if (!ready_) return {};
        std::fprintf(requests_, "%s\n", row.c_str());
        std::fflush(requests_);
        std::string line;
        if (!readLine(line)) {
            ready_ = false;
            return {};
        }
        Rate rate;
        std::istringstream fields(line.substr(line.find('\t') + 1));
        fields >> rate.median >> rate.slowest >> rate.fastest;
        return rate;
    }

private:
    bool readLine(std::string& line) {
        line.clear();
        char chunk[512];
        while (std::fgets(chunk, sizeof chunk, answers_)) {
            line += chunk;
            if (!line.empty() && line.back() == '\n') break;
        }
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        return !line.empty() || !std::feof(answers_);
    }

    std::string column_;
    pid_t pid_ = -1;
    FILE* requests_ = nullptr;
    FILE* answers_ = nullptr;
    bool ready_ = false;
};

struct PeerRate {
    std::string library, what;
    Rate rate;
};

struct Row {
    const Workload* workload;
    std::vector<Rate> dlls;  // one per DLL column
    Rate native;
    std::vector<PeerRate> peers;

    const PeerRate* fastestPeer() const {
        const PeerRate* best = nullptr;
        for (const auto& peer : peers)
            if (peer.rate.median > 0 && (best == nullptr || peer.rate.median > best->rate.median)) best = &peer;
        return best;
    }
};

std::vector<PeerRate> measurePeers(const std::vector<tessaly::bench::Peer>& peers, const Workload& w) {
    std::vector<PeerRate> rates;
    for (const auto& peer : peers) rates.push_back({peer.library, peer.what, tessaly::bench::measure(peer.run, w.bytes)});
    return rates;
}

// The peers of one row measured by a child of this program with AES-NI masked off OpenSSL,
// which reads the mask once, when it starts. Debian's Botan and Crypto++ have no such switch,
// so their figures would not be portable ones and are left out.
std::vector<PeerRate> peersWithoutAesNi(const std::string& row) {
    char self[4096] = {};
    if (readlink("/proc/self/exe", self, sizeof self - 1) <= 0) return {};
    const std::string command = std::string("OPENSSL_ia32cap='~0x200000000000000' '") + self + "' --peers '" + row + "'";
    FILE* child = popen(command.c_str(), "r");
    if (child == nullptr) return {};
    std::vector<PeerRate> rates;
    char line[512];
    while (std::fgets(line, sizeof line, child)) {
        std::istringstream fields(line);
        PeerRate peer;
        std::getline(fields, peer.library, '\t');
        std::getline(fields, peer.what, '\t');
        fields >> peer.rate.median >> peer.rate.slowest >> peer.rate.fastest;
        if (peer.library == "OpenSSL") rates.push_back(peer);
    }
    pclose(child);
    return rates;
}

std::string payloadOf(const Workload& w) {
    return w.bytes == tessaly::bench::megabyte ? "1 MiB"
           : w.bytes >= 10000                 ? std::to_string(w.bytes / 1000) + " KB"
                                              : std::to_string(w.bytes) + " B";
}

// MB/s, or for small payloads ns per call; with the spread of the runs where asked.
std::string shown(const Workload& w, double megabytesPerSecond) {
    if (megabytesPerSecond <= 0) return "-";
    char text[32];
    if (w.perCall)
        std::snprintf(text, sizeof text, "%.0f ns", 1e3 * w.bytes / megabytesPerSecond);
    else
        std::snprintf(text, sizeof text, "%.0f MB/s", megabytesPerSecond);
    return text;
}

std::string shownWithSpread(const Workload& w, const Rate& rate) {
    if (rate.median <= 0) return "-";
    // For per-call rows the slowest run has the longest time, so the spread reads low to high.
    const double low = w.perCall ? rate.fastest : rate.slowest, high = w.perCall ? rate.slowest : rate.fastest;
    char spread[48];
    if (w.perCall)
        std::snprintf(spread, sizeof spread, " (%.0f-%.0f)", 1e3 * w.bytes / low, 1e3 * w.bytes / high);
    else
        std::snprintf(spread, sizeof spread, " (%.0f-%.0f)", low, high);
    return shown(w, rate.median) + spread;
}

std::string ratio(double ours, double theirs) {
    if (ours <= 0 || theirs <= 0) return "-";
    char text[16];
    std::snprintf(text, sizeof text, "%.2fx", ours / theirs);
    return text;
}

void printRow(const std::vector<std::string>& cells) {
    std::string line = "|";
    for (const auto& cell : cells) line += " " + cell + " |";
    std::puts(line.c_str());
}

void printTable(const std::vector<std::string>& columns, const std::vector<Row>& rows) {
    std::vector<std::string> header = {"Export", "payload"};
    for (const auto& column : columns) header.push_back(column);
    header.insert(header.end(), {"native core", "fastest peer", "peer figure"});
    for (const auto& column : columns) header.push_back(column.substr(0, column.find(" (")) + " / peer");
    printRow(header);
    printRow(std::vector<std::string>(header.size(), "---"));
    for (const Row& row : rows) {
        const Workload& w = *row.workload;
        const PeerRate* peer = row.fastestPeer();
        std::vector<std::string> cells = {w.name, payloadOf(w)};
        for (const Rate& dll : row.dlls) cells.push_back(shownWithSpread(w, dll));
        cells.push_back(shownWithSpread(w, row.native));
        cells.push_back(peer == nullptr ? "-" : peer->library == peer->what ? peer->library : peer->library + " " + peer->what);
        cells.push_back(peer == nullptr ? "-" : shownWithSpread(w, peer->rate));
        for (const Rate& dll : row.dlls) cells.push_back(ratio(dll.median, peer == nullptr ? 0 : peer->rate.median));
        printRow(cells);
    }
}

// Every peer's median on every row, for the record.
void printPeerTable(const std::vector<Row>& rows) {
    std::vector<std::string> libraries;
    for (const Row& row : rows)
        for (const auto& peer : row.peers)
            if (std::find(libraries.begin(), libraries.end(), peer.library) == libraries.end())
                libraries.push_back(peer.library);
    std::vector<std::string> header = {"Export"};
    header.insert(header.end(), libraries.begin(), libraries.end());
    printRow(header);
    printRow(std::vector<std::string>(header.size(), "---"));
    for (const Row& row : rows) {
        if (row.peers.empty()) continue;
        std::vector<std::string> cells = {row.workload->name};
        for (const auto& library : libraries) {
            std::string cell = "-";
            for (const auto& peer : row.peers)
                if (peer.library == library) cell = shown(*row.workload, peer.rate.median);
            cells.push_back(cell);
        }
        printRow(cells);
    }
}

std::string machine() {
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string model = "unknown processor";
    for (std::string line; std::getline(cpuinfo, line);)
        if (line.rfind("model name", 0) == 0) {
            model = line.substr(line.find(':') + 2);
            break;
        }
    char date[32];
    const std::time_t now = std::time(nullptr);
    std::strftime(date, sizeof date, "%Y-%m-%d", std::gmtime(&now));
    return model + ", " + std::to_string(sysconf(_SC_NPROCESSORS_ONLN)) + " processors, " + date;
}

std::string escaped(const std::string& text) {
    std::string out;
    for (char c : text) out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : std::string(1, c);
    return out;
}

// One bar per row and DLL: its speed over the fastest peer's, on a logarithmic scale from
// 1/16 to 16, with 1.0 marked.
void writeChart(const char* file, const std::vector<std::string>& columns, const std::vector<Row>& rows) {
    const char* colours[] = {"#4c72b0", "#dd8452", "#55a868"};
    const double left = 230, width = 520, barHeight = 9, rowGap = 6, top = 50;
    const double lowest = 1.0 / 16, highest = 16;
    const auto x = [&](double r) {
        r = std::min(std::max(r, lowest), highest);
        return left + width * (std::log2(r) - std::log2(lowest)) / (std::log2(highest) - std::log2(lowest));
    };
    std::vector<const Row*> shownRows;
    for (const Row& row : rows)
        if (row.fastestPeer() != nullptr) shownRows.push_back(&row);
    const double rowHeight = columns.size() * barHeight + rowGap;
    const double height = top + shownRows.size() * rowHeight + 50;
    std::ofstream svg(file);
    svg << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"800\" height=\"" << height
        << "\" font-family=\"sans-serif\" font-size=\"11\">\n"
        << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n"
        << "<text x=\"10\" y=\"18\" font-size=\"13\">TessalyEn_M.dll over the fastest peer library (log scale; right of 1.0 is faster)</text>\n"
        << "<text x=\"10\" y=\"34\" fill=\"#555\">" << escaped(machine()) << "</text>\n";
    for (double r = lowest; r <= highest; r *= 2) {
        svg << "<line x1=\"" << x(r) << "\" y1=\"" << top - 4 << "\" x2=\"" << x(r) << "\" y2=\"" << height - 40
            << "\" stroke=\"" << (r == 1 ? "#000" : "#ddd") << "\" stroke-width=\"" << (r == 1 ? 1.5 : 1) << "\"/>\n";
        char label[16];
        std::snprintf(label, sizeof label, r < 1 ? "1/%.0f" : "%.0f", r < 1 ? 1 / r : r);
        svg << "<text x=\"" << x(r) << "\" y=\"" << height - 28 << "\" text-anchor=\"middle\">" << label << "</text>\n";
    }
    double y = top;
    for (const Row* row : shownRows) {
        svg << "<text x=\"" << left - 6 << "\" y=\"" << y + rowHeight / 2 << "\" text-anchor=\"end\">"
            << escaped(row->workload->name) << "</text>\n";
        const double peer = row->fastestPeer()->rate.median;
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const double r = row->dlls[c].median / peer;
            if (row->dlls[c].median > 0) {
                const double from = std::min(x(1), x(r)), to = std::max(x(1), x(r));
                svg << "<rect x=\"" << from << "\" y=\"" << y + c * barHeight << "\" width=\"" << std::max(to - from, 1.0)
                    << "\" height=\"" << barHeight - 1 << "\" fill=\"" << colours[c % 3] << "\"/>\n";
                char label[16];
                std::snprintf(label, sizeof label, "%.2f", r);
                svg << "<text x=\"" << to + 3 << "\" y=\"" << y + c * barHeight + barHeight - 2 << "\" font-size=\"8\">"
                    << label << "</text>\n";
            }
        }
        y += rowHeight;
    }
    for (std::size_t c = 0; c < columns.size(); ++c)
        svg << "<rect x=\"" << 10 + 200 * c << "\" y=\"" << height - 16 << "\" width=\"10\" height=\"10\" fill=\""
            << colours[c % 3] << "\"/><text x=\"" << 24 + 200 * c << "\" y=\"" << height - 7 << "\">"
            << escaped(columns[c]) << "</text>\n";
    svg << "</svg>\n";
}

// One group through the decimal arithmetic of bignum.h, for scale.
double decimalMicrosecondsPerGroup() {
    using namespace tessaly::bignum;
    const auto decimal = [](const char* digits) {
        DecimalNumber a{};
        const std::size_t n = std::strlen(digits);
        for (std::size_t i = 0; i < n; ++i) a[128 - n + i] = static_cast<std::uint8_t>(digits[i] - '0');
        return a;
    };
    ExponentBits bits{};
    DecimalNumber result{};
    const auto start = std::chrono::steady_clock::now();
    binaryExpansion(decimal(tessaly::bench::rsaExponent), bits);
    modularPower(decimal("926365495"), decimal(tessaly::bench::rsaModulus), result, bits);
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    tessaly::bench::Exports exports;
#define TESSALY_BENCH_BIND(member, name) exports.member = &name;
    TESSALY_BENCH_EXPORTS(TESSALY_BENCH_BIND)
#undef TESSALY_BENCH_BIND
    tessaly::bench::Buffers buffers(exports);
    const auto peers = tessaly::bench::peers(buffers);
    const auto workloads = tessaly::bench::workloads(exports, buffers);
    const auto peersOf = [&](const Workload& w) {
        const auto found = peers.find(w.name);
        return found == peers.end() ? std::vector<tessaly::bench::Peer>{} : found->second;
    };

    if (argc > 2 && std::string(argv[1]) == "--peers") {
        for (const auto& w : workloads)
            if (w.name == argv[2])
                for (const auto& peer : measurePeers(peersOf(w), w))
                    std::printf("%s\t%s\t%.6g\t%.6g\t%.6g\n", peer.library.c_str(), peer.what.c_str(), peer.rate.median,
                                peer.rate.slowest, peer.rate.fastest);
        return 0;
    }

    std::vector<std::unique_ptr<DllServer>> dlls;
    std::unique_ptr<DllServer> portable;
    const char* chart = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--dll" && i + 2 < argc) {
            dlls.push_back(std::make_unique<DllServer>(argv[i + 1], argv[i + 2]));
            i += 2;
        } else if (option == "--portable" && i + 1 < argc) {
            portable = std::make_unique<DllServer>("DLL, portable paths", argv[++i]);
        } else if (option == "--chart" && i + 1 < argc) {
            chart = argv[++i];
        } else {
            std::fprintf(stderr, "usage: native_bench [--dll COLUMN COMMAND]... [--portable COMMAND] [--chart FILE]\n");
            return 2;
        }
    }
    std::vector<std::string> columns;
    for (const auto& dll : dlls) columns.push_back(dll->column());

    std::vector<Row> rows;
    for (const auto& w : workloads) {
        Row row{&w, {}, {}, {}};
        for (auto& dll : dlls) row.dlls.push_back(dll->measure(w.name));
        row.native = tessaly::bench::measure(w.run, w.bytes);
        row.peers = measurePeers(peersOf(w), w);
        rows.push_back(std::move(row));
        std::fprintf(stderr, "measured %s\n", w.name.c_str());
    }
    std::printf("MB/s for 1 MiB payloads, ns per call for small ones: the median of %d runs, with the\n"
                "slowest and fastest run in brackets. Each row's figures come from the same minute.\n"
                "The ratio is the DLL's speed over the fastest peer's (above 1: faster).\n\n",
                tessaly::bench::runsPerFigure);
    printTable(columns, rows);
    std::printf("\nEvery peer's median:\n\n");
    printPeerTable(rows);
    std::printf("\nDoRSA per group is the 64-group figure / 64. For scale, the decimal arithmetic takes "
                "%.0f us for one group.\n", decimalMicrosecondsPerGroup());
    if (chart != nullptr) writeChart(chart, columns, rows);

    if (portable) {
        // AES without AES-NI on both sides: the DLL built without processor extensions, and
        // the peers with AES-NI masked off.
        std::vector<Row> aesRows;
        for (const auto& w : workloads)
            if (w.name.rfind("DoAES", 0) == 0)
                aesRows.push_back({&w, {portable->measure(w.name)}, {}, peersWithoutAesNi(w.name)});
        std::printf("\nAES-NI off on both sides:\n\n");
        printTable({"DLL, portable paths"}, aesRows);
    }
    return 0;
}
