// The host clock and the module frame: load, callbacks in order, unload.
#include <string>
#include <vector>

#include "TestPaths.h"
#include "HostTestFixture.h"

namespace {

std::vector<std::string> events;

class Recorder : public oapi::Module {
public:
    explicit Recorder(HINSTANCE h) : oapi::Module(h) {}
    ~Recorder() override { events.push_back("deleted"); }
    void clbkSimulationStart(RenderMode mode) override { events.push_back("start " + std::to_string(mode)); }
    void clbkSimulationEnd() override { events.push_back("end"); }
    void clbkPreStep(double simt, double simdt, double) override {
        events.push_back("pre " + std::to_string(simt) + " " + std::to_string(simdt));
    }
    void clbkPostStep(double simt, double simdt, double mjd) override {
        events.push_back("post " + std::to_string(simt) + " " + std::to_string(simdt));
        lastMjd = mjd;
        VESSEL* spinner = oapiGetVesselInterface(oapiGetVesselByName(const_cast<char*>("Spin")));
        if (spinner != nullptr) {
            ANIMATION* list = nullptr;
            spinner->GetAnimPtr(&list);
            events.push_back("anim " + std::to_string(list[0].state));
        }
    }
    void clbkTimeAccChanged(double now, double before) override {
        events.push_back("warp " + std::to_string(now) + " " + std::to_string(before));
    }
    void clbkPause(bool pause) override { events.push_back(pause ? "pause" : "resume"); }
    void clbkTimeJump(double, double simdt, double) override { events.push_back("jump " + std::to_string(simdt)); }
    double lastMjd = 0.0;
};

HINSTANCE initHandle = nullptr;
void Init(HINSTANCE h) {
    initHandle = h;
    oapiRegisterModule(new Recorder(h));
}
void Exit(HINSTANCE) { events.push_back("exit"); }

class ClockAndModules : public HostTest {
protected:
    ClockAndModules() { events.clear(); }
    Recorder& attach() {
        host().attachInProcessModule("Recorder.dll", &Init, &Exit);
        return *dynamic_cast<Recorder*>(host().registeredModules().back());
    }
};

TEST_F(ClockAndModules, Date2IntIsYearMonthDay) {
    EXPECT_EQ(Date2Int("Aug 30 2010"), 20100830);
    EXPECT_EQ(Date2Int("Sep 15 2014"), 20140915);
    EXPECT_EQ(Date2Int("Jan  1 2000"), 20000101);
    EXPECT_EQ(Date2Int("Foo 1 2000"), 0);
    EXPECT_EQ(Date2Int(nullptr), 0);
}

TEST_F(ClockAndModules, VirtualClockAndSimulatedTimeAdvanceByStep) {
    EXPECT_DOUBLE_EQ(oapiGetSysTime(), 1000.0);
    EXPECT_DOUBLE_EQ(oapiGetSimMJD(), 60000.0);
    host().step(0.5);
    EXPECT_DOUBLE_EQ(oapiGetSysTime(), 1000.5);
    EXPECT_DOUBLE_EQ(oapiGetSimStep(), 0.5);
    oapiSetTimeAcceleration(10.0);
    host().step(0.25);
    EXPECT_DOUBLE_EQ(oapiGetSimStep(), 2.5);
    EXPECT_DOUBLE_EQ(oapiGetSimTime(), 3.0);
    EXPECT_NEAR(oapiGetSimMJD(), 60000.0 + 3.0 / 86400.0, 1e-10);
    oapiSetPause(true);
    host().step(1.0);
    EXPECT_DOUBLE_EQ(oapiGetSimStep(), 0.0);
    EXPECT_DOUBLE_EQ(oapiGetSimTime(), 3.0);
    EXPECT_DOUBLE_EQ(oapiGetSysTime(), 1001.75);
    host().setSysTime(5.0);
    EXPECT_DOUBLE_EQ(oapiGetSysTime(), 5.0);
}

TEST_F(ClockAndModules, TimeAccelerationIsClamped) {
    oapiSetTimeAcceleration(0.5);
    EXPECT_DOUBLE_EQ(oapiGetTimeAcceleration(), 1.0);
    oapiSetTimeAcceleration(1e6);
    EXPECT_DOUBLE_EQ(oapiGetTimeAcceleration(), 100000.0);
    oapiSetTimeAcceleration(250.0);
    EXPECT_DOUBLE_EQ(oapiGetTimeAcceleration(), 250.0);
}

TEST_F(ClockAndModules, CallbacksComeInTheHostsOrder) {
    simhost::GenericClassSpec spin;
    spin.animations = 1;
    spin.animationRate = 0.125;
    simhost::RegisterGenericClass("Spinner", spin);
    orbiting("Spin", "Spinner");
    Recorder& module = attach();
    EXPECT_NE(GetModuleHandleA("Recorder"), nullptr);
    EXPECT_EQ(GetModuleHandleA("Recorder"), initHandle);
    EXPECT_EQ(module.GetModule(), initHandle);

    host().startSimulation();
    host().step(1.0);
    oapiSetTimeAcceleration(2.0);
    oapiSetPause(true);
    oapiSetSimMJD(60001.0, 0x22);
    host().endSimulation();
    host().unloadModules();

    std::vector<std::string> expected = {"start 0",
                                         "pre 0.000000 1.000000",
                                         "post 1.000000 1.000000",
                                         "anim 0.125000",  // the vessels' post-step ran first
                                         "warp 2.000000 1.000000",
                                         "pause",
                                         "jump " + std::to_string((60001.0 - 60000.0 - 1.0 / 86400.0) * 86400.0),
                                         "end",
                                         "deleted",
                                         "exit"};
    EXPECT_EQ(events, expected);
    EXPECT_TRUE(host().registeredModules().empty());
    EXPECT_EQ(GetModuleHandleA("Recorder"), nullptr);
}

TEST_F(ClockAndModules, VersionAndCockpitDirection) {
    EXPECT_EQ(oapiGetOrbiterVersion(), 100830);
    simhost::HostOptions options;
    options.orbiterVersion = 60929;
    host().reset(options);
    EXPECT_EQ(oapiGetOrbiterVersion(), 60929);
    oapiCameraSetCockpitDir(0.25, -0.5);
    EXPECT_DOUBLE_EQ(host().lastCockpitPolar(), 0.25);
    EXPECT_DOUBLE_EQ(host().lastCockpitAzimuth(), -0.5);
}

}  // namespace

namespace {

TEST_F(ClockAndModules, PluginFromAFileIsLoadedCalledAndUnloaded) {
    const std::string bin = BinDir();
    const std::string path = bin + "/HostTestPlugin.so";
    oapiDebugString()[0] = '\0';
    std::string error;
    ASSERT_TRUE(host().loadModule(path, &error)) << error;
    EXPECT_NE(GetModuleHandleA("HostTestPlugin.dll"), nullptr);
    ASSERT_EQ(host().registeredModules().size(), 1u);
    host().startSimulation();
    host().step(0.1);
    host().unloadModules();
    EXPECT_EQ(host().debugString(), "init;start;step-own-handle;deleted;exit;");
    EXPECT_EQ(GetModuleHandleA("HostTestPlugin"), nullptr);

    EXPECT_FALSE(host().loadModule(bin + "/NoSuchPlugin.so", &error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
