// Constants of the setup tool: sections of the language file, message
// numbers, sizes of the records it exchanges with the control.
#pragma once

#include <cstdint>

namespace kestcfg {

// The language-file section whose key "1" captions every window and box.
inline constexpr char kTitleSection[] = "TITLE_SETUP";
// Texts that only this tool shows (status lines, the search's seconds left).
inline constexpr char kOwnSection[] = "KESTCFG_A";

// The level CheckPassword is asked for on connect: the super password.
inline constexpr int16_t kPasswordLevel = 2;
// Camera passwords are fixed fields of this many characters, blank-padded.
inline constexpr int kPasswordLength = 8;
// The model code the tool serves.
inline constexpr int16_t kSupportedTypeNumber = 11;

// Search buffers: an entry per camera, the address first.
inline constexpr int kSearchBufferSize = 1024;
inline constexpr int kSearchEntrySize = 4;
inline constexpr int kMulticastSearchBufferSize = 3072;
inline constexpr int kMulticastSearchEntrySize = 12;
inline constexpr int kSearchTimeMin = 1;
inline constexpr int kSearchTimeMax = 30;
inline constexpr int kSearchTimeDefault = 3;

// Settings-file defaults.
inline constexpr int kDefaultTimeout = 500;

// Method results the dialogs tell apart.
inline constexpr int16_t kResultOk = 0;
inline constexpr int16_t kResultNoAnswer = 1;
inline constexpr int16_t kResultRefused = 2;
inline constexpr int16_t kResultNoCamera = 5;

// The result code that HandleResult answers with the password prompt, and
// the one it passes over in silence.
inline constexpr int16_t kCodePasswordWrong = -401;
inline constexpr int16_t kCodeSilent = -55;

// Numbered messages of the language file (MSG_QUESTION, MSG_EXCLAMATION,
// MSG_CRITICAL, MSG_INFORMATION by range).
enum Msg : int16_t {
    kMsgApplySettings = 108,
    kMsgQuit = 109,
    kMsgChangePassword = 112,
    kMsgPasswordMismatch = 206,
    kMsgDownloadRefused = 207,
    kMsgSearchTime = 212,
    kMsgReadFailed = 215,
    kMsgCommunication = 216,
    kMsgNoAnswer = 218,
    kMsgBadAddress = 219,
    kMsgWriteFailed = 225,
    kMsgNotSupported = 248,
};

}  // namespace kestcfg
