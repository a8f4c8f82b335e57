#include "sim/imaging.h"

#include <algorithm>
#include <cmath>
#include <mutex>

#include "platform/ticks.h"

namespace kest::sim {

namespace {

constexpr size_t kParams = 8;  // the body starts with the password block

bool IsWide(int model) {
    return model == 3 || model == 13;
}

// The state of this family, under the simulator's state lock.
class Locked {
  public:
    explicit Locked(Simulator& sim) : lock_(sim.state_mutex()), state_(sim.State<ImagingState>()) {}
    ImagingState* operator->() { return &state_; }
    ImagingState& operator*() { return state_; }

  private:
    std::lock_guard<std::mutex> lock_;
    ImagingState& state_;
};

// A forced answer if a test set one, else the handler's own.
int16_t Verdict(ImagingState& s, uint16_t code, int16_t own) {
    auto it = s.forced.find(code);
    return it == s.forced.end() ? own : it->second;
}

ByteReader Params(const Request& request) {
    ByteReader r = request.body;
    r.Seek(kParams);
    return r;
}

using Body = void (*)(Simulator& sim, ImagingState& s, ByteReader params, Response& r);

// Registers a handler that runs under the state lock with the parameters.
void On(Simulator& sim, uint16_t code, Body body) {
    sim.Register(code, [code, body](Simulator& s, const Request& request, Response& r) {
        Locked state(s);
        // A forced status refuses the command before it changes anything;
        // the two commands whose verdict is a result field force that field.
        if (state->silent.count(code)) {
            r.send = false;
            return;
        }
        auto forced = state->forced.find(code);
        if (forced != state->forced.end() && code != 113 && code != 116) {
            r.status = forced->second;
            return;
        }
        body(s, *state, Params(request), r);
    });
}

}  // namespace

MotorLimits LimitsOf(int model_code) {
    if (IsWide(model_code)) return {522, -294, 0};
    return {222, -333, 22};
}

void AdvanceMotors(ImagingState& s, int model_code, uint64_t now_us) {
    if (s.moved_us == 0 || now_us < s.moved_us) {
        s.moved_us = now_us;
        return;
    }
    const double step = ImagingState::PulsesPerSecond(s.speed) * double(now_us - s.moved_us) / 1e6;
    s.moved_us = now_us;
    const auto toward = [step](double& at, double target) {
        if (std::fabs(target - at) <= step) {
            at = target;
        } else {
            at += target > at ? step : -step;
        }
    };
    toward(s.pan, s.target_pan);
    toward(s.tilt, s.target_tilt);
    const MotorLimits l = LimitsOf(model_code);
    s.pan = std::clamp(s.pan, double(-l.pan), double(l.pan));
    s.tilt = std::clamp(s.tilt, double(l.tilt_min), double(l.tilt_max));
}

namespace {

void MoveTo(Simulator& sim, ImagingState& s, int pan, int tilt, int speed) {
    AdvanceMotors(s, sim.model_code(), platform::MonotonicMicros());
    const MotorLimits l = LimitsOf(sim.model_code());
    // A target past a limit ends at the limit.
    s.target_pan = std::clamp(pan, -int(l.pan), int(l.pan));
    s.target_tilt = std::clamp(tilt, int(l.tilt_min), int(l.tilt_max));
    s.speed = speed;
}

void RegisterMotors(Simulator& sim) {
    On(sim, 33, [](Simulator& camera, ImagingState& s, ByteReader p, Response& r) {
        const uint16_t axis = p.U16();
        if (axis > 1) {
            r.status = 1;
            return;
        }
        AdvanceMotors(s, camera.model_code(), platform::MonotonicMicros());
        r.Zeros(2);  // +6
        r.U16(uint16_t(int16_t(std::lround(axis == 0 ? s.pan : s.tilt))));
    });
    On(sim, 34, [](Simulator&, ImagingState& s, ByteReader, Response& r) {
        for (size_t i = 0; i < 6; ++i) {
            r.U16(uint16_t(s.preset_pan[i]));
            r.U16(uint16_t(s.preset_tilt[i]));
            r.U16(uint16_t(s.preset_third[i]));
            r.Zeros(2);
        }
    });
    On(sim, 35, [](Simulator&, ImagingState& s, ByteReader p, Response&) {
        for (size_t i = 0; i < 6; ++i) {
            s.preset_pan[i] = p.I16();
            s.preset_tilt[i] = p.I16();
            s.preset_third[i] = p.I16();
            p.Skip(2);
        }
    });
    On(sim, 36, [](Simulator& camera, ImagingState& s, ByteReader p, Response& r) {
        const int entry = p.I16();
        const bool wide = IsWide(camera.model_code());
        if (entry < 0 || entry > (wide ? 9 : 5)) {
            r.status = 1;
            return;
        }
        if (wide) {
            ByteReader e(s.ex_table.data() + 20 * entry, 20);
            const int16_t pan = e.I16();
            const int16_t tilt = e.I16();
            MoveTo(camera, s, pan, tilt, 4);
        } else {
            MoveTo(camera, s, s.preset_pan[size_t(entry)], s.preset_tilt[size_t(entry)], 4);
        }
    });
    On(sim, 37, [](Simulator& camera, ImagingState& s, ByteReader p, Response& r) {
        const int16_t pan = p.I16();
        const int16_t tilt = p.I16();
        const int16_t speed = p.I16();
        if (speed < 0 || speed > 4) {
            r.status = 1;
            return;
        }
        MoveTo(camera, s, pan, tilt, speed);
    });
    On(sim, 38, [](Simulator& camera, ImagingState& s, ByteReader, Response& r) {
        if (!IsWide(camera.model_code())) {
            r.status = 1;
            return;
        }
        r.Bytes(s.ex_table.data(), s.ex_table.size());
    });
    On(sim, 39, [](Simulator& camera, ImagingState& s, ByteReader p, Response& r) {
        if (!IsWide(camera.model_code()) || !p.Has(s.ex_table.size())) {
            r.status = 1;
            return;
        }
        p.Bytes(s.ex_table.data(), s.ex_table.size());
    });
}

void RegisterPicture(Simulator& sim) {
    On(sim, 49, [](Simulator&, ImagingState& s, ByteReader p, Response& r) {
        const int16_t reg = p.I16();
        const int16_t data = p.I16();
        if (reg < 0 || reg > 30) {
            r.status = 1;
        } else if (reg == 7 && data != 0 && data != 1) {
            r.status = 2;
        } else {
            s.registers[size_t(reg)] = data;
        }
    });
    On(sim, 65, [](Simulator&, ImagingState& s, ByteReader p, Response& r) {
        const int16_t reg = p.I16();
        if (reg < 0 || reg > 30) {
            r.status = 1;
            return;
        }
        r.Zeros(2);
        r.U16(uint16_t(s.registers[size_t(reg)]));
    });
    On(sim, 50, [](Simulator&, ImagingState& s, ByteReader, Response&) {
        s.registers.fill(0);
        ++s.ccd_defaults;
    });
    On(sim, 112, [](Simulator&, ImagingState& s, ByteReader p, Response& r) {
        const int16_t mode = p.I16();
        const int16_t index = p.I16();
        if (index < 0 || index > 29) {
            r.status = 1;
            return;
        }
        s.picture_mode = mode;
        s.rate_index = index;
    });
    On(sim, 113, [](Simulator&, ImagingState& s, ByteReader p, Response& r) {
        const int16_t w = p.I16();
        const int16_t h = p.I16();
        const bool known =
            (w == 160 && h == 120) || (w == 320 && h == 240) || (w == 640 && h == 480);
        if (known) s.width = w, s.height = h;
        r.Zeros(2);  // +6
        r.U16(uint16_t(Verdict(s, 113, known ? 1 : 0)));
    });
    On(sim, 116, [](Simulator&, ImagingState& s, ByteReader p, Response& r) {
        const int16_t code = p.I16();
        constexpr int16_t kKnown[] = {34, 36, 40, 22, 24, 5, 8};
        const bool known =
            std::find(std::begin(kKnown), std::end(kKnown), code) != std::end(kKnown);
        if (known) s.scale_factor = code;
        r.U16(uint16_t(Verdict(s, 116, known ? 1 : 0)));
    });
    On(sim, 117, [](Simulator&, ImagingState& s, ByteReader, Response& r) {
        r.U16(uint16_t(s.scale_factor));
    });
    On(sim, 118,
       [](Simulator&, ImagingState& s, ByteReader, Response& r) { r.U16(uint16_t(s.rate_index)); });
    On(sim, 119, [](Simulator&, ImagingState& s, ByteReader, Response& r) {
        if (s.report_size_codes) {
            r.U16(uint16_t(s.width == 160 ? 176 : s.width == 320 ? 352 : 704));
            r.U16(0);
        } else {
            r.U16(uint16_t(s.width));
            r.U16(uint16_t(s.height));
        }
    });
    On(sim, 121,
       [](Simulator&, ImagingState& s, ByteReader, Response& r) { r.U16(uint16_t(s.image_mode)); });
    On(sim, 122, [](Simulator&, ImagingState& s, ByteReader p, Response& r) {
        const int16_t mode = p.I16();
        if (mode != 0 && mode != 1) {
            r.status = 2;
            return;
        }
        s.image_mode = mode;
    });
}

void RegisterMotionDetection(Simulator& sim) {
    On(sim, 208, [](Simulator&, ImagingState& s, ByteReader p, Response&) {
        s.motion_detect = p.I16();
        s.update_sec = p.I16();
        s.detect_sec = p.I16();
        s.mask = p.I16();
    });
    On(sim, 209, [](Simulator&, ImagingState& s, ByteReader, Response& r) {
        r.Zeros(2);  // +6
        r.U16(uint16_t(s.motion_detect));
        r.U16(uint16_t(s.update_sec));
        r.U16(uint16_t(s.detect_sec));
        r.U16(uint16_t(s.mask));
    });
    On(sim, 210, [](Simulator&, ImagingState& s, ByteReader p, Response& r) {
        p.Skip(8);
        if (!p.Has(s.areas.size())) {
            r.status = 2;
            return;
        }
        p.Bytes(s.areas.data(), s.areas.size());
    });
    On(sim, 211, [](Simulator&, ImagingState& s, ByteReader, Response& r) {
        r.Zeros(6);  // +6..+11
        r.Bytes(s.areas.data(), s.areas.size());
    });
    On(sim, 212, [](Simulator&, ImagingState& s, ByteReader p, Response&) {
        p.Skip(4);
        s.area_y = p.U8();
        s.area_percent = p.U8();
        s.area_diff_average = p.U8();
    });
    On(sim, 213, [](Simulator&, ImagingState& s, ByteReader, Response& r) {
        r.Zeros(6);  // +6..+11
        r.Bytes(&s.area_y, 1);
        r.Bytes(&s.area_percent, 1);
        r.Bytes(&s.area_diff_average, 1);
    });
    On(sim, 214, [](Simulator&, ImagingState& s, ByteReader, Response&) { ++s.update_base_count; });
    On(sim, 2320, [](Simulator&, ImagingState& s, ByteReader p, Response&) {
        s.alarm_out = p.I16();
        s.position = p.I16();
        s.start_ftp = p.I16();
    });
    On(sim, 2321, [](Simulator&, ImagingState& s, ByteReader, Response& r) {
        r.U16(uint16_t(s.alarm_out));
        r.U16(uint16_t(s.position));
        r.U16(uint16_t(s.start_ftp));
    });
}

void RegisterLens(Simulator& sim) {
    On(sim, 560, [](Simulator&, ImagingState& s, ByteReader, Response& r) {
        r.Zeros(2);  // +6
        for (int16_t v : s.lens)
            r.U16(uint16_t(v));
    });
    On(sim, 561, [](Simulator&, ImagingState& s, ByteReader p, Response& r) {
        int16_t v[6];
        for (int16_t& x : v)
            x = p.I16();
        for (size_t i = 0; i < 5; ++i)
            s.lens[i] = v[i];
        // The sixth value is the level of the iris mode just set.
        s.lens[s.lens[4] == 1 ? 6 : 5] = v[5];
        r.Zeros(2);  // +6
        for (size_t i = 0; i < 5; ++i)
            r.U16(uint16_t(s.lens[i]));
        r.U16(uint16_t(v[5]));
    });
}

}  // namespace

void RegisterImaging(Simulator& sim) {
    RegisterMotors(sim);
    RegisterPicture(sim);
    RegisterMotionDetection(sim);
    RegisterLens(sim);
}

}  // namespace kest::sim
