#include "control/protocol/block_transfer.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "platform/ticks.h"

namespace kest::protocol {

namespace {

constexpr uint32_t kLongStartWait = 120000;
constexpr uint32_t kReferenceStartWait = 1000;
constexpr uint16_t kResendCode = 240;
constexpr uint16_t kBlockDataCode = 254;

// What sets the three transfers apart.
struct TransferKind {
    uint16_t code;
    uint16_t transfer;
    uint32_t start_wait;
    bool signed_pages;  // page numbers and counts as signed 16-bit
    size_t data_limit;  // the most page data the assembly buffer takes
    bool has_header;    // a header datagram follows the acknowledgement
    bool counts_files;  // the announced count is the number of files; 0 ends it
    int32_t success;
};

constexpr TransferKind kFileList{
    195, kFileListTransfer, kLongStartWait, true, kListBufferLimit, false, true, kFileListDone};
constexpr TransferKind kRecordedFile{196,   kRecordedFileTransfer, kLongStartWait,
                                     false, kRecordedFileLimit,    false,
                                     false, kRecordedFileDone};
constexpr TransferKind kReference{130,   kReferenceTransfer, kReferenceStartWait,
                                  true,  kListBufferLimit,   true,
                                  false, kReferenceDone};

const CommandInfo& Command(uint16_t code) {
    const CommandInfo* c = FindCommand(code);
    if (!c) std::abort();
    return *c;
}

// One data page as it came; only accepted when its data lies inside the datagram.
struct Page {
    int32_t number = 0;
    int32_t count = 0;
    uint32_t length = 0;
    uint32_t total = 0;
    const uint8_t* data = nullptr;
};

bool ParsePage(const Reply& reply, bool signed_pages, Page& page) {
    if (reply.length < kPageHeaderSize) return false;
    ByteReader r(reply.bytes.data(), reply.length);
    r.Seek(16);
    const uint16_t number = r.U16();
    const uint16_t count = r.U16();
    page.number = signed_pages ? int16_t(number) : number;
    page.count = signed_pages ? int16_t(count) : count;
    page.length = r.U16();
    r.Skip(2);
    page.total = r.U32();
    if (!r.ok() || kPageHeaderSize + page.length > reply.length) return false;
    page.data = reply.bytes.data() + kPageHeaderSize;
    return true;
}

// Keeps the command lock for the whole transfer: the burst and the recovery
// share the command socket, and any other exchange meanwhile would take their
// pages (and they its reply).
class CommandHold {
  public:
    explicit CommandHold(CommandChannel& channel) : channel_(channel) {
        channel_.LockCommands(0);
        channel_.LockCommands(1);
    }
    ~CommandHold() { channel_.LockCommands(2); }
    CommandHold(const CommandHold&) = delete;
    CommandHold& operator=(const CommandHold&) = delete;

  private:
    CommandChannel& channel_;
};

// Puts the channel's reply wait back when the transfer ends.
class ReplyWaitRestore {
  public:
    explicit ReplyWaitRestore(CommandChannel& channel)
        : channel_(channel), saved_(channel.reply_wait()) {}
    ~ReplyWaitRestore() { channel_.set_reply_wait(saved_); }
    uint32_t saved() const { return saved_; }

  private:
    CommandChannel& channel_;
    uint32_t saved_;
};

class Transfer {
  public:
    Transfer(CommandChannel& channel, const TransferKind& kind, const TransferOptions& options,
             TransferReport& report)
        : channel_(channel), kind_(kind), options_(options), report_(report) {}

    // The whole transfer after the start request's parameters are built.
    int32_t Run(std::span<const uint8_t> start_params, uint32_t page_wait,
                const std::string& local_file);

  private:
    int32_t Start(std::span<const uint8_t> params, uint32_t page_wait);
    int32_t ReceiveHeader();
    int32_t Burst();
    int32_t Recover();
    int32_t RecoverPage(int32_t page);
    // Takes the page count, page size and total length from the first page.
    bool Setup(const Page& page);
    bool Store(const Page& page);
    int32_t Fail(int32_t failure) {
        report_.failure = failure;
        return kTransferFailed;
    }
    void Write(const std::string& local_file);

    CommandChannel& channel_;
    const TransferKind& kind_;
    const TransferOptions& options_;
    TransferReport& report_;

