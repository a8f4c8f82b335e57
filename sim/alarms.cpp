#include "sim/alarms.h"

#include <cstring>

namespace kest::sim {

namespace {

AlarmState& Alarms(Simulator& sim) {
    return sim.State<AlarmState>();
}

int16_t Status(const AlarmState& st, int16_t ok) {
    return st.forced_status >= 0 ? int16_t(st.forced_status) : ok;
}

}  // namespace

void RegisterAlarms(Simulator& sim) {
    // cl_alarm_regist: +12 the recipient's port; the address is the sender's.
    sim.Register(2304, [](Simulator& s, const Request& r, Response& out) {
        ByteReader body = r.body;
        body.Skip(8);
        const uint16_t port = body.U16();
        std::lock_guard lock(s.state_mutex());
        AlarmState& st = Alarms(s);
        out.status = Status(st, 0);
        if (out.status != 0) return;
        for (const AlarmRecipient& a : st.recipients) {
            if (a.ip == r.datagram.from_ip && a.port == port) return;
        }
        if (int(st.recipients.size()) >= st.count) {
            out.status = 2;  // the list is full
            return;
        }
        st.recipients.push_back({r.datagram.from_ip, port});
    });
    sim.Register(2309, [](Simulator& s, const Request& r, Response& out) {
        ByteReader body = r.body;
        body.Skip(8);
        const uint16_t port = body.U16();
        std::lock_guard lock(s.state_mutex());
        AlarmState& st = Alarms(s);
        out.status = Status(st, 0);
        std::erase_if(st.recipients, [&](const AlarmRecipient& a) {
            return a.ip == r.datagram.from_ip && a.port == port;
        });
    });
    sim.Register(2310, [](Simulator& s, const Request& r, Response& out) {
        ByteReader body = r.body;
        body.Skip(8);
        uint8_t a[4];
        body.Bytes(a, 4);
        const uint16_t port = body.U16();
        const uint32_t ip =
            uint32_t(a[0]) << 24 | uint32_t(a[1]) << 16 | uint32_t(a[2]) << 8 | a[3];
        std::lock_guard lock(s.state_mutex());
        AlarmState& st = Alarms(s);
        out.status = Status(st, 0);
        std::erase_if(st.recipients,
                      [&](const AlarmRecipient& x) { return x.ip == ip && x.port == port; });
    });
    // cl_alarm_set_count / cl_alarm_get_count: +12 1 set, 0 get; +14 the count.
    sim.Register(2305, [](Simulator& s, const Request& r, Response& out) {
        ByteReader body = r.body;
        body.Skip(8);
        const uint16_t set = body.U16();
        const int16_t count = body.I16();
        std::lock_guard lock(s.state_mutex());
        AlarmState& st = Alarms(s);
        out.status = Status(st, 0);
        if (set) {
            if (count < 0 || count > 10) {
                out.status = 2;
            } else if (out.status == 0) {
                st.count = count;
            }
        } else {
            out.U16(uint16_t(st.count));
        }
    });
    sim.Register(2306, [](Simulator& s, const Request& r, Response& out) {
        ByteReader body = r.body;
        body.Skip(8);
        std::lock_guard lock(s.state_mutex());
        AlarmState& st = Alarms(s);
        out.status = Status(st, 0);
        if (out.status == 0) body.Bytes(st.setting.data(), st.setting.size());
    });
    sim.Register(2307, [](Simulator& s, const Request&, Response& out) {
        std::lock_guard lock(s.state_mutex());
        AlarmState& st = Alarms(s);
        out.status = Status(st, 0);
        out.Bytes(st.setting.data(), st.setting.size());
    });
    // cl_alarm_get_list: +6 the number of recipients, 12-byte records from +8.
    sim.Register(2308, [](Simulator& s, const Request&, Response& out) {
        std::lock_guard lock(s.state_mutex());
        AlarmState& st = Alarms(s);
        out.status = Status(st, 0);
        const int number =
            st.reported_recipients >= 0 ? st.reported_recipients : int(st.recipients.size());
        out.U16(uint16_t(number));
        for (int i = 0; i < number; ++i) {
            const AlarmRecipient a = i < int(st.recipients.size()) ? st.recipients[size_t(i)]
                                                                   : AlarmRecipient{uint32_t(i), 0};
            const uint8_t record[12] = {uint8_t(a.ip >> 24),
                                        uint8_t(a.ip >> 16),
                                        uint8_t(a.ip >> 8),
                                        uint8_t(a.ip),
                                        uint8_t(a.port),
                                        uint8_t(a.port >> 8),
                                        uint8_t(i),
                                        0,
                                        0,
                                        0,
                                        0,
                                        0};
            out.Bytes(record, sizeof record);
        }
    });
    for (uint16_t code : {uint16_t(2449), uint16_t(2450)}) {
        sim.Register(code, [code](Simulator& s, const Request&, Response& out) {
            std::lock_guard lock(s.state_mutex());
            AlarmState& st = Alarms(s);
            out.status = Status(st, 0);
            if (out.status == 0) st.output = code == 2449 ? 1 : 0;
        });
    }
}

void TriggerAlarm(Simulator& sim, int16_t type) {
    std::vector<AlarmRecipient> recipients;
    {
        std::lock_guard lock(sim.state_mutex());
        recipients = Alarms(sim).recipients;
    }
    uint32_t ip = 0;
    platform::ParseIpv4(sim.address(), ip);
    std::vector<uint8_t> d(12, 0);
    StoreU16(&d[2], 2448);
    d[4] = uint8_t(ip >> 24), d[5] = uint8_t(ip >> 16), d[6] = uint8_t(ip >> 8), d[7] = uint8_t(ip);
    StoreU16(&d[10], uint16_t(type));
    for (const AlarmRecipient& a : recipients)
        sim.SendTo(a.ip, a.port, d);
}

}  // namespace kest::sim
