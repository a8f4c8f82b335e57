// Decoding speed of picdec against libjpeg-turbo, measured side by side: for each picture the
// two decoders run in turns (a batch of one, then a batch of the other, several rounds) and
// each keeps its best batch, so the ratio holds while the shared machine drifts. Times are the
// thread's CPU time per picture, page faults of the fresh bitmap included.
//
// picdec goes through GetPicture (the path it picks by itself at load); libjpeg-turbo decodes
// with its accurate integer transform into bottom-up blue-green-red, as picdec writes. A child
// process with PICDEC_PATH=plain and JSIMD_FORCENONE=1 pits the plain path against
// libjpeg-turbo without its SIMD the same way.
//
//   picdec_bench --pictures DIR [--rounds N] [--only SUBSTRING]
//       prints the markdown table of docs/picdec.md (DIR from make_pictures.sh)
//   picdec_bench --scene camera|busy WIDTH HEIGHT SEED > out.ppm
//       the generated content that make_pictures.sh encodes
//   picdec_bench --loop DIR NAME COUNT
//       decodes one picture COUNT times without timing, for callgrind and perf
#include <turbojpeg.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "kernels.h"
#include "picdec.h"

namespace {

// --- Generated content -------------------------------------------------------------------

uint32_t Hash(uint32_t x, uint32_t y, uint32_t seed) {
    uint32_t h = x * 0x8DA6B343u ^ y * 0xD8163841u ^ seed * 0xCB1AB31Fu;
    h ^= h >> 13;
    h *= 0x85EBCA6Bu;
    h ^= h >> 16;
    return h;
}

// Lattice noise in [0, 1) with cells of `cell` pixels, smoothly interpolated.
double ValueNoise(double x, double y, double cell, uint32_t seed) {
    double fx = x / cell, fy = y / cell;
    auto ix = static_cast<uint32_t>(static_cast<int64_t>(std::floor(fx)));
    auto iy = static_cast<uint32_t>(static_cast<int64_t>(std::floor(fy)));
    double tx = fx - std::floor(fx), ty = fy - std::floor(fy);
    tx = tx * tx * (3 - 2 * tx);
    ty = ty * ty * (3 - 2 * ty);
    auto v = [&](uint32_t a, uint32_t b) { return (Hash(a, b, seed) >> 8) / 16777216.0; };
    double top = v(ix, iy) + (v(ix + 1, iy) - v(ix, iy)) * tx;
    double bot = v(ix, iy + 1) + (v(ix + 1, iy + 1) - v(ix, iy + 1)) * tx;
    return top + (bot - top) * ty;
}

// A street scene as a surveillance camera sees it: sky, buildings with lit and dark windows,
// trees, a road with markings and sensor noise. Feature sizes scale with the picture, as a
// higher-resolution camera sees the same scene; "busy" adds foliage, gravel and more noise
// everywhere, the hardest kind of photograph for the entropy decoder.
std::vector<uint8_t> Scene(bool busy, int w, int h, uint32_t seed) {
    std::vector<uint8_t> px(static_cast<size_t>(w) * h * 3);
    const double u = w / 640.0;  // one "VGA pixel"
    const double horizon = 0.42 * h, road_top = 0.72 * h;
    uint32_t noise_state = seed * 2654435761u + 1;
    auto rnd = [&noise_state]() {
        noise_state ^= noise_state << 13;
        noise_state ^= noise_state >> 17;
        noise_state ^= noise_state << 5;
        return noise_state;
    };
    const double sigma = busy ? 7 : 3;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            double rgb[3];
            // Buildings: blocks 40..110 VGA pixels wide, tops between 10 % and 40 % of height.
            int block = static_cast<int>(x / (55 * u));
            double top = h * (0.1 + 0.3 * (Hash(block, 7, seed) % 1000) / 1000.0);
            double tree = ValueNoise(x, y, 30 * u, seed + 3);
            bool in_tree = y > horizon - 60 * u && y < road_top && tree > (busy ? 0.45 : 0.62);
            if (y < road_top && y >= top && !in_tree) {
                uint32_t hb = Hash(block, 11, seed);
                double base = 70 + (hb % 120);
                double wx = std::fmod(x, 11 * u), wy = std::fmod(y - top, 14 * u);
                bool window = wx > 3 * u && wy > 4 * u && x - block * 55 * u > 4 * u;
                bool lit = Hash(static_cast<uint32_t>(x / (11 * u)),
                                static_cast<uint32_t>((y - top) / (14 * u)), seed) %
                               3 ==
                           0;
                double v = window ? (lit ? 215 : 35) : base;
                double brick = busy ? 22 * ValueNoise(x, y, 2 * u, seed + 9) : 0;
                rgb[0] = v + 10 + brick;
                rgb[1] = v + brick;
                rgb[2] = v - 12 + (hb % 30) + brick;
            } else if (y < road_top && in_tree) {
                double leaf = ValueNoise(x, y, 2.5 * u, seed + 5) * 0.6 +
                              ValueNoise(x, y, 6 * u, seed + 6) * 0.4;
                double v = 40 + 110 * leaf;
                rgb[0] = v * 0.55;
                rgb[1] = v;
                rgb[2] = v * 0.45;
            } else if (y < road_top) {
                // Sky, brighter towards the horizon, with soft clouds.
                double t = y / horizon;
                double cloud =
                    50 * ValueNoise(x, y, 90 * u, seed + 1) * ValueNoise(x, y, 25 * u, seed + 2);
                rgb[0] = 120 + 60 * t + cloud;
                rgb[1] = 160 + 40 * t + cloud;
                rgb[2] = 225 + 10 * t + cloud;
            } else {
                // Road with perspective lane markings, gravel at the sides.
                double depth = (y - road_top) / (h - road_top);
                double centre = w / 2.0, half = (0.15 + 0.85 * depth) * w / 2;
                double d = std::abs(x - centre);
                double gravel = ValueNoise(x, y, (busy ? 1.5 : 3) * u, seed + 4);
                double v = d < half ? 90 + 25 * gravel : 110 + 70 * gravel;
                bool mark = std::abs(d - half * 0.5) < 3 * u * (0.3 + depth) &&
                            std::fmod(y, 40 * u) < 22 * u;
                if (mark) v = 230;
                rgb[0] = v + (d < half ? 0 : 15);
                rgb[1] = v + (d < half ? 0 : 10);
                rgb[2] = v;
            }
            for (int c = 0; c < 3; ++c) {
                double n = ((rnd() % 1024) / 1024.0 + (rnd() % 1024) / 1024.0 - 1) * 1.7 * sigma;
                double v = rgb[c] + n;
                px[(static_cast<size_t>(y) * w + x) * 3 + c] =
                    static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
            }
        }
    }
    return px;
}

