// The animation detour: a vessel's own animation calls are held back on the
// slave, the master's animation states pass.
#include "SlaveFixture.h"

namespace {

using ::testing::ElementsAre;

class AnimationDetour : public SlaveFixture {
protected:
    // A vessel class whose animation 0 turns on its own.
    static void RegisterSpinner() {
        simhost::GenericClassSpec description = SlaveClassOfVersion(2);
        description.animationRate = 0.5;
        simhost::RegisterGenericClass("Spinner", description);
    }

    void sendAnimation(const std::string& name, std::vector<double> states, int32_t count) const {
        wire::AnimationRecord r{};
        r.header = {wire::kAnimation, 0};
        CopyName(r.vesselName, name);
        r.animCount = count;
        for (size_t i = 0; i < states.size() && i < 16; ++i) r.animStates[i] = states[i];
        send(r);
    }

    std::vector<std::string> linesFrom(const std::string& source) const {
        std::vector<std::string> texts;
        for (const auto& line : rawLog())
            if (line.find(source) != std::string::npos) texts.push_back(LogText(line));
        return texts;
    }
};

TEST_F(AnimationDetour, OwnAnimationIsHeldWhileTheMastersStatesApply) {
    RegisterSpinner();
    start();
    AddVessel("spin", "Spinner");
    VESSEL* vessel = Vessel("spin");
    ASSERT_NE(vessel, nullptr);
    for (int i = 0; i < 5; ++i) harness.host().step(0.1);
    EXPECT_THAT(AnimationStates(*vessel), ElementsAre(0.0, 0.0, 0.0)) << "its own animation does not move";

    sendAnimation("spin", {0.25, 0.5, 0.75}, 3);
    step();
    EXPECT_THAT(AnimationStates(*vessel), ElementsAre(0.25, 0.5, 0.75));

    for (int i = 0; i < 5; ++i) harness.host().step(0.1);
    EXPECT_THAT(AnimationStates(*vessel), ElementsAre(0.25, 0.5, 0.75));
}

TEST_F(AnimationDetour, CountsOfZeroOrBelowSetNothing) {
    RegisterSpinner();
    start();
    AddVessel("spin", "Spinner");
    sendAnimation("spin", {0.25, 0.5, 0.75}, 0);
    sendAnimation("spin", {0.25, 0.5, 0.75}, -3);
    sendAnimation("spin", {0.25, 0.5, 0.75}, 1);
    step();
    EXPECT_THAT(AnimationStates(*Vessel("spin")), ElementsAre(0.25, 0.0, 0.0));
}

TEST_F(AnimationDetour, ReplacementPassesCallsOnlyWhileApplyingTheMastersState) {
    RegisterSpinner();
    start();
    AddVessel("spin", "Spinner");
    VESSEL* vessel = Vessel("spin");
    EXPECT_TRUE(vessel->SetAnimation(2, 0.5));
    EXPECT_EQ(AnimationStates(*vessel)[2], 0.0);

    applyingMasterState = true;
    EXPECT_TRUE(vessel->SetAnimation(2, 0.5));
    EXPECT_FALSE(vessel->SetAnimation(7, 0.5)) << "the host's own answer for an animation it lacks";
    applyingMasterState = false;
    EXPECT_EQ(AnimationStates(*vessel)[2], 0.5);
}

TEST_F(AnimationDetour, WrongHostVersionRunsWithoutTheDetour) {
    simhost::HostOptions options;
    options.orbiterVersion = 100829;
    start("", &options);
    RegisterSpinner();
    AddVessel("spin", "Spinner");
    EXPECT_THAT(linesFrom("HookVessel.cpp"), ElementsAre("ERROR: Unsupported orbiter version!"));
    EXPECT_EQ(vesselHookHandle, nullptr);
    harness.host().step(0.1);
    EXPECT_GT(AnimationStates(*Vessel("spin"))[0], 0.0) << "the vessel animates itself";
    harness.host().endSimulation();
    EXPECT_EQ(vesselHookHandle, nullptr);
}

TEST_F(AnimationDetour, SilentWithoutDebugAndReleasesTheHandleAtTheEnd) {
    start();
    EXPECT_TRUE(linesFrom("HookVessel.cpp").empty());
    EXPECT_NE(vesselHookHandle, nullptr);
    harness.host().endSimulation();
    EXPECT_EQ(vesselHookHandle, nullptr);
    EXPECT_TRUE(linesFrom("HookVessel.cpp").empty());
}

TEST_F(AnimationDetour, DebugReportsInstallationAndRemoval) {
    start("debug = 1\n");
    harness.host().endSimulation();
    const auto lines = linesFrom("HookVessel.cpp");
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[0], "Hooking vessel...");
    const char* prefixes[] = {
        "VESSEL::SetAnimation=", "VesselDetour::SetAnimation=", "vd=", "target=", "*target=", "*hook="};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(lines[1 + i].rfind(prefixes[i], 0), 0u) << lines[1 + i];
    EXPECT_EQ(lines[7], "Vessel hooked");
    EXPECT_EQ(lines[8], "Unhooking vessel...");
    EXPECT_EQ(lines[9], "Vessel unhooked");
    // The replacement handed over is the one reported.
    EXPECT_EQ(lines[2].substr(lines[2].find('=')), lines[6].substr(lines[6].find('=')));
}

}  // namespace
