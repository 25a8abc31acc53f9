#include "store/config_file_format.h"

#include <cstring>
#include <type_traits>

#include "store/app_config.h"

namespace {

// One list of the fields in file order, walked by both the writer and the
// reader so the two can never disagree on the layout.
template <class Cfg, class Io>
void VisitFields(Cfg& cfg, Io& io) {
    io.Number(cfg.m_nVersion);
    io.Text(cfg.m_szTitle);
    io.Number(cfg.m_dwFlags);
    io.Number(cfg.m_nCallSortColumn);
    io.Number(cfg.m_nCallSortOrder);
    io.Number(cfg.m_nAddrSortColumn);
    io.Number(cfg.m_nAddrSortOrder);
    io.Number(cfg.m_nNextTip);
    io.Number(cfg.m_nAlertMode);
    io.Number(cfg.m_nNotifyMode);
    io.Text(cfg.m_szSmtpServer);
    io.Text(cfg.m_szSender);
    io.Number(cfg.m_nSmtpPort);
    io.Number(cfg.m_bReserved);
    io.Number(cfg.m_nSmtpSecurity);
    io.Text(cfg.m_szSmtpUser);
    io.Text(cfg.m_szSmtpPassword);
    for (int i = 0; i < VM_EMAIL_COUNT; ++i) {
        io.Text(cfg.m_szEmail[i]);
        io.Number(cfg.m_bAttach[i]);
    }
    io.Number(cfg.m_idInbox);
    io.Number(cfg.m_idDeleted);
    io.Number(cfg.m_idBulkCall);
    io.Number(cfg.m_bReserved2);
    io.Number(cfg.m_idLine);
    io.Number(cfg.m_idReserved);
    io.Number(cfg.m_idRecordDevice);
    io.Number(cfg.m_idPlayDevice);
    io.Number(cfg.m_nRings);
    io.Number(cfg.m_nMaxCallMinutes);
    io.Number(cfg.m_nSilenceSeconds);
    io.Number(cfg.m_nSilenceLevel);
    io.Number(cfg.m_dReserved1);
    io.Number(cfg.m_dReserved2);
    io.Text(cfg.m_szDefaultPassword);
    io.Text(cfg.m_szPassword);
}

// The unsigned integer of the same size, through which values are (de)serialised.
template <class T>
using Bits = std::conditional_t<sizeof(T) == 1, std::uint8_t,
             std::conditional_t<sizeof(T) == 2, std::uint16_t,
             std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>>>;

class Writer {
public:
    template <class T>
    void Number(const T& value) {
        static_assert(std::is_arithmetic_v<T>);
        Bits<T> bits;
        std::memcpy(&bits, &value, sizeof bits);
        for (std::size_t i = 0; i < sizeof bits; ++i) {
            m_bytes.push_back(static_cast<char>((bits >> (8 * i)) & 0xFF));
        }
    }
    void Text(const char* const& text) { Bytes(text, text == nullptr ? 0 : std::strlen(text)); }
    void Text(const VM_CSharedText& text) {
        std::string copy = text.VM_String();
        Bytes(copy.data(), copy.size());
    }
    std::string Take() { return std::move(m_bytes); }

private:
    void Bytes(const char* text, std::size_t length) {
        Number(static_cast<std::int32_t>(length));
        m_bytes.append(text == nullptr ? "" : text, length);
    }
    std::string m_bytes;
};

class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : m_next(data), m_left(size) {}

    template <class T>
    void Number(T& value) {
        static_assert(std::is_arithmetic_v<T>);
        std::uint64_t raw = 0;
        if (!Take(sizeof(T), &raw)) return;
        auto bits = static_cast<Bits<T>>(raw);
        std::memcpy(&value, &bits, sizeof bits);
    }
    void Text(char*& field) {
        delete[] field;
        field = nullptr;
        const char* bytes = nullptr;
        std::size_t length = 0;
        if (!TextBytes(&bytes, &length)) return;
        field = new char[length + 1];
        std::memcpy(field, bytes, length);
        field[length] = '\0';
    }
    void Text(VM_CSharedText& field) {
        const char* bytes = nullptr;
        std::size_t length = 0;
        if (TextBytes(&bytes, &length)) {
            field.VM_Set(bytes, length);
        } else {
            field.VM_Clear();
        }
    }
    VM_ConfigRead Result() const {
        if (m_bDamaged) return VM_ConfigRead::kDamaged;
        return m_bStopped ? VM_ConfigRead::kShort : VM_ConfigRead::kRead;
    }

private:
    bool Take(std::size_t size, std::uint64_t* out) {
        if (m_bStopped) return false;
        if (m_left < size) {
            m_bStopped = true;
            return false;
        }
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < size; ++i) {
            value |= static_cast<std::uint64_t>(m_next[i]) << (8 * i);
        }
        *out = value;
        m_next += size;
        m_left -= size;
        return true;
    }
    // False for an absent string: length 0, the end of the file, or damage.
    bool TextBytes(const char** bytes, std::size_t* length) {
        std::uint64_t raw = 0;
        if (!Take(sizeof(std::int32_t), &raw)) return false;
        auto n = static_cast<std::int32_t>(static_cast<std::uint32_t>(raw));
        if (n == 0) return false;
        if (n < 0 || static_cast<std::size_t>(n) > m_left) {
            m_bDamaged = true;
            m_bStopped = true;
            return false;
        }
        *bytes = reinterpret_cast<const char*>(m_next);
        *length = static_cast<std::size_t>(n);
        m_next += n;
        m_left -= static_cast<std::size_t>(n);
        return true;
    }

    const std::uint8_t* m_next;
    std::size_t m_left;
    bool m_bStopped = false;
    bool m_bDamaged = false;
};

}  // namespace

std::string VM_EncodeConfig(const VM_CAppCfg& cfg) {
    Writer writer;
    VisitFields(cfg, writer);
    return writer.Take();
}

bool VM_HasConfigVersion(const std::uint8_t* data, std::size_t size) {
    std::int32_t version = 0;
    Reader probe(data, size);
    probe.Number(version);
    return probe.Result() == VM_ConfigRead::kRead && version == VM_CFG_VERSION;
}

VM_ConfigRead VM_DecodeConfig(VM_CAppCfg& cfg, const std::uint8_t* data, std::size_t size) {
    if (!VM_HasConfigVersion(data, size)) return VM_ConfigRead::kForeignVersion;
    Reader reader(data, size);
    VisitFields(cfg, reader);
    return reader.Result();
}
