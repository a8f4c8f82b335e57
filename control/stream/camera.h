// CKestCamera: everything that belongs to the connection with one camera.
//
// It owns the command session (socket, camera address, sequence numbers), the
// receive buffer in which frames are assembled, the cross-thread locks and the
// list of controls that listen to it.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "control/protocol/block_transfer.h"
#include "control/protocol/handshake.h"
#include "control/protocol/imaging.h"
#include "control/protocol/transport.h"
#include "control/stream/camera_state.h"
#include "control/stream/frame_format.h"
#include "control/stream/multicast_receiver.h"
#include "control/stream/receiver.h"
#include "control/stream/render.h"
#include "control/stream/timestamp_font.h"
#include "platform/message_window.h"
#include "platform/named_semaphore.h"
#include "platform/surface.h"

namespace kest {

namespace protocol {
struct MulticastMode;
}

// A control registered with the camera object; notifications are posted to
// its window, never delivered by a direct call.
class CameraListener {
  public:
    virtual ~CameraListener() = default;
    virtual platform::MessageWindow* listener_window() = 0;
};

// The frame most recently assembled.
struct FrameRecord {
    uint16_t frame_number = 0;
    std::atomic<int32_t> receiving{0};  // set by the receive thread
    std::atomic<int32_t> busy{0};       // DeliverFrame reads the frame
    void Clear() {
        frame_number = 0;
        receiving.store(0);
        busy.store(0);
        reverse = 0;
        frame_count = 0;
        width = height = length = 0;
    }
    int32_t reverse = 0;
    const uint8_t* quant_tables = nullptr;  // the camera object's two tables
    int32_t frame_count = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t length = 0;
    uint8_t* buffer = nullptr;
};

class CKestCamera {
  public:
    static constexpr size_t kReceiveBufferSize = 3 * 1024 * 1024;
    static constexpr uint32_t kPresentationWaitMs = 10000;
    static constexpr uint32_t kFlagLockPollMs = 10;
    static constexpr uint32_t kFlagLockLimitMs = 5000;

    explicit CKestCamera(const std::string& token);
    virtual ~CKestCamera();
    CKestCamera(const CKestCamera&) = delete;
    CKestCamera& operator=(const CKestCamera&) = delete;

    virtual bool LockListeners();
    virtual bool UnlockListeners();
    virtual bool LockPlaceholder();
    virtual bool UnlockPlaceholder();
    virtual void AddListener(CameraListener* listener);
    virtual void RemoveListener(CameraListener* listener);
    // Copies the frame surface into target at rect (render.cpp).
    virtual void CopySurface(platform::Surface& target, const platform::Rect& rect);
    // Draws the presented picture into the frame surface with the time stamp
    // and, for models 11 and 20, the motion lattice (render.cpp).
    virtual void RenderFrame();

    // Pictures (render.cpp). DecodeFrame runs on the receive thread (or the
    // host's, for pushed frames); PresentFrame while the presentation lock is
    // held; RenderFrame and CopySurface on the host's thread.
    static constexpr size_t kPictureBytes = 3 * 1024 * 1024;

    // Decodes a complete JPEG file into the decoded picture (rows bottom-up,
    // 3 bytes a pixel), turned by 180 degrees when the frame record says
    // reverse. The size its frame header claims is checked against the
    // decoded picture's block first: a larger picture is never decoded
    // (kTooLarge). Anything but kDecoded keeps the previous picture. width
    // and height get the size of the last picture decoded.
    enum class Decode { kDecoded, kTooLarge, kFailed };
    Decode DecodePicture(const uint8_t* jpeg, size_t length, int32_t* width, int32_t* height);
    bool DecodeFrame(const uint8_t* jpeg, size_t length, int32_t* width, int32_t* height) {
        return DecodePicture(jpeg, length, width, height) == Decode::kDecoded;
    }
    // Hands the frame to the host: the JPEG file into the presented JPEG (not
    // when longer than its capacity: then there is none), a newly decoded
    // picture becomes the presented picture (the decoded picture's block then
    // holds an older one, to be overwritten by the next decode).
    void PresentFrame(const uint8_t* jpeg, size_t length);
    // Re-creates the frame surface at the display size of a frame-size class
    // (0 640 x 480, 1 320 x 240, 2 160 x 120), showing its placeholder.
    void ResizeFrameSurface(int32_t size_class);

