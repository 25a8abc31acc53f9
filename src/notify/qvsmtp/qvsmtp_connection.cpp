#include "notify/qvsmtp/qvsmtp_connection.h"

#include <curl/curl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>

#include "notify/qvsmtp/qvsmtp_exception.h"
#include "notify/qvsmtp/qvsmtp_message.h"
#include "platform/win32/clock.h"

namespace qvsmtp {

struct QvSmtpConnection::Impl {
    CURL* curl = nullptr;
    bool connected = false;
    bool loggedIn = false;
    std::string caFile;
    const std::atomic<bool>* abort = nullptr;
    char error[CURL_ERROR_SIZE] = {};
};

namespace {

struct Upload {
    const std::string* data;
    size_t offset;
};

size_t ReadUpload(char* buffer, size_t size, size_t count, void* userdata) {
    auto* upload = static_cast<Upload*>(userdata);
    const size_t left = upload->data->size() - upload->offset;
    const size_t n = std::min(left, size * count);
    std::memcpy(buffer, upload->data->data() + upload->offset, n);
    upload->offset += n;
    return n;
}

size_t DiscardReply(char*, size_t size, size_t count, void*) { return size * count; }

// Notes the server's "235" (authentication succeeded): libcurl goes on
// without logging in when the server offers no login.
int WatchReplies(CURL*, curl_infotype type, char* data, size_t size, void* userdata) {
    if (type == CURLINFO_HEADER_IN && size >= 4 && std::memcmp(data, "235", 3) == 0 && (data[3] == ' ' || data[3] == '-'))
        *static_cast<bool*>(userdata) = true;
    return 0;
}

int CheckAbort(void* userdata, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const auto* flag = static_cast<const std::atomic<bool>*>(userdata);
    return flag->load() ? 1 : 0;
}

bool IsHostChar(unsigned char c) {
    return (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') || c == '.' || c == '-' ||
           c == ':' || c == '_';
}

bool IsValidServer(const char* server) {
    if (server == nullptr || *server == '\0' || std::strlen(server) > 253) return false;
    for (const char* p = server; *p != '\0'; ++p)
        if (!IsHostChar(static_cast<unsigned char>(*p))) return false;
    return true;
}

// The name this machine greets the server with.
std::string GreetingName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "localhost";
    for (const char* p = name; *p != '\0'; ++p)
        if (!IsHostChar(static_cast<unsigned char>(*p)) || *p == ':') return "localhost";
    return name;
}

std::string ServerUrl(const char* server, int port, int security) {
    const std::string host = std::strchr(server, ':') != nullptr ? "[" + std::string(server) + "]" : server;
    const char* scheme = security == QvSmtpConnection::kSecuritySslTls ? "smtps://" : "smtp://";
    return scheme + host + ":" + std::to_string(port) + "/" + GreetingName();
}

// Never 0: libcurl reads a connect time-out of 0 as its own default of minutes.
long TimeoutMs() { return std::max(1L, std::lround(QvSmtpConnection::kTimeoutMs / platform::TimeScale())); }
long TimeoutSeconds() { return std::max(1L, (TimeoutMs() + 999) / 1000); }

void InitLibraryOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

[[noreturn]] void Fail(std::uint32_t lowWord, int line, const char* where, const char* detail) {
    const std::string text = std::string(where) + " - " + detail;
    throw QvSmtpException(QvSmtpFailure(lowWord), line, text.c_str());
}

}  // namespace

QvSmtpConnection::QvSmtpConnection() {
    InitLibraryOnce();
    m_impl.reset(new (std::nothrow) Impl);
    if (m_impl) m_impl->curl = curl_easy_init();
    if (!m_impl || m_impl->curl == nullptr)
        throw QvSmtpException(QVSMTP_E_CONSTRUCTOR, __LINE__,
                              "QvSmtpConnection::QvSmtpConnection() - Constructor Failed!");
    const char* caFile = std::getenv("VOCERRA_SMTP_CA_FILE");
    if (caFile != nullptr) m_impl->caFile = caFile;
}

QvSmtpConnection::~QvSmtpConnection() {
    if (m_impl && m_impl->curl != nullptr) curl_easy_cleanup(m_impl->curl);
}

void QvSmtpConnection::SetCaFile(const char* path) { m_impl->caFile = path != nullptr ? path : ""; }

void QvSmtpConnection::SetAbortFlag(const std::atomic<bool>* flag) { m_impl->abort = flag; }

void QvSmtpConnection::Connect(const char* server, int port, int auth, const char* user, const char* password,
                               int security) {
    static constexpr const char* kWhere = "QvSmtpConnection::Connect()";
    const bool login = auth == kAuthLogin;
    if (!IsValidServer(server) || port <= 0 || port > 65535 || (auth != kAuthNone && !login) || security < 0 ||
        security > kSecurityStartTls || (login && (user == nullptr || *user == '\0')))
        Fail(QVSMTP_ECODE_BAD_PARAMS, __LINE__, kWhere, "bad server, port, login or security");
    CURL* curl = m_impl->curl;
    if (curl == nullptr) Fail(QVSMTP_ECODE_FAILED_CONNECTION, __LINE__, kWhere, "no connection handle");
    if (m_impl->abort != nullptr && m_impl->abort->load())
        Fail(QVSMTP_ECODE_FAILED_CONNECTION, __LINE__, kWhere, "stopped");
    curl_easy_reset(curl);
    m_impl->connected = false;
    m_impl->error[0] = '\0';
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, m_impl->error);
    curl_easy_setopt(curl, CURLOPT_URL, ServerUrl(server, port, security).c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_USE_SSL,
                     security == kSecurityStartTls ? static_cast<long>(CURLUSESSL_ALL) : static_cast<long>(CURLUSESSL_NONE));
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    // The default store stays in force through the certificate folder.
    if (!m_impl->caFile.empty()) curl_easy_setopt(curl, CURLOPT_CAINFO, m_impl->caFile.c_str());
    m_impl->loggedIn = false;
    if (login) {
        curl_easy_setopt(curl, CURLOPT_USERNAME, user);
        curl_easy_setopt(curl, CURLOPT_PASSWORD, password != nullptr ? password : "");
        curl_easy_setopt(curl, CURLOPT_DEBUGFUNCTION, WatchReplies);
        curl_easy_setopt(curl, CURLOPT_DEBUGDATA, &m_impl->loggedIn);
        curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L);
    }
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, TimeoutMs());
    curl_easy_setopt(curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, TimeoutSeconds());
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, TimeoutSeconds());
    if (m_impl->abort != nullptr) {
        curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, CheckAbort);
        curl_easy_setopt(curl, CURLOPT_XFERINFODATA, m_impl->abort);
        curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    }
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, DiscardReply);
    // The dialogue, and with it the login, happens now: NOOP is the request
    // that carries it; the messages then reuse the open connection.
    curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, "NOOP");
    const CURLcode result = curl_easy_perform(curl);
    if (result != CURLE_OK) {
        const char* detail = m_impl->error[0] != '\0' ? m_impl->error : curl_easy_strerror(result);
        Fail(result == CURLE_LOGIN_DENIED ? QVSMTP_ECODE_FAILED_AUTHENTICATION : QVSMTP_ECODE_FAILED_CONNECTION,
             __LINE__, kWhere, detail);
    }
    if (login && !m_impl->loggedIn) {
        // Going on would send mail without the login the user asked for.
        Fail(QVSMTP_ECODE_FAILED_AUTHENTICATION, __LINE__, kWhere, "the server offers no login");
    }
    m_impl->connected = true;
}

