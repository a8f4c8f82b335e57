#include "tools/apiref/apiref.h"

#include <cctype>
#include <charconv>

#include "control/facade/ctrl.h"

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

}  // namespace

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
    return out;
}

}  // namespace kest::apiref