    const uint8_t* decoded_picture() const { return decoded_picture_.data(); }
    int32_t decoded_width() const { return decoded_width_; }
    int32_t decoded_height() const { return decoded_height_; }
    const uint8_t* presented_picture() const { return presented_picture_.data(); }
    int32_t presented_width() const { return presented_width_; }
    int32_t presented_height() const { return presented_height_; }
    bool presented_reverse() const { return presented_reverse_; }
    // The time stamp of the frame last rendered, from its comment.
    const FrameTime& presented_time() const { return presented_time_; }
    const platform::Surface& frame_surface() const { return frame_surface_; }
    int32_t placeholder_mode() const { return placeholder_mode_; }
    TimeStampFont& timestamp_font() { return timestamp_font_; }

    // Session open: 0, -201 when open already, -100 for a bad port, or the
    // first failure of socket set-up, buffer allocation or the handshake.
    int32_t OpenSession(const std::string& address_text, int32_t port);
    // 0, or -200 when no session is open.
    int32_t CloseSession();
    bool session_open() const { return session_open_.load(); }

    // Command accessors: -200 without an open session, otherwise the command.
    int32_t scmd_nop();
    int32_t scmd_get_version(protocol::VersionInfo* info);
    int32_t scmd_clear_start_flag();
    // scmd_get_multicast_mode; an accepted answer (status 0) is kept as the
    // group address text "%d.%d.%d.%d" and the port as decimal text (0 to
    // 65535) for the multicast session. Host thread only.
    int32_t scmd_get_multicast_mode(protocol::MulticastMode* mode);
    const std::string& multicast_address_text() const { return multicast_address_text_; }
    const std::string& multicast_port_text() const { return multicast_port_text_; }

    // Runs a command function on the open session's channel, or gives -200.
    template <typename F>
    int32_t WithChannel(F&& command) {
        if (!session_open_.load()) return protocol::kNoSession;
        return command(channel_);
    }

    // Rewrites the decimal digit runs of an address text as "%d.%d.%d.%d".
    static std::string NormaliseAddress(const std::string& text);
    // One row of a quantisation table from "KEST.INI": 8 three-digit numbers
    // one every 4 characters; an empty value gives eight 10s.
    static std::array<uint8_t, 8> ParseQuantRow(const std::string& value);

    // 0 nothing, 1 wait (at most 10 s), 2 release the presentation lock.
    // Mode 1 gives false when the wait timed out.
    bool LockPresentation(int mode);

    // The picture stream's receive thread.
    static constexpr size_t kPresentedJpegSize = 262146;
    int32_t StartReceiving(bool continuous, bool notify) {
        return receiver_.Start(continuous, notify);
    }
    int32_t RequestStop() { return receiver_.RequestStop(); }
    int32_t WaitReceiveEnd() { return receiver_.WaitEnd(); }
    PictureReceiver& receiver() { return receiver_; }
    // Completes the JPEG file of the frame in the receive buffer: the camera's
    // header (header_length bytes) or one built for the frame, then the
    // data_length bytes of compressed data. Its length, or 0 when the frame
    // cannot be shown.
    size_t CompleteFrame(const uint8_t* header, size_t header_length, size_t data_length);
    // Hands the completed frame to the listeners under the presentation lock.
    // The receive thread waits for the lock; the host's thread, which is the
    // one that releases it after NewImage, only tries it and drops the frame
    // while the previous one is still being shown.
    // A frame whose picture claims more than the decoded picture's block
    // holds is dropped before decoding, without NewImage: false.
    enum class PresentationWait { kWait, kTry };
    bool DeliverFrame(PresentationWait wait = PresentationWait::kWait);
    // Push mode (host's thread): joins the group and port of the last
    // scmd_get_multicast_mode, allocates the receive buffer when the session
    // has none and reads "KEST.INI". 0, -201, -100, -5, -6, -7 or -3.
    int32_t OpenMulticastSession(platform::MessageWindow* window);
    // Readable data on the multicast socket becomes the multicast-socket
    // message of the window; false when it cannot (the socket is closed).
    bool WatchMulticastSocket();
    // 0, 30 plus the camera's status, or 29 (no reply, or the camera pushes
    // to another group or port).
    int32_t StartMulticast(int first) { return multicast_.Start(first); }
    // 1 when a frame was completed.
    int32_t OnMulticastDatagram(int socket) { return multicast_.OnDatagram(socket); }
    // The periodic check failed: push mode ends, the session stays.
    void EndMulticast() { multicast_.End(); }
    void MoveMulticastWindow(platform::MessageWindow* window) { multicast_.SetWindow(window); }
    const MulticastReceiver& multicast() const { return multicast_; }
    MulticastReceiver& multicast_receiver() { return multicast_; }

    // Posts the end of reception (status kind 10) with its end code.
    void ReportReceiveEnd();
    // The JPEG file last handed to the host, valid under the presentation lock.
    const uint8_t* presented_jpeg() const { return presented_jpeg_.get(); }
    size_t presented_length() const { return presented_length_; }

