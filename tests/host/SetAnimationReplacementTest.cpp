// VESSEL::SetAnimation as a replaceable host entry: the replacement runs
// for the threads of its list only, and reaches the original from inside.
#include <thread>
#include <vector>

#include "HostTestFixture.h"
#include "easyhook_standin.h"

namespace {

template <class Member>
void* CodeAddress(Member member) {
    void* address = nullptr;
    std::memcpy(&address, &member, sizeof address);
    return address;
}

struct Call {
    const void* vessel;
    UINT anim;
    double state;
    DWORD thread;
};
std::vector<Call> calls;
bool passThrough = false;

// Called with `this` pointing at the VESSEL whose SetAnimation was called.
class Detour {
public:
    bool SetAnimation(UINT anim, double state) const {
        calls.push_back(Call{this, anim, state, GetCurrentThreadId()});
        if (passThrough) return reinterpret_cast<const VESSEL*>(this)->SetAnimation(anim, state);
        return true;
    }
};

class SetAnimationReplacement : public HostTest {
protected:
    SetAnimationReplacement() {
        calls.clear();
        passThrough = false;
        vessel = iface(orbiting("Anim"));
        std::memset(&hook, 0, sizeof hook);
    }
    ~SetAnimationReplacement() override {
        LhUninstallHook(&hook);
        LhWaitForPendingRemovals();
    }
    NTSTATUS install() {
        return LhInstallHook(CodeAddress(&VESSEL::SetAnimation), CodeAddress(&Detour::SetAnimation), nullptr, &hook);
    }
    double state(UINT anim) const {
        ANIMATION* list = nullptr;
        vessel->GetAnimPtr(&list);
        return list[anim].state;
    }

    VESSEL* vessel = nullptr;
    HOOK_TRACE_INFO hook;
};

TEST_F(SetAnimationReplacement, NotCalledBeforeItsThreadListIsSet) {
    ASSERT_EQ(install(), STATUS_SUCCESS);
    EXPECT_TRUE(vessel->SetAnimation(1, 0.5));
    EXPECT_TRUE(calls.empty());
    EXPECT_DOUBLE_EQ(state(1), 0.5);
}

TEST_F(SetAnimationReplacement, CalledOnThisThreadOnTheSameVessel) {
    ASSERT_EQ(install(), STATUS_SUCCESS);
    ULONG threads[1] = {0};
    ASSERT_EQ(LhSetInclusiveACL(threads, 1, &hook), STATUS_SUCCESS);
    EXPECT_TRUE(vessel->SetAnimation(1, 0.5));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].vessel, vessel);
    EXPECT_EQ(calls[0].anim, 1u);
    EXPECT_DOUBLE_EQ(calls[0].state, 0.5);
    EXPECT_EQ(calls[0].thread, GetCurrentThreadId());
    EXPECT_DOUBLE_EQ(state(1), 0.0);  // held back by the replacement

    // Other threads reach the host's own function.
    bool result = false;
    std::thread other([&] { result = vessel->SetAnimation(0, 0.25); });
    other.join();
    EXPECT_TRUE(result);
    EXPECT_EQ(calls.size(), 1u);
    EXPECT_DOUBLE_EQ(state(0), 0.25);
}

TEST_F(SetAnimationReplacement, TheOriginalIsReachedFromInside) {
    ASSERT_EQ(install(), STATUS_SUCCESS);
    ULONG threads[1] = {0};
    ASSERT_EQ(LhSetInclusiveACL(threads, 1, &hook), STATUS_SUCCESS);
    passThrough = true;
    EXPECT_TRUE(vessel->SetAnimation(1, 0.75));
    EXPECT_EQ(calls.size(), 1u);  // not re-entered
    EXPECT_DOUBLE_EQ(state(1), 0.75);
    EXPECT_FALSE(vessel->SetAnimation(9, 0.75));  // the original's result comes back

    LhUninstallHook(&hook);
    LhWaitForPendingRemovals();
    calls.clear();
    EXPECT_TRUE(vessel->SetAnimation(1, 0.125));
    EXPECT_TRUE(calls.empty());
}

TEST_F(SetAnimationReplacement, ReplaceableAgainAfterResetAndUsedByVesselCode) {
    simhost::HostOptions options;
    options.rootDir = workspace.path().string();
    host().reset(options);
    simhost::GenericClassSpec spinning;
    spinning.animations = 1;
    spinning.animationRate = 0.25;
    simhost::RegisterGenericClass("Spinner", spinning);
    vessel = iface(orbiting("Spin", "Spinner"));

    ASSERT_EQ(install(), STATUS_SUCCESS);
    ULONG threads[1] = {0};
    ASSERT_EQ(LhSetInclusiveACL(threads, 1, &hook), STATUS_SUCCESS);
    host().step(1.0);
    ASSERT_EQ(calls.size(), 1u);  // the class's own animation call went through it
    EXPECT_DOUBLE_EQ(calls[0].state, 0.25);
    EXPECT_DOUBLE_EQ(state(0), 0.0);

    passThrough = true;
    host().step(3.0);
    EXPECT_DOUBLE_EQ(state(0), 0.75);
    host().step(1.0);  // 0.75 + 0.25 wraps to 0
    EXPECT_DOUBLE_EQ(state(0), 0.0);
}

}  // namespace
