// Function replacement: which threads a hook applies to, calls of the
// original from inside, installation failures, removal.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/PlatformServices.h"

namespace {

// A host entry dispatching the way the host's replaceable entries do.
int originalCalls = 0;
int replacementCalls = 0;

int HostEntry(int x);
void* EntryKey() { return reinterpret_cast<void*>(&HostEntry); }

int HostEntry(int x) {
    if (void* replacement = simhost::ReplacementFor(EntryKey())) {
        simhost::ReplacementScope scope(EntryKey());
        return reinterpret_cast<int (*)(int)>(replacement)(x);
    }
    ++originalCalls;
    return x;
}

// Calls the entry again from inside: that call must reach the original.
int Replacement(int x) {
    ++replacementCalls;
    return 1000 + HostEntry(x);
}

int OtherEntryTarget(int x) { return x; }

class Replacements : public ::testing::Test {
protected:
    void SetUp() override {
        originalCalls = 0;
        replacementCalls = 0;
        simhost::ReplaceableEntryAdd(EntryKey());
    }
    void TearDown() override { simhost::ReplacementsClear(); }

    NTSTATUS install() { return LhInstallHook(EntryKey(), reinterpret_cast<void*>(&Replacement), nullptr, &handle); }

    // What the entry returns on another thread.
    static int callOnOtherThread(int x) {
        int result = 0;
        std::thread([&result, x] { result = HostEntry(x); }).join();
        return result;
    }

