// kestctl: calls any method of the camera control from the command line.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "control/facade/typelib.h"
#include "control/protocol/identity.h"
#include "tools/kestctl/host.h"
#include "tools/kestctl/json.h"
#include "tools/kestctl/rec_commands.h"

namespace {

using kestctl::Host;
using kestctl::UsageError;

constexpr const char* kHelp = R"(usage: kestctl [FLAGS] call METHOD [ARG...]
       kestctl [FLAGS] session
       kestctl [FLAGS] record --seconds S DIR
       kestctl rec info|extract|export|repair FILE [...]
       kestctl list
       kestctl --help

Drives one camera control (KEST.KestCtrl.1) through its dispatch interface and
prints JSON.

Flags (applied before the first call, in order):
  --ip ADDR            RemoteIPAddress, the camera's IPv4 address
  --port N             CameraPort (default 4000)
  --timeout MS         Timeout, the reply wait in milliseconds (default 500)
  --password TEXT      Password
  --set NAME=VALUE     any writable property by name, repeatable
                       (e.g. --set RtspPort=8554 --set LocalFrameRate=1)

call METHOD [ARG...]
  Calls a method by name (case-insensitive) and prints one JSON object, e.g.
    {"method":"GetVersion","dispid":15,"result":0,"out":{"TypeNumber":11,"ProgramVersion":20}}
  Arguments are the method's input parameters in order; out parameters are not
  given, they come back under "out". Forms:
    16-bit, 32-bit   decimal, e.g. 30 or -5
    boolean          0, 1, true or false
    text             as given (bytes pass unchanged)
    buffer (in)      hex:0a0b0c...   the bytes the method reads
    buffer (out)     size:N          N zero bytes for the method to fill
  Texts print as JSON strings (bytes 0x80-0xFF as the Latin-1 characters of the
  same number), buffers as lowercase hex.
  Camera file downloads (GetLocalRecFile, GetLocalFilelist, SaveReferenceImage)
  draw a progress bar of the pages received on stderr.
  Exit status: 0 when the method returned 0, 1 for any other method result,
  2 for a usage or dispatch error (one line on stderr).

session
  Reads commands from standard input, one per line, and runs them in order on
  one control, printing one JSON line for each:
    call METHOD ARG...   as "kestctl call"
    set NAME VALUE       set a property
    get NAME             read a property (reading Password is a dispatch error)
    wait MS              run the control's message loop for MS milliseconds;
                         events fired meanwhile print as lines such as
                         {"event":"ChangeFrameSize","dispid":5,"args":{"Width":640,"Height":480}}
    wait-event NAME [MS] run until that event fires or MS pass (default 10000)
    quit                 end the session
  "#" starts a comment; empty lines do nothing. After each line the pending
  messages run, so events posted during a call print after that call's line.
  At the end the control is destroyed as a host would destroy it: a running
  stream, recording or playback is stopped properly. Exit status 0 when every
  line was understood, 2 at the first usage or dispatch error (printed as a
  JSON line with an "error" field).
  Example: start a stream, wait for five pictures, save one, stop:
    kestctl --ip 127.0.0.1 session <<'END'
    call StartDownloading
    wait-event NewImage
    wait-event NewImage
    wait-event NewImage
    wait-event NewImage
    wait-event NewImage
    call SaveImage /tmp/picture.jpg
    call StopDownloading
    END

stream [--frames N] [--seconds S] [--save DIR] [--events]
  Starts the live picture stream (StartDownloading), runs until N pictures came,
  S seconds passed (default 10) or the stream ended, then stops it and prints
  {"frames":N,"seconds":S,"fps":F,"end_code":C}. --save writes every picture as
  DIR/000001.jpg, ...; --events prints every event as a JSON line.

search [--multicast] [--seconds N]
  Searches the local network for cameras (SearchPALOMIR, or SearchMulticastIP
  with --multicast) for about N seconds (default 3) and prints them as JSON:
    {"cameras":["192.0.2.10"]} or, with --multicast,
    {"cameras":[{"address":"192.0.2.10","multicast":"239.0.0.1","value":0}]}
  The search broadcasts: run it only on a network where that is wanted.

alarms [--seconds S]
  Registers this control as an alarm recipient of the camera (AlarmRegister),
  prints every Alarm event as a JSON line for S seconds (default 60), then
  deregisters (AlarmDeregister). Exit status as for call, from AlarmRegister.
record --seconds S DIR
  Records the camera's live picture stream into a new DIR/YYYYMMDDhhmmss.rec
  for S seconds (StartRec, then the stream; StopRec at the end) and prints
  {"dir":...,"pictures":N,...}. Exit status 0 when the recording ran to the end.

rec info FILE           the header and every record (offset, size, time) as JSON
rec extract FILE DIR    every picture as DIR/000001.jpg, DIR/000002.jpg, ...
rec export FILE OUT.avi a Motion-JPEG AVI, its frame rate from the time stamps
rec repair FILE         completes the header of a recording that was never
                        closed (count, first and last time from the pictures;
                        a picture without a date takes the file's last change);
                        a header that is complete already stays as it is
                        ("already_complete":true); refuses files it does not
                        understand
  Records are walked up to the first damaged one. Exit status 0 done, 1 when
  the file cannot be read, understood or written (an "error" JSON line).

list
  Prints the type library: every property, method and event with its DISPID,
  parameters, types and directions.
)";

void PrintList() {
    const char* kinds[] = {"properties", "methods", "events"};
    for (int k = 0; k < 3; ++k) {
        std::printf("%s%s:\n", k ? "\n" : "", kinds[k]);
        for (const kest::MemberInfo& m : kest::KestLib()) {
            if (int(m.kind) != k) continue;
            std::string line = "  " + std::to_string(m.dispid) + "\t" + m.name;
            if (m.kind == kest::MemberKind::kProperty) {
                line += ": " + std::string(kest::ParamTypeName(m.property_type));
                line += m.get ? (m.put ? " (read/write)" : " (read-only)") : " (write-only)";
            } else {
                line += "(";
                for (size_t i = 0; i < m.params.size(); ++i) {
                    const kest::ParamInfo& p = m.params[i];
                    if (i) line += ", ";
                    line += p.name + ": " + (p.out ? "out " : "") + kest::ParamTypeName(p.type);
                    if (p.buffer_size) line += "[" + std::to_string(p.buffer_size) + "]";
                }
                line += ")";
            }
            std::printf("%s\n", line.c_str());
        }
    }
}

std::vector<std::string> SplitWords(const std::string& line) {
    std::vector<std::string> words;
    std::istringstream in(line);
    std::string w;
    while (in >> w)
        words.push_back(w);
    return words;
}

std::string ErrorLine(const std::string& message, const std::string& line) {
    return "{\"error\":" + kestctl::JsonString(message) + ",\"line\":" + kestctl::JsonString(line) +
           "}";
}

uint32_t ParseMs(const std::string& text, uint32_t max = UINT32_MAX) {
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end || errno || v < 0 || uint64_t(v) > max) {
        throw UsageError{"bad number '" + text + "'"};
    }
    return uint32_t(v);
}

}  // namespace

