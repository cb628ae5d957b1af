// The ANSI records and entry points of RASAPI32 in the layouts this program
// hands to RAS. MinGW's <ras.h> always declares the newest (larger) layouts,
// whose sizes older RAS versions refuse with error 632, so the records are
// declared here with the sizes that every RAS from Windows 95 on accepts.
#ifndef WENDLE_RASAPI_H
#define WENDLE_RASAPI_H

#include <windows.h>

#define RAS_MaxEntryName      256
#define RAS_MaxDeviceType     16
#define RAS_MaxDeviceName     128
#define RAS_MaxPhoneNumber    128
#define RAS_MaxCallbackNumber 128
#define RAS_MaxAreaCode       10
#define RAS_MaxPadType        32
#define RAS_MaxX25Address     200
#define RAS_MaxFacilities     200
#define RAS_MaxUserData       200
#define RAS_UserNameLen       256
#define RAS_PasswordLen       256
#define RAS_DomainLen         15

#ifndef WM_RASDIALEVENT
#define WM_RASDIALEVENT 0xCCCD
#endif

#define RASCN_Connection    1
#define RASCN_Disconnection 2

#define RAS_ERROR_BUFFER_TOO_SMALL  603
#define RAS_ERROR_INVALID_SIZE      632

typedef HANDLE HRASCONN;

enum RasConnState {
    RASCS_OpenPort = 0,
    RASCS_PortOpened = 1,
    RASCS_ConnectDevice = 2,
    RASCS_DeviceConnected = 3,
    RASCS_AllDevicesConnected = 4,
    RASCS_Authenticate = 5,
    RASCS_AuthNotify = 6,
    RASCS_AuthRetry = 7,
    RASCS_AuthCallback = 8,
    RASCS_AuthChangePassword = 9,
    RASCS_AuthProject = 10,
    RASCS_AuthLinkSpeed = 11,
    RASCS_AuthAck = 12,
    RASCS_ReAuthenticate = 13,
    RASCS_Authenticated = 14,
    RASCS_PrepareForCallback = 15,
    RASCS_WaitForModemReset = 16,
    RASCS_WaitForCallback = 17,
    RASCS_Projected = 18,
    RASCS_Interactive = 0x1000,
    RASCS_RetryAuthentication = 0x1001,
    RASCS_CallbackSetByCaller = 0x1002,
    RASCS_PasswordExpired = 0x1003,
    RASCS_Connected = 0x2000,
    RASCS_Disconnected = 0x2001
};
typedef DWORD RASCONNSTATE;

#pragma pack(push, 4)

typedef struct {
    DWORD dwSize;
    HRASCONN hrasconn;
    CHAR szEntryName[RAS_MaxEntryName + 1];
    CHAR szDeviceType[RAS_MaxDeviceType + 1];
    CHAR szDeviceName[RAS_MaxDeviceName + 1];
} RASCONNA;

typedef struct {
    DWORD dwSize;
    RASCONNSTATE rasconnstate;
    DWORD dwError;
    CHAR szDeviceType[RAS_MaxDeviceType + 1];
    CHAR szDeviceName[RAS_MaxDeviceName + 1];
} RASCONNSTATUSA;

typedef struct {
    DWORD dwSize;
    CHAR szEntryName[RAS_MaxEntryName + 1];
} RASENTRYNAMEA;

typedef struct {
    DWORD dwSize;
    CHAR szEntryName[RAS_MaxEntryName + 1];
    CHAR szPhoneNumber[RAS_MaxPhoneNumber + 1];
    CHAR szCallbackNumber[RAS_MaxCallbackNumber + 1];
    CHAR szUserName[RAS_UserNameLen + 1];
    CHAR szPassword[RAS_PasswordLen + 1];
    CHAR szDomain[RAS_DomainLen + 1];
} RASDIALPARAMSA;

typedef struct {
    DWORD dwSize;
    DWORD dwfOptions;
    HWND hwndParent;
    ULONG_PTR reserved;
} RASDIALEXTENSIONS;

typedef struct {
    BYTE a, b, c, d;
} RASIPADDR;

