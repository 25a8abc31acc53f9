#include "telephony/var_structs.h"

#include <cstdlib>
#include <cstring>

#include "telephony/tapi_session.h"

namespace {

// Room for the three size words, whatever a user asks for.
constexpr DWORD kMinAlloc = 3 * sizeof(DWORD);

DWORD Word(const BYTE* buffer, int index) {
    DWORD value;
    std::memcpy(&value, buffer + index * sizeof(DWORD), sizeof value);
    return value;
}

}  // namespace

VM_CVarStruct::VM_CVarStruct(DWORD requestSize) : m_dwRequestSize(requestSize) {}

VM_CVarStruct::~VM_CVarStruct() { VM_FreeBuffer(); }

void VM_CVarStruct::VM_FreeBuffer() {
    std::free(m_pBuffer);
    m_pBuffer = nullptr;
    m_dwAllocSize = 0;
}

// Grows while the service asks for more than it was given, within bounds:
// a service that keeps answering "too small" without needing more, or that
// needs ever more, ends with LINEERR_STRUCTURETOOSMALL and no buffer.
LONG VM_CVarStruct::VM_Query() {
    for (int growths = 0;; growths++) {
        if (m_pBuffer == nullptr || m_dwAllocSize < m_dwRequestSize) {
            if (m_dwRequestSize > kVarStructMaxSize) {
                VM_FreeBuffer();
                return LINEERR_STRUCTURETOOSMALL;
            }
            DWORD alloc = m_dwRequestSize < kMinAlloc ? kMinAlloc : m_dwRequestSize;
            BYTE* grown = static_cast<BYTE*>(std::realloc(m_pBuffer, alloc));
            if (grown == nullptr) {
                VM_FreeBuffer();
                return LINEERR_NOMEM;
            }
            m_pBuffer = grown;
            m_dwAllocSize = alloc;
            std::memset(m_pBuffer, 0, alloc);
        }
        // The service is never told of more room than there is.
        std::memcpy(m_pBuffer, &m_dwRequestSize, sizeof m_dwRequestSize);
        LONG result = VM_Fetch();
        const DWORD total = Word(m_pBuffer, 0);
        const DWORD needed = Word(m_pBuffer, 1);
        const bool tooSmall = result == LINEERR_STRUCTURETOOSMALL || (result == 0 && needed > total);
        if (tooSmall) {
            if (needed > total && growths < kVarStructMaxGrowths) {
                m_dwRequestSize = needed;
                continue;
            }
            VM_FreeBuffer();
            return LINEERR_STRUCTURETOOSMALL;
        }
        if (result < 0) VM_FreeBuffer();
        return result;
    }
}

const BYTE* VM_CVarStruct::VM_GetField(DWORD offset, DWORD size) const {
    if (m_pBuffer == nullptr || size == 0) return nullptr;
    DWORD limit = Word(m_pBuffer, 2);  // dwUsedSize
    if (limit > m_dwAllocSize) limit = m_dwAllocSize;
    if (offset > limit || size > limit - offset) return nullptr;
    return m_pBuffer + offset;
}

VM_CDevCaps::VM_CDevCaps(DWORD deviceID, DWORD apiVersion)
    : VM_CVarStruct(240), m_dwDeviceID(deviceID), m_dwAPIVersion(apiVersion) {}

LONG VM_CDevCaps::VM_Fetch() {
    HLINEAPP app = VM_CTapi::VM_GetLineApp();
    if (app == 0) return LINEERR_INVALAPPHANDLE;
    return lineGetDevCaps(app, m_dwDeviceID, m_dwAPIVersion, 0,
                          reinterpret_cast<LPLINEDEVCAPS>(m_pBuffer));
}

VM_CAddrCaps::VM_CAddrCaps(DWORD deviceID, DWORD addressID, DWORD apiVersion)
    : VM_CVarStruct(180), m_dwDeviceID(deviceID), m_dwAddressID(addressID), m_dwAPIVersion(apiVersion) {}

LONG VM_CAddrCaps::VM_Fetch() {
    HLINEAPP app = VM_CTapi::VM_GetLineApp();
    if (app == 0) return LINEERR_INVALAPPHANDLE;
    return lineGetAddressCaps(app, m_dwDeviceID, m_dwAddressID, m_dwAPIVersion, 0,
                              reinterpret_cast<LPLINEADDRESSCAPS>(m_pBuffer));
}

VM_CCallInfor::VM_CCallInfor(HCALL hCall) : VM_CVarStruct(296), m_hCall(hCall) {}

LONG VM_CCallInfor::VM_Fetch() {
    return lineGetCallInfo(m_hCall, reinterpret_cast<LPLINECALLINFO>(m_pBuffer));
}

VM_CCallStatus::VM_CCallStatus(HCALL hCall) : VM_CVarStruct(36), m_hCall(hCall) {}

LONG VM_CCallStatus::VM_Fetch() {
    return lineGetCallStatus(m_hCall, reinterpret_cast<LPLINECALLSTATUS>(m_pBuffer));
}

VM_CDeviceID::VM_CDeviceID() : VM_CVarStruct(24) {}

VM_CDeviceID::~VM_CDeviceID() { std::free(m_pszClass); }

void VM_CDeviceID::VM_SetClass(const char* deviceClass) {
    std::free(m_pszClass);
    m_pszClass = deviceClass != nullptr ? strdup(deviceClass) : nullptr;
}

LONG VM_CDeviceID::VM_Fetch() {
    if (m_pszClass == nullptr) return LINEERR_OPERATIONFAILED;
    return lineGetID(m_hLine, m_dwAddressID, m_hCall, m_dwSelect,
                     reinterpret_cast<LPVARSTRING>(m_pBuffer), m_pszClass);
}

LONG VM_CDeviceID::VM_GetLineDeviceID(const char* deviceClass, HLINE hLine) {
    if (hLine == 0) return LINEERR_INVALLINEHANDLE;
    VM_SetClass(deviceClass);
    m_dwAddressID = 0;
    m_hCall = 0;
    m_hLine = hLine;
    m_dwSelect = LINECALLSELECT_LINE;
    return VM_Query();
}

LONG VM_CDeviceID::VM_GetCallDeviceID(const char* deviceClass, HCALL hCall) {
    if (hCall == 0) return LINEERR_INVALCALLHANDLE;
    VM_SetClass(deviceClass);
    m_hLine = 0;
    m_dwAddressID = 0;
    m_hCall = hCall;
    m_dwSelect = LINECALLSELECT_CALL;
    return VM_Query();
}

// The string area is used only where it lies inside what the service filled.
DWORD VM_CDeviceID::VM_GetID() const {
    if (m_pBuffer == nullptr) return 0;
    const VARSTRING* v = reinterpret_cast<const VARSTRING*>(m_pBuffer);
    const BYTE* area = VM_GetField(v->dwStringOffset, v->dwStringSize);
    if (area == nullptr || v->dwStringSize < sizeof(DWORD)) return 0;
    DWORD id;
    std::memcpy(&id, area, sizeof id);
    return id;
}
