#include "lines/modem/dle_codec.h"

#include <cstring>

namespace modemline {

void ShieldDle(const BYTE* data, size_t length, std::string& out) {
    const BYTE* end = data + length;
    while (data < end) {
        const auto* dle = static_cast<const BYTE*>(std::memchr(data, kDle, static_cast<size_t>(end - data)));
        const BYTE* stop = dle != nullptr ? dle + 1 : end;
        out.append(reinterpret_cast<const char*>(data), static_cast<size_t>(stop - data));
        if (dle != nullptr) out.push_back(static_cast<char>(kDle));
        data = stop;
    }
}

size_t DleDecoder::Feed(const BYTE* in, size_t length, std::string& data, std::string& events) {
    size_t i = 0;
    while (i < length) {
        if (m_pendingDle) {
            m_pendingDle = false;
            const BYTE code = in[i++];
            if (code == kDle) {
                data.push_back(static_cast<char>(kDle));
            } else if (code == kSub) {
                data.append(2, static_cast<char>(kDle));
            } else {
                events.push_back(static_cast<char>(code));
                if (code == kEtx) return i;
            }
            continue;
        }
        // Voice data runs long between DLEs: copy it in one piece.
        const auto* dle = static_cast<const BYTE*>(std::memchr(in + i, kDle, length - i));
        const size_t stop = dle != nullptr ? static_cast<size_t>(dle - in) : length;
        data.append(reinterpret_cast<const char*>(in + i), stop - i);
        i = stop;
        if (dle != nullptr) {
            m_pendingDle = true;
            i++;
        }
    }
    return i;
}

}  // namespace modemline