    Reply reply_;
    std::array<uint8_t, kPageTableEntries + 1> received_{};  // by page number, 1 to count
    bool set_up_ = false;
    int32_t count_ = 0;
    uint32_t page_size_ = 0;
    uint32_t total_ = 0;
    size_t header_length_ = 0;
    uint8_t header_[kReferenceHeaderLimit] = {};
    std::unique_ptr<uint8_t[]> buffer_;  // header area, then the page data
    size_t data_capacity_ = 0;
};

int32_t Transfer::Run(std::span<const uint8_t> start_params, uint32_t page_wait,
                      const std::string& local_file) {
    CommandHold hold(channel_);
    ReplyWaitRestore restore(channel_);
    BurstReceiveBuffer burst_buffer(channel_);
    if (int32_t r = Start(start_params, page_wait); r != 1) return r;
    if (kind_.counts_files && report_.announced == 0) return kNoFiles;
    // A count that a host would read as negative is no count.
    if (kind_.counts_files && report_.announced > uint32_t(INT32_MAX)) {
        return Fail(kTransferFailed);
    }
    if (kind_.has_header) {
        if (int32_t r = ReceiveHeader(); r != 0) return r;
    }
    received_.fill(0);
    if (int32_t r = Burst(); r != 0) return r;
    if (int32_t r = Recover(); r != 0) return r;

    scmd_block_data(channel_, kind_.transfer, false);
    report_.end_sequence = channel_.current_sequence();
    report_.total_length = total_;
    Write(local_file);
    return kind_.success;
}

int32_t Transfer::Start(std::span<const uint8_t> params, uint32_t page_wait) {
    CommandChannel::Options options;
    options.take_lock = false;
    options.act_on_start_flag = false;
    channel_.set_reply_wait(kind_.start_wait);
    const int32_t r = channel_.Exchange(Command(kind_.code), params, reply_, options);
    channel_.set_reply_wait(page_wait);
    if (r != 0) return kNoReply;
    ByteReader ack(reply_.bytes.data(), reply_.bytes.size());
    ack.Seek(6);
    report_.ack_word = ack.U16();
    report_.announced = ack.U32();
    return report_.ack_word;
}

int32_t Transfer::ReceiveHeader() {
    if (channel_.ReceiveReply(reply_) != 0) return Fail(kTransferFailed);
    ByteReader r(reply_.bytes.data(), reply_.length);
    r.Seek(2);
    const uint16_t code = r.U16();
    const int16_t length = r.I16();
    // The header area holds 1024 bytes; a longer header cannot be kept.
    if (!r.ok() || code != 251 || length < 0 || size_t(length) > kReferenceHeaderLimit ||
        8 + size_t(length) > reply_.length) {
        return Fail(kTransferFailed);
    }
    header_length_ = size_t(length);
    std::memcpy(header_, reply_.bytes.data() + 8, header_length_);
    return 0;
}

bool Transfer::Setup(const Page& page) {
    if (page.count < 1 || size_t(page.count) > kPageTableEntries) return false;
    if (page.number < 1 || page.number > page.count) return false;
    uint64_t size = page.length;
    if (page.number == page.count && page.count > 1) {
        // The last page is shorter; the page size follows from the total.
        if (page.total < page.length || (page.total - page.length) % uint32_t(page.count - 1))
            return false;
        size = (page.total - page.length) / uint32_t(page.count - 1);
    }
    if (size == 0 && page.total != 0) return false;
    const uint64_t needed = std::max<uint64_t>(page.total, size * uint64_t(page.count));
    if (needed > kind_.data_limit) return false;
    buffer_.reset(new (std::nothrow) uint8_t[header_length_ + size_t(needed)]());
    if (!buffer_) return false;
    std::memcpy(buffer_.get(), header_, header_length_);
    data_capacity_ = size_t(needed);
    count_ = page.count;
    page_size_ = uint32_t(size);
    total_ = page.total;
    report_.page_count = count_;
    set_up_ = true;
    return true;
}

bool Transfer::Store(const Page& page) {
    if (page.number < 1 || page.number > count_) return false;
    const uint64_t place = uint64_t(page.number - 1) * page_size_;
    if (place + page.length > data_capacity_) return false;
    std::memcpy(buffer_.get() + header_length_ + place, page.data, page.length);
    if (!received_[size_t(page.number)]) {
        received_[size_t(page.number)] = 1;
        ++report_.pages_received;
        if (options_.progress) options_.progress(report_.pages_received, count_);
    }
    return true;
}

int32_t Transfer::Burst() {
    int32_t taken = 0;
    while (channel_.ReceiveReply(reply_) == 0) {
        ++taken;
        Page page;
        if (!ParsePage(reply_, kind_.signed_pages, page)) return Fail(kTransferFailed);
        if (!set_up_ && !Setup(page)) return Fail(kTransferFailed);
        if (!Store(page)) return Fail(kTransferFailed);
        if (taken >= count_) break;
    }
    return 0;
}

int32_t Transfer::Recover() {
    // Without a single page the count is unknown: asking for page 1 brings it.
    for (int32_t p = 1; p <= std::max(count_, 1); ++p) {
        if (set_up_ && received_[size_t(p)]) continue;
        if (int32_t r = RecoverPage(p); r != 0) return r;
    }
    return 0;
}

int32_t Transfer::RecoverPage(int32_t wanted) {
    CommandTimer(3, 0);
    CommandTimer(2, 0);
    const uint32_t first = platform::TickCount();
    const uint32_t window = channel_.retry_window();
    for (;;) {
        ++report_.resend_requests;
        const int32_t r = scmd_resend_page(channel_, kind_.transfer, uint16_t(wanted), false);
        if (r < 0) return Fail(r);
        platform::SleepMs(kResendPause);
        if (channel_.ReceiveReply(reply_) != 0) {
            if (WithinWindow(first, platform::TickCount(), window)) continue;
            return Fail(kNoReply);
        }
        Page page;
        if (!ParsePage(reply_, kind_.signed_pages, page)) return Fail(kTransferFailed);
        if (!set_up_ && !Setup(page)) return Fail(kTransferFailed);
        if (page.number == wanted) {
            if (!Store(page)) return Fail(kTransferFailed);
            return 0;
        }
        // Another page in its place is never stored; after five retry
        // windows of them the transfer gives up.
        if (!WithinWindow(first, platform::TickCount(),
                          uint32_t(std::min<uint64_t>(5ull * window, UINT32_MAX)))) {
            return Fail(kNoReply);
        }
    }
}

void Transfer::Write(const std::string& local_file) {
    if (local_file.empty()) return;
    FILE* f = std::fopen(local_file.c_str(), "wb");
    if (!f) return;  // nothing written; the transfer still succeeded
    const size_t length = header_length_ + total_;
    const uint8_t* data = buffer_ ? buffer_.get() : header_;
    const bool complete = std::fwrite(data, 1, length, f) == length;
    const bool closed = std::fclose(f) == 0;
    // A file cut short would pass for the camera's; none is better.
    if (!complete || !closed) unlink(local_file.c_str());
}

}  // namespace

int32_t scmd_resend_page(CommandChannel& channel, uint16_t transfer, uint16_t page,
                         bool take_lock) {
    uint8_t params[4];
    ByteWriter(params, sizeof params).U16(transfer).U16(page);
    Reply reply;
    CommandChannel::Options options;
    options.take_lock = take_lock;
    if (channel.Exchange(Command(kResendCode), params, reply, options) != 0) return kNoReply;
    switch (LoadU16(&reply.bytes[8])) {
        case 2:
            return kRefused;
        case 0:
            return kResendZero;
        default:
            return kDone;
    }
}

int32_t scmd_block_data(CommandChannel& channel, uint16_t transfer, bool take_lock) {
    uint8_t params[2];
    ByteWriter(params, sizeof params).U16(transfer);
    Reply reply;
    CommandChannel::Options options;
    options.take_lock = take_lock;
    if (channel.Exchange(Command(kBlockDataCode), params, reply, options) != 0) return kNoReply;
    return reply.status() == 1 ? kRefused : kDone;
}

int32_t FetchFileList(CommandChannel& channel, const std::string& local_file, int32_t& file_count,
                      const TransferOptions& options, TransferReport& report) {
    uint8_t params[8] = {};
    ByteWriter(params, sizeof params)
        .U16(kFileListTransfer)
        .U16(uint16_t(options.burst_count))
        .U16(uint16_t(options.burst_interval))
        .U16(0);
    Transfer transfer(channel, kFileList, options, report);
    const int32_t r = transfer.Run(params, channel.reply_wait(), local_file);
    if (report.ack_word == 1 && report.announced <= uint32_t(INT32_MAX)) {
        file_count = int32_t(report.announced);
    }
    return r;
}

int32_t FetchRecordedFile(CommandChannel& channel, const std::string& name, int32_t reply_wait,
                          const TransferOptions& options, TransferReport& report) {
    if (name.size() >= kCameraFileNameField) return kOutOfRange;
    uint8_t params[52] = {};
    ByteWriter w(params, sizeof params);
    w.Bytes(name.data(), name.size()).Seek(32);
    w.U32(1).U32(0).U16(kRecordedFileTransfer);
    w.U16(uint16_t(options.burst_count)).U16(uint16_t(options.burst_interval)).Zeros(6);
    const uint32_t page_wait = reply_wait > 0 ? uint32_t(reply_wait) : channel.reply_wait();
    Transfer transfer(channel, kRecordedFile, options, report);
    return transfer.Run(params, page_wait, name);
}

int32_t FetchReferencePicture(CommandChannel& channel, const std::string& local_file,
                              const TransferOptions& options, TransferReport& report) {
    uint8_t params[2];
    ByteWriter(params, sizeof params).U16(kReferenceTransfer);
    Transfer transfer(channel, kReference, options, report);
    return transfer.Run(params, channel.reply_wait(), local_file);
}

}  // namespace kest::protocol
