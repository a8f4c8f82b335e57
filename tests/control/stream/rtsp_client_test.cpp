// The RTSP client against a scripted RTSP peer on loopback that records every
// request text it receives and answers as its script says.
#include "control/stream/rtsp_client.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <functional>
#include <optional>
#include <thread>

#include "platform/tcp_socket.h"
#include "platform/ticks.h"

namespace kest {
namespace {

struct PeerAnswer {
    std::string text;      // sent as it stands
    bool close = false;    // then the connection is closed
    uint32_t drip_ms = 0;  // one byte at a time, this far apart
};

class ScriptedRtspPeer {
  public:
    // nullopt: the request gets no answer.
    using Script = std::function<std::optional<PeerAnswer>(const std::string& request)>;

    explicit ScriptedRtspPeer(Script script) : script_(std::move(script)) {
        listener_.Listen(0x7F000001, 0, 4);
        thread_ = std::thread([this] { Run(); });
    }
    ~ScriptedRtspPeer() {
        running_.store(false);
        thread_.join();
    }
    uint16_t port() const { return listener_.LocalPort(); }
    std::vector<std::string> Requests() const {
        std::lock_guard lock(mutex_);
        return requests_;
    }
    // Bytes of the last answer that went out.
    size_t drip_sent() const { return drip_sent_.load(); }
    bool WaitForRequests(size_t n) const {
        for (int i = 0; i < 5000 && Requests().size() < n; ++i)
            platform::SleepMs(1);
        return Requests().size() >= n;
    }

  private:
    void Run() {
        platform::TcpSocket conn;
        std::string input;
        while (running_.load()) {
            pollfd p{conn.is_open() ? conn.fd() : listener_.fd(), POLLIN, 0};
            if (poll(&p, 1, 10) <= 0) continue;
            if (!conn.is_open()) {
                conn = listener_.Accept(nullptr);
                if (conn.is_open()) conn.SetNonBlocking();
                continue;
            }
            char buf[1024];
            size_t n = 0;
            int err = 0;
            if (conn.Receive(buf, sizeof buf, n, err) != platform::TcpSocket::Io::kData) {
                conn.Close();
                continue;
            }
            input.append(buf, n);
            for (size_t end; (end = input.find("\r\n\r\n")) != std::string::npos;) {
                const std::string request = input.substr(0, end + 4);
                input.erase(0, end + 4);
                {
                    std::lock_guard lock(mutex_);
                    requests_.push_back(request);
                }
                const std::optional<PeerAnswer> answer = script_(request);
                if (!answer) continue;
                size_t sent = 0;
                while (sent < answer->text.size() && running_.load()) {
                    const size_t chunk = answer->drip_ms ? 1 : answer->text.size() - sent;
                    if (conn.Send(answer->text.data() + sent, chunk, n, err) !=
                        platform::TcpSocket::Io::kData) {
                        break;
                    }
                    sent += n;
                    drip_sent_.store(sent);
                    if (answer->drip_ms) platform::SleepMs(answer->drip_ms);
                }
                if (answer->close) conn.Close();
            }
        }
    }

