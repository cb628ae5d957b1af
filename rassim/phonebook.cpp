// The simulated phonebook and connection list: enumeration, status,
// hang-up, entry properties and dial parameters, and their control calls.
#include "simstate.h"

#include <stdio.h>
#include <string.h>

#include "rassim.h"

namespace {

const DWORD RASEO_SwCompression = 0x00000200;

int ConnCount() {
    int n = 0;
    for (int i = 0; i < kMaxConns; i++)
        if (g_state->conns[i].handle) n++;
    return n;
}

struct ErrorText {
    DWORD code;
    const char *text;
};

const ErrorText kErrorTexts[] = {
    {ERROR_INVALID_HANDLE, "The connection handle is not valid."},
    {ERROR_NOT_ENOUGH_MEMORY, "There is not enough memory to complete the operation."},
    {ERROR_INVALID_PARAMETER, "A parameter passed to Remote Access is not valid."},
    {600, "An operation is pending."},
    {602, "The port is already open."},
    {603, "The caller's buffer is too small."},
    {608, "The device does not exist."},
    {610, "The caller's buffer is not valid."},
    {619, "The port has been disconnected."},
    {621, "The phonebook file cannot be opened."},
    {623, "The phonebook entry cannot be found."},
    {629, "The remote computer closed the connection."},
    {632, "The structure size is incorrect."},
    {668, "The connection was dropped."},
    {676, "The line is busy."},
    {678, "There is no answer."},
    {680, "There is no dial tone."},
    {691, "Access was denied because the user name or password is not valid."},
    {711, "The Remote Access Service Manager could not start."},
    {718, "The remote computer did not respond in time."},
};

// Today's Windows words its VPN errors at length (800's text runs to 261
// characters, 809's to 419): texts of about those lengths.
const ErrorText kLongErrorTexts[] = {
    {800, "The remote connection could not be made because every VPN tunnel that was tried failed. The VPN serv"
          "er may not be reachable. Where this connection tries an L2TP/IPsec tunnel, the security settings tha"
          "t the IPsec negotiation needs may not be set up as they should be on this computer."},
    {809, "The network connection between this computer and the VPN server could not be made because the remote"
          " server does not respond. One of the network devices between this computer and the remote server (a "
          "firewall, a NAT device or a router, for example) may not be set up to let VPN connections through. A"
          "sk your administrator or your service provider which of those devices may be the cause, and have it "
          "set up again for this kind of tunnel."},
};

const char *ErrorTextOf(DWORD error) {
    for (size_t i = 0; i < sizeof(kErrorTexts) / sizeof(kErrorTexts[0]); i++)
        if (kErrorTexts[i].code == error) return kErrorTexts[i].text;
    for (size_t i = 0; g_state->longErrorTexts && i < sizeof(kLongErrorTexts) / sizeof(kLongErrorTexts[0]); i++)
        if (kLongErrorTexts[i].code == error) return kLongErrorTexts[i].text;
    return NULL;
}

}  // namespace

// ---- the RAS entry points ---------------------------------------------------

extern "C" DWORD WINAPI RasEnumConnectionsA(RASCONNA *conns, LPDWORD bytes, LPDWORD count) {
    if (!Attach()) return ERROR_NOT_ENOUGH_MEMORY;
    Guard g;
    LogCallLocked("RasEnumConnectionsA", NULL);
    if (DWORD f = FaultLocked(OP_ENUM)) return f;
    if (!bytes || !count) return ERROR_INVALID_PARAMETER;
    if (!conns) return 610;
    if (conns->dwSize != sizeof(RASCONNA)) return RAS_ERROR_INVALID_SIZE;
    DWORD n = ConnCount();
    DWORD need = n * sizeof(RASCONNA);
    *count = n;
    if (*bytes < need) {
        *bytes = need;
        return RAS_ERROR_BUFFER_TOO_SMALL;
    }
    RASCONNA *out = conns;
    for (int i = 0; i < kMaxConns; i++) {
        const Conn &c = g_state->conns[i];
        if (!c.handle) continue;
        ZeroMemory(out, sizeof(*out));
        out->dwSize = sizeof(RASCONNA);
        out->hrasconn = (HRASCONN)(DWORD_PTR)c.handle;
        lstrcpynA(out->szEntryName, c.entry, sizeof(out->szEntryName));
        lstrcpynA(out->szDeviceType, "modem", sizeof(out->szDeviceType));
        lstrcpynA(out->szDeviceName, "Simulated Modem", sizeof(out->szDeviceName));
        out++;
    }
    *bytes = need;
    return 0;
}

