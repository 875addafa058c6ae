#include "corpus.h"

#include <cmath>
#include <fstream>
#include <stdexcept>
#include <string_view>

namespace bench {

namespace fs = std::filesystem;

std::uint64_t Random::next() {
    // splitmix64
    std::uint64_t z = (state_ += 0x9e3779b97f4a7c15u);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
    return z ^ (z >> 31);
}

std::uint64_t Random::between(std::uint64_t low, std::uint64_t high) {
    return low + next() % (high - low + 1);
}

namespace {

constexpr std::string_view crlf = "\r\n";
constexpr std::uint64_t kilobyte = 1024;
constexpr std::uint64_t megabyte = 1024 * kilobyte;

// Writes through a buffer of its own, so that generating a large galaxy costs little memory.
class LineWriter {
  public:
    explicit LineWriter(const fs::path& file) : out_(file, std::ios::binary | std::ios::trunc) {
        if (!out_) throw std::runtime_error("cannot create " + file.string());
        buffer_.reserve(chunk + 256);
    }
    LineWriter(const LineWriter&) = delete;
    LineWriter& operator=(const LineWriter&) = delete;

    void line(std::string_view head, std::string_view value = {}) {
        buffer_ += head;
        buffer_ += value;
        buffer_ += crlf;
        written_ += head.size() + value.size() + crlf.size();
        if (buffer_.size() >= chunk) drain();
    }
    std::uint64_t written() const { return written_; }
    void finish() {
        drain();
        out_.close();
        if (out_.fail()) throw std::runtime_error("cannot write a galaxy");
    }