    Script script_;
    platform::TcpListener listener_;
    std::thread thread_;
    std::atomic<bool> running_{true};
    std::atomic<size_t> drip_sent_{0};
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
};

std::string CSeqOf(const std::string& request) {
    const size_t at = request.find("CSeq: ");
    return request.substr(at + 6, request.find('\r', at) - at - 6);
}

// A camera that answers every request with 200 and the headers of its method.
std::optional<PeerAnswer> Camera(const std::string& request) {
    std::string reply = "RTSP/1.0 200 OK\r\nCSeq: " + CSeqOf(request) + "\r\n";
    if (request.rfind("DESCRIBE", 0) == 0) {
        reply += "Content-Type: video/mpeg\r\nContent-Length: 10\r\n\r\nv=0\r\nm=x\r\n";
    } else if (request.rfind("SETUP", 0) == 0) {
        reply +=
            "Session: 12345678\r\nTransport: "
            "RTP/AVP;unicast;client_port=6970-6971;server_port=6970-6971\r\n\r\n";
    } else {
        reply += "Session: 12345678\r\n\r\n";
    }
    return PeerAnswer{reply};
}

class RtspClientTest : public ::testing::Test {
  protected:
    void Connect(ScriptedRtspPeer& peer) {
        ASSERT_EQ(client_.RtspConnect("127.0.0.1", peer.port()), 0);
        port_ = client_.port_text();
    }
    CRtspClient client_{"rtsp-test"};
    const std::string address_ = "127.0.0.1";
    std::string port_;
};

TEST_F(RtspClientTest, ConnectAndDisconnectResults) {
    client_.set_close_waits(0, 0);
    EXPECT_EQ(client_.RtspDisconnect(), kRtspNotConnected);
    EXPECT_EQ(client_.RtspConnect("300.1.1.1", 554), kRtspBadAddress);
    EXPECT_EQ(client_.RtspConnect("127.0.0.1", 0), kRtspBadAddress);
    EXPECT_EQ(client_.RtspConnect("127.0.0.1", 70000), kRtspBadAddress);
    {
        // A port nobody listens on refuses the connection.
        platform::TcpListener closed;
        ASSERT_TRUE(closed.Listen(0x7F000001, 0, 1));
        const uint16_t port = closed.LocalPort();
        closed.Close();
        EXPECT_EQ(client_.RtspConnect("127.0.0.1", port), kRtspConnectFailed);
    }
    EXPECT_FALSE(client_.connected());
    // Without a connection requests fail and send nothing.
    EXPECT_EQ(client_.RtspDescribe("127.0.0.1", "554", "rtsp.mpg", nullptr), kRtspFailed);
    EXPECT_EQ(client_.cseq(), 1u);

    ScriptedRtspPeer peer(Camera);
    // The address is normalised as the camera session does it.
    ASSERT_EQ(client_.RtspConnect("127.000.0.01", peer.port()), 0);
    EXPECT_EQ(client_.address_text(), "127.0.0.1");
    EXPECT_EQ(client_.port_text(), std::to_string(peer.port()));
    EXPECT_EQ(client_.RtspConnect("127.0.0.1", peer.port()), kRtspConnected);
    EXPECT_EQ(client_.RtspDisconnect(), 0);
    EXPECT_FALSE(client_.connected());
}

TEST_F(RtspClientTest, RequestsCountCSeqFromOneAndParseTheReplies) {
    ScriptedRtspPeer peer(Camera);
    Connect(peer);
    std::string body = "old";
    ASSERT_EQ(client_.RtspDescribe(address_, port_, "rtsp.mpg", &body), 0);
    EXPECT_EQ(body, "v=0\r\nm=x\r\n");
    EXPECT_EQ(client_.last_reply().content_length, 10);
    EXPECT_EQ(client_.last_reply().content_type, 0);
    EXPECT_EQ(client_.last_reply().timeout_ms, 500u);

    const std::string session;
    std::string values;
    ASSERT_EQ(client_.RtspSetup(address_, port_, "rtsp.mpg", "0", &session, &values), 0);
    const rtsp::SetupValues setup = rtsp::SplitHeaderValues(values);
    EXPECT_EQ(setup.session, "12345678");
    EXPECT_EQ(setup.server_port, "6970-6971");
    ASSERT_EQ(client_.RtspPlay(address_, port_, "rtsp.mpg", setup.session, &body), 0);
    EXPECT_EQ(body, "");
    ASSERT_EQ(client_.RtspTeardown(address_, port_, "rtsp.mpg", setup.session), 0);
    // Without a session buffer SETUP names the stream instead.
    ASSERT_EQ(client_.RtspSetup(address_, port_, "rtsp.mpg", "0", nullptr, &values), 0);

    const auto requests = peer.Requests();
    ASSERT_EQ(requests.size(), 5u);
    const std::string url = "RTSP://127.0.0.1:" + port_ + "/rtsp.mpg";
    const std::pair<std::string, std::string> expected[] = {
        {"DESCRIBE " + url + " RTSP/1.0", "1"},
        {"SETUP " + url + "/streamid=1 RTSP/1.0", "2"},
        {"PLAY " + url + " RTSP/1.0", "3"},
        {"TEARDOWN " + url + "/ RTSP/1.0", "4"},
        {"SETUP " + url + "/streamid=0 RTSP/1.0", "5"},
    };
    for (size_t i = 0; i < requests.size(); ++i) {
        EXPECT_EQ(requests[i].substr(0, requests[i].find('\r')), expected[i].first);
        EXPECT_EQ(CSeqOf(requests[i]), expected[i].second);
    }
    EXPECT_NE(requests[1].find("\r\nSession: \r\n"), std::string::npos);
    EXPECT_EQ(requests[4].find("Session:"), std::string::npos);
    EXPECT_NE(requests[2].find("\r\nSession: 12345678\r\n"), std::string::npos);
    EXPECT_EQ(client_.cseq(), 6u);
}

TEST_F(RtspClientTest, RefusedStatusGoesToTheReplyRecord) {
    ScriptedRtspPeer peer([](const std::string& request) {
        return PeerAnswer{"RTSP/1.0 454 Session Not Found\r\nCSeq: " + CSeqOf(request) +
                          "\r\n\r\n"};
    });
    Connect(peer);
    const std::string session = "stale";
    std::string values = "untouched";
    EXPECT_EQ(client_.RtspSetup(address_, port_, "rtsp.mpg", "0", &session, &values), kRtspFailed);
    EXPECT_EQ(client_.last_reply().result, -500);
    EXPECT_EQ(values, "untouched");
    EXPECT_EQ(client_.cseq(), 2u);
}

TEST_F(RtspClientTest, LinesBeforeTheStatusLineAreSkipped) {
    ScriptedRtspPeer peer([](const std::string& request) {
        return PeerAnswer{"\r\nleft over\r\nRTSP/1.0 404 Not Found\r\nCSeq: " + CSeqOf(request) +
                          "\r\n\r\n"};
    });
    Connect(peer);
    EXPECT_EQ(client_.RtspDescribe(address_, port_, "rtsp.mpg", nullptr), kRtspFailed);
    EXPECT_EQ(client_.last_reply().result, -404);
}

TEST_F(RtspClientTest, SilentServerTimesOutTheStatusWait) {
    ScriptedRtspPeer peer([](const std::string&) { return std::nullopt; });
    client_.set_timeout(150);
    Connect(peer);
    std::string body = "untouched";
    EXPECT_EQ(client_.RtspDescribe(address_, port_, "rtsp.mpg", &body), kRtspTimedOut);
    EXPECT_EQ(client_.last_reply().result, kRtspTimedOut);
    EXPECT_EQ(client_.last_reply().timeout_ms, 150u);
    EXPECT_EQ(body, "untouched");
    EXPECT_EQ(client_.cseq(), 2u);
}

TEST_F(RtspClientTest, AServerThatDripsItsReplyCannotHoldTheRequest) {
    // Every byte comes well within the time-out, but the whole reply would
    // take 12 s; the request ends after its own deadline, a few time-outs.
    const std::string reply =
        "RTSP/1.0 200 OK\r\nCSeq: 1\r\nSession: 12345678\r\nX-Pad: " + std::string(60, 'p') +
        "\r\n\r\n";
    ScriptedRtspPeer peer([&reply](const std::string&) { return PeerAnswer{reply, false, 100}; });
    client_.set_timeout(300);
    Connect(peer);
    EXPECT_EQ(client_.RtspTeardown(address_, port_, "rtsp.mpg", "1"), kRtspTimedOut);
    EXPECT_EQ(client_.last_reply().result, kRtspTimedOut);
    EXPECT_LT(peer.drip_sent(), reply.size());  // it was still dripping
    EXPECT_EQ(client_.cseq(), 2u);
}

TEST_F(RtspClientTest, ReplyLinesAreAtMost255Bytes) {
    // 254 characters and the CR fit; one more does not.
    for (const size_t length : {254u, 255u}) {
        ScriptedRtspPeer peer([length](const std::string& request) {
            return PeerAnswer{"RTSP/1.0 200 OK\r\nCSeq: " + CSeqOf(request) +
                              "\r\nX-Long: " + std::string(length - 8, 'a') + "\r\n\r\n"};
        });
        CRtspClient client("rtsp-test");
        ASSERT_EQ(client.RtspConnect("127.0.0.1", peer.port()), 0);
        EXPECT_EQ(client.RtspTeardown(address_, client.port_text(), "rtsp.mpg", "1"),
                  length == 254 ? 0 : kRtspFailed)
            << length;
    }
}

TEST_F(RtspClientTest, HugeContentLengthIsRefused) {
    ScriptedRtspPeer peer([](const std::string& request) {
        return PeerAnswer{"RTSP/1.0 200 OK\r\nCSeq: " + CSeqOf(request) +
                          "\r\nContent-Length: 4294967296000\r\n\r\nv=0\r\n"};
    });
    Connect(peer);
    std::string body = "untouched";
    EXPECT_EQ(client_.RtspDescribe(address_, port_, "rtsp.mpg", &body), kRtspFailed);
    EXPECT_EQ(client_.last_reply().result, kRtspFailed);
    EXPECT_EQ(body, "untouched");
}

TEST_F(RtspClientTest, ShortBodyAndClosedConnection) {
    // The camera announces more body than it sends, then hangs up.
    ScriptedRtspPeer peer([](const std::string& request) {
        return PeerAnswer{"RTSP/1.0 200 OK\r\nCSeq: " + CSeqOf(request) +
                              "\r\nContent-Length: 100\r\n\r\nv=0\r\n",
                          true};
    });
    Connect(peer);
    std::string body;
    EXPECT_EQ(client_.RtspDescribe(address_, port_, "rtsp.mpg", &body), kRtspReceiveEnded);
    EXPECT_EQ(body, "");
}

TEST_F(RtspClientTest, UnknownMethodNameIsRefusedBeforeSending) {
    ScriptedRtspPeer peer(Camera);
    Connect(peer);
    rtsp::RtspReply reply;
    EXPECT_EQ(client_.RtspRequest("GET", "GET / HTTP/1.0\r\n\r\n", reply, nullptr, nullptr),
              kRtspBadMethod);
    EXPECT_EQ(client_.RtspRequest("OPTIONS", "OPTIONS * RTSP/1.0\r\nCSeq: 1\r\n\r\n", reply,
                                  nullptr, nullptr),
              0);
    const auto requests = peer.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].rfind("OPTIONS", 0), 0u);
    EXPECT_EQ(client_.cseq(), 2u);
}

TEST_F(RtspClientTest, CancelAndAbortStopAWaitingRequest) {
    ScriptedRtspPeer peer([](const std::string&) { return std::nullopt; });
    client_.set_timeout(60000);
    Connect(peer);
    // The wait would last a minute; the other thread ends it once the
    // request is out.
    std::thread canceller([&] {
        peer.WaitForRequests(1);
        client_.Cancel();
    });
    EXPECT_EQ(client_.RtspTeardown(address_, port_, "rtsp.mpg", "1"), kRtspReceiveEnded);
    canceller.join();

    std::atomic<bool> abort{false};
    client_.set_abort_flag(&abort);
    std::thread aborter([&] {
        peer.WaitForRequests(2);
        abort.store(true);
    });
    EXPECT_EQ(client_.RtspTeardown(address_, port_, "rtsp.mpg", "1"), kRtspAborted);
    aborter.join();
    client_.set_abort_flag(nullptr);
}

}  // namespace
}  // namespace kest