int WriteScene(const char* kind, int w, int h, uint32_t seed) {
    if (w <= 0 || h <= 0 || w > 20000 || h > 20000) return 2;
    std::vector<uint8_t> px = Scene(std::strcmp(kind, "busy") == 0, w, h, seed);
    std::printf("P6\n%d %d\n255\n", w, h);
    std::fwrite(px.data(), 1, px.size(), stdout);
    return 0;
}

// --- Pictures ------------------------------------------------------------------------------

struct Picture {
    std::string name;
    std::vector<unsigned char> jpeg;
    int w = 0, h = 0;
};

std::vector<unsigned char> ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::vector<unsigned char>((std::istreambuf_iterator<char>(f)),
                                      std::istreambuf_iterator<char>());
}

// DIR/manifest.txt: one "name file" line per picture, in table order.
std::vector<Picture> LoadPictures(const std::string& dir, const std::string& only) {
    std::vector<Picture> pics;
    std::ifstream m(dir + "/manifest.txt");
    std::string line;
    tjhandle tj = tjInitDecompress();
    while (std::getline(m, line)) {
        std::istringstream ls(line);
        Picture p;
        std::string file;
        if (!(ls >> p.name >> file) || p.name[0] == '#') continue;
        if (!only.empty() && p.name.find(only) == std::string::npos) continue;
        p.jpeg = ReadFile(dir + "/" + file);
        int sub = 0, cs = 0;
        if (p.jpeg.empty() ||
            tjDecompressHeader3(tj, p.jpeg.data(), p.jpeg.size(), &p.w, &p.h, &sub, &cs) != 0) {
            std::fprintf(stderr, "picdec_bench: cannot read %s/%s\n", dir.c_str(), file.c_str());
            std::exit(2);
        }
        pics.push_back(std::move(p));
    }
    tjDestroy(tj);
    return pics;
}

