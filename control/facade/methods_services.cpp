// Identity, network, password and camera-service methods of the control.
#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "control/facade/ctrl.h"
#include "control/protocol/identity.h"
#include "control/protocol/services.h"

namespace kest {

namespace {

using protocol::CommandChannel;

// One row of a method's result table: the command's result and the method's.
struct Row {
    int32_t command;
    int16_t method;
};

// A method's result table: the listed rows, then one result for the negative
// codes not listed and one for everything else.
int16_t MapResult(int32_t command, std::initializer_list<Row> rows, int16_t negative,
                  int16_t other) {
    for (const Row& row : rows) {
        if (row.command == command) return row.method;
    }
    return command < 0 ? negative : other;
}

// The common table: 0 -> 0, 1 -> 2, 2 -> 6, else 5.
int16_t MapStatus(int32_t command) {
    return MapResult(command, {{0, kResultOk}, {1, kResultRefused}, {2, kResultStatus}},
                     kResultFailed, kResultFailed);
}

// A host buffer that holds at least the layout's bytes.
bool Holds(const BufferRef& buffer, size_t bytes) {
    return buffer.data != nullptr && buffer.size >= bytes;
}

constexpr size_t kWordBlock = 4;
constexpr size_t kTimerRecBlock = 180;
constexpr size_t kChangeFpsBlock = 8;
constexpr size_t kNtpSettingBlock = 10;
constexpr size_t kDateTimeBlock = 16;
constexpr size_t kCfBlock = 292;
constexpr size_t kAddressBlock = 4;
constexpr size_t kFtpSettingBlock = 164;
constexpr size_t kPortSettingIn = 10;   // 32-bit speed, three 16-bit values
constexpr size_t kPortSettingOut = 14;  // 32-bit speed, five 16-bit values

ByteReader Read(const BufferRef& b) {
    return ByteReader(b.data, b.size);
}
ByteWriter Write(const BufferRef& b) {
    return ByteWriter(b.data, b.size);
}

template <size_t N>
void CopyIn(std::array<uint8_t, N>& to, const BufferRef& from) {
    std::memcpy(to.data(), from.data, N);
}
template <size_t N>
void CopyOut(const BufferRef& to, const std::array<uint8_t, N>& from) {
    std::memcpy(to.data, from.data(), N);
}

}  // namespace

// Identity and network.

int16_t CKestCtrl::GetMacAddress(std::string& MacAddress) {
    return WithSession([&](CKestCamera& camera) -> int16_t {
        std::string text;
        const int32_t r = camera.WithChannel(
            [&](CommandChannel& c) { return protocol::scmd_get_mac_address(c, text); });
        if (r == 0) MacAddress = text;
        return MapResult(r, {{0, kResultOk}, {1, kResultRefused}, {-10, kResultBadArgument}},
                         kResultFailed, kResultFailed);
    });
}

int16_t CKestCtrl::GetCameraID(std::string& CameraID) {
    return WithSession([&](CKestCamera& camera) -> int16_t {
        std::string text;
        const int32_t r = camera.WithChannel(
            [&](CommandChannel& c) { return protocol::scmd_get_camera_id(c, text); });
        if (r == 0) CameraID = text;
        return MapResult(r, {{0, kResultOk}, {-100, kResultBadArgument}}, kResultFailed,
                         kResultFailed);
    });
}

int16_t CKestCtrl::SetCameraID(const std::string& CameraID) {
    return WithSession([&](CKestCamera& camera) -> int16_t {
        const int32_t r = camera.WithChannel(
            [&](CommandChannel& c) { return protocol::scmd_set_camera_id(c, CameraID); });
        return MapResult(r, {{0, kResultOk}, {-2, kResultRefused}, {-100, kResultBadArgument}},
                         kResultFailed, kResultFailed);
    });
}

namespace {

// SetNewIPAddress, SetSubnetMask, SetDefaultGateway: 0 -> 0, -2 -> 2, -90 -> 100, else 5.
int16_t MapAddressSet(int32_t r) {
    return MapResult(r, {{0, kResultOk}, {-2, kResultRefused}, {-90, kResultBadArgument}},
                     kResultFailed, kResultFailed);
}

// GetSubnetMask, GetDefaultGateway: 0 -> 0, 1 -> 2, -10 -> 100, else 5.
int16_t MapAddressGet(int32_t r) {
    return MapResult(r, {{0, kResultOk}, {1, kResultRefused}, {-10, kResultBadArgument}},
                     kResultFailed, kResultFailed);
}

}  // namespace

int16_t CKestCtrl::SetNewIPAddress(const std::string& NewIPAddress) {
    return WithSession([&](CKestCamera& camera) -> int16_t {
        return MapAddressSet(camera.WithChannel(
            [&](CommandChannel& c) { return protocol::scmd_set_ip_address(c, NewIPAddress); }));
    });
}

int16_t CKestCtrl::SetSubnetMask(const std::string& SubnetMask) {
    return WithSession([&](CKestCamera& camera) -> int16_t {
        return MapAddressSet(camera.WithChannel(
            [&](CommandChannel& c) { return protocol::scmd_set_subnet_mask(c, SubnetMask); }));
    });
}

int16_t CKestCtrl::SetDefaultGateway(const std::string& DefaultGateway) {
    return WithSession([&](CKestCamera& camera) -> int16_t {
        return MapAddressSet(camera.WithChannel([&](CommandChannel& c) {
            return protocol::scmd_set_default_gateway(c, DefaultGateway);
        }));
    });
}

int16_t CKestCtrl::GetSubnetMask(std::string& SubnetMask) {
    return WithSession([&](CKestCamera& camera) -> int16_t {
        std::string text;
        const int32_t r = camera.WithChannel(
            [&](CommandChannel& c) { return protocol::scmd_get_subnet_mask(c, text); });
        if (r == 0) SubnetMask = text;
        return MapAddressGet(r);
    });
}

int16_t CKestCtrl::GetDefaultGateway(std::string& DefaultGateway) {
    return WithSession([&](CKestCamera& camera) -> int16_t {
        std::string text;
        const int32_t r = camera.WithChannel(
            [&](CommandChannel& c) { return protocol::scmd_get_default_gateway(c, text); });
        if (r == 0) DefaultGateway = text;
        return MapAddressGet(r);
    });
}

int16_t CKestCtrl::GetIPAddress(std::string& IPAddress) {
    return WithSession([&](CKestCamera& camera) -> int16_t {
        std::string text;
        const int32_t r = camera.WithChannel(
            [&](CommandChannel& c) { return protocol::scmd_get_IP_address(c, text); });
        if (r == 0) IPAddress = text;
        return MapStatus(r);
    });
}

int16_t CKestCtrl::SetDHCP(int16_t Enabled) {
    return WithSession([&](CKestCamera& camera) -> int16_t {
        return MapStatus(camera.WithChannel(
            [&](CommandChannel& c) { return protocol::scmd_set_DHCP(c, Enabled); }));
    });
}

int16_t CKestCtrl::GetDHCP(int16_t& Enabled, int16_t& Status, BufferRef IPAddress,
                           int32_t& LeaseObtained, int32_t& LeaseExpires) {
    if (!Holds(IPAddress, kAddressBlock)) return kResultBadArgument;
    return WithSession([&](CKestCamera& camera) -> int16_t {
        protocol::DhcpInfo info;
        const int32_t r =
            camera.WithChannel([&](CommandChannel& c) { return protocol::scmd_get_DHCP(c, info); });
        if (r == 0) {
            Enabled = info.enabled;
            Status = info.status;
            CopyOut(IPAddress, info.server);
            LeaseObtained = info.lease_obtained;
            LeaseExpires = info.lease_expires;
        }
        return MapStatus(r);
    });
}

int16_t CKestCtrl::ResetCamera() {
    return WithSession([&](CKestCamera& camera) -> int16_t {
        const int32_t r =
            camera.WithChannel([](CommandChannel& c) { return protocol::scmd_reset_camera(c); });
        return MapResult(r, {{0, kResultOk}, {1, kResultRefused}}, kResultFailed, kResultFailed);
    });
}

// Passwords, by level: 0 user, 1 main, 2 super.

int16_t CKestCtrl::GetPasswordEnable(int16_t Level, int16_t& Enable) {
    return WithSession([&](CKestCamera& camera) -> int16_t {
        int32_t (*query)(CommandChannel&) = nullptr;
        switch (Level) {
            case protocol::kUserLevel:
                query = protocol::scmd_get_user_passwd_enable;
                break;
            case protocol::kMainLevel:
                query = protocol::scmd_get_passwd_enable;
                break;
            case protocol::kSuperLevel:
                query = protocol::scmd_get_super_passwd_enable;
                break;
            default:
                return kResultBadArgument;
        }
        const int32_t r = camera.WithChannel(query);
        if (r != 0 && r != 1) return kResultFailed;
        Enable = int16_t(r);
        return kResultOk;
    });
}

int16_t CKestCtrl::SetPasswordEnable(int16_t Level, int16_t Enable, const std::string& Password) {
    return WithSession([&](CKestCamera& camera) -> int16_t {
        if (Enable != 0 && Enable != 1) return kResultBadArgument;
        using SetFn = int32_t (*)(CommandChannel&, std::string_view, std::string_view);
        using DisableFn = int32_t (*)(CommandChannel&, std::string_view);
        SetFn set = nullptr;
        DisableFn disable = nullptr;
        switch (Level) {
            case protocol::kUserLevel:
                set = protocol::scmd_set_passwd_user;
                disable = protocol::scmd_set_passwd_disable_user;
                break;
            case protocol::kMainLevel:
                set = protocol::scmd_set_passwd;
                disable = protocol::scmd_set_passwd_disable;
                break;
            case protocol::kSuperLevel:
                set = protocol::scmd_set_super_passwd;
                disable = protocol::scmd_set_super_passwd_disable;
                break;
            default:
                return kResultBadArgument;
        }
        // A set command proves itself with the control's Password property.
        const int32_t r = camera.WithChannel([&](CommandChannel& c) {
            return Enable == 1 ? set(c, password_, Password) : disable(c, Password);
        });
        return MapResult(r, {{0, kResultOk}, {-2, kResultRefused}, {-100, kResultBadArgument}},
                         kResultFailed, kResultFailed);
    });
}

int16_t CKestCtrl::CheckPassword(int16_t Level, const std::string& Password) {
    return WithSession([&](CKestCamera& camera) -> int16_t {
        int32_t (*check)(CommandChannel&, std::string_view) = nullptr;
        switch (Level) {
            case protocol::kUserLevel:
                check = protocol::scmd_check_user_passwd;
                break;
            case protocol::kMainLevel:
                check = protocol::scmd_check_passwd;
                break;
            case protocol::kSuperLevel:
                check = protocol::scmd_check_admin_passwd;
                break;
            default:
                return kResultBadArgument;
        }
        const int32_t r = camera.WithChannel([&](CommandChannel& c) { return check(c, Password); });
        return MapResult(r, {{0, kResultOk}, {1, kResultRefused}}, kResultFailed, kResultFailed);
    });
}

// Recording to the camera's memory card.

int16_t CKestCtrl::StartLocalRec() {
    return WithSession([&](CKestCamera& camera) -> int16_t {
        const int32_t r =
            camera.WithChannel([](CommandChannel& c) { return protocol::scmd_start_local_rec(c); });
        return MapResult(r, {{0, kResultOk}, {1, kResultBusy}, {2, kResultRefused}}, kResultFailed,
                         kResultStatus);
    });
}

int16_t CKestCtrl::StopLocalRec() {
    return WithSession([&](CKestCamera& camera) -> int16_t {
        const int32_t r =
            camera.WithChannel([](CommandChannel& c) { return protocol::scmd_stop_local_rec(c); });
        return MapResult(r, {{0, kResultOk}, {1, kResultRefused}}, kResultFailed, kResultStatus);
    });
}

int16_t CKestCtrl::DeleteLocalRecFile(const std::string& Filename) {
    if (Filename.size() >= protocol::kNameFieldSize) return kResultBadArgument;
    return WithSession([&](CKestCamera& camera) -> int16_t {
        const int32_t r = camera.WithChannel(
            [&](CommandChannel& c) { return protocol::scmd_del_local_recfile(c, Filename); });
        return MapResult(
            r, {{0, kResultOk}, {1, kResultRefused}, {2, kResultBadFirst}, {3, kResultBusy}},
            kResultFailed, kResultStatus);
    });
}

int16_t CKestCtrl::DeleteLocalRecFileAll() {
    return WithSession([&](CKestCamera& camera) -> int16_t {
        return MapStatus(camera.WithChannel(
            [](CommandChannel& c) { return protocol::scmd_del_local_recfile_all(c); }));
    });
}

int16_t CKestCtrl::GetLocalRecStatus(int16_t& Status1, int16_t& Status2, std::string& Filename,
                                     BufferRef DateTime) {
    // Filename always comes back, empty when the camera said nothing.
    Filename.clear();
    if (!Holds(DateTime, kDateTimeBlock)) return kResultBadArgument;
    return WithSession([&](CKestCamera& camera) -> int16_t {
        protocol::LocalRecStatus status;
        const int32_t r = camera.WithChannel(
            [&](CommandChannel& c) { return protocol::scmd_get_local_rec_status(c, status); });
        if (r < 0) return kResultFailed;
        Filename = status.filename;
        if (r == 2) return kResultRefused;
        Status1 = status.status1;
        Status2 = status.status2;
        // Seven values into words 0 to 5 and 7; word 6 stays as the host left it.
        static constexpr size_t kWords[] = {0, 1, 2, 3, 4, 5, 7};
        for (size_t i = 0; i < status.date_time.size(); ++i)
            StoreU16(DateTime.data + 2 * kWords[i], uint16_t(status.date_time[i]));
        return kResultOk;
    });
}

namespace {

// The six blocks of the recording settings.
struct RecBlocks {
    BufferRef trigger, alarm_rec, timer_rec, change_fps, cf_full, time_lapse;

