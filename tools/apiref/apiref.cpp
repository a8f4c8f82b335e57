#include "tools/apiref/apiref.h"

#include <cctype>
#include <charconv>

#include "control/facade/ctrl.h"
#include "include/kest_records.h"

namespace kest::apiref {

namespace {

constexpr ResultCode kResultCodes[] = {
    {kResultOk, "Done; out parameters hold the values."},
    {kResultCannotOpen,
     "The camera session cannot be opened (address text invalid, socket failure, or no answer "
     "to the session's first commands)."},
    {kResultRefused, "The camera refused the command (wrong password or not permitted)."},
    {kResultAlarmStatus2, "AlarmRegister and AlarmDeregister: the camera answered status 2."},
    {kResultFileFailed, "A local file operation failed (recording, playback, delete, save)."},
    {kResultFailed,
     "No camera session object, or the command failed (no reply, send failure, or a status the "
     "method does not list)."},
    {kResultStatus, "A status that the method maps to 6, or a reply value that it cannot convert."},
    {kResultNoAddress, "RemoteIPAddress is empty."},
    {kResultNotThisType, "The method does not apply to this camera model."},
    {kResultBusy, "A local recording or playback is already running."},
    {kResultAlarmOut2, "AlarmOut: the camera answered status 2."},
    {kResultBadArgument, "An argument was rejected (by the method, the command or the camera)."},
    {kResultBadFirst, "The first checked argument is out of range."},
    {kResultBadSecond, "The second checked argument is out of range."},
    {kResultBadThird, "The third checked argument is out of range."},
};

const char* const kIntro =
    "The control `CKestCtrl` (\"KEST.KestCtrl.1\", type library `KESTLib`) has the dispatch "
    "interface `_DKest` with the properties and methods below and the event interface "
    "`_DKestEvents`. Hosts call members by DISPID or by name; names are spelled exactly as "
    "listed.\n"
    "\n"
    "Parameter types: 16-bit and 32-bit are signed integers, boolean is a 32-bit truth value, "
    "text is a string. A buffer parameter carries the address of a block in the host's memory "
    "that the method reads or writes in place; the host keeps it alive for the call, and where "
    "the layout fixes its size the table gives the bytes it must hold. Out parameters are passed "
    "by reference and written by the method; an out text is a new string that the host owns.\n"
    "\n"
    "Every method but `AboutBox` returns a 16-bit result code. A camera method opens a session "
    "to `RemoteIPAddress`:`CameraPort` for the call (sending `scmd_nop` and `scmd_get_version`) "
    "and closes it afterwards, unless the picture stream runs, whose session it then uses. "
    "\"Sends\" lists the commands of the method itself; \"Results\" lists each result code "
    "it returns and when; checks made before any traffic say so.\n";

// Markdown table cells cannot hold a bar or a line break.
std::string Cell(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '|') {
            out += "\\|";
        } else if (c == '\n') {
            out += ' ';
        } else {
            out += c;
        }
    }
    return out;
}

bool IsWordChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// Command names (scmd_..., cl_..., get_zfi) shown as code.
std::string MarkCommands(std::string_view text) {
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        if (IsWordChar(text[i]) && (i == 0 || !IsWordChar(text[i - 1]))) {
            size_t end = i;
            while (end < text.size() && IsWordChar(text[end]))
                ++end;
            const std::string_view word = text.substr(i, end - i);
            const bool command =
                word.starts_with("scmd_") || word.starts_with("cl_") || word == "get_zfi";
            if (command) {
                out += '`';
                out += word;
                out += '`';
            } else {
                out += word;
            }
            i = end;
        } else {
            out += text[i++];
        }
    }
    return out;
}

std::string TypeText(const ParamInfo& p) {
    std::string t = ParamTypeName(p.type);
    if (p.type == ParamType::kBuffer && p.buffer_size) {
        t += " (" + std::to_string(p.buffer_size) + " bytes)";
    }
    return t;
}

std::string Direction(const ParamInfo& p) {
    if (p.type == ParamType::kBuffer) return "in place";
    return p.out ? "out" : "in";
}

std::string Signature(const MemberInfo& m) {
    std::string s = m.name + "(";
    for (size_t i = 0; i < m.params.size(); ++i) {
        const ParamInfo& p = m.params[i];
        if (i) s += ", ";
        s += p.name + ": " + (p.out ? "out " : "") + ParamTypeName(p.type);
    }
    s += ")";
    if (m.kind == MemberKind::kMethod) s += m.has_result ? " -> 16-bit result" : " -> nothing";
    return s;
}

// The anchor that Markdown renderers give a heading: lower case, blanks to
// hyphens, other punctuation dropped.
std::string Anchor(std::string_view heading) {
    std::string a;
    for (char c : heading) {
        if (std::isalnum(static_cast<unsigned char>(c))) {
            a += char(std::tolower(static_cast<unsigned char>(c)));
        } else if (c == ' ' || c == '-') {
            a += '-';
        } else if (c == '_') {
            a += '_';
        }
    }
    return a;
}

