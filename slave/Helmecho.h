// The slave module: subscribes to one master and mirrors its simulation.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Platform.h"
#include "UdpSocket.h"

class Message;
class StartMessage;
class VesselMessage;
class Vessel2Message;
class FocusMessage;
class AnimationMessage;
class VesselStateMessage;

class Helmecho : public oapi::Module {
public:
    explicit Helmecho(HINSTANCE instance);
    ~Helmecho() override = default;

    void clbkSimulationStart(RenderMode mode) override;
    void clbkSimulationEnd() override;
    void clbkPreStep(double simt, double simdt, double mjd) override;
    void clbkPostStep(double simt, double simdt, double mjd) override;

    // Takes in the messages of at most one update and acknowledges it once
    // its end has arrived.
    void ReceiveUpdate();

    SOCKET sock = INVALID_SOCKET;
    int32_t firstSeq = -1;  // -1: nothing received in this statistics interval
    int32_t lastSeq = 0;
    int32_t lostCount = 0;
    int32_t droppedCount = 0;
    int32_t updateCount = 0;
    int32_t prevBacklog = kSocketReceiveBuffer;
    double lastReportTime = 0.0;
    sockaddr_in masterAddr;
    int32_t switchFocus = 0;
    int32_t debug = 0;
    int32_t waitForMaster = 0;
    int32_t sendKeys = 0;
    double azimuth = 0.0;    // degrees
    double elevation = 0.0;  // degrees
    double delaySquareSum = 0.0;  // s^2
    double delaySum = 0.0;        // s

    // Room for the longest masterIP kept (255 characters) and its terminator.
    static constexpr size_t kMasterIPCapacity = 256;

private:
    void readConfiguration(char (&masterIP)[kMasterIPCapacity], int32_t& masterPort);
    void openSocket();
    u_long pendingBytes() const;
    void countSequence(int32_t seq);
    void dispatch(Message& message);
    void synchroniseTime(const StartMessage& start);
    void applyBacklogRule();
    void applyVessel(VesselMessage& message);
    void applyVessel2(Vessel2Message& message);
    void applyFocus(FocusMessage& message);
    void applyAnimation(AnimationMessage& message);
    void applyScenarioText(VesselStateMessage& message);
    void endStatisticsInterval();
    void logStatistics();

    // The temporary text file failed: said once until it works again.
    bool textFileReported = false;
};

constexpr const char* kSlaveModuleFile = "Helmecho.dll";
constexpr const char* kSlaveLogFile = "Helmecho.log";
constexpr const char* kSlaveConfigFile = "Helmecho.cfg";