    bool Hold() const {
        return Holds(trigger, kWordBlock) && Holds(alarm_rec, kWordBlock) &&
               Holds(timer_rec, kTimerRecBlock) && Holds(change_fps, kChangeFpsBlock) &&
               Holds(cf_full, kWordBlock) && Holds(time_lapse, kWordBlock);
    }
    protocol::LocalRecInfo Load() const {
        protocol::LocalRecInfo info;
        info.trigger = Read(trigger).I32();
        info.alarm_rec = Read(alarm_rec).I32();
        CopyIn(info.timer_rec, timer_rec);
        ByteReader fps = Read(change_fps);
        info.change_fps = {fps.U32(), fps.U32()};
        info.cf_full = Read(cf_full).I32();
        info.time_lapse = Read(time_lapse).I32();
        return info;
    }
    void Store(const protocol::LocalRecInfo& info) const {
        Write(trigger).U32(uint32_t(info.trigger));
        Write(alarm_rec).U32(uint32_t(info.alarm_rec));
        CopyOut(timer_rec, info.timer_rec);
        Write(change_fps).U32(info.change_fps[0]).U32(info.change_fps[1]);
        Write(cf_full).U32(uint32_t(info.cf_full));
        Write(time_lapse).U32(uint32_t(info.time_lapse));
    }
};

}  // namespace

int16_t CKestCtrl::GetLocalRecInformation(BufferRef Trigger, BufferRef AlarmRec, BufferRef TimerRec,
                                          BufferRef ChangeFps, BufferRef CFFull,
                                          BufferRef TimeLapse) {
    const RecBlocks blocks{Trigger, AlarmRec, TimerRec, ChangeFps, CFFull, TimeLapse};
    if (!blocks.Hold()) return kResultBadArgument;
    return WithSession([&](CKestCamera& camera) -> int16_t {
        protocol::LocalRecInfo info;
        bool unknown_rate = false;
        const int32_t r = camera.WithChannel([&](CommandChannel& c) {
            return protocol::scmd_get_local_rec_info(c, info, unknown_rate);
        });
        // A frame-rate index without a frames-per-second value cannot be shown.
        if (r == 0 && unknown_rate) return kResultStatus;
        if (r == 0) blocks.Store(info);
        return MapStatus(r);
    });
}

int16_t CKestCtrl::SetLocalRecInformation(BufferRef Trigger, BufferRef AlarmRec, BufferRef TimerRec,
                                          BufferRef ChangeFps, BufferRef CFFull,
                                          BufferRef TimeLapse) {
    const RecBlocks blocks{Trigger, AlarmRec, TimerRec, ChangeFps, CFFull, TimeLapse};
    if (!blocks.Hold()) return kResultBadArgument;
    const protocol::LocalRecInfo info = blocks.Load();
    return WithSession([&](CKestCamera& camera) -> int16_t {
        const int32_t r = camera.WithChannel(
            [&](CommandChannel& c) { return protocol::scmd_set_local_rec_info(c, info); });
        return MapResult(r,
                         {{0, kResultOk},
                          {1, kResultRefused},
                          {2, kResultBadArgument},
                          {-10, kResultBadArgument},
                          {3, kResultStatus}},
                         kResultFailed, kResultFailed);
    });
}

// Clock and memory card.

int16_t CKestCtrl::SetCurrentDatetime(int16_t NTP, BufferRef NTPSetting, BufferRef DateTime) {
    if (!Holds(NTPSetting, kNtpSettingBlock) || !Holds(DateTime, kDateTimeBlock)) {
        return kResultBadArgument;
    }
    protocol::ClockSetting clock;
    clock.ntp = uint8_t(NTP);
    ByteReader ntp = Read(NTPSetting);
    clock.ntp_signed = int8_t(uint8_t(ntp.U32()));
    ntp.Bytes(clock.ntp_bytes.data(), clock.ntp_bytes.size());
    CopyIn(clock.date_time, DateTime);
    return WithSession([&](CKestCamera& camera) -> int16_t {
        return MapStatus(camera.WithChannel(
            [&](CommandChannel& c) { return protocol::scmd_set_current_datetime(c, clock); }));
    });
}

int16_t CKestCtrl::GetCurrentDateTime(int16_t& NTP, BufferRef NTPSetting, BufferRef DateTime) {
    if (!Holds(NTPSetting, kNtpSettingBlock) || !Holds(DateTime, kDateTimeBlock)) {
        return kResultBadArgument;
    }
    return WithSession([&](CKestCamera& camera) -> int16_t {
        protocol::ClockSetting clock;
        const int32_t r = camera.WithChannel(
            [&](CommandChannel& c) { return protocol::scmd_get_current_datetime(c, clock); });
        if (r == 0) {
            NTP = clock.ntp;
            Write(NTPSetting)
                .U32(uint32_t(int32_t(clock.ntp_signed)))
                .Bytes(clock.ntp_bytes.data(), clock.ntp_bytes.size());
            CopyOut(DateTime, clock.date_time);
        }
        return MapStatus(r);
    });
}

int16_t CKestCtrl::GetCFInformaiton(int16_t& Count, BufferRef CF1, BufferRef CF2) {
    if (!Holds(CF1, kCfBlock) || !Holds(CF2, kCfBlock)) return kResultBadArgument;
    return WithSession([&](CKestCamera& camera) -> int16_t {
        protocol::CfInformation info;
        const int32_t r = camera.WithChannel(
            [&](CommandChannel& c) { return protocol::scmd_get_cf_info(c, info); });
        if (r == 0) {
            Count = info.count;
            CopyOut(CF1, info.cf1);
            CopyOut(CF2, info.cf2);
        }
        return MapStatus(r);
    });
}

// Control ports.

int16_t CKestCtrl::SetControlPortConfig(int16_t PortNo, int16_t DeviceType, BufferRef PortSetting) {
    if (!Holds(PortSetting, kPortSettingIn)) return kResultBadArgument;
    // The camera takes the speed in hundreds, then the three values.
    ByteReader in = Read(PortSetting);
    std::array<uint8_t, 12> setting{};
    ByteWriter out(setting.data(), setting.size());
    out.U16(uint16_t(in.U32() / 100)).U16(in.U16()).U16(in.U16()).U16(in.U16());
    return WithSession([&](CKestCamera& camera) -> int16_t {
        const int32_t r = camera.WithChannel([&](CommandChannel& c) {
            return protocol::scmd_set_port_config(c, PortNo, DeviceType, setting);
        });
        return MapResult(r,
                         {{0, kResultOk},
                          {1, kResultRefused},
                          {2, kResultBadArgument},
                          {3, kResultBadArgument},
                          {4, kResultStatus}},
                         kResultFailed, kResultFailed);
    });
}

int16_t CKestCtrl::GetControlPortConfig(int16_t PortNo, int16_t& DeviceType,
                                        BufferRef PortSetting) {
    if (!Holds(PortSetting, kPortSettingOut)) return kResultBadArgument;
    return WithSession([&](CKestCamera& camera) -> int16_t {
        protocol::PortConfig config;
        const int32_t r = camera.WithChannel(
            [&](CommandChannel& c) { return protocol::scmd_get_port_config(c, PortNo, config); });
        if (r == 0) {
            DeviceType = config.device_type;
            ByteWriter out = Write(PortSetting);
            out.U32(config.speed);
            for (int16_t v : config.values)
                out.U16(uint16_t(v));
        }
        return MapResult(
            r, {{0, kResultOk}, {1, kResultRefused}, {2, kResultBadArgument}, {3, kResultStatus}},
            kResultFailed, kResultFailed);
    });
}

int16_t CKestCtrl::SetControlPortMode(int16_t Command, int16_t PortNo1, int16_t PortNo2) {
    return WithSession([&](CKestCamera& camera) -> int16_t {
        return MapStatus(camera.WithChannel([&](CommandChannel& c) {
            return protocol::scmd_set_port_mode(c, Command, PortNo1, PortNo2);
        }));
    });
}

int16_t CKestCtrl::GetControlPortMode(int16_t PortNo, int16_t& PortStatus) {
    return WithSession([&](CKestCamera& camera) -> int16_t {
        int16_t status = 0;
        const int32_t r = camera.WithChannel(
            [&](CommandChannel& c) { return protocol::scmd_get_port_mode(c, PortNo, status); });
        if (r == 0) PortStatus = status;
        return MapStatus(r);
    });
}

int16_t CKestCtrl::PassThroughCommand(int16_t PortNo, int16_t NoOfCommand, BufferRef SendCommand,
                                      int16_t SendCommandSize, BufferRef AckCommand,
                                      int16_t& AckCommandSize, int32_t Timeout) {
    if (SendCommandSize < 0 || SendCommandSize > protocol::kMaxPassThroughBytes ||
        size_t(SendCommandSize) > SendCommand.size ||
        (SendCommandSize > 0 && SendCommand.data == nullptr)) {
        return kResultBadArgument;
    }
    const std::span<const uint8_t> data(SendCommand.data, size_t(SendCommandSize));
    const std::span<uint8_t> ack(AckCommand.data, AckCommand.data ? AckCommand.size : 0);
    return WithSession([&](CKestCamera& camera) -> int16_t {
        protocol::PassThroughAnswer answer;
        const int32_t r = camera.WithChannel([&](CommandChannel& c) {
            return protocol::scmd_pass_through_cmd(c, PortNo, NoOfCommand, data, ack, Timeout,
                                                   answer);
        });
        // The answer's bytes are the camera's whatever its result says.
        if (r >= 0) AckCommandSize = answer.ack_size;
        return MapResult(r,
                         {{0, kResultOk},
                          {1, kResultRefused},
                          {2, kResultStatus},
                          {5, kResultStatus},
                          {3, kResultBadArgument},
                          {4, kResultBadArgument}},
                         kResultFailed, kResultFailed);
    });
}

// FTP.

int16_t CKestCtrl::SetFTPInit(int16_t Enable, int16_t ServerPort, BufferRef IPAddress,
                              BufferRef FTPSetting) {
    if (!Holds(IPAddress, kAddressBlock) || !Holds(FTPSetting, kFtpSettingBlock)) {
        return kResultBadArgument;
    }
    protocol::FtpInit init;
    init.enable = Enable;
    init.server_port = ServerPort;
    CopyIn(init.address, IPAddress);
    CopyIn(init.setting, FTPSetting);
    return WithSession([&](CKestCamera& camera) -> int16_t {
        const int32_t r =
            camera.WithChannel([&](CommandChannel& c) { return protocol::scmd_ftp_init(c, init); });
        return MapResult(
            r, {{0, kResultOk}, {1, kResultRefused}, {2, kResultBadArgument}, {3, kResultStatus}},
            kResultFailed, kResultFailed);
    });
}

int16_t CKestCtrl::GetFTPInit(int16_t& Enable, int16_t& ServerPort, BufferRef IPAddress,
                              BufferRef FTPSetting) {
    if (!Holds(IPAddress, kAddressBlock) || !Holds(FTPSetting, kFtpSettingBlock)) {
        return kResultBadArgument;
    }
    return WithSession([&](CKestCamera& camera) -> int16_t {
        protocol::FtpInit init;
        const int32_t r = camera.WithChannel(
            [&](CommandChannel& c) { return protocol::scmd_ftp_get_init(c, init); });
        if (r == 0) {
            Enable = init.enable;
            ServerPort = init.server_port;
            CopyOut(IPAddress, init.address);
            CopyOut(FTPSetting, init.setting);
        }
        return MapStatus(r);
    });
}

int16_t CKestCtrl::SetFTPServerEnable(int16_t Status) {
    return WithSession([&](CKestCamera& camera) -> int16_t {
        return MapStatus(camera.WithChannel(
            [&](CommandChannel& c) { return protocol::scmd_set_ftp_server_enable(c, Status); }));
    });
}

int16_t CKestCtrl::GetFTPSeverEnable(int16_t& Status) {
    return WithSession([&](CKestCamera& camera) -> int16_t {
        int16_t value = 0;
        const int32_t r = camera.WithChannel(
            [&](CommandChannel& c) { return protocol::scmd_get_ftp_server_enable(c, value); });
        if (r == 0) Status = value;
        return MapStatus(r);
    });
}

// Multicast streaming settings.

int16_t CKestCtrl::GetMulticastMode(int16_t& Mode, BufferRef MulticastIPAddress,
                                    int16_t& BurstCount, int16_t& BurstInterval,
                                    int16_t& MulitcastPort, int16_t& TTL) {
    if (!Holds(MulticastIPAddress, kAddressBlock)) return kResultBadArgument;
    return WithSession([&](CKestCamera& camera) -> int16_t {
        protocol::MulticastMode mode;
        const int32_t r = camera.scmd_get_multicast_mode(&mode);
        if (r == 0) {
            Mode = mode.mode;
            CopyOut(MulticastIPAddress, mode.address);
            BurstCount = mode.burst_count;
            BurstInterval = mode.burst_interval;
            MulitcastPort = mode.port;
            TTL = mode.ttl;
        }
        return MapStatus(r);
    });
}

int16_t CKestCtrl::SetMulticastMode(int16_t Mode, BufferRef MulticastIPAddress, int16_t BurstCount,
                                    int16_t BurstInterval, int16_t MulticastPort, int16_t TTL) {
    if (!Holds(MulticastIPAddress, kAddressBlock)) return kResultBadArgument;
    protocol::MulticastMode mode;
    mode.mode = Mode;
    CopyIn(mode.address, MulticastIPAddress);
    mode.burst_count = BurstCount;
    mode.burst_interval = BurstInterval;
    mode.port = MulticastPort;
    mode.ttl = uint8_t(TTL);
    return WithSession([&](CKestCamera& camera) -> int16_t {
        const int32_t r = camera.WithChannel(
            [&](CommandChannel& c) { return protocol::scmd_set_multicast_mode(c, mode); });
        return MapResult(
            r, {{0, kResultOk}, {1, kResultRefused}, {2, kResultBadArgument}, {3, kResultStatus}},
            kResultFailed, kResultFailed);
    });
}

// Web server.

int16_t CKestCtrl::SetHTTPPort(int16_t PortNo) {
    return WithSession([&](CKestCamera& camera) -> int16_t {
        const int32_t r = camera.WithChannel(
            [&](CommandChannel& c) { return protocol::scmd_set_http_port(c, PortNo); });
        return MapResult(r,
                         {{0, kResultOk},
                          {protocol::kRefused, kResultRefused},
                          {protocol::kHttpPortRejected, kResultStatus},
                          {protocol::kMissingArgument, kResultBadArgument}},
                         kResultFailed, kResultFailed);
    });
}

int16_t CKestCtrl::GetHTTPPort(int16_t& PortNo) {
    return WithSession([&](CKestCamera& camera) -> int16_t {
        int16_t port = 0;
        const int32_t r = camera.WithChannel(
            [&](CommandChannel& c) { return protocol::scmd_get_http_port(c, port); });
        if (r == 0) PortNo = port;
        return MapResult(r, {{0, kResultOk}}, kResultFailed, kResultFailed);
    });
}

int16_t CKestCtrl::SetHTTPDefaultPage(const std::string& Filename) {
    if (Filename.size() >= protocol::kNameFieldSize) return kResultBadArgument;
    return WithSession([&](CKestCamera& camera) -> int16_t {
        const int32_t r = camera.WithChannel(
            [&](CommandChannel& c) { return protocol::scmd_set_http_default_page(c, Filename); });
        return MapResult(r,
                         {{0, kResultOk},
                          {1, kResultRefused},
                          {2, kResultStatus},
                          {protocol::kOutOfRange, kResultBadFirst}},
                         kResultFailed, kResultFailed);
    });
}

int16_t CKestCtrl::GetHTTPDefaultPage(BufferRef Filename) {
    if (!Holds(Filename, protocol::kNameFieldSize)) return kResultBadArgument;
    return WithSession([&](CKestCamera& camera) -> int16_t {
        std::array<uint8_t, protocol::kNameFieldSize> page{};
        const int32_t r = camera.WithChannel(
            [&](CommandChannel& c) { return protocol::scmd_get_http_default_page(c, page); });
        if (r == 0) CopyOut(Filename, page);
        return MapStatus(r);
    });
}

int16_t CKestCtrl::SetHTTPGeneralSetting(int16_t SubCommand, int16_t Value) {
    if (SubCommand < 0 || SubCommand > 3) return kResultBadFirst;
    return WithSession([&](CKestCamera& camera) -> int16_t {
        return MapStatus(camera.WithChannel([&](CommandChannel& c) {
            return protocol::scmd_set_http_general_setting(c, SubCommand, Value);
        }));
    });
}

int16_t CKestCtrl::GetHTTPGeneralSetting(int16_t SubCommand, int16_t& Value) {
    if (SubCommand < 0 || SubCommand > 3) return kResultBadFirst;
    return WithSession([&](CKestCamera& camera) -> int16_t {
        int16_t value = 0;
        const int32_t r = camera.WithChannel([&](CommandChannel& c) {
            return protocol::scmd_get_http_general_setting(c, SubCommand, value);
        });
        if (r == 0) Value = value;
        return MapStatus(r);
    });
}

// MPEG-4.

int16_t CKestCtrl::SetMPEG4Parameter(int16_t FramerateMode, int16_t Bitrate) {
    if (FramerateMode < 0 || FramerateMode > 2) return kResultBadFirst;
    if (Bitrate < 64 || Bitrate > 2048) return kResultBadSecond;
    return WithSession([&](CKestCamera& camera) -> int16_t {
        return MapStatus(camera.WithChannel([&](CommandChannel& c) {
            return protocol::scmd_set_mpeg4_param(c, {FramerateMode, Bitrate});
        }));
    });
}

int16_t CKestCtrl::GetMPEG4Parameter(int16_t& FramerateMode, int16_t& Bitrate) {
    return WithSession([&](CKestCamera& camera) -> int16_t {
        protocol::Mpeg4Parameter parameter;
        const int32_t r = camera.WithChannel(
            [&](CommandChannel& c) { return protocol::scmd_get_mpeg4_param(c, parameter); });
        if (r == 0) {
            FramerateMode = parameter.framerate_mode;
            Bitrate = parameter.bitrate;
        }
        return MapStatus(r);
    });
}

}  // namespace kest
