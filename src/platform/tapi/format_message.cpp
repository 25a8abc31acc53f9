#include "platform/tapi/format_message.h"

#include <cstring>
#include <strings.h>

#include "platform/tapi/tapi_constants.h"
#include "platform/win32/errors.h"

namespace {

constexpr DWORD kErrorModNotFound = 126;
constexpr DWORD kErrorMessageNotFound = 317;
const HMODULE kTelephonyModule = reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x7A910000));
const HMODULE kExecutableModule = reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x00400000));

struct Description {
    LONG code;
    const char* text;
};

// The telephony module's message table, one text per published result code.
constexpr Description kDescriptions[] = {
    {TAPIERR_CONNECTED, "The request was accepted."},
    {TAPIERR_DROPPED, "The call was dropped."},
    {TAPIERR_NOREQUESTRECIPIENT, "No application is registered to handle the request."},
    {TAPIERR_REQUESTQUEUEFULL, "The queue of pending requests is full."},
    {TAPIERR_INVALDESTADDRESS, "The destination address is not valid."},
    {TAPIERR_INVALWINDOWHANDLE, "The window handle is not valid."},
    {TAPIERR_INVALDEVICECLASS, "The device class is not valid."},
    {TAPIERR_INVALDEVICEID, "The device identifier is not valid."},
    {TAPIERR_DEVICECLASSUNAVAIL, "The device class is not available."},
    {TAPIERR_DEVICEIDUNAVAIL, "The device identifier is not available."},
    {TAPIERR_DEVICEINUSE, "The device is already in use."},
    {TAPIERR_DESTBUSY, "The called number is busy."},
    {TAPIERR_DESTNOANSWER, "The called party does not answer."},
    {TAPIERR_DESTUNAVAIL, "The called number could not be reached."},
    {TAPIERR_UNKNOWNWINHANDLE, "The window handle is not known."},
    {TAPIERR_UNKNOWNREQUESTID, "The request identifier is not known."},
    {TAPIERR_REQUESTFAILED, "The request failed."},
    {TAPIERR_REQUESTCANCELLED, "The request was cancelled."},
    {TAPIERR_INVALPOINTER, "A pointer is not valid."},
    {LINEERR_ALLOCATED, "The line device is already in use."},
    {LINEERR_BADDEVICEID, "The line device identifier is not valid."},
    {LINEERR_BEARERMODEUNAVAIL, "The bearer mode is not available."},
    {LINEERR_CALLUNAVAIL, "No call appearance is available."},
    {LINEERR_COMPLETIONOVERRUN, "Too many call completions are outstanding."},
    {LINEERR_CONFERENCEFULL, "The conference is full."},
    {LINEERR_DIALBILLING, "Dialing stopped at a billing tone ('$')."},
    {LINEERR_DIALDIALTONE, "Dialing stopped at a wait for dial tone ('W')."},
    {LINEERR_DIALPROMPT, "Dialing stopped at a prompt ('?')."},
    {LINEERR_DIALQUIET, "Dialing stopped at a wait for quiet ('@')."},
    {LINEERR_INCOMPATIBLEAPIVERSION, "The line device does not support the API version."},
    {LINEERR_INCOMPATIBLEEXTVERSION, "The line device does not support the extension version."},
    {LINEERR_INIFILECORRUPT, "The telephony configuration is damaged."},
    {LINEERR_INUSE, "The line device is in use."},
    {LINEERR_INVALADDRESS, "The address is not valid."},
    {LINEERR_INVALADDRESSID, "The address identifier is not valid."},
    {LINEERR_INVALADDRESSMODE, "The address mode is not valid."},
    {LINEERR_INVALADDRESSSTATE, "The address state is not valid."},
    {LINEERR_INVALAPPHANDLE, "The telephony session handle is not valid."},
    {LINEERR_INVALAPPNAME, "The application name is not valid."},
    {LINEERR_INVALBEARERMODE, "The bearer mode is not valid."},
    {LINEERR_INVALCALLCOMPLMODE, "The call completion mode is not valid."},
    {LINEERR_INVALCALLHANDLE, "The call handle is not valid."},
    {LINEERR_INVALCALLPARAMS, "The call parameters are not valid."},
    {LINEERR_INVALCALLPRIVILEGE, "The call privilege is not valid."},
    {LINEERR_INVALCALLSELECT, "The call selection is not valid."},
    {LINEERR_INVALCALLSTATE, "The call is not in a state that allows this operation."},
    {LINEERR_INVALCALLSTATELIST, "The list of call states is not valid."},
    {LINEERR_INVALCARD, "The calling card is not valid."},
    {LINEERR_INVALCOMPLETIONID, "The completion identifier is not valid."},
    {LINEERR_INVALCONFCALLHANDLE, "The conference call handle is not valid."},
    {LINEERR_INVALCONSULTCALLHANDLE, "The consultation call handle is not valid."},
    {LINEERR_INVALCOUNTRYCODE, "The country code is not valid."},
    {LINEERR_INVALDEVICECLASS, "The line device has no device of that class."},
    {LINEERR_INVALDEVICEHANDLE, "The device handle is not valid."},
    {LINEERR_INVALDIALPARAMS, "The dialing parameters are not valid."},
    {LINEERR_INVALDIGITLIST, "The digit list is not valid."},
    {LINEERR_INVALDIGITMODE, "The digit mode is not valid."},
    {LINEERR_INVALDIGITS, "The digits are not valid."},
    {LINEERR_INVALEXTVERSION, "The extension version is not valid."},
    {LINEERR_INVALGROUPID, "The pickup group identifier is not valid."},
    {LINEERR_INVALLINEHANDLE, "The line handle is not valid."},
    {LINEERR_INVALLINESTATE, "The line state is not valid."},
    {LINEERR_INVALLOCATION, "The location is not valid."},
    {LINEERR_INVALMEDIALIST, "The media list is not valid."},
    {LINEERR_INVALMEDIAMODE, "The media mode is not valid."},
    {LINEERR_INVALMESSAGEID, "The message identifier is not valid."},
    {LINEERR_INVALPARAM, "A parameter is not valid."},
    {LINEERR_INVALPARKID, "The park identifier is not valid."},
    {LINEERR_INVALPARKMODE, "The park mode is not valid."},
    {LINEERR_INVALPOINTER, "A pointer is not valid."},
    {LINEERR_INVALPRIVSELECT, "The privilege selection is not valid."},
    {LINEERR_INVALRATE, "The rate is not valid."},
    {LINEERR_INVALREQUESTMODE, "The request mode is not valid."},
    {LINEERR_INVALTERMINALID, "The terminal identifier is not valid."},
    {LINEERR_INVALTERMINALMODE, "The terminal mode is not valid."},
    {LINEERR_INVALTIMEOUT, "The time-out is not valid."},
    {LINEERR_INVALTONE, "The tone is not valid."},
    {LINEERR_INVALTONELIST, "The tone list is not valid."},
    {LINEERR_INVALTONEMODE, "The tone mode is not valid."},
    {LINEERR_INVALTRANSFERMODE, "The transfer mode is not valid."},
    {LINEERR_LINEMAPPERFAILED, "No line device matches the requested call parameters."},
    {LINEERR_NOCONFERENCE, "The call is not part of a conference."},
    {LINEERR_NODEVICE, "The line device has been removed."},
    {LINEERR_NODRIVER, "The driver of the line device is missing or not working."},
    {LINEERR_NOMEM, "There is not enough memory for the request."},
    {LINEERR_NOREQUEST, "There is no pending request."},
    {LINEERR_NOTOWNER, "The application does not own the call."},
    {LINEERR_NOTREGISTERED, "The application is not registered as a request recipient."},
    {LINEERR_OPERATIONFAILED, "The operation failed for an unspecified reason."},
    {LINEERR_OPERATIONUNAVAIL, "The line device does not support the operation."},
    {LINEERR_RATEUNAVAIL, "The rate is not available."},
    {LINEERR_RESOURCEUNAVAIL, "The resources for the request are not available."},
    {LINEERR_REQUESTOVERRUN, "Too many requests are queued."},
    {LINEERR_STRUCTURETOOSMALL, "The structure is too small for the information."},
    {LINEERR_TARGETNOTFOUND, "The call target was not found."},
    {LINEERR_TARGETSELF, "The call target is the calling party itself."},
    {LINEERR_UNINITIALIZED, "The telephony session has not been initialised."},
    {LINEERR_USERUSERINFOTOOBIG, "The user-to-user information is too long."},
    {LINEERR_REINIT, "The telephony service must be restarted before it can be used."},
    {LINEERR_ADDRESSBLOCKED, "Calls to this address are not allowed."},
    {LINEERR_BILLINGREJECTED, "The billing information was rejected."},
    {LINEERR_INVALFEATURE, "The feature is not valid."},
    {LINEERR_NOMULTIPLEINSTANCE, "Only one instance of the telephony driver may be installed."},
    {PHONEERR_ALLOCATED, "The phone device is already in use."},
    {PHONEERR_BADDEVICEID, "The phone device identifier is not valid."},
    {PHONEERR_INCOMPATIBLEAPIVERSION, "The phone device does not support the API version."},
    {PHONEERR_INCOMPATIBLEEXTVERSION, "The phone device does not support the extension version."},
    {PHONEERR_INIFILECORRUPT, "The telephony configuration is damaged."},
    {PHONEERR_INUSE, "The phone device is in use."},
    {PHONEERR_INVALAPPHANDLE, "The telephony session handle is not valid."},
    {PHONEERR_INVALAPPNAME, "The application name is not valid."},
    {PHONEERR_INVALBUTTONLAMPID, "The button or lamp identifier is not valid."},
    {PHONEERR_INVALBUTTONMODE, "The button mode is not valid."},
    {PHONEERR_INVALBUTTONSTATE, "The button state is not valid."},
    {PHONEERR_INVALDATAID, "The data identifier is not valid."},
    {PHONEERR_INVALDEVICECLASS, "The phone device has no device of that class."},
    {PHONEERR_INVALEXTVERSION, "The extension version is not valid."},
    {PHONEERR_INVALHOOKSWITCHDEV, "The hook switch device is not valid."},
    {PHONEERR_INVALHOOKSWITCHMODE, "The hook switch mode is not valid."},
    {PHONEERR_INVALLAMPMODE, "The lamp mode is not valid."},
    {PHONEERR_INVALPARAM, "A parameter is not valid."},
    {PHONEERR_INVALPHONEHANDLE, "The phone handle is not valid."},
    {PHONEERR_INVALPHONESTATE, "The phone state is not valid."},
    {PHONEERR_INVALPOINTER, "A pointer is not valid."},
    {PHONEERR_INVALPRIVILEGE, "The privilege is not valid."},
    {PHONEERR_INVALRINGMODE, "The ring mode is not valid."},
    {PHONEERR_NODEVICE, "The phone device has been removed."},
    {PHONEERR_NODRIVER, "The driver of the phone device is missing or not working."},
    {PHONEERR_NOMEM, "There is not enough memory for the request."},
    {PHONEERR_NOTOWNER, "The application does not own the phone device."},
    {PHONEERR_OPERATIONFAILED, "The operation failed for an unspecified reason."},
    {PHONEERR_OPERATIONUNAVAIL, "The phone device does not support the operation."},
    {PHONEERR_RESOURCEUNAVAIL, "The resources for the request are not available."},
    {PHONEERR_REQUESTOVERRUN, "Too many requests are queued."},
    {PHONEERR_STRUCTURETOOSMALL, "The structure is too small for the information."},
    {PHONEERR_UNINITIALIZED, "The telephony session has not been initialised."},
    {PHONEERR_REINIT, "The telephony service must be restarted before it can be used."},
};