    // Stream settings and per-frame values.
    int32_t frame_interval() const { return frame_interval_.load(); }
    void set_frame_interval(int32_t ms) { frame_interval_.exchange(ms); }
    int16_t frame_rate_index() const { return frame_rate_index_.load(); }
    void set_frame_rate_index(int16_t index) { frame_rate_index_.store(index); }
    // 2 for single pictures, 3 while reception runs continuously.
    void set_picture_mode(int32_t mode) { picture_mode_.store(mode); }
    int32_t picture_mode() const { return picture_mode_.load(); }
    uint32_t sequence_seed() const { return sequence_seed_; }
    void CountFrameCycle() { ++frame_counter_; }
    void set_reverse(int32_t reverse) { frame_.reverse = reverse; }
    void set_scale(int32_t code, float factor) { size_code_ = code, scale_factor_ = factor; }
    uint16_t last_delivered_frame() const { return last_delivered_frame_; }

    // The camera's command channel and the values the session read.
    protocol::CommandChannel& channel() { return channel_; }
    void set_reply_wait(uint32_t ms) { channel_.set_reply_wait(ms); }
    uint32_t reply_wait() const { return channel_.reply_wait(); }
    void SetPassword(const std::string& text) { channel_.SetPassword(text); }

    int32_t version_number() const { return version_.version_number; }
    int32_t model_code() const { return version_.model_code; }
    int32_t second_version() const { return version_.program_version; }
    int32_t size_code() const { return size_code_; }
    float scale_factor() const { return scale_factor_; }
    // The frame-size code (0 small, 1 middle, 2 large) last set or reported.
    int32_t frame_size_code() const { return frame_size_code_.load(); }
    void set_frame_size_code(int32_t code) { frame_size_code_.store(code); }
    int32_t throughput_test() const { return throughput_test_; }
    const std::array<uint8_t, 128>& quant_tables() const { return quant_tables_; }
    const std::string& address_text() const { return address_text_; }
    const std::string& port_text() const { return port_text_; }
    const ReportedState& reported() const { return reported_; }
    bool downloading() const { return downloading_.load(); }
    void set_downloading(bool on) { downloading_.store(on); }
    FrameRecord& frame_record() { return frame_; }

    const std::string& command_lock_name() const { return command_lock_name_; }
    const std::string& presentation_lock_name() const { return presentation_lock_name_; }

    // Posts a message to every listener's window under the listener lock;
    // false when nothing was posted (the lock could not be taken, or no
    // listener has a window that takes messages).
    bool PostToListeners(uint32_t message, uintptr_t wparam, intptr_t lparam);

    // After each delivered frame: every change of the camera's state becomes
    // a status notification to the listeners.
    void ReportCameraState();
    // The camera answered a frame poll in MPEG-4 mode.
    void ReportMpegMode();
    FrameState& frame_state() { return frame_state_; }
    void set_motion_flag(int16_t flag) { motion_flag_ = flag; }
    int16_t motion_flag() const { return motion_flag_; }
    int32_t frame_counter() const { return frame_counter_; }

    // Imaging, motors, lens and the block transfers (camera_imaging.cpp). The
    // accessors give -200 without an open session and -100 for a missing
    // output, and otherwise run the command.

    // The frame interval (ms) of a frame-rate index, -1 for an unlisted one.
    static int32_t FrameIntervalOf(int32_t index);
    // Frames per second of a camera frame-rate code, 0 when not in the table;
    // and the code of a rate, -1 when none.
    static int32_t FramesPerSecondOf(int32_t code);
    static int32_t FrameRateCodeOf(int32_t frames_per_second);

    // Stores the index (also an unlisted one), refuses an unlisted one with
    // -10, stores its interval and sends it with the session's picture mode.
    int32_t SetFrameRateIndex(int16_t index, int16_t* status = nullptr);
    // Selector 0, 1 or 2 (160 x 120, 320 x 240, 640 x 480), else -10.
    int32_t SetFrameSizeSelector(int32_t selector);
    int32_t SetScaleFactorCode(int16_t code);
    int32_t GetScaleFactorCode();
    // Motor reads: a successful one marks the motors as moving.
    int32_t GetMotorPos(int16_t axis, int16_t* position);
    int32_t GetMotorTable(protocol::MotorTable* table);
    int32_t GetExMotorTable(protocol::ExMotorTable* table);
    int32_t SetExMotorTable(const protocol::ExMotorTable* table);
    int32_t GetLens(protocol::LensRecord* lens);
    // Keeps the zoom position the camera hands back.
    int32_t SetLens(const protocol::LensWrite& values, protocol::LensWrite* now);