namespace kestctl {
int RunStream(Host& host, const std::vector<std::string>& args);
}  // namespace kestctl

namespace {

int RunAlarms(Host& host, const std::vector<std::string>& args) {
    uint32_t seconds = 60;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--seconds" && i + 1 < args.size()) {
            seconds = ParseMs(args[++i], UINT32_MAX / 1000);
        } else {
            throw UsageError{"alarms takes [--seconds S]"};
        }
    }
    int16_t result = 0;
    std::printf("%s\n", host.Call("AlarmRegister", {}, result).c_str());
    std::fflush(stdout);
    if (result != 0) return 1;
    host.Wait(seconds * 1000);
    int16_t ignored = 0;
    std::printf("%s\n", host.Call("AlarmDeregister", {}, ignored).c_str());
    return 0;
}

int RunSearch(Host& host, const std::vector<std::string>& args) {
    bool multicast = false;
    uint32_t seconds = 3;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--multicast") {
            multicast = true;
        } else if (args[i] == "--seconds" && i + 1 < args.size()) {
            seconds = ParseMs(args[++i]);
            if (seconds > 3000) throw UsageError{"--seconds is at most 3000"};
        } else {
            throw UsageError{"search takes [--multicast] [--seconds N]"};
        }
    }
    const size_t entry = multicast ? 12 : 4;
    std::vector<uint8_t> list(entry * 256, 0);
    int16_t number = 0;
    const int16_t result =
        multicast ? host.ctrl().SearchMulticastIP({list.data(), list.size()}, int16_t(list.size()),
                                                  number, int16_t(seconds))
                  : host.ctrl().SearchPALOMIR({list.data(), list.size()}, int16_t(list.size()),
                                              number, int16_t(seconds));
    std::string out = "{\"cameras\":[";
    for (int i = 0; i < number; ++i) {
        const uint8_t* e = list.data() + size_t(i) * entry;
        if (i) out += ",";
        if (multicast) {
            const uint32_t value = uint32_t(e[8]) | uint32_t(e[9]) << 8 | uint32_t(e[10]) << 16 |
                                   uint32_t(e[11]) << 24;
            out += "{\"address\":\"" + kest::protocol::AddressBytesToText(e) +
                   "\",\"multicast\":\"" + kest::protocol::AddressBytesToText(e + 4) +
                   "\",\"value\":" + std::to_string(value) + "}";
        } else {
            out += "\"" + kest::protocol::AddressBytesToText(e) + "\"";
        }
    }
    std::printf("%s]}\n", out.c_str());
    return result == 0 ? 0 : 1;
}