// The inverse of the numbering the callers use (see the header).
LONG CodeOfMessage(DWORD messageId) {
    if (messageId >= 0xFF00 && messageId <= 0xFFFF) return static_cast<LONG>(0xFFFF0000u | messageId);
    if (messageId >= 0xF000) return static_cast<LONG>(0x90000000u | (messageId - 0xF000));
    if (messageId >= 0xE000) return static_cast<LONG>(0x80000000u | (messageId - 0xE000));
    return 1;  // no result code is positive
}

}  // namespace

HMODULE GetModuleHandleA(LPCSTR moduleName) {
    if (moduleName == nullptr) return kExecutableModule;
    if (strcasecmp(moduleName, "tapi32.dll") == 0 || strcasecmp(moduleName, "tapi32") == 0)
        return kTelephonyModule;
    SetLastError(kErrorModNotFound);
    return nullptr;
}

DWORD FormatMessageA(DWORD flags, LPCVOID source, DWORD messageId, DWORD, LPSTR buffer,
                     DWORD size, va_list*) {
    if ((flags & FORMAT_MESSAGE_FROM_HMODULE) == 0 || source != kTelephonyModule ||
        (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) != 0 || buffer == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    LONG code = CodeOfMessage(messageId);
    for (const Description& d : kDescriptions) {
        if (d.code != code) continue;
        size_t len = std::strlen(d.text);
        if (len + 1 > size) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return 0;
        }
        std::memcpy(buffer, d.text, len + 1);
        return static_cast<DWORD>(len);
    }
    // The message table has no entry of that number.
    SetLastError(kErrorMessageNotFound);
    return 0;
}