    int32_t FetchFileList(const std::string& local_file, int32_t* file_count,
                          const protocol::TransferOptions& options,
                          protocol::TransferReport* report = nullptr);
    int32_t FetchRecordedFile(const std::string& name, int32_t file_get_timeout,
                              const protocol::TransferOptions& options,
                              protocol::TransferReport* report = nullptr);
    int32_t FetchReferencePicture(const std::string& local_file,
                                  const protocol::TransferOptions& options,
                                  protocol::TransferReport* report = nullptr);

    int32_t frame_width() const { return frame_width_.load(); }
    int32_t frame_height() const { return frame_height_.load(); }
    int32_t scale_factor_code() const { return scale_factor_code_.load(); }
    int32_t motor_state() const { return motor_state_.load(); }
    int16_t zoom_position() const { return zoom_position_.load(); }
    // The last block transfer: its failing value, the sequence of its end
    // request and its length.
    int32_t transfer_result() const { return transfer_result_.load(); }
    uint16_t transfer_sequence() const { return transfer_sequence_.load(); }
    uint32_t transfer_length() const { return transfer_length_.load(); }

  private:
    void ReadSettings();
    // The zero-filled receive buffer in which frames are assembled.
    bool AllocateReceiveBuffer();
    // A new sequence seed from the tick count, for the channel and the
    // picture identifiers.
    void Reseed();

    std::string command_lock_name_;
    std::string presentation_lock_name_;
    std::shared_ptr<platform::NamedSemaphore> command_lock_;
    std::shared_ptr<platform::NamedSemaphore> presentation_lock_;
    protocol::CommandChannel channel_;

    std::vector<CameraListener*> listeners_;
    std::atomic<bool> listener_flag_{false};
    std::atomic<bool> placeholder_flag_{false};
    int32_t placeholder_mode_ = 1;

    std::atomic<bool> session_open_{false};
    std::atomic<bool> downloading_{false};
    std::string address_text_;
    std::string port_text_;
    std::string multicast_address_text_;
    std::string multicast_port_text_;
    protocol::VersionInfo version_;
    int32_t size_code_ = 16;
    float scale_factor_ = 25.0f;
    std::atomic<int32_t> frame_size_code_{2};
    int32_t throughput_test_ = 0;
    std::array<uint8_t, 128> quant_tables_{};  // luminance, then chrominance
    ReportedState reported_;
    FrameState frame_state_;
    int16_t motion_flag_ = 0;
    int16_t reported_motion_flag_ = 0;
    int32_t frame_counter_ = 0;

    // Imaging state; the picture loop reads some of it from its own thread.
    void NoteTransfer(int32_t result, const protocol::TransferReport& report);
    std::atomic<int32_t> frame_interval_{33};
    std::atomic<int16_t> frame_rate_index_{0};
    std::atomic<int32_t> picture_mode_{2};
    std::atomic<int32_t> frame_width_{640};
    std::atomic<int32_t> frame_height_{480};
    std::atomic<int32_t> scale_factor_code_{0};
    std::atomic<int32_t> motor_state_{0};
    std::atomic<int16_t> zoom_position_{0};
    std::atomic<int32_t> transfer_result_{0};
    std::atomic<uint16_t> transfer_sequence_{0};
    std::atomic<uint32_t> transfer_length_{0};
    FrameRecord frame_;
    std::unique_ptr<uint8_t[]> receive_buffer_;

    // Pictures. The decoded picture belongs to the decoding thread; the
    // presented copies change only while the presentation lock is held; the
    // surfaces, the time stamp and lattices drawn belong to the host's thread
    // (the frame surface under the placeholder flag).
    PictureBlock decoded_picture_{kPictureBytes};
    int32_t decoded_width_ = 0;
    int32_t decoded_height_ = 0;
    int32_t last_width_ = 0;
    int32_t last_height_ = 0;
    bool decoded_reverse_ = false;
    bool decoded_fresh_ = false;  // decoded since the last hand-over
    PictureBlock presented_picture_{kPictureBytes};
    int32_t presented_width_ = 0;
    int32_t presented_height_ = 0;
    bool presented_reverse_ = false;
    MotionLattices motion_lattices_;  // the delivered frame's, receive thread
    FrameTime presented_time_;
    int16_t drawn_motion_flag_ = 0;
    MotionLattices drawn_lattices_;
    platform::Surface frame_surface_;
    platform::Surface placeholder_;
    platform::Surface work_surface_;
    platform::Surface scaled_surface_;
    TimeStampFont timestamp_font_;
    std::unique_ptr<uint8_t[]> presented_jpeg_;
    size_t presented_length_ = 0;
    uint16_t last_delivered_frame_ = 0;
    uint32_t sequence_seed_ = 0;
    MulticastReceiver multicast_{*this};
    PictureReceiver receiver_{*this};  // last: its thread uses the fields above
};

}  // namespace kest
