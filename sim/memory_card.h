// The simulated camera's memory card and reference picture, and the three
// paged block transfers that fetch them: the file list, a recorded file, the
// reference picture.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "sim/simulator.h"

namespace kest::sim {

using Bytes = std::shared_ptr<const std::vector<uint8_t>>;

struct CardFile {
    std::string name;
    Bytes data;
};

// One transfer between its start and its end request (sim thread).
struct ActiveTransfer {
    Bytes data;  // the page data
    uint32_t page_size = 0;
    int32_t page_count = 0;
};

struct MemoryCardState {
    static constexpr uint16_t kMinPageSize = 323;   // 65000 pages hold 20 MiB
    static constexpr uint16_t kMaxPageSize = 1498;  // a page fills a 1526-byte reply
    static constexpr size_t kListEntryBytes = 36;   // 32-byte name field, 32-bit length

    std::vector<CardFile> files;
    Bytes reference;              // the reference picture, a JPEG file
    size_t reference_header = 0;  // bytes sent in the header datagram; 0: up to the scan
    uint16_t page_size = 1024;

    // Pacing: after every BurstCount pages (all, when the request says 0)
    // the camera pauses BurstInterval ms and then this long.
    uint32_t burst_pause_us = 0;

    // Loss and other faults.
    std::set<int32_t> lose_pages;  // never sent in the burst
    double lose_fraction = 0.0;    // of the burst pages, at random
    uint32_t lose_seed = 1;
    std::map<int32_t, int> lose_resent;     // page: how many resent copies are lost
    std::optional<int32_t> resend_instead;  // answer every resend with this page
    std::optional<uint16_t> resend_answer;  // +8 of the resend acknowledgement
    std::map<uint16_t, uint16_t> ack_word;  // by start code: a word other than 1

    // What the client did.
    int starts = 0;
    int block_ends = 0;
    std::vector<int32_t> resent_pages;
    std::map<uint16_t, ActiveTransfer> active;  // by transfer identifier

    void AddFile(const std::string& name, std::vector<uint8_t> data) {
        files.push_back({name, std::make_shared<const std::vector<uint8_t>>(std::move(data))});
    }
    // The file list as the camera sends it: one 36-byte entry per file.
    std::vector<uint8_t> FileList() const;
    // Clamped to 323..1498.
    void SetPageSize(int size);
};

// A deterministic pattern of n bytes, for recorded files.
std::vector<uint8_t> PatternBytes(size_t n, uint32_t seed);

// The reference picture made from the simulator's test picture.
std::vector<uint8_t> MakeReferencePicture(int width, int height);

// The length of a JPEG file's header: everything up to the end of its scan
// header (SOS); 0 when the file has none.
size_t JpegHeaderLength(const std::vector<uint8_t>& jpeg);

void RegisterMemoryCard(Simulator& sim);

}  // namespace kest::sim