// --- Decoders ------------------------------------------------------------------------------

bool PicdecDecode(const Picture& p) {
    void* info = nullptr;
    void* bits = nullptr;
    int rc =
        GetPicture(reinterpret_cast<const char*>(p.jpeg.data()), static_cast<long>(p.jpeg.size()),
                   PICDEC_INPUT_MEMORY, &info, &bits, nullptr, 0);
    std::free(info);
    std::free(bits);
    return rc == 0;
}

struct Turbo {
    tjhandle tj = tjInitDecompress();
    std::vector<unsigned char> out;
    ~Turbo() { tjDestroy(tj); }
    bool Decode(const Picture& p) {
        int pitch = (p.w * 3 + 3) & ~3;
        out.resize(static_cast<size_t>(pitch) * p.h);
        return tjDecompress2(tj, p.jpeg.data(), p.jpeg.size(), out.data(), p.w, pitch, p.h,
                             TJPF_BGR, TJFLAG_BOTTOMUP | TJFLAG_ACCURATEDCT) == 0;
    }
};

double ThreadCpu() {
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

struct Pair {
    double picdec = 1e30, turbo = 1e30;  // best seconds per picture
};

// Alternating batches of about 25 ms each; the best batch of each decoder counts.
Pair Measure(const Picture& p, int rounds) {
    Turbo turbo;
    if (!PicdecDecode(p) || !turbo.Decode(p)) {
        std::fprintf(stderr, "picdec_bench: %s does not decode\n", p.name.c_str());
        std::exit(3);
    }
    double t0 = ThreadCpu();
    PicdecDecode(p);
    double one = ThreadCpu() - t0;
    int batch = std::max(1, static_cast<int>(0.025 / std::max(one, 1e-6)));
    Pair best;
    for (int r = 0; r < rounds; ++r) {
        t0 = ThreadCpu();
        for (int i = 0; i < batch; ++i)
            PicdecDecode(p);
        best.picdec = std::min(best.picdec, (ThreadCpu() - t0) / batch);
        t0 = ThreadCpu();
        for (int i = 0; i < batch; ++i)
            turbo.Decode(p);
        best.turbo = std::min(best.turbo, (ThreadCpu() - t0) / batch);
    }
    return best;
}

std::string Time(double s) {
    char buf[32];
    if (s < 0.01) {
        std::snprintf(buf, sizeof(buf), "%.0f µs", s * 1e6);
    } else {
        std::snprintf(buf, sizeof(buf), "%.1f ms", s * 1e3);
    }
    return buf;
}

std::string CpuName() {
    std::ifstream f("/proc/cpuinfo");
    std::string line;
    while (std::getline(f, line)) {
        if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
    }
    return "unknown processor";
}

// Child: "name picdec_seconds turbo_seconds" per picture.
int RunPairs(const std::string& dir, int rounds, const std::string& only) {
    for (const Picture& p : LoadPictures(dir, only)) {
        Pair t = Measure(p, rounds);
        std::printf("%s %.9f %.9f\n", p.name.c_str(), t.picdec, t.turbo);
        std::fflush(stdout);
    }
    return 0;
}

std::string SelfPath() {
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof(self) - 1);
    if (n <= 0) return "picdec_bench";
    self[n] = 0;
    return self;
}