extern "C" DWORD WINAPI RasGetConnectStatusA(HRASCONN conn, RASCONNSTATUSA *status) {
    if (!Attach()) return ERROR_NOT_ENOUGH_MEMORY;
    Guard g;
    Conn *c = FindConn((DWORD)(DWORD_PTR)conn);
    LogCallLocked("RasGetConnectStatusA", c ? c->entry : NULL);
    if (DWORD f = FaultLocked(OP_STATUS)) return f;
    if (!status) return ERROR_INVALID_PARAMETER;
    if (status->dwSize != sizeof(RASCONNSTATUSA)) return RAS_ERROR_INVALID_SIZE;
    if (!c) return ERROR_INVALID_HANDLE;
    BOOL stale = c->goneAt && c->staleUntil && (LONG)(c->staleUntil - GetTickCount()) > 0;
    status->rasconnstate = stale ? c->lastState : c->state;
    status->dwError = c->error;
    lstrcpynA(status->szDeviceType, "modem", sizeof(status->szDeviceType));
    lstrcpynA(status->szDeviceName, "Simulated Modem", sizeof(status->szDeviceName));
    return 0;
}

extern "C" DWORD WINAPI RasHangUpA(HRASCONN conn) {
    if (!Attach()) return ERROR_NOT_ENOUGH_MEMORY;
    Guard g;
    Conn *c = FindConn((DWORD)(DWORD_PTR)conn);
    LogCallLocked("RasHangUpA", c ? c->entry : NULL);
    if (DWORD f = FaultLocked(OP_HANGUP)) return f;
    if (!c) return ERROR_INVALID_HANDLE;
    // A link dialled again while connected ends with its last reference.
    if (c->refs && !c->goneAt) {
        c->refs--;
        return 0;
    }
    EndConnLocked(c);
    return 0;
}

extern "C" DWORD WINAPI RasEnumEntriesA(LPCSTR reserved, LPCSTR, RASENTRYNAMEA *entries, LPDWORD bytes,
                                        LPDWORD count) {
    if (!Attach()) return ERROR_NOT_ENOUGH_MEMORY;
    Guard g;
    LogCallLocked("RasEnumEntriesA", NULL);
    if (DWORD f = FaultLocked(OP_ENTRIES)) return f;
    if (reserved || !bytes || !count) return ERROR_INVALID_PARAMETER;
    if (!entries) return 610;
    if (entries->dwSize != sizeof(RASENTRYNAMEA)) return RAS_ERROR_INVALID_SIZE;
    DWORD n = g_state->entryCount;
    DWORD need = n * sizeof(RASENTRYNAMEA);
    *count = n;
    if (*bytes < need) {
        *bytes = need;
        return RAS_ERROR_BUFFER_TOO_SMALL;
    }
    for (DWORD i = 0; i < n; i++) {
        entries[i].dwSize = sizeof(RASENTRYNAMEA);
        lstrcpynA(entries[i].szEntryName, g_state->entries[i].name, sizeof(entries[i].szEntryName));
    }
    *bytes = need;
    return 0;
}

extern "C" DWORD WINAPI RasGetErrorStringA(UINT error, LPSTR buffer, DWORD size) {
    if (!Attach()) return ERROR_NOT_ENOUGH_MEMORY;
    Guard g;
    LogCallLocked("RasGetErrorStringA", NULL);
    if (!buffer) return ERROR_INVALID_PARAMETER;
    const char *text = ErrorTextOf(error);
    if (!text) return ERROR_INVALID_PARAMETER;  // RAS has no text for it
    DWORD len = lstrlenA(text);
    if (size < len + 1) return ERROR_INSUFFICIENT_BUFFER;
    memcpy(buffer, text, len + 1);
    return 0;
}

extern "C" DWORD WINAPI RasGetEntryDialParamsA(LPCSTR, RASDIALPARAMSA *params, LPBOOL passwordSaved) {
    if (!Attach()) return ERROR_NOT_ENOUGH_MEMORY;
    Guard g;
    LogCallLocked("RasGetEntryDialParamsA", params ? params->szEntryName : NULL);
    if (DWORD f = FaultLocked(OP_DIALPARAMS)) return f;
    if (!params || !passwordSaved) return ERROR_INVALID_PARAMETER;
    if (params->dwSize != sizeof(RASDIALPARAMSA)) return RAS_ERROR_INVALID_SIZE;
    Entry *e = FindEntry(params->szEntryName);
    if (!e) return 623;
    lstrcpynA(params->szPhoneNumber, "555-0100", sizeof(params->szPhoneNumber));
    params->szCallbackNumber[0] = 0;
    lstrcpynA(params->szUserName, "demo", sizeof(params->szUserName));
    lstrcpynA(params->szPassword, e->passwordSaved ? "********" : "", sizeof(params->szPassword));
    params->szDomain[0] = 0;
    *passwordSaved = e->passwordSaved;
    return 0;
}

