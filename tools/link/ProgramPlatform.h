// What a program beside the modules needs of its platform beyond sockets
// (UdpSocket.h): the terminal, stop requests and broken-down times. One
// file per flavour, chosen by the build: ProgramPlatformPosix.cpp,
// ProgramPlatformWindows.cpp.
#pragma once

#include <ctime>

// Standard output is a terminal that takes ANSI control sequences: on
// Windows a console, once its virtual terminal processing is switched on
// (Windows 10 on), which this does.
bool OutputIsAnsiTerminal();

// From now on Ctrl-C and SIGTERM (POSIX), or the console's Ctrl-C, Ctrl-Break
// and closing (Windows), ask the program to stop instead of ending it.
void CatchStopRequests();
bool StopRequested();

// A moment as UTC or local date and time; false when the system has none.
bool UtcTimeOf(std::time_t moment, std::tm& utc);
bool LocalTimeOf(std::time_t moment, std::tm& local);
