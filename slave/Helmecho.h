// The slave module: subscribes to one master and mirrors its simulation.
#pragma once

#include <cstddef>
#include <cstdint>

#include <memory>
#include <set>
#include <string>

#include "ClockSlew.h"
#include "DateFollower.h"
#include "LinkStatistics.h"
#include "Platform.h"
#include "MasterTakeIn.h"
#include "SequenceWindow.h"
#include "Subscription.h"
#include "ThrottledReport.h"
#include "Message.h"
#include "UdpSocket.h"
#include "VesselApply.h"

class Message;
class StartMessage;
class VesselMessage;
class Vessel2Message;
class FocusMessage;
class AnimationMessage;
class VesselStateMessage;

// Helmecho.cfg, with each key's default.
struct SlaveSettings {
    int32_t debug = 0;
    char masterIP[256] = "127.0.0.1";  // 255 characters at most are kept
    int32_t masterPort = kDefaultMasterPort;
    int32_t switchFocus = 0;
    int32_t waitForMaster = 0;
    int32_t sendKeys = 0;
    double elevation = 0.0;  // degrees
    double azimuth = 0.0;    // degrees
    // Vessels this slave creates at most: far more than any simulation
    // holds, so that a forged stream of names cannot fill its memory.
    static constexpr int32_t kDefaultMaxVessels = 1000;
    int32_t maxVessels = kDefaultMaxVessels;
    // 1: a small date offset is removed by running the clock up to 1 %
    // faster or slower than the master's; 0: the date follows in steps only.
    int32_t slewDate = 1;
};

class Helmecho : public oapi::Module {
public:
    explicit Helmecho(HINSTANCE instance);
    // Closes the socket (UdpSocket does): a module unloaded and loaded again
    // must not leave one behind each time.
    ~Helmecho() override;

    void clbkSimulationStart(RenderMode mode) override;
    void clbkSimulationEnd() override;
    void clbkPreStep(double simt, double simdt, double mjd) override;
    void clbkPostStep(double simt, double simdt, double mjd) override;

    // Takes in the messages of at most one update and acknowledges it once
    // its end has arrived.
    void ReceiveUpdate();

    // What tests and tools may observe of the slave; nothing here changes it.
    const UdpSocket& Socket() const { return udp; }
    const LinkCounters& Link() const { return link; }
    int32_t PrevBacklog() const { return prevBacklog; }
    // The statistics interval's start, host system time: the subscription's last renewal.
    double LastReportTime() const { return subscription.LastHelloSeconds(); }
    const sockaddr_in& MasterAddress() const { return masterAddr; }
    bool MasterKnown() const { return masterKnown; }
    const SlaveSettings& Settings() const { return settings; }

private:
    UdpSocket udp;
    LinkCounters link;  // this statistics interval
    int32_t prevBacklog = kSocketReceiveBuffer;
    sockaddr_in masterAddr;
    bool masterKnown = true;
    SlaveSettings settings;

    void ReadConfiguration();
    void OpenSocket();
    // masterAddr from masterIP: a dotted address or a host name looked up
    // once; neither leaves masterKnown false and says so.
    void ResolveMaster(const char* masterIP);
    // Nothing is sent when the master's address is unknown: a failed lookup
    // must not send to the broadcast address inet_addr answers with.
    void SendToMaster(Message& message);
    // The next datagram of this step's receive; null when none came in time.
    const UdpSocket::Datagram* NextDatagram();
    // The message of a datagram the slave may act on; null when it is skipped
    // (not from the master, no message, a copy, part of an older update),
    // which is counted.
    // With `onlyKeys`, a fresh message of another kind is counted, not built.
    Message* Admit(const UdpSocket::Datagram& datagram, bool onlyKeys = false);
    bool FromMaster(const sockaddr_in& from) const;
    void RestartNumbering();
    void CountSequence(const MasterTakeIn::Outcome& taken);
    void ReportSkipped();
    void Dispatch(Message& message);
    void SynchroniseTime(const StartMessage& start);
    void Mirrored(MirrorOutcome outcome, const char* vesselName, const char* className);
    // False, and counted, for a state captured at a date we have not taken.
    bool CapturedNearOurDate(double capturedMjd);
    void ApplyBacklogRule();
    void ApplyScenarioText(VesselStateMessage& message);
    void EndStatisticsInterval();
    void LogStatistics();

    // The temporary text file failed: said once until it works again.
    bool textFileReported = false;

    // What of the master's is taken in.
    MasterTakeIn takeIn;
    // The first renewal falls due a second after the interval that began at load.
    Subscription subscription{0.0};
    double stepTime = 0.0;      // host system time, read once per step
    double stepInterval = 0.0;  // since the step before, in host system seconds
    DateFollower dateFollower;
    ClockSlew slew;
    ThrottledReport foreign;    // datagrams from anyone but the master
    ThrottledReport rejected;   // datagrams of the master that are no message
    ThrottledReport badValues;  // messages whose values cannot be applied here
    ThrottledReport tooManyVessels;
    ThrottledReport unsafeClasses;
    static constexpr size_t kUnsafeClassLines = 16;
    std::set<std::string> unsafeClassesReported;
    MirrorLimits mirrors;
    ReceivedMessages received;  // one object of each kind, refilled
    KeyOrder keyOrder;          // the master's key events replayed
};

constexpr const char* kSlaveModuleFile = "Helmecho.dll";
constexpr const char* kSlaveLogFile = "Helmecho.log";
constexpr const char* kSlaveConfigFile = "Helmecho.cfg";