extern "C" DWORD WINAPI RasGetEntryPropertiesA(LPCSTR, LPCSTR entry, RASENTRYA *info, LPDWORD size,
                                               LPBYTE, LPDWORD deviceSize) {
    if (!Attach()) return ERROR_NOT_ENOUGH_MEMORY;
    Guard g;
    LogCallLocked("RasGetEntryPropertiesA", entry);
    if (!size) return ERROR_INVALID_PARAMETER;
    if (!info || *size < sizeof(RASENTRYA)) {
        *size = sizeof(RASENTRYA);
        return RAS_ERROR_BUFFER_TOO_SMALL;
    }
    if (info->dwSize != sizeof(RASENTRYA)) return RAS_ERROR_INVALID_SIZE;
    Entry *e = entry ? FindEntry(entry) : NULL;
    if (!e) return 623;
    ZeroMemory(info, sizeof(*info));
    info->dwSize = sizeof(RASENTRYA);
    if (e->compression) info->dwfOptions |= RASEO_SwCompression;
    lstrcpynA(info->szLocalPhoneNumber, "555-0100", sizeof(info->szLocalPhoneNumber));
    lstrcpynA(info->szDeviceType, "modem", sizeof(info->szDeviceType));
    lstrcpynA(info->szDeviceName, "Simulated Modem", sizeof(info->szDeviceName));
    *size = sizeof(RASENTRYA);
    if (deviceSize) *deviceSize = 0;
    return 0;
}

// ---- control interface: phonebook and connections ------------------------------

extern "C" DWORD WINAPI RasSimAddEntry(LPCSTR name, BOOL passwordSaved) {
    if (!name || !*name || lstrlenA(name) > RAS_MaxEntryName) return ERROR_INVALID_PARAMETER;
    if (!Attach()) return ERROR_NOT_ENOUGH_MEMORY;
    Guard g;
    if (FindEntry(name)) return ERROR_ALREADY_EXISTS;
    if (g_state->entryCount == kMaxEntries) return ERROR_NOT_ENOUGH_MEMORY;
    Entry *e = &g_state->entries[g_state->entryCount++];
    ZeroMemory(e, sizeof(*e));
    lstrcpynA(e->name, name, sizeof(e->name));
    e->passwordSaved = passwordSaved;
    e->speaker = TRUE;
    e->compression = TRUE;
    return 0;
}

extern "C" DWORD WINAPI RasSimSetEntryOptions(LPCSTR name, BOOL speaker, BOOL compression, BOOL prefixSuffix) {
    if (!name || !Attach()) return ERROR_INVALID_PARAMETER;
    Guard g;
    Entry *e = FindEntry(name);
    if (!e) return 623;
    e->speaker = speaker;
    e->compression = compression;
    e->prefixSuffix = prefixSuffix;
    return 0;
}

extern "C" DWORD WINAPI RasSimRemoveEntry(LPCSTR name) {
    if (!name || !Attach()) return ERROR_INVALID_PARAMETER;
    Guard g;
    Entry *e = FindEntry(name);
    if (!e) return 623;
    int i = (int)(e - g_state->entries);
    memmove(e, e + 1, (g_state->entryCount - i - 1) * sizeof(Entry));
    g_state->entryCount--;
    return 0;
}

extern "C" DWORD WINAPI RasSimSetState(LPCSTR name, DWORD state) {
    if (!name || !*name || lstrlenA(name) > RAS_MaxEntryName) return ERROR_INVALID_PARAMETER;
    if (!Attach()) return ERROR_NOT_ENOUGH_MEMORY;
    Guard g;
    // A link of the entry still being hung up holds its port, for another
    // program's dial too.
    Conn *c = FindConnByName(name, true);
    if (c && c->goneAt) return 602;
    if (!c) c = NewConn(name, RASCS_OpenPort);
    if (!c) return ERROR_NOT_ENOUGH_MEMORY;
    c->error = 0;
    SetConnStateLocked(c, state);
    return 0;
}

extern "C" DWORD WINAPI RasSimDrop(LPCSTR name) {
    if (!Attach()) return ERROR_NOT_ENOUGH_MEMORY;
    Guard g;
    bool any = false;
    for (int i = 0; i < kMaxConns; i++) {
        Conn *c = &g_state->conns[i];
        if (c->handle && !c->goneAt && (!name || strcmp(c->entry, name) == 0)) {
            EndConnLocked(c);
            any = true;
        }
    }
    return any || !name ? 0 : ERROR_NOT_FOUND;
}

extern "C" DWORD WINAPI RasSimSetLinger(DWORD ms) {
    if (!Attach()) return ERROR_NOT_ENOUGH_MEMORY;
    Guard g;
    g_state->lingerMs = ms;
    return 0;
}

extern "C" DWORD WINAPI RasSimListConnections(LPSTR buffer, DWORD size) {
    if (!Attach()) return 0;
    if (buffer && size) buffer[0] = 0;
    Guard g;
    DWORD used = 0;
    for (int i = 0; i < kMaxConns; i++) {
        const Conn &c = g_state->conns[i];
        if (!c.handle) continue;
        char line[RAS_MaxEntryName + 32];
        _snprintf(line, sizeof(line), "%s\t%lu\n", c.entry, c.state);
        line[sizeof(line) - 1] = 0;
        Append(buffer, size, &used, line);
    }
    return used + 1;
}