std::string Access(const MemberInfo& m) {
    if (m.get && m.put) return "read/write";
    if (m.put) return "write-only";
    return "read-only";
}

void RenderMethod(std::string& out, const MemberInfo& m) {
    out += "### " + std::to_string(m.dispid) + " " + m.name + "\n\n";
    out += "`" + Signature(m) + "`\n\n";
    out += m.summary + "\n\n";
    if (!m.params.empty()) {
        out += "| Parameter | Type | Direction |\n|---|---|---|\n";
        for (const ParamInfo& p : m.params) {
            out += "| `" + p.name + "` | " + TypeText(p) + " | " + Direction(p) + " |\n";
        }
        out += "\n";
    }
    out += "Sends: " +
           (m.sends.empty() ? std::string("nothing to the camera.") : MarkCommands(m.sends) + ".") +
           "\n\n";
    out += "Results:\n\n";
    for (const ResultClause& c : SplitResults(m.results)) {
        if (c.has_code) {
            out += "- **" + std::to_string(c.code) + "** " + MarkCommands(c.text) + "\n";
        } else {
            out += "- " + MarkCommands(c.text) + "\n";
        }
    }
    out += "\n";
}

// What each record of the public table of layouts is for; the field names
// and the header (include/kest_records.h) say the rest.
struct RecordNote {
    std::string_view name;
    // The methods whose buffer of that name holds the record (GetLocalRecStatus
    // has a DateTime of a layout of its own).
    std::vector<std::string_view> carriers;
    const char* text;
};

const std::vector<std::string_view> kRecording = {"GetLocalRecInformation",
                                                  "SetLocalRecInformation"};

const RecordNote kRecordNotes[] = {
    {"DateTime",
     {"SetCurrentDatetime", "GetCurrentDateTime"},
     "The camera clock. Day of week: 0 Sunday to 6 Saturday."},
    {"NTPSetting",
     {"SetCurrentDatetime", "GetCurrentDateTime"},
     "Network time: TimeZone in whole hours (-12 to 13), the adjustment interval in days (0 to "
     "30) and hours (0 to 23), the NTP server."},
    {"FTPSetting",
     {"SetFTPInit", "GetFTPInit"},
     "Picture upload: UploadInterval in seconds (0 to 86400), RetryPeriod in seconds after a "
     "connection error (1 to 600, 0: retry without end); an empty FileName names each picture "
     "by its time stamp."},
    {"AlarmSetting",
     {"AlarmSetInit", "AlarmGetInit"},
     "The alarm inputs and output, eighteen 16-bit words. An input is on with its first two "
     "words both 1; a position of 0 moves nowhere, 1 to 6 go to that preset. OutputMode 2 "
     "drives the output, 0 leaves it off; OutputLevel 1 is active high; OutputOnTime in ms (0 "
     "to 5000); OutputInitial 1 is active at start. The combined input alarms when the input "
     "named by DualOrder (0 input 1, 1 input 2) is followed by the other within DualTime "
     "seconds. Reserved goes back as read."},
    {"Trigger", kRecording,
     "What starts a trigger recording on the memory card; each byte 0 or 1."},
    {"AlarmRec", kRecording, "Seconds recorded before (0 to 30) and after (0 to 60) a trigger."},
    {"TimerRec", kRecording,
     "The timer-recording schedule: fifteen rows of 12 bytes. Enable 0 or 1; Day 0 every day, "
     "1 Sunday to 7 Saturday, 8 Monday to Friday; Start and Stop in minutes after midnight (0 "
     "to 1439); a row whose Stop is before its Start runs past midnight."},
    {"ChangeFps", kRecording,
     "Another frame rate while trigger and timer recording run: On 0 or 1, Fps 30, 15, 10, 8, "
     "7, 6, 5, 4, 3, 2 or 1 frames per second (the control turns them into the camera's rate "
     "indexes and back)."},
    {"CFFull", kRecording,
     "A full memory card stops the recording (Stop 1) or deletes the files older than "
     "DeleteBefore days (Stop 0; 0 to 180)."},
    {"TimeLapse", kRecording,
     "Time-lapse recording on (1) or off (0), a picture every Interval seconds (1 to 3600)."},
};

const char* KindText(kest_field_kind kind) {
    switch (kind) {
        case KEST_FIELD_INT:
            return "signed";
        case KEST_FIELD_UINT:
            return "unsigned";
        case KEST_FIELD_ADDRESS:
            return "IPv4 address";
        case KEST_FIELD_TEXT:
            return "text";
        case KEST_FIELD_RESERVED:
            return "reserved";
    }
    return "";
}

