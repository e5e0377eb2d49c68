// The log line of a throttled report: what was counted, how many, and the
// last sender, written only when the report is due.
#pragma once

#include "ThrottledReport.h"

// "<what>: <count>, the last from <address>:<port> (<reason>)", logged with
// the caller's source file and line when `report` is due at `now`.
void LogReportIfDue(ThrottledReport& report, double now, const char* sourceFile, int sourceLine, const char* what);

#define LOG_REPORT_IF_DUE(report, now, what) LogReportIfDue(report, now, __FILE__, __LINE__, what)
