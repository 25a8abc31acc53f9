#include "notify/new_call_notice.h"

#include <memory>

#include "diag/trace.h"
#include "notify/notice_text.h"
#include "notify/qvsmtp/qvsmtp_connection.h"
#include "notify/qvsmtp/qvsmtp_exception.h"
#include "notify/qvsmtp/qvsmtp_message.h"
#include "store/app_config.h"
#include "store/call_info.h"

using qvsmtp::QvSmtpConnection;
using qvsmtp::QvSmtpException;
using qvsmtp::QvSmtpMessage;

namespace {

constexpr DWORD kNoticeFlags = VM_CCallInfo::kFlagNotify | VM_CCallInfo::kFlagNotifyFailed;

VM_SNoticeCall CallOf(VM_CCallInfo& record, bool hasRecording) {
    VM_SNoticeCall call;
    call.name = record.VM_GetAttrText(VM_CCallInfo::kAttrName).value_or("");
    call.number = record.VM_GetAttrText(VM_CCallInfo::kAttrNumber).value_or("");
    int year = 0;
    record.VM_GetTime(year, call.month, call.day, call.hour, call.minute);
    call.mailbox = record.VM_GetMailbox();
    call.blocked = (record.VM_GetFlags() & VM_CCallInfo::kFlagBlocked) != 0;
    call.recorded = hasRecording;
    return call;
}

// One message to one address; throws QvSmtpException.
void SendOne(QvSmtpConnection& conn, const VM_SNotice& notice, int index) {
    const VM_SSmtpSettings& smtp = notice.smtp;
    QvSmtpMessage msg;
    msg.SetFrom(smtp.sender.c_str());
    msg.SetSender(smtp.sender.c_str());
    msg.AddRecipient(smtp.emails[index].c_str());
    msg.SetSubject(notice.subject.c_str());
    msg.SetOption(1);
    msg.SetBody(notice.body.c_str(), QvSmtpMessage::kBodyPlainText);
    if (smtp.attach[index] && !notice.waveFile.empty()) msg.Attach(notice.waveFile.c_str());
    msg.SetFinalOption(3);
    conn.Send(msg);
}

}  // namespace

bool VM_IsNoticeDue(int mode, DWORD recordFlags) {
    return ((mode & VM_NOTIFY_ALL) && !(recordFlags & VM_CCallInfo::kFlagKnownNoNotify)) ||
           ((mode & VM_NOTIFY_ASKED) && (recordFlags & VM_CCallInfo::kFlagNotify));
}

bool VM_DecideNotice(const VM_CAppCfg& cfg, VM_CCallInfo& record) {
    if (cfg.m_nNotifyMode == VM_NOTIFY_OFF) {
        record.VM_ClearFlags(VM_CCallInfo::kFlagNotify);
        return false;
    }
    return VM_IsNoticeDue(cfg.m_nNotifyMode, record.VM_GetFlags());
}

VM_SNotice VM_PrepareNotice(const VM_CAppCfg& cfg, VM_CCallInfo& record) {
    VM_SNotice notice;
    notice.smtp = VM_GetSmtpSettings(cfg);
    notice.waveFile = record.VM_GetWaveFileText().value_or("");
    const VM_SNoticeCall call = CallOf(record, !notice.waveFile.empty());
    const bool severalMailboxes = !cfg.VM_IsFlag(VM_FLAG_SINGLE_MAILBOX);
    notice.subject = VM_FormatNoticeSubject(call, severalMailboxes);
    notice.body = VM_FormatNoticeBody(call, severalMailboxes);
    return notice;
}

DWORD VM_SendNotice(const VM_SNotice& notice, const std::atomic<bool>* abort) {
    // Without an address there is nobody to notify: no connection either.
    if (!VM_HasAnyAddress(notice.smtp)) return 0;
    std::unique_ptr<QvSmtpConnection> conn;
    try {
        conn = std::make_unique<QvSmtpConnection>();
        conn->SetAbortFlag(abort);
        VM_ConnectSmtp(*conn, notice.smtp);
    } catch (const QvSmtpException& e) {
        // The notice was due and nobody got it: the record says "Failed".
        VM_TRACE(g_bTraceTapi, "VM_NotifyNewCall: cannot connect: %s", e.GetText());
        return kNoticeFlags;
    }
    DWORD flags = 0;
    for (int i = 0; i < VM_EMAIL_COUNT; ++i) {
        if (notice.smtp.emails[i].empty()) continue;
        try {
            SendOne(*conn, notice, i);
        } catch (const QvSmtpException& e) {
            VM_TRACE(g_bTraceTapi, "VM_NotifyNewCall: address %d: %s", i + 1, e.GetText());
            flags |= VM_CCallInfo::kFlagNotifyFailed;
        }
        flags |= VM_CCallInfo::kFlagNotify;
    }
    try {
        conn->Close();
    } catch (const QvSmtpException& e) {
        VM_TRACE(g_bTraceTapi, "VM_NotifyNewCall: close: %s", e.GetText());
    }
    return flags;
}

void VM_NotifyNewCall(const VM_CAppCfg& cfg, VM_CCallInfo& record) {
    if (!VM_DecideNotice(cfg, record)) return;
    record.VM_AddFlags(VM_SendNotice(VM_PrepareNotice(cfg, record)));
}