void RenderRecords(std::string& out) {
    out +=
        "\n## Record layouts\n\nThe buffer parameters below carry records laid out as here "
        "(`kest_records.h`, installed with the headers, lists them for code). Numbers are "
        "little-endian; addresses are four bytes, first number first; texts are ASCII, "
        "zero-padded. Offsets and widths are in bytes.\n";
    for (const kest_record_layout& record : kest_record_layouts) {
        out += "\n### " + std::string(record.name) + " (" + std::to_string(record.size) +
               " bytes)\n\n";
        for (const RecordNote& note : kRecordNotes) {
            if (note.name != record.name) continue;
            out += std::string(note.text) + "\n\n";
            std::string carriers;
            for (std::string_view method : note.carriers)
                carriers += (carriers.empty() ? "`" : ", `") + std::string(method) + "`";
            out += "Carried by: " + carriers + ".\n\n";
        }
        out += "| Offset | Width | Field | Kind |\n|---|---|---|---|\n";
        for (uint16_t i = 0; i < record.field_count; ++i) {
            const kest_record_field& f = record.fields[i];
            out += "| " + std::to_string(f.offset) + " | " + std::to_string(f.width) + " | `" +
                   f.name + "` | " + KindText(f.kind) + " |\n";
        }
    }
}

}  // namespace

std::vector<RecordCarriers> RecordCarriersTable() {
    std::vector<RecordCarriers> table;
    for (const RecordNote& note : kRecordNotes)
        table.push_back({note.name, note.carriers});
    return table;
}

std::span<const ResultCode> ResultCodes() {
    return kResultCodes;
}

std::vector<ResultClause> SplitResults(std::string_view results) {
    std::vector<ResultClause> clauses;
    while (!results.empty()) {
        const size_t end = results.find("; ");
        std::string_view clause = results.substr(0, end);
        results = end == std::string_view::npos ? std::string_view() : results.substr(end + 2);
        ResultClause c;
        int32_t code = 0;
        const auto [rest, error] =
            std::from_chars(clause.data(), clause.data() + clause.size(), code);
        const size_t taken = size_t(rest - clause.data());
        if (error == std::errc() && taken < clause.size() && clause[taken] == ' ') {
            c.has_code = true;
            c.code = code;
            clause.remove_prefix(taken + 1);
        }
        c.text = std::string(clause);
        clauses.push_back(std::move(c));
    }
    return clauses;
}

std::string Render(std::span<const MemberInfo> lib) {
    std::string out;
    out += "# KESTLib API reference\n\n";
    out +=
        "<!-- Made by kest_apiref from the control's type library (control/facade/typelib.cpp "
        "and rows_*.cpp). Do not edit by hand: change the rows and run "
        "`cmake --build --preset dev --target apiref`. -->\n\n";
    out += kIntro;

    out += "\n## Result codes\n\n| Code | Meaning |\n|---|---|\n";
    for (const ResultCode& r : kResultCodes) {
        out += "| " + std::to_string(r.code) + " | " + Cell(r.meaning) + " |\n";
    }

    out +=
        "\n## Properties\n\n| DISPID | Name | Type | Access | Description "
        "|\n|---|---|---|---|---|\n";
    for (const MemberInfo& m : lib) {
        if (m.kind != MemberKind::kProperty) continue;
        out += "| " + std::to_string(m.dispid) + " | `" + m.name + "` | " +
               ParamTypeName(m.property_type) + " | " + Access(m) + " | " + Cell(m.summary) +
               " |\n";
    }

    out += "\n## Methods\n\n| DISPID | Method | Summary |\n|---|---|---|\n";
    for (const MemberInfo& m : lib) {
        if (m.kind != MemberKind::kMethod) continue;
        const std::string heading = std::to_string(m.dispid) + " " + m.name;
        out += "| " + std::to_string(m.dispid) + " | [`" + m.name + "`](#" + Anchor(heading) +
               ") | " + Cell(m.summary) + " |\n";
    }
    out += "\n";
    for (const MemberInfo& m : lib) {
        if (m.kind == MemberKind::kMethod) RenderMethod(out, m);
    }

    out += "## Events\n\n| DISPID | Event | Arguments | Fired when |\n|---|---|---|---|\n";
    for (const MemberInfo& m : lib) {
        if (m.kind != MemberKind::kEvent) continue;
        std::string args;
        for (const ParamInfo& p : m.params) {
            if (!args.empty()) args += ", ";
            args += "`" + p.name + "` " + ParamTypeName(p.type);
        }
        out += "| " + std::to_string(m.dispid) + " | `" + m.name + "` | " +
               (args.empty() ? "none" : args) + " | " + Cell(m.summary) + " |\n";
    }
    RenderRecords(out);
    return out;
}

}  // namespace kest::apiref