  private:
    static constexpr std::size_t chunk = 1 << 20;
    void drain() {
        out_.write(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
        buffer_.clear();
    }
    std::ofstream out_;
    std::string buffer_;
    std::uint64_t written_ = 0;
};

std::string digits(Random& random, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += static_cast<char>('0' + random.between(0, 9));
    return text;
}

constexpr std::string_view starclasses = "OBAFGKM";
constexpr std::string_view notes[] = {"rocky", "ice", "gas giant", "ocean", "barren", "ringed"};
// Lines that no line of the old definition begins with: they pass through unchanged.
constexpr std::string_view strays[] = {"route ", "lore ", "; surveyed ", "anomaly "};

// An index below count.
std::size_t pick(Random& random, std::size_t count) {
    return static_cast<std::size_t>(random.between(0, count - 1));
}

void writeblock(LineWriter& out, Random& random) {
    if (random.between(1, 12) == 1) {
        out.line(strays[pick(random, std::size(strays))], digits(random, 4));
    }
    out.line("star");
    out.line("class ",
             std::string(1, starclasses[pick(random, starclasses.size())]) + digits(random, 1));
    out.line("heat ", digits(random, 2));
    for (auto planets = random.between(1, 5); planets > 0; --planets) {
        out.line("planet");
        out.line("owner ", digits(random, 1));
        out.line("moons ", digits(random, 2));
        out.line("notes ", notes[pick(random, std::size(notes))]);
    }
    for (auto fleets = random.between(0, 2); fleets > 0; --fleets) {
        out.line("fleet");
        out.line("ships ", digits(random, 2));
    }
}

std::string numbered(const char* head, std::uint64_t number, int width) {
    std::string text = std::to_string(number);
    if (static_cast<int>(text.size()) < width) text.insert(0, width - text.size(), '0');
    return head + text;
}

}  // namespace

void writegalaxy(const fs::path& file, std::uint64_t bytes, std::uint64_t seed) {
    Random random(seed);
    LineWriter out(file);
    out.line("zarn galaxy");
    out.line("version 3");
    out.line("seed ", digits(random, 2));
    do {
        writeblock(out, random);
    } while (out.written() + 5 < bytes);
    out.line("end");
    out.finish();
}

ConversionCorpus writeconversioncorpus(const fs::path& gamefolder, std::uint64_t totalbytes,
                                       std::uint64_t seed) {
    constexpr int smallcount = 400;
    constexpr std::uint64_t smallest = 10 * kilobyte;
    constexpr std::uint64_t largestsmall = 2 * megabyte;
    constexpr std::uint64_t largest = 20 * megabyte;
    constexpr int subfolders = 4;

    Random random(seed);
    ConversionCorpus corpus;
    fs::create_directories(gamefolder);
    for (int i = 1; i <= subfolders; ++i) {
        fs::create_directories(gamefolder / ("Campaign " + std::to_string(i)));
    }
    const auto place = [&](std::uint64_t size, const std::string& name) {
        // One galaxy in five lies in the game folder itself, the rest in its subfolders.
        const auto slot = random.between(0, subfolders);
        const fs::path folder =
            slot == 0 ? gamefolder : gamefolder / ("Campaign " + std::to_string(slot));
        const fs::path file = folder / (name + ".galaxy");
        writegalaxy(file, size, random.next());
        corpus.galaxies.push_back(file);
        corpus.bytes += fs::file_size(file);
    };
    // Sizes spread evenly on a log scale: many small galaxies, some near 2 MB.
    const double span = std::log(static_cast<double>(largestsmall) / smallest);
    for (int i = 0; i < smallcount && corpus.bytes < totalbytes; ++i) {
        const double share = static_cast<double>(random.between(0, 1000000)) / 1e6;
        place(static_cast<std::uint64_t>(smallest * std::exp(share * span)),
              numbered("Sector ", static_cast<std::uint64_t>(i), 4));
    }
    if (corpus.bytes < totalbytes) {
        const std::uint64_t rest = totalbytes - corpus.bytes;
        const std::uint64_t count = (rest + largest - 1) / largest;
        for (std::uint64_t i = 0; i < count; ++i) {
            place(rest / count, numbered("Expanse ", i, 2));
        }
    }
    return corpus;
}

ConversionCorpus writeuniformcorpus(const fs::path& gamefolder, int count, std::uint64_t bytes,
                                    std::uint64_t seed) {
    Random random(seed);
    ConversionCorpus corpus;
    fs::create_directories(gamefolder);
    for (int i = 0; i < count; ++i) {
        const fs::path file =
            gamefolder / (numbered("Cluster ", static_cast<std::uint64_t>(i), 5) + ".galaxy");
        writegalaxy(file, bytes, random.next());
        corpus.galaxies.push_back(file);
        corpus.bytes += fs::file_size(file);
    }
    return corpus;
}

TreeShape siblingshape(int count) {
    TreeShape shape;
    shape.folders = count + 1;
    shape.files = count + 1;
    shape.fanout = count;
    shape.othereveryn = 0;
    return shape;
}

int writetree(const fs::path& root, const TreeShape& shape, std::uint64_t seed) {
    Random random(seed);
    std::vector<fs::path> folders{root};
    fs::create_directories(root);
    // Breadth first: folder k (from 1) hangs below folder (k - 1) / fanout.
    for (int k = 1; k < shape.folders; ++k) {
        const fs::path& parent = folders[static_cast<std::size_t>((k - 1) / shape.fanout)];
        folders.push_back(parent / ("Zone " + std::to_string((k - 1) % shape.fanout)));
        fs::create_directory(folders.back());
    }
    int galaxies = 0;
    const auto perfolder = static_cast<std::size_t>(shape.files) / folders.size();
    const auto extra = static_cast<std::size_t>(shape.files) % folders.size();
    std::uint64_t serial = 0;
    for (std::size_t f = 0; f < folders.size(); ++f) {
        for (std::size_t i = 0; i < perfolder + (f < extra ? 1 : 0); ++i) {
            std::string name = numbered("Map ", ++serial, 6);
            if (shape.othereveryn > 0 &&
                random.between(1, static_cast<std::uint64_t>(shape.othereveryn)) == 1) {
                name += ".txt";
            } else {
                // Some in other letter case, which the pattern matches too.
                name += random.between(1, 20) == 1 ? ".Galaxy" : ".galaxy";
                ++galaxies;
            }
            std::ofstream touch(folders[f] / name, std::ios::binary);
            if (!touch) throw std::runtime_error("cannot create a file in " + folders[f].string());
        }
    }
    return galaxies;
}

int preparetree(const fs::path& root, const TreeShape& shape) {
    const fs::path marker = root / "shape.txt";
    const std::string described = std::to_string(shape.folders) + " " +
                                  std::to_string(shape.files) + " " + std::to_string(shape.fanout) +
                                  " " + std::to_string(shape.othereveryn);
    std::string found, galaxies;
    if (std::ifstream in(marker);
        in && std::getline(in, found) && found == described && std::getline(in, galaxies)) {
        return std::stoi(galaxies);
    }
    fs::remove_all(root / "game");
    const int count = writetree(root / "game", shape, 7);
    std::ofstream(marker) << described << "\n" << count << "\n";
    return count;
}

}  // namespace bench