    HOOK_TRACE_INFO handle{};
};

TEST_F(Replacements, RefusedForBadArgumentsAndUnknownEntries) {
    HOOK_TRACE_INFO other{};
    void* procedure = reinterpret_cast<void*>(&Replacement);
    EXPECT_NE(LhInstallHook(nullptr, procedure, nullptr, &other), STATUS_SUCCESS);
    EXPECT_NE(LhInstallHook(EntryKey(), nullptr, nullptr, &other), STATUS_SUCCESS);
    EXPECT_NE(LhInstallHook(EntryKey(), procedure, nullptr, nullptr), STATUS_SUCCESS);
    EXPECT_EQ(LhInstallHook(reinterpret_cast<void*>(&OtherEntryTarget), procedure, nullptr, &other),
              STATUS_NOT_SUPPORTED);
    EXPECT_EQ(other.Link, nullptr);
}

TEST_F(Replacements, NoThreadIsInterceptedBeforeTheListIsSet) {
    ASSERT_EQ(install(), STATUS_SUCCESS);
    EXPECT_NE(handle.Link, nullptr);
    EXPECT_EQ(HostEntry(5), 5);
    EXPECT_EQ(callOnOtherThread(5), 5);
    EXPECT_EQ(replacementCalls, 0);
    EXPECT_EQ(originalCalls, 2);
}

TEST_F(Replacements, ZeroInTheListMeansTheCallingThreadOnly) {
    ASSERT_EQ(install(), STATUS_SUCCESS);
    ULONG self[] = {0};
    ASSERT_EQ(LhSetInclusiveACL(self, 1, &handle), STATUS_SUCCESS);
    // The replacement's own call of the entry reaches the original.
    EXPECT_EQ(HostEntry(5), 1005);
    EXPECT_EQ(replacementCalls, 1);
    EXPECT_EQ(originalCalls, 1);
    EXPECT_EQ(callOnOtherThread(6), 6);
    EXPECT_EQ(replacementCalls, 1);
    EXPECT_EQ(originalCalls, 2);
}

TEST_F(Replacements, ListedThreadOtherThanTheCallerIsIntercepted) {
    ASSERT_EQ(install(), STATUS_SUCCESS);
    std::atomic<bool> listed{false};
    std::atomic<bool> called{false};
    std::atomic<DWORD> workerId{0};
    int workerResult = 0;
    std::thread worker([&] {
        workerId = GetCurrentThreadId();
        while (!listed) std::this_thread::yield();
        workerResult = HostEntry(2);
        called = true;
    });
    while (workerId == 0) std::this_thread::yield();
    ULONG ids[] = {workerId.load()};
    ASSERT_EQ(LhSetInclusiveACL(ids, 1, &handle), STATUS_SUCCESS);
    listed = true;
    worker.join();
    EXPECT_EQ(workerResult, 1002);
    EXPECT_EQ(HostEntry(3), 3);  // this thread is not in the list
}

TEST_F(Replacements, ScopeOfTheEntryMakesCallsReachTheOriginal) {
    ASSERT_EQ(install(), STATUS_SUCCESS);
    ULONG self[] = {0};
    ASSERT_EQ(LhSetInclusiveACL(self, 1, &handle), STATUS_SUCCESS);
    EXPECT_NE(simhost::ReplacementFor(EntryKey()), nullptr);
    {
        simhost::ReplacementScope scope(EntryKey());
        EXPECT_EQ(simhost::ReplacementFor(EntryKey()), nullptr);
        {
            // Inside a scope of another entry as well: still inside this one.
            simhost::ReplacementScope inner(reinterpret_cast<void*>(&OtherEntryTarget));
            EXPECT_EQ(simhost::ReplacementFor(EntryKey()), nullptr);
        }
        EXPECT_EQ(simhost::ReplacementFor(EntryKey()), nullptr);
    }
    EXPECT_EQ(simhost::ReplacementFor(EntryKey()), reinterpret_cast<void*>(&Replacement));
}

TEST_F(Replacements, InjectedFailureAppliesUntilSwitchedOff) {
    simhost::ReplacementFailNextInstalls(STATUS_NOT_SUPPORTED);
    EXPECT_EQ(install(), STATUS_NOT_SUPPORTED);
    EXPECT_EQ(handle.Link, nullptr);
    EXPECT_EQ(install(), STATUS_NOT_SUPPORTED);
    simhost::ReplacementFailNextInstalls(STATUS_SUCCESS);
    EXPECT_EQ(install(), STATUS_SUCCESS);
}

TEST_F(Replacements, UninstalledHookNoLongerApplies) {
    ASSERT_EQ(install(), STATUS_SUCCESS);
    ULONG self[] = {0};
    ASSERT_EQ(LhSetInclusiveACL(self, 1, &handle), STATUS_SUCCESS);
    HOOK_TRACE_INFO copy = handle;
    EXPECT_EQ(LhUninstallHook(&handle), STATUS_SUCCESS);
    EXPECT_EQ(LhWaitForPendingRemovals(), STATUS_SUCCESS);
    EXPECT_EQ(HostEntry(4), 4);
    EXPECT_EQ(replacementCalls, 0);
    // Harmless: null, twice, a stale copy; a stale copy sets no list.
    LhUninstallHook(nullptr);
    EXPECT_EQ(LhUninstallHook(&handle), STATUS_SUCCESS);
    EXPECT_EQ(LhUninstallHook(&copy), STATUS_SUCCESS);
    EXPECT_NE(LhSetInclusiveACL(self, 1, &copy), STATUS_SUCCESS);
    // A new hook gets a new handle; the stale copy does not reach it.
    ASSERT_EQ(install(), STATUS_SUCCESS);
    EXPECT_NE(handle.Link, copy.Link);
    EXPECT_NE(LhSetInclusiveACL(self, 1, &copy), STATUS_SUCCESS);
}

// The replacement a second thread runs in, held until released.
std::atomic<bool> inside{false};
std::atomic<bool> release{false};
std::atomic<bool> finished{false};
int HoldingReplacement(int x) {
    inside = true;
    while (!release) std::this_thread::yield();
    finished = true;
    return x;
}

TEST_F(Replacements, WaitForRemovalsReturnsOnlyAfterRunningReplacementsLeft) {
    inside = release = finished = false;
    ASSERT_EQ(LhInstallHook(EntryKey(), reinterpret_cast<void*>(&HoldingReplacement), nullptr, &handle),
              STATUS_SUCCESS);
    std::thread worker([this] {
        ULONG self[] = {0};
        LhSetInclusiveACL(self, 1, &handle);
        HostEntry(1);
    });
    while (!inside) std::this_thread::yield();
    EXPECT_EQ(LhUninstallHook(&handle), STATUS_SUCCESS);
    std::thread releaser([] {
        // Gives a wrongly returning wait the chance to be seen.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        release = true;
    });
    EXPECT_EQ(LhWaitForPendingRemovals(), STATUS_SUCCESS);
    EXPECT_TRUE(finished);
    releaser.join();
    worker.join();
}

}  // namespace
