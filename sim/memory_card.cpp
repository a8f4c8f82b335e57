#include "sim/memory_card.h"

#include <turbojpeg.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>
#include <random>
#include <thread>

#include "platform/ticks.h"

namespace kest::sim {

namespace {

constexpr uint16_t kFileListCode = 195;
constexpr uint16_t kRecordedFileCode = 196;
constexpr uint16_t kReferenceCode = 130;
constexpr size_t kPageHeader = 28;

std::vector<uint8_t> PageDatagram(uint16_t sequence, const ActiveTransfer& t, int32_t page) {
    const size_t place = size_t(page - 1) * t.page_size;
    const size_t total = t.data->size();
    const size_t length = place < total ? std::min<size_t>(t.page_size, total - place) : 0;
    std::vector<uint8_t> d(kPageHeader + length, 0);
    StoreU16(&d[0], sequence);
    StoreU16(&d[16], uint16_t(page));
    StoreU16(&d[18], uint16_t(t.page_count));
    StoreU16(&d[20], uint16_t(length));
    StoreU16(&d[24], uint16_t(total));
    StoreU16(&d[26], uint16_t(total >> 16));
    if (length) std::memcpy(&d[kPageHeader], t.data->data() + place, length);
    return d;
}

// What a transfer's follow-up needs, copied out of the locked state.
struct Burst {
    Datagram to;
    ActiveTransfer transfer;
    std::vector<uint8_t> header;  // the reference picture's header datagram, or empty
    int burst_count = 0;
    int burst_interval_ms = 0;
    uint32_t pause_us = 0;
    std::set<int32_t> lose;
    double lose_fraction = 0;
    uint32_t seed = 1;
};

void SendBurst(Simulator& sim, const Burst& b) {
    if (!b.header.empty()) sim.SendTo(b.to, b.header.data(), b.header.size());
    std::mt19937 rng(b.seed);
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    const int per_burst = b.burst_count > 0 ? b.burst_count : b.transfer.page_count;
    for (int32_t page = 1; page <= b.transfer.page_count && sim.running(); ++page) {
        const bool lost =
            b.lose.count(page) != 0 || (b.lose_fraction > 0 && chance(rng) < b.lose_fraction);
        if (!lost) {
            const std::vector<uint8_t> d = PageDatagram(b.to.sequence(), b.transfer, page);
            sim.SendTo(b.to, d.data(), d.size());
        }
        if (page % per_burst == 0 && page < b.transfer.page_count) {
            if (b.burst_interval_ms > 0) platform::SleepMs(uint32_t(b.burst_interval_ms));
            if (b.pause_us > 0) std::this_thread::sleep_for(std::chrono::microseconds(b.pause_us));
        }
    }
}

ActiveTransfer MakeTransfer(const MemoryCardState& s, Bytes data) {
    ActiveTransfer t;
    t.data = std::move(data);
    t.page_size = s.page_size;
    t.page_count = std::max<int32_t>(1, int32_t((t.data->size() + s.page_size - 1) / s.page_size));
    return t;
}

// Acknowledges a start request and, when pages follow, sends them after it.
void Start(MemoryCardState& s, const Request& request, Response& r, uint16_t transfer, Bytes data,
           uint32_t announced, std::vector<uint8_t> header, int burst_count, int burst_interval) {
    ++s.starts;
    auto forced = s.ack_word.find(request.code);
    const uint16_t word = forced != s.ack_word.end() ? forced->second : (data ? 1 : 2);
    r.status = 0;
    r.U16(word);
    r.U32(announced);
    if (word != 1 || !data || (announced == 0 && request.code == kFileListCode)) return;

    Burst b;
    b.to = request.datagram;
    b.transfer = MakeTransfer(s, std::move(data));
    if (!header.empty()) {
        b.header.assign(8, 0);
        StoreU16(&b.header[0], request.sequence);
        StoreU16(&b.header[2], 251);
        StoreU16(&b.header[4], uint16_t(header.size()));
        b.header.insert(b.header.end(), header.begin(), header.end());
    }
    b.burst_count = burst_count;
    b.burst_interval_ms = burst_interval;
    b.pause_us = s.burst_pause_us;
    b.lose = s.lose_pages;
    b.lose_fraction = s.lose_fraction;
    b.seed = s.lose_seed;
    s.active[transfer] = b.transfer;
    r.then = [b = std::move(b)](Simulator& simulator) { SendBurst(simulator, b); };
}

ByteReader Params(const Request& request) {
    ByteReader p = request.body;
    p.Seek(8);
    return p;
}

}  // namespace

std::vector<uint8_t> MemoryCardState::FileList() const {
    std::vector<uint8_t> list;
    for (const CardFile& f : files) {
        uint8_t entry[kListEntryBytes] = {};
        std::memcpy(entry, f.name.data(), std::min<size_t>(f.name.size(), 31));
        const uint32_t size = uint32_t(f.data->size());
        ByteWriter(entry + 32, 4).U32(size);
        list.insert(list.end(), entry, entry + kListEntryBytes);
    }
    return list;
}

void MemoryCardState::SetPageSize(int size) {
    page_size = uint16_t(std::clamp(size, int(kMinPageSize), int(kMaxPageSize)));
}

std::vector<uint8_t> PatternBytes(size_t n, uint32_t seed) {
    std::vector<uint8_t> out(n);
    uint32_t x = seed * 2654435761u + 1;
    for (uint8_t& b : out) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        b = uint8_t(x);
    }
    return out;
}