void QvSmtpConnection::Send(const QvSmtpMessage& message) {
    static constexpr const char* kWhere = "QvSmtpConnection::Send()";
    if (!m_impl->connected) Fail(QVSMTP_ECODE_FAILED_SENDMAILMSG, __LINE__, kWhere, "not connected");
    if (m_impl->abort != nullptr && m_impl->abort->load())
        Fail(QVSMTP_ECODE_FAILED_SENDMAILMSG, __LINE__, kWhere, "stopped");
    const std::string mail = message.Compose();
    if (mail.size() > QvSmtpMessage::kMaxMailBytes) Fail(QVSMTP_ECODE_BAD_MAILSIZE, __LINE__, kWhere, "too big");
    curl_slist* recipients = nullptr;
    for (const std::string& address : message.GetRecipients()) {
        curl_slist* grown = curl_slist_append(recipients, ("<" + address + ">").c_str());
        if (grown == nullptr) {
            curl_slist_free_all(recipients);
            Fail(QVSMTP_ECODE_FAILED_CODING, __LINE__, kWhere, "out of memory");
        }
        recipients = grown;
    }
    CURL* curl = m_impl->curl;
    Upload upload{&mail, 0};
    m_impl->error[0] = '\0';
    curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, nullptr);
    curl_easy_setopt(curl, CURLOPT_MAIL_FROM, ("<" + message.GetEnvelopeSender() + ">").c_str());
    curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, recipients);
    curl_easy_setopt(curl, CURLOPT_READFUNCTION, ReadUpload);
    curl_easy_setopt(curl, CURLOPT_READDATA, &upload);
    curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(mail.size()));
    curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
    const CURLcode result = curl_easy_perform(curl);
    curl_easy_setopt(curl, CURLOPT_UPLOAD, 0L);
    curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, nullptr);
    curl_easy_setopt(curl, CURLOPT_READDATA, nullptr);
    curl_slist_free_all(recipients);
    if (result != CURLE_OK) {
        const char* detail = m_impl->error[0] != '\0' ? m_impl->error : curl_easy_strerror(result);
        Fail(result == CURLE_LOGIN_DENIED ? QVSMTP_ECODE_FAILED_AUTHENTICATION : QVSMTP_ECODE_FAILED_SENDMAILMSG,
             __LINE__, kWhere, detail);
    }
}

void QvSmtpConnection::Close() {
    if (!m_impl->connected) return;
    m_impl->connected = false;
    // Ending the handle ends the dialogue (QUIT) within the answer time-out.
    curl_easy_cleanup(m_impl->curl);
    m_impl->curl = curl_easy_init();
}

}  // namespace qvsmtp
