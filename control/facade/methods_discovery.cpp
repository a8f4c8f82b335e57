// Alarm methods of the control, and the alarm socket on which cameras'
// notifications arrive.
#include <cstring>

#include "control/facade/ctrl.h"
#include "control/protocol/alarms.h"
#include "control/protocol/discovery.h"
#include "control/protocol/identity.h"
#include "control/stream/window_messages.h"

namespace kest {

namespace {

using protocol::CommandChannel;

bool AlarmModel(int32_t model) {
    return model == 3 || model == 11 || model == 13 || model == 20;
}

// The statuses most alarm methods share: 0 done, 1 refused, 2 a bad argument.
int16_t MapSetting(int32_t status) {
    switch (status) {
        case 0:
            return kResultOk;
        case 1:
            return kResultRefused;
        case 2:
            return kResultBadArgument;
        default:
            return kResultFailed;
    }
}

// Both searches: no address and no session; each pass on a socket of its own.
int16_t RunSearch(bool has_camera, const protocol::SearchKind& kind, BufferRef list, int16_t size,
                  int16_t& number, int16_t timeout) {
    if (!has_camera) return kResultFailed;
    // Room for at least one entry, and a buffer as long as the caller says.
    if (size < int16_t(kind.entry) || list.size < size_t(size)) return kResultBadArgument;
    number = protocol::Search(kind, {list.data, size_t(size)}, timeout);
    return kResultOk;
}

}  // namespace

int16_t CKestCtrl::SearchPALOMIR(BufferRef IPList, int16_t BufferSize, int16_t& Number,
                                 int16_t Timeout) {
    return RunSearch(camera_ != nullptr, protocol::kAddressSearch, IPList, BufferSize, Number,
                     Timeout);
}

int16_t CKestCtrl::SearchMulticastIP(BufferRef IPList, int16_t BufferSize, int16_t& Number,
                                     int16_t Timeout) {
    return RunSearch(camera_ != nullptr, protocol::kMulticastSearch, IPList, BufferSize, Number,
                     Timeout);
}

void CKestCtrl::OpenAlarmSocket() {
    platform::UdpSocket s;
    if (!s.Open()) return;
    s.SetBufferSizes(protocol::kSocketBufferSize, protocol::kSocketBufferSize);
    if (!s.SetNonBlocking() || !s.Bind(0, 0)) return;
    const uint16_t port = s.LocalPort();
    if (port == 0 || !window_ || !window_->WatchSocket(s.fd(), kAlarmSocketMessage)) return;
    alarm_socket_ = std::move(s);
    alarm_port_ = port;
}

void CKestCtrl::CloseAlarmSocket() {
    if (alarm_socket_.is_open() && window_) window_->UnwatchSocket(alarm_socket_.fd());
    alarm_socket_.Close();
    alarm_port_ = 0;
}

void CKestCtrl::HandleAlarmSocket() {
    if (!alarm_socket_.is_open()) return;
    uint8_t datagram[1024];
    size_t n = 0;
    sockaddr_in from{};
    const auto got = alarm_socket_.ReceiveFrom(datagram, sizeof datagram, n, from);
    if (window_) window_->RearmSocket(alarm_socket_.fd());
    if (got != platform::UdpSocket::Receive::kData) return;
    ByteReader r(datagram, n);
    r.Seek(2);
    if (r.U16() != protocol::kAlarmNotification) return;
    uint8_t a[4];
    r.Bytes(a, 4);
    r.Seek(10);
    const int16_t type = r.I16();
    // A short datagram lacks the fields the event carries.
    if (!r.ok()) return;
    FireEvent(EventId::Alarm, {Variant::Text(protocol::AddressBytesToText(a)), Variant::I2(type)});
}

int16_t CKestCtrl::AlarmRegistration(bool register_port) {
    if (!camera_ || !alarm_socket_.is_open() || alarm_port_ == 0) return kResultFailed;
    return WithSession([&](CKestCamera& camera) -> int16_t {
        if (!AlarmModel(camera.model_code())) return kResultNotThisType;
        CommandChannel& channel = camera.channel();
        const int32_t status = register_port ? protocol::cl_alarm_regist(channel, alarm_port_)
                                             : protocol::cl_alarm_deregist(channel, alarm_port_);
        switch (status) {
            case 0:
                return kResultOk;
            case 1:
                return kResultRefused;
            case 2:
                return kResultAlarmStatus2;
            case 3:
                return kResultStatus;
            default:
                return kResultFailed;
        }
    });
}

int16_t CKestCtrl::AlarmRegister() {
    return AlarmRegistration(true);
}

int16_t CKestCtrl::AlarmDeregister() {
    return AlarmRegistration(false);
}

int16_t CKestCtrl::AlarmOut(int16_t Flag) {
    return WithSession([&](CKestCamera& camera) -> int16_t {
        switch (protocol::cl_alarm_out(camera.channel(), Flag)) {
            case 0:
                return kResultOk;
            case 1:
                return kResultRefused;
            case 2:
                return kResultAlarmOut2;
            case 3:
                return kResultStatus;
            default:
                return kResultFailed;
        }
    });
}

int16_t CKestCtrl::AlarmSetCount(int16_t Count) {
    // A count the camera cannot hold is refused before any traffic.
    if (Count < 0 || Count > protocol::kMaxAlarmRecipients) {
        return camera_ ? (remote_ip_address_.empty() ? kResultNoAddress : kResultBadArgument)
                       : kResultFailed;
    }
    return WithSession([&](CKestCamera& camera) -> int16_t {
        return MapSetting(protocol::cl_alarm_set_count(camera.channel(), Count));
    });
}

int16_t CKestCtrl::AlarmGetCount(int16_t& Count) {
    return WithSession([&](CKestCamera& camera) -> int16_t {
        int16_t count = 0;
        const int16_t result = MapSetting(protocol::cl_alarm_get_count(camera.channel(), count));
        if (result == kResultOk) Count = count;
        return result;
    });
}

int16_t CKestCtrl::AlarmSetInit(BufferRef AlarmSetting) {
    if (AlarmSetting.size < protocol::kAlarmSettingSize) return kResultBadArgument;
    return WithSession([&](CKestCamera& camera) -> int16_t {
        std::span<const uint8_t, protocol::kAlarmSettingSize> block(AlarmSetting.data,
                                                                    protocol::kAlarmSettingSize);
        return MapSetting(protocol::cl_alarm_set_init(camera.channel(), block));
    });
}

int16_t CKestCtrl::AlarmGetInit(BufferRef AlarmSetting) {
    if (AlarmSetting.size < protocol::kAlarmSettingSize) return kResultBadArgument;
    return WithSession([&](CKestCamera& camera) -> int16_t {
        uint8_t block[protocol::kAlarmSettingSize];
        const int32_t status = protocol::cl_alarm_get_init(camera.channel(), block);
        if (status == 0) std::memcpy(AlarmSetting.data, block, sizeof block);
        return status == 0 ? kResultOk : status == 1 ? kResultRefused : kResultFailed;
    });
}

int16_t CKestCtrl::AlarmGetList(int16_t& Count, BufferRef AlarmList, int16_t Size) {
    return WithSession([&](CKestCamera& camera) -> int16_t {
        // Size says how much the caller's list holds; never past the buffer itself.
        const size_t room = std::min(AlarmList.size, size_t(Size < 0 ? 0 : Size));
        const int32_t status =
            protocol::cl_alarm_get_list(camera.channel(), Count, {AlarmList.data, room});
        return status == 0 ? kResultOk : status == 1 ? kResultRefused : kResultFailed;
    });
}

int16_t CKestCtrl::AlarmDeregisterIndirect(BufferRef IPAddress, int16_t Port) {
    if (IPAddress.size < 4) return kResultBadArgument;
    // The guard for a process registered as an alarm recipient is left out:
    // nothing ever registers the process as such.
    return WithSession([&](CKestCamera& camera) -> int16_t {
        return MapSetting(
            protocol::cl_alarm_deregist_indirect(camera.channel(), IPAddress.data, uint16_t(Port)));
    });
}

}  // namespace kest
