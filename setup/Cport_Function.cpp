#include "setup/Cport_Function.h"

#include <QApplication>

#include "setup/Common_Function.h"
#include "setup/Global.h"
#include "setup/MacroData.h"
#include "setup/frmWork_Password_Cport.h"

namespace kestcfg {

namespace {

struct ResultMessage {
    int16_t code;
    int16_t message;  // 0: nothing is shown
};

constexpr ResultMessage kResultMessages[] = {
    {-202, 0},
    {-54, kMsgNoAnswer},
    {-53, kMsgReadFailed},
    {-61, kMsgReadFailed},
    {-404, kMsgReadFailed},
    {-41, kMsgBadAddress},
    {-5, 308},
    {-60, 310},
    {-401, kMsgPasswordMismatch},
    {-500, kMsgWriteFailed},
};

}  // namespace

void ReportResult(int16_t code) {
    int16_t message = kMsgCommunication;
    for (const ResultMessage& row : kResultMessages) {
        if (row.code == code) message = row.message;
    }
    if (message != 0) ShowMessage(message);
}

bool HandleResult(int16_t& code) {
    if (code == kCodeSilent) return false;
    if (code != kCodePasswordWrong) {
        ReportResult(code);
        return false;
    }
    if (Global::PasswordRetry) ShowMessage(kMsgPasswordMismatch);
    frmWork_Password_Cport prompt(QApplication::activeWindow());
    prompt.exec();
    Global::PasswordRetry = Global::PasswordEntered;
    return Global::PasswordEntered;
}

}  // namespace kestcfg