int RunTable(const std::string& dir, int rounds, const std::string& only) {
    std::vector<Picture> pics = LoadPictures(dir, only);
    if (pics.empty()) {
        std::fprintf(stderr, "picdec_bench: no pictures in %s (run make_pictures.sh)\n",
                     dir.c_str());
        return 2;
    }
    // The plain path against libjpeg-turbo without SIMD first, in a child of its own (the
    // libjpeg-turbo SIMD switch is read once per process).
    std::map<std::string, Pair> plain;
    std::string cmd = "JSIMD_FORCENONE=1 PICDEC_PATH=plain '" + SelfPath() + "' --pairs '" + dir +
                      "' " + std::to_string(rounds) + " '" + only + "'";
    if (FILE* f = popen(cmd.c_str(), "r")) {
        char name[128];
        Pair t;
        while (std::fscanf(f, "%127s %lf %lf", name, &t.picdec, &t.turbo) == 3)
            plain[name] = t;
        pclose(f);
    }
    const char* path = picdec::ActiveKernels().name;
    std::printf(
        "Measured on %s, one run, %d alternating rounds, best of each (CPU time per "
        "picture).\n\n",
        CpuName().c_str(), rounds);
    std::printf(
        "| picture | size | picdec (%s) | libjpeg-turbo | ratio | picdec plain | "
        "libjpeg-turbo, no SIMD | ratio |\n",
        path);
    std::printf("|---|---:|---:|---:|---:|---:|---:|---:|\n");
    for (const Picture& p : pics) {
        Pair t = Measure(p, rounds);
        std::printf("| %s | %zu kB | %s | %s | %.2f |", p.name.c_str(), p.jpeg.size() / 1000,
                    Time(t.picdec).c_str(), Time(t.turbo).c_str(), t.turbo / t.picdec);
        auto it = plain.find(p.name);
        if (it != plain.end()) {
            const Pair& q = it->second;
            std::printf(" %s | %s | %.2f |\n", Time(q.picdec).c_str(), Time(q.turbo).c_str(),
                        q.turbo / q.picdec);
        } else {
            std::printf(" — | — | — |\n");
        }
        std::fflush(stdout);
    }
    return 0;
}

int RunLoop(const std::string& dir, const std::string& name, int count) {
    for (const Picture& p : LoadPictures(dir, name)) {
        if (p.name != name) continue;
        for (int i = 0; i < count; ++i)
            PicdecDecode(p);
        return 0;
    }
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    auto arg = [&](int i) { return std::string(i < argc ? argv[i] : ""); };
    if (arg(1) == "--scene" && argc == 6) {
        return WriteScene(argv[2], std::atoi(argv[3]), std::atoi(argv[4]),
                          static_cast<uint32_t>(std::strtoul(argv[5], nullptr, 10)));
    }
    if (arg(1) == "--loop" && argc == 5) return RunLoop(arg(2), arg(3), std::atoi(argv[4]));
    if (arg(1) == "--pairs" && argc == 5) return RunPairs(arg(2), std::atoi(argv[3]), arg(4));
    std::string dir, only;
    int rounds = 7;
    for (int i = 1; i < argc; ++i) {
        if (arg(i) == "--pictures") {
            dir = arg(++i);
        } else if (arg(i) == "--rounds") {
            rounds = std::max(1, std::atoi(arg(++i).c_str()));
        } else if (arg(i) == "--only") {
            only = arg(++i);
        } else {
            dir.clear();
            break;
        }
    }
    if (dir.empty()) {
        std::fprintf(stderr,
                     "usage: picdec_bench --pictures DIR [--rounds N] [--only SUBSTRING]\n"
                     "       picdec_bench --scene camera|busy WIDTH HEIGHT SEED > out.ppm\n"
                     "       picdec_bench --loop DIR NAME COUNT\n");
        return 2;
    }
    return RunTable(dir, rounds, only);
}