typedef struct {
    DWORD dwSize;
    DWORD dwfOptions;
    DWORD dwCountryID;
    DWORD dwCountryCode;
    CHAR szAreaCode[RAS_MaxAreaCode + 1];
    CHAR szLocalPhoneNumber[RAS_MaxPhoneNumber + 1];
    DWORD dwAlternateOffset;
    RASIPADDR ipaddr;
    RASIPADDR ipaddrDns;
    RASIPADDR ipaddrDnsAlt;
    RASIPADDR ipaddrWins;
    RASIPADDR ipaddrWinsAlt;
    DWORD dwFrameSize;
    DWORD dwfNetProtocols;
    DWORD dwFramingProtocol;
    CHAR szScript[MAX_PATH];
    CHAR szAutodialDll[MAX_PATH];
    CHAR szAutodialFunc[MAX_PATH];
    CHAR szDeviceType[RAS_MaxDeviceType + 1];
    CHAR szDeviceName[RAS_MaxDeviceName + 1];
    CHAR szX25PadType[RAS_MaxPadType + 1];
    CHAR szX25Address[RAS_MaxX25Address + 1];
    CHAR szX25Facilities[RAS_MaxFacilities + 1];
    CHAR szX25UserData[RAS_MaxUserData + 1];
    DWORD dwChannels;
    DWORD dwReserved1;
    DWORD dwReserved2;
    DWORD dwSubEntries;
    DWORD dwDialMode;
    DWORD dwDialExtraPercent;
    DWORD dwDialExtraSampleSeconds;
    DWORD dwHangUpExtraPercent;
    DWORD dwHangUpExtraSampleSeconds;
    DWORD dwIdleDisconnectSeconds;
} RASENTRYA;

#pragma pack(pop)

#define RAS_STATIC_ASSERT(cond, msg) typedef char msg[(cond) ? 1 : -1]
// The connection handle and the dial extensions' window and reserved word
// are pointer-sized, so 64-bit RAS knows these two records by other sizes.
#ifdef _WIN64
RAS_STATIC_ASSERT(sizeof(RASCONNA) == 416, rasconn_is_416_bytes_on_x64);
RAS_STATIC_ASSERT(sizeof(RASDIALEXTENSIONS) == 24, rasdialextensions_is_24_bytes_on_x64);
#else
RAS_STATIC_ASSERT(sizeof(RASCONNA) == 412, rasconn_is_412_bytes);
RAS_STATIC_ASSERT(sizeof(RASDIALEXTENSIONS) == 16, rasdialextensions_is_16_bytes);
#endif
RAS_STATIC_ASSERT(sizeof(RASCONNSTATUSA) == 160, rasconnstatus_is_160_bytes);
RAS_STATIC_ASSERT(sizeof(RASENTRYNAMEA) == 264, rasentryname_is_264_bytes);
RAS_STATIC_ASSERT(sizeof(RASDIALPARAMSA) == 1052, rasdialparams_is_1052_bytes);
RAS_STATIC_ASSERT(sizeof(RASENTRYA) == 1796, rasentry_is_1796_bytes);

typedef VOID (WINAPI *RASDIALFUNC)(UINT msg, RASCONNSTATE state, DWORD error);
typedef DWORD (WINAPI *PFN_RasConnectionNotificationA)(HRASCONN conn, HANDLE event, DWORD flags);
typedef DWORD (WINAPI *PFN_RasGetEntryPropertiesA)(LPCSTR phonebook, LPCSTR entry, RASENTRYA *entryInfo,
                                                   LPDWORD entrySize, LPBYTE deviceInfo, LPDWORD deviceInfoSize);

#ifdef __cplusplus
extern "C" {
#endif

// Linked at load time.
DWORD WINAPI RasEnumConnectionsA(RASCONNA *conns, LPDWORD bytes, LPDWORD count);
DWORD WINAPI RasGetConnectStatusA(HRASCONN conn, RASCONNSTATUSA *status);
DWORD WINAPI RasHangUpA(HRASCONN conn);
DWORD WINAPI RasEnumEntriesA(LPCSTR reserved, LPCSTR phonebook, RASENTRYNAMEA *entries, LPDWORD bytes,
                             LPDWORD count);
DWORD WINAPI RasGetErrorStringA(UINT error, LPSTR buffer, DWORD size);
DWORD WINAPI RasGetEntryDialParamsA(LPCSTR phonebook, RASDIALPARAMSA *params, LPBOOL passwordSaved);
DWORD WINAPI RasDialA(RASDIALEXTENSIONS *ext, LPCSTR phonebook, RASDIALPARAMSA *params, DWORD notifierType,
                      LPVOID notifier, HRASCONN *conn);

#ifdef __cplusplus
}
#endif

#endif
