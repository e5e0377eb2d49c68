#include "Helmcast.h"

#include <cstring>

#include "Log.h"
#include "Message.h"

namespace {

HINSTANCE moduleInstance = nullptr;

constexpr int kReceiveBufferBytes = 1000000;
constexpr int kClassListCapacity = 1024;

// The host's item readers take a writable key name.
bool ReadInt(FILEHANDLE file, const char* key, int32_t& value) {
    char item[64];
    std::snprintf(item, sizeof item, "%s", key);
    int read = 0;
    if (!oapiReadItem_int(file, item, read)) return false;
    value = read;
    return true;
}

}  // namespace

// ---- Entry points ----

DLLCLBK void InitModule(HINSTANCE instance) {
    OpenLog(kMasterLogFile);
    moduleInstance = instance;
    oapiRegisterModule(new Helmcast(instance));
}

DLLCLBK void ExitModule(HINSTANCE) { CloseLog(); }

DLLCLBK const char* ModuleDate() { return "Sep 15 2014"; }

// Vessels offering the XR interface export this flag; the module carries it
// as every XR-aware plug-in does, and never reads it.
HELM_EXPORT const bool XRVesselCtrlFlag = true;

// ---- Module object ----

Helmcast::Helmcast(HINSTANCE instance) : oapi::Module(instance) {}

Helmcast::~Helmcast() { closeSocket(); }

void Helmcast::clbkPreStep(double, double, double) {}

std::vector<std::string> SplitClassList(const char* value) {
    std::vector<std::string> names;
    const char* p = value;
    while (*p != '\0') {
        while (*p == ' ' || *p == '\t' || *p == ',') ++p;
        const char* start = p;
        while (*p != '\0' && *p != ' ' && *p != '\t' && *p != ',') ++p;
        if (p > start) names.emplace_back(start, p);
    }
    return names;
}

void Helmcast::readConfiguration(int& masterPort) {
    FILEHANDLE file = oapiOpenFile(kMasterConfigFile, FILE_IN, CONFIG);

    debug = 0;
    waitForClients = 0;
    waitForACK = 0;
    maxUpdateRate = 30;
    int32_t port = 40000;
    readOnly = 0;

    ReadInt(file, "debug", debug);
    if (debug) LOG("Config: debug=%d", debug);
    ReadInt(file, "waitForClients", waitForClients);
    if (debug) LOG("Config: waitForClients=%d", waitForClients);
    ReadInt(file, "waitForACK", waitForACK);
    if (debug) LOG("Config: waitForACK=%d", waitForACK);
    ReadInt(file, "maxUpdateRate", maxUpdateRate);
    if (debug) LOG("Config: maxUpdateRate=%d", maxUpdateRate);
    ReadInt(file, "masterPort", port);
    if (debug) LOG("Config: masterPort=%d", port);
    ReadInt(file, "readOnly", readOnly);
    if (debug) LOG("Config: readOnly=%d", readOnly);
    masterPort = port;

    char item[] = "textSyncClasses";
    char value[kClassListCapacity] = {};
    // The host's reader knows no capacity: give it room for a whole line and
    // keep at most 1023 characters.
    static char line[16384];
    line[0] = '\0';
    if (oapiReadItem_string(file, item, line)) {
        std::snprintf(value, sizeof value, "%s", line);
        if (debug) LOG("Config: textSyncClasses=%s", value);
        for (const std::string& name : SplitClassList(value)) {
            if (debug) LOG("Config: using text sync for vessel class %s", name.c_str());
            textSyncClasses.push_back(name);
        }
    }

    if (file != nullptr) oapiCloseFile(file, FILE_IN);
}

bool Helmcast::openSocket(int masterPort) {
    WSADATA wsaData;
    WSAStartup(MAKEWORD(2, 2), &wsaData);

    sock = socket(AF_INET, SOCK_DGRAM, 0);

    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    // Only the low 16 bits of the configured port count.
    address.sin_port = htons(static_cast<uint16_t>(masterPort));
    if (bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) < 0) {
        LOG("bind() error: %d", WSAGetLastError());
        return false;
    }

    int receiveBuffer = kReceiveBufferBytes;
    if (setsockopt(sock, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&receiveBuffer),
                   sizeof receiveBuffer) == SOCKET_ERROR) {
        LOG("setsockopt() error: %d", WSAGetLastError());
        return false;
    }
    int reuse = 1;
    if (setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse), sizeof reuse) ==
        SOCKET_ERROR) {
        LOG("setsockopt() error: %d", WSAGetLastError());
        return false;
    }

    // A slave that went away must not turn our next receive into an error.
    DWORD reportResets = 0;
    DWORD bytesReturned = 0;
    if (WSAIoctl(sock, SIO_UDP_CONNRESET, &reportResets, sizeof reportResets, nullptr, 0, &bytesReturned, nullptr,
                 nullptr) == SOCKET_ERROR) {
        LOG("WSAIoctl() error: %d", WSAGetLastError());
        return false;
    }
    return true;
}

void Helmcast::closeSocket() {
    if (sock != INVALID_SOCKET) {
        closesocket(sock);
        sock = INVALID_SOCKET;
    }
}

void Helmcast::initServer() {
    serverReady = false;
    int masterPort = 40000;
    readConfiguration(masterPort);

    // A failed attempt leaves no socket behind to hold the port or leak.
    closeSocket();
    if (!openSocket(masterPort)) {
        closeSocket();
        return;
    }
    if (debug) LOG("UDP server created");
    serverReady = true;
}

void Helmcast::saveScenario() { oapiSaveScenario(kSyncScenarioName, ""); }

void Helmcast::clbkSimulationStart(RenderMode) {
    if (!serverReady) initServer();
    saveScenario();
    lastSaveTime = oapiGetSysTime();
    lastUpdateTime = oapiGetSysTime();
    if (debug) {
        for (DWORD i = 0; i < oapiGetVesselCount(); ++i) {
            VESSEL* vessel = oapiGetVesselInterface(oapiGetVesselByIndex(static_cast<int>(i)));
            if (vessel == nullptr) continue;
            LOG("Vessel #%d: name=%s class=%s", static_cast<int>(i), vessel->GetName(), vessel->GetClassNameA());
        }
    }
    InstallKeyboardHook(kMasterModuleFile);
}

void Helmcast::clbkSimulationEnd() {
    UnhookWindowsHookEx(keyboardHook);
    keyboardHook = nullptr;
}

void Helmcast::clbkPostStep(double, double, double) {
    if (!serverReady) return;
}