int RunSession(Host& host) {
    std::string line;
    while (std::getline(std::cin, line)) {
        const size_t hash = line.find('#');
        const std::string code = hash == std::string::npos ? line : line.substr(0, hash);
        std::vector<std::string> w = SplitWords(code);
        if (w.empty()) continue;
        try {
            const std::string& cmd = w[0];
            if (cmd == "quit") break;
            if (cmd == "call") {
                if (w.size() < 2) throw UsageError{"call needs a method name"};
                int16_t result = 0;
                std::printf("%s\n", host.Call(w[1], {w.begin() + 2, w.end()}, result).c_str());
            } else if (cmd == "set") {
                if (w.size() < 2) throw UsageError{"set needs NAME VALUE"};
                // The value is the rest of the line, so texts may hold blanks.
                const size_t at = code.find(w[1], code.find("set") + 3) + w[1].size();
                std::string value = code.substr(at);
                value.erase(0, value.find_first_not_of(" \t"));
                value.erase(value.find_last_not_of(" \t\r") + 1);
                host.SetProperty(w[1], value);
                std::printf("%s\n", host.GetProperty(w[1]).c_str());
            } else if (cmd == "get") {
                if (w.size() != 2) throw UsageError{"get needs NAME"};
                std::printf("%s\n", host.GetProperty(w[1]).c_str());
            } else if (cmd == "wait") {
                if (w.size() != 2) throw UsageError{"wait needs MS"};
                const uint32_t ms = ParseMs(w[1]);
                const uint64_t before = host.events_seen();
                host.Wait(ms);
                std::printf("{\"waited\":%u,\"events\":%llu}\n", ms,
                            (unsigned long long)(host.events_seen() - before));
            } else if (cmd == "wait-event") {
                if (w.size() < 2 || w.size() > 3) throw UsageError{"wait-event needs NAME [MS]"};
                const uint32_t ms = w.size() == 3 ? ParseMs(w[2]) : 10000;
                const bool fired = host.WaitEvent(w[1], ms);
                std::printf("{\"wait-event\":%s,\"fired\":%s}\n", kestctl::JsonString(w[1]).c_str(),
                            fired ? "true" : "false");
            } else {
                throw UsageError{"unknown command '" + cmd + "'"};
            }
            std::fflush(stdout);
            host.RunPending();
        } catch (const UsageError& e) {
            std::printf("%s\n", ErrorLine(e.message, line).c_str());
            std::fflush(stdout);
            std::fprintf(stderr, "kestctl: %s\n", e.message.c_str());
            return 2;
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::fputs(kHelp, stderr);
        return 2;
    }
    try {
        size_t i = 0;
        std::vector<std::pair<std::string, std::string>> sets;
        for (; i < args.size(); ++i) {
            const std::string& a = args[i];
            if (a == "--help" || a == "-h") {
                std::fputs(kHelp, stdout);
                return 0;
            }
            if (a.rfind("--", 0) != 0) break;
            if (i + 1 >= args.size()) throw UsageError{a + " needs a value"};
            const std::string& v = args[++i];
            if (a == "--ip") {
                sets.emplace_back("RemoteIPAddress", v);
            } else if (a == "--port") {
                sets.emplace_back("CameraPort", v);
            } else if (a == "--timeout") {
                sets.emplace_back("Timeout", v);
            } else if (a == "--password") {
                sets.emplace_back("Password", v);
            } else if (a == "--set") {
                const size_t eq = v.find('=');
                if (eq == std::string::npos || eq == 0) throw UsageError{"--set wants NAME=VALUE"};
                sets.emplace_back(v.substr(0, eq), v.substr(eq + 1));
            } else {
                throw UsageError{"unknown flag " + a};
            }
        }
        if (i >= args.size())
            throw UsageError{"no command given (call, session, record, rec or list)"};
        const std::string command = args[i++];
        if (command == "list") {
            PrintList();
            return 0;
        }
        if (command == "rec") return kestctl::RunRec({args.begin() + long(i), args.end()});
        if (command != "call" && command != "session" && command != "alarms" &&
            command != "search" && command != "record" && command != "stream") {
            throw UsageError{"unknown command '" + command + "'"};
        }
        Host host;
        for (const auto& [name, value] : sets)
            host.SetProperty(name, value);
        // The long-running commands end cleanly on an interrupt.
        if (command == "alarms" || command == "stream" || command == "record") {
            Host::CatchInterrupts();
        }
        if (command == "record")
            return kestctl::RunRecord(host, {args.begin() + long(i), args.end()});
        if (command == "session") {
            if (i != args.size()) throw UsageError{"session takes no arguments"};
            return RunSession(host);
        }
        if (command == "alarms") return RunAlarms(host, {args.begin() + long(i), args.end()});
        if (command == "search") return RunSearch(host, {args.begin() + long(i), args.end()});
        if (command == "stream") {
            return kestctl::RunStream(host, {args.begin() + long(i), args.end()});
        }
        if (i >= args.size()) throw UsageError{"call needs a method name"};
        int16_t result = 0;
        const std::string out =
            host.Call(args[i], {args.begin() + long(i) + 1, args.end()}, result);
        std::printf("%s\n", out.c_str());
        std::fflush(stdout);
        host.RunPending();
        return result == 0 ? 0 : 1;
    } catch (const UsageError& e) {
        std::fprintf(stderr, "kestctl: %s\n", e.message.c_str());
        return 2;
    }
}
