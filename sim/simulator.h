// kestsim: a camera simulator that answers in the cameras' formats.
//
// It listens on one UDP port, records every datagram it receives and answers
// commands from a table with one handler per command code, so each family of
// commands adds its own handlers without touching the core. Faults can be
// injected: dropped, delayed or mis-numbered replies, replies from another
// source address.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <typeindex>
#include <vector>

#include "platform/byte_cursor.h"
#include "platform/udp_socket.h"

namespace kest::sim {

struct SimConfig {
    std::string bind_address = "127.0.0.1";
    uint16_t port = 4000;  // 0: an ephemeral port
    int model_code = 11;
    int version_number = 20;  // 11 or less: every model reads as 0
    int program_version = 20;
    std::string password;
    std::string log_path;  // one line of hex per received datagram
    // The search port on 0.0.0.0 (with address reuse, so several simulated
    // cameras share it); 0: not listening for searches. Answers go only to
    // requesters on loopback.
    uint16_t search_port = 0;
};

struct Datagram {
    std::vector<uint8_t> bytes;
    uint32_t from_ip = 0;
    uint16_t from_port = 0;
    uint64_t time_us = 0;

    uint16_t sequence() const { return bytes.size() >= 2 ? LoadU16(&bytes[0]) : 0; }
    uint16_t code() const { return bytes.size() >= 4 ? LoadU16(&bytes[2]) : 0; }
    // The datagram as one line of lowercase hex.
    std::string Hex() const;
};

class Simulator;

// A request as a handler sees it.
struct Request {
    const Datagram& datagram;
    uint16_t sequence;
    uint16_t code;
    // Bytes after the 4-byte header (the password block, if any, and parameters).
    ByteReader body;
};

class Simulator;

// The reply a handler builds: status at offset 4, data from offset 6.
struct Response {
    bool send = true;  // false: no reply at all
    int16_t status = 0;
    std::vector<uint8_t> data;
    // Runs on the sim thread once the reply is out (or dropped): what a
    // camera does after answering, such as restarting.
    std::function<void(Simulator& sim)> after_reply;

    void U16(uint16_t v) { data.push_back(uint8_t(v)), data.push_back(uint8_t(v >> 8)); }
    void U32(uint32_t v) { U16(uint16_t(v)), U16(uint16_t(v >> 16)); }
    void Bytes(const void* p, size_t n) {
        data.insert(data.end(), static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + n);
    }
    void Zeros(size_t n) { data.insert(data.end(), n, 0); }

    // Runs on the sim thread once the reply is out (or dropped): datagrams
    // that follow it, such as the pages of a block transfer.
    std::function<void(Simulator& sim)> then;
};
using Handler = std::function<void(Simulator& sim, const Request& request, Response& response)>;
// Sees every request before its handler; true when it has answered instead.
using Gate = std::function<bool(Simulator& sim, const Request& request, Response& response)>;

class Simulator {
  public:
    explicit Simulator(SimConfig config = {});
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Binds and starts answering on a thread of its own. False when the
    // address cannot be bound.
    bool Start();
    void Stop();
    uint16_t port() const { return port_; }
    const SimConfig& config() const { return config_; }

    // The command table. Wrap puts a handler in front of the one registered
    // for the code (which it may call), so two families can share a code.
    void Register(uint16_t code, Handler handler);
    void Wrap(uint16_t code,
              std::function<void(Simulator&, const Request&, Response&, const Handler& previous)>
                  handler);
    bool Handles(uint16_t code) const { return handlers_.count(code) != 0; }

    // Sends a datagram of a handler's own to the requester (after the reply,
    // if any: set response.send = false to send only these). Goes through the
    // same source address as replies.
    void SendToRequester(const Request& request, const std::vector<uint8_t>& bytes);
    // Sends a datagram the camera sends unasked (an alarm notification); only
    // to loopback addresses, so a simulated camera never reaches a network.
    void SendTo(uint32_t ip, uint16_t port, const std::vector<uint8_t>& bytes);
    // A reply datagram: sequence, flags word (start flag), status, data.
    std::vector<uint8_t> BuildReply(uint16_t sequence, const Response& response) const;
    // Before Start: the check every request passes first (one gate in all).
    void SetGate(Gate gate);

