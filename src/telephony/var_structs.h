// The telephony service's variable-size structures, each fetched by one
// small class that owns its buffer and grows it until the structure fits.
#pragma once

#include "platform/tapi/tapi.h"

// Growth of VM_Query is bounded: a service that keeps asking for more (or
// never says how much) cannot make it loop or allocate without end.
constexpr int kVarStructMaxGrowths = 8;
constexpr DWORD kVarStructMaxSize = 1024 * 1024;

class VM_CVarStruct {
public:
    explicit VM_CVarStruct(DWORD requestSize);
    virtual ~VM_CVarStruct();
    VM_CVarStruct(const VM_CVarStruct&) = delete;
    VM_CVarStruct& operator=(const VM_CVarStruct&) = delete;

    // Fetches into a buffer of the request size, growing it to what the
    // service needs. 0 on success (the buffer holds the structure); a
    // negative code frees the buffer; a positive value keeps it.
    virtual LONG VM_Query();
    // Calls the subclass's one telephony function with the current buffer.
    virtual LONG VM_Fetch() = 0;

    BYTE* VM_GetBuffer() const { return m_pBuffer; }
    DWORD VM_GetRequestSize() const { return m_dwRequestSize; }
    void VM_SetRequestSize(DWORD size) { m_dwRequestSize = size; }

    // The bytes [offset, offset + size) of the returned structure, or null
    // when size is 0 or they do not lie wholly inside what the service
    // filled in (dwUsedSize). The bytes need not hold a NUL.
    const BYTE* VM_GetField(DWORD offset, DWORD size) const;

protected:
    void VM_FreeBuffer();

    BYTE* m_pBuffer = nullptr;
    DWORD m_dwAllocSize = 0;
    DWORD m_dwRequestSize;
};

class VM_CDevCaps : public VM_CVarStruct {
public:
    VM_CDevCaps(DWORD deviceID, DWORD apiVersion);
    LONG VM_Fetch() override;
    const LINEDEVCAPS* VM_GetCaps() const { return reinterpret_cast<const LINEDEVCAPS*>(m_pBuffer); }

    DWORD m_dwDeviceID;
    DWORD m_dwAPIVersion;
};

class VM_CAddrCaps : public VM_CVarStruct {
public:
    VM_CAddrCaps(DWORD deviceID, DWORD addressID, DWORD apiVersion);
    LONG VM_Fetch() override;
    const LINEADDRESSCAPS* VM_GetCaps() const {
        return reinterpret_cast<const LINEADDRESSCAPS*>(m_pBuffer);
    }

    DWORD m_dwDeviceID;
    DWORD m_dwAddressID;
    DWORD m_dwAPIVersion;
};

// LINECALLINFO of one call.
class VM_CCallInfor : public VM_CVarStruct {
public:
    explicit VM_CCallInfor(HCALL hCall);
    LONG VM_Fetch() override;
    const LINECALLINFO* VM_GetInfo() const {
        return reinterpret_cast<const LINECALLINFO*>(m_pBuffer);
    }

    // After a successful VM_Query: the caller's display name and number as
    // shown to the user; either buffer (1000 characters) may be null.
    // Always true.
    bool VM_GetInterpretedCallerID(char* name, char* number);

    HCALL m_hCall;
};

// Caller-ID text class: 1 "Blocked", 2 "Unavailable", 3 "Unknown",
// 4 "Out of area", 5 "Private"; 0 for any other, empty or null text.
int VM_GetCallerIDClass(const char* text);
// Removes leading and trailing blanks (0x20 only) in place; false for a null
// or empty text.
bool VM_TrimSpaces(char* text);

class VM_CCallStatus : public VM_CVarStruct {
public:
    explicit VM_CCallStatus(HCALL hCall);
    LONG VM_Fetch() override;
    const LINECALLSTATUS* VM_GetStatus() const {
        return reinterpret_cast<const LINECALLSTATUS*>(m_pBuffer);
    }

    HCALL m_hCall;
};

// The device id a line or a call has in another device class ("wave/in",
// "wave/out").
class VM_CDeviceID : public VM_CVarStruct {
public:
    VM_CDeviceID();
    ~VM_CDeviceID() override;
    LONG VM_Fetch() override;

    LONG VM_GetLineDeviceID(const char* deviceClass, HLINE hLine);
    LONG VM_GetCallDeviceID(const char* deviceClass, HCALL hCall);
    // The 32-bit id at the start of the string area; 0 without one.
    DWORD VM_GetID() const;

private:
    void VM_SetClass(const char* deviceClass);

    char* m_pszClass = nullptr;
    HLINE m_hLine = 0;
    DWORD m_dwAddressID = 0;
    HCALL m_hCall = 0;
    DWORD m_dwSelect = LINECALLSELECT_LINE;
};
