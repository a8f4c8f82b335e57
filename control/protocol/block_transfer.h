// The paged block transfer: downloads larger than one datagram (the memory
// card's file list, one recorded file, the reference picture).
//
// A start request is acknowledged, a burst of numbered pages follows, pages
// that did not arrive are asked for one by one with scmd_resend_page, and
// scmd_block_data ends the transfer. The assembled data goes to a local file
// written in one piece.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "control/protocol/transport.h"

namespace kest::protocol {

constexpr uint16_t kFileListTransfer = 0xEEEE;
constexpr uint16_t kRecordedFileTransfer = 0xFFFF;
constexpr uint16_t kReferenceTransfer = 0xDDDD;

constexpr size_t kPageTableEntries = 65000;
constexpr size_t kPageHeaderSize = 28;                    // page data starts here
constexpr size_t kListBufferLimit = 3 * 1024 * 1024;      // file list, reference picture data
constexpr size_t kRecordedFileLimit = 100 * 1024 * 1024;  // one recorded file
constexpr size_t kReferenceHeaderLimit = 1024;
constexpr size_t kCameraFileNameField = 32;  // with its NUL
constexpr uint32_t kResendPause = 30;        // ms after each resend request

// Success values and failures of the three transfers.
constexpr int32_t kFileListDone = 10;
constexpr int32_t kRecordedFileDone = 0;
constexpr int32_t kReferenceDone = 1;
constexpr int32_t kNoFiles = -111;
constexpr int32_t kTransferFailed = -100;

// Pages received so far of the page count, after each new page.
using TransferProgress = std::function<void(int32_t received, int32_t count)>;

struct TransferOptions {
    int16_t burst_count = 0;
    int16_t burst_interval = 0;
    TransferProgress progress;  // optional
};

// What happened, for the camera object and for measurements.
struct TransferReport {
    int32_t ack_word = -1;  // the acknowledgement's result word; -1 when none came
    uint32_t announced = 0;
    int32_t page_count = 0;
    int32_t pages_received = 0;
    int32_t resend_requests = 0;
    uint32_t total_length = 0;
    uint16_t end_sequence = 0;  // the sequence of the end request
    // On failure: the negative scmd_resend_page result, -1 when recovery timed
    // out, -100 for a malformed or misplaced page.
    int32_t failure = 0;
};

// scmd_resend_page (240): 0 accepted, -2 refused (2), -20 answered 0, -1 no reply.
// The block transfer sends it inside its own hold of the command lock.
int32_t scmd_resend_page(CommandChannel& channel, uint16_t transfer, uint16_t page,
                         bool take_lock = false);
// scmd_block_data (254): -2 when the status is 1, else 0; -1 no reply.
int32_t scmd_block_data(CommandChannel& channel, uint16_t transfer, bool take_lock = true);

// 10, -111 when the camera has no files, the acknowledgement's word when it is
// not 1, -1 without acknowledgement, -100 when the pages fail. file_count
// receives the camera's count once acknowledged.
int32_t FetchFileList(CommandChannel& channel, const std::string& local_file, int32_t& file_count,
                      const TransferOptions& options, TransferReport& report);

// 0, the acknowledgement's word when it is not 1, -10 for a name that does not
// fit its field (nothing sent), -1, -100. The name is the camera's file and
// the local one; reply_wait (ms, when positive) is the reply wait of the pages.
int32_t FetchRecordedFile(CommandChannel& channel, const std::string& name, int32_t reply_wait,
                          const TransferOptions& options, TransferReport& report);

// 1, the acknowledgement's word when it is not 1, -1, -100. The written file
// is the header datagram's bytes followed by the page data.
int32_t FetchReferencePicture(CommandChannel& channel, const std::string& local_file,
                              const TransferOptions& options, TransferReport& report);

}  // namespace kest::protocol
