// Win32 process calls and the registry of loaded modules.
#include <gtest/gtest.h>
#include <dlfcn.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <thread>

#include "TempWorkspace.h"
#include "platform/PlatformServices.h"

// Looked up by GetProcAddress in the program itself.
extern "C" __attribute__((visibility("default"))) int PlatformTestExported() { return 4711; }

namespace {

TEST(Win32Process, CurrentDirectoryFollowsWindowsBufferRules) {
    TempWorkspace workspace;  // makes its folder the current directory
    char expected[4096];
    ASSERT_NE(getcwd(expected, sizeof expected), nullptr);
    const DWORD length = static_cast<DWORD>(std::strlen(expected));

    char buffer[4096];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(GetCurrentDirectoryA(sizeof buffer, buffer), length);
    EXPECT_STREQ(buffer, expected);

    // Too small by one (no room for the terminator): the size needed, nothing written.
    char small[4096];
    std::memset(small, '#', sizeof small);
    EXPECT_EQ(GetCurrentDirectoryA(length, small), length + 1);
    EXPECT_EQ(small[0], '#');
    EXPECT_EQ(GetCurrentDirectoryA(0, nullptr), length + 1);
    EXPECT_EQ(GetCurrentDirectoryA(length + 1, small), length);
}

TEST(Win32Process, DeleteFileReportsSuccess) {
    TempWorkspace workspace;
    workspace.write("gone.txt", "x");
    const std::string path = (workspace.path() / "gone.txt").string();
    EXPECT_EQ(DeleteFileA(path.c_str()), TRUE);
    EXPECT_FALSE(workspace.exists("gone.txt"));
    EXPECT_EQ(DeleteFileA(path.c_str()), FALSE);
}

TEST(Win32Process, ThreadIdsAreKernelIdsAndDiffer) {
    const DWORD main = GetCurrentThreadId();
    EXPECT_EQ(GetCurrentProcessId(), static_cast<DWORD>(getpid()));
    DWORD other = main;
    std::thread([&other] { other = GetCurrentThreadId(); }).join();
    EXPECT_NE(other, main);
    EXPECT_EQ(GetCurrentThreadId(), main);
}

TEST(Win32Process, LocalTimeIsACalendarDate) {
    SYSTEMTIME time;
    GetLocalTime(&time);
    EXPECT_GE(time.wYear, 2020);
    EXPECT_GE(time.wMonth, 1);
    EXPECT_LE(time.wMonth, 12);
    EXPECT_GE(time.wDay, 1);
    EXPECT_LE(time.wDay, 31);
    EXPECT_LE(time.wHour, 23);
    EXPECT_LE(time.wMinute, 59);
    EXPECT_LE(time.wSecond, 60);
    EXPECT_LE(time.wMilliseconds, 999);
    EXPECT_LE(time.wDayOfWeek, 6);
}

class Modules : public ::testing::Test {
protected:
    void TearDown() override { simhost::ModuleRegistryClear(); }
};

TEST_F(Modules, NamesMatchIgnoringCaseFolderAndExtension) {
    HMODULE plain = simhost::ModuleRegistryAdd("Helmcast.so", nullptr);
    HMODULE pathed = simhost::ModuleRegistryAdd("/opt/sim/Modules/Plugin/Helmecho.so", nullptr);
    ASSERT_NE(plain, nullptr);
    ASSERT_NE(pathed, nullptr);
    for (const char* name : {"Helmcast", "Helmcast.dll", "Helmcast.so", "HELMCAST.DLL", "helmcast"})
        EXPECT_EQ(GetModuleHandleA(name), plain) << name;
    for (const char* name : {"Helmecho", "helmecho.DLL", "Helmecho.so"})
        EXPECT_EQ(GetModuleHandleA(name), pathed) << name;
    EXPECT_EQ(GetModuleHandleA("Helm"), nullptr);
    EXPECT_EQ(GetModuleHandleA("Helmcast.exe"), nullptr);
    EXPECT_NE(GetModuleHandleA(nullptr), nullptr);

    simhost::ModuleRegistryRemove(plain);
    EXPECT_EQ(GetModuleHandleA("Helmcast"), nullptr);
    EXPECT_EQ(GetModuleHandleA("Helmecho"), pathed);
}

TEST_F(Modules, ProcAddressLooksInTheModuleOrTheProgram) {
    HMODULE builtIn = simhost::ModuleRegistryAdd("XRSample.so", nullptr);
    FARPROC found = GetProcAddress(builtIn, "PlatformTestExported");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(reinterpret_cast<int (*)()>(reinterpret_cast<void*>(found))(), 4711);
    EXPECT_EQ(GetProcAddress(builtIn, "NoSuchSymbolAnywhere"), nullptr);
    EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA(nullptr), "PlatformTestExported")),
              reinterpret_cast<void*>(found));

    // A module with its own library: only that library's symbols.
    void* libc = dlopen("libc.so.6", RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(libc, nullptr);
    HMODULE library = simhost::ModuleRegistryAdd("libc.so.6", libc);
    EXPECT_NE(GetProcAddress(library, "strlen"), nullptr);
    EXPECT_EQ(GetProcAddress(library, "PlatformTestExported"), nullptr);
    dlclose(libc);

    // Removed or made-up handles find nothing.
    simhost::ModuleRegistryRemove(builtIn);
    EXPECT_EQ(GetProcAddress(builtIn, "PlatformTestExported"), nullptr);
    int bogus = 0;
    EXPECT_EQ(GetProcAddress(reinterpret_cast<HMODULE>(&bogus), "strlen"), nullptr);
}

}  // namespace