std::vector<uint8_t> MakeReferencePicture(int width, int height) {
    // Colour bars over a vertical gradient.
    static const uint8_t kBars[8][3] = {{235, 235, 235}, {235, 235, 16}, {16, 235, 235},
                                        {16, 235, 16},   {235, 16, 235}, {235, 16, 16},
                                        {16, 16, 235},   {16, 16, 16}};
    std::vector<uint8_t> rgb(size_t(width) * size_t(height) * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint8_t* bar = kBars[x * 8 / width];
            uint8_t* px = &rgb[(size_t(y) * size_t(width) + size_t(x)) * 3];
            for (int c = 0; c < 3; ++c)
                px[c] = uint8_t(bar[c] * (height - y / 2) / height);
        }
    }
    std::vector<uint8_t> out;
    tjhandle tj = tjInitCompress();
    if (!tj) return out;
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    if (tjCompress2(tj, rgb.data(), width, 0, height, TJPF_RGB, &jpeg, &size, TJSAMP_420, 85,
                    TJFLAG_ACCURATEDCT) == 0) {
        out.assign(jpeg, jpeg + size);
    }
    tjFree(jpeg);
    tjDestroy(tj);
    return out;
}

size_t JpegHeaderLength(const std::vector<uint8_t>& jpeg) {
    size_t i = 2;  // after SOI
    while (i + 4 <= jpeg.size() && jpeg[i] == 0xFF) {
        const size_t length = size_t(jpeg[i + 2]) << 8 | jpeg[i + 3];
        if (jpeg[i + 1] == 0xDA) return std::min(i + 2 + length, jpeg.size());
        i += 2 + length;
    }
    return 0;
}

void RegisterMemoryCard(Simulator& sim) {
    sim.Register(kFileListCode, [](Simulator& s, const Request& request, Response& r) {
        std::lock_guard lock(s.state_mutex());
        MemoryCardState& card = s.State<MemoryCardState>();
        ByteReader p = Params(request);
        const uint16_t transfer = p.U16();
        const int16_t burst_count = p.I16();
        const int16_t burst_interval = p.I16();
        Bytes list = std::make_shared<const std::vector<uint8_t>>(card.FileList());
        Start(card, request, r, transfer, list, uint32_t(card.files.size()), {}, burst_count,
              burst_interval);
    });
    sim.Register(kRecordedFileCode, [](Simulator& s, const Request& request, Response& r) {
        std::lock_guard lock(s.state_mutex());
        MemoryCardState& card = s.State<MemoryCardState>();
        ByteReader p = Params(request);
        char field[33] = {};
        p.Bytes(field, 32);
        p.Skip(8);
        const uint16_t transfer = p.U16();
        const int16_t burst_count = p.I16();
        const int16_t burst_interval = p.I16();
        const std::string name(field);
        Bytes data;
        for (const CardFile& f : card.files) {
            if (f.name == name) data = f.data;
        }
        Start(card, request, r, transfer, data, data ? uint32_t(data->size()) : 0, {}, burst_count,
              burst_interval);
    });
    sim.Register(kReferenceCode, [](Simulator& s, const Request& request, Response& r) {
        std::lock_guard lock(s.state_mutex());
        MemoryCardState& card = s.State<MemoryCardState>();
        ByteReader p = Params(request);
        const uint16_t transfer = p.U16();
        if (!card.reference) {
            card.reference =
                std::make_shared<const std::vector<uint8_t>>(MakeReferencePicture(320, 240));
        }
        const std::vector<uint8_t>& jpeg = *card.reference;
        const size_t split = std::min(
            card.reference_header ? card.reference_header : JpegHeaderLength(jpeg), jpeg.size());
        std::vector<uint8_t> header(jpeg.begin(), jpeg.begin() + long(split));
        Bytes data =
            std::make_shared<const std::vector<uint8_t>>(jpeg.begin() + long(split), jpeg.end());
        const uint32_t announced = uint32_t(data->size());
        Start(card, request, r, transfer, data, announced, std::move(header), 0, 0);
    });
    sim.Register(240, [](Simulator& s, const Request& request, Response& r) {
        std::lock_guard lock(s.state_mutex());
        MemoryCardState& card = s.State<MemoryCardState>();
        ByteReader p = Params(request);
        const uint16_t transfer = p.U16();
        const uint16_t page = p.U16();
        card.resent_pages.push_back(page);
        auto it = card.active.find(transfer);
        uint16_t answer = it == card.active.end() ? 0 : 1;
        if (card.resend_answer) answer = *card.resend_answer;
        r.status = 0;
        r.Zeros(2);  // +6
        r.U16(answer);
        if (answer == 0 || answer == 2 || it == card.active.end()) return;
        int32_t send = page;
        if (card.resend_instead) send = *card.resend_instead;
        if (auto lost = card.lose_resent.find(page);
            lost != card.lose_resent.end() && lost->second) {
            --lost->second;
            return;
        }
        std::vector<uint8_t> d = PageDatagram(request.sequence, it->second, send);
        const Datagram to = request.datagram;
        r.then = [to, d = std::move(d)](Simulator& simulator) {
            simulator.SendTo(to, d.data(), d.size());
        };
    });
    sim.Register(254, [](Simulator& s, const Request& request, Response& r) {
        std::lock_guard lock(s.state_mutex());
        MemoryCardState& card = s.State<MemoryCardState>();
        ByteReader p = Params(request);
        card.active.erase(p.U16());
        ++card.block_ends;
        r.status = 0;
    });
}

}  // namespace kest::sim