    // Listens on another loopback address from now on, same port; the old
    // socket is kept when the new one cannot be bound. Sim thread only
    // (from a handler or after_reply).
    bool MoveTo(const std::string& address);
    // The address it listens on.
    std::string address() const;

    // Before Start: runs tick on the sim thread every period_ms (what a camera
    // does unasked, such as pushing frames to its multicast group).
    void Every(uint32_t period_ms, std::function<void(Simulator& sim)> tick);

    // Sends a datagram of a handler's own to the sender of a request.
    void SendTo(const Datagram& to, const void* data, size_t size);
    // False once Stop has begun: long follow-ups end early.
    bool running() const { return running_.load(); }

    // Everything received, in order.
    std::vector<Datagram> Received() const;
    size_t ReceivedCount() const;
    size_t ReceivedCount(uint16_t code) const;
    void ClearReceived();

    // Faults.
    void DropNextReplies(int count);
    void DropFraction(double fraction, uint32_t seed);
    void DelayReplies(uint32_t ms);
    // Each reply is preceded by one with another sequence number.
    void SendWrongSequenceFirst(bool on);
    // Replies leave from this address (a loopback address) instead.
    bool AnswerFrom(const std::string& address);
    // A camera restart: replies carry the start flag until scmd_clear_start_flag.
    void SimulateRestart();
    void ClearStartFlag() { start_flag_.store(false); }
    bool start_flag() const { return start_flag_.load(); }

    // Camera state shared with handlers (sim thread) and tests: each family of
    // commands keeps its own state object, made on first use. Lock
    // state_mutex() around every access from outside the sim thread.
    std::mutex& state_mutex() { return state_mutex_; }
    template <typename T>
    T& State() {
        std::lock_guard lock(extension_mutex_);
        std::shared_ptr<void>& slot = extensions_[std::type_index(typeid(T))];
        if (!slot) slot = std::make_shared<T>();
        return *static_cast<T*>(slot.get());
    }
    int model_code() const { return config_.model_code; }
    int version_number() const { return config_.version_number; }
    int program_version() const { return config_.program_version; }

  private:
    void Run();
    // Runs the tickers that are due; the wait until the next one, in ms.
    int RunTickers();
    void Handle(const Datagram& d);
    void Reply(const Datagram& d, const Response& response);
    void SendReply(const Datagram& to, const std::vector<uint8_t>& bytes);

    SimConfig config_;
    platform::UdpSocket socket_;
    platform::UdpSocket alternate_;  // AnswerFrom
    platform::UdpSocket search_socket_;
    uint16_t port_ = 0;
    std::thread thread_;
    std::atomic<bool> running_{false};
    int wake_fd_ = -1;

    std::map<uint16_t, Handler> handlers_;
    struct Ticker {
        uint32_t period_ms;
        uint64_t due_us;
        std::function<void(Simulator&)> tick;
    };
    std::vector<Ticker> tickers_;  // sim thread once started
    Gate gate_;
    mutable std::mutex address_mutex_;
    std::string address_;

    mutable std::mutex log_mutex_;
    std::vector<Datagram> received_;
    FILE* log_ = nullptr;

    std::mutex fault_mutex_;
    int drop_next_ = 0;
    double drop_fraction_ = 0.0;
    std::mt19937 rng_{1};
    uint32_t delay_ms_ = 0;
    bool wrong_sequence_first_ = false;
    std::atomic<bool> start_flag_{false};

    std::mutex state_mutex_;
    std::mutex extension_mutex_;
    std::map<std::type_index, std::shared_ptr<void>> extensions_;
};

// The handshake family: scmd_nop, scmd_get_version, scmd_clear_start_flag.
void RegisterHandshake(Simulator& sim);
// The answers to camera searches (discovery.cpp).
void RegisterDiscovery(Simulator& sim);
// Every other family of commands (families.cpp).
void RegisterFamilies(Simulator& sim);

}  // namespace kest::sim
