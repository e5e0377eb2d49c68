#include "ReportLine.h"

#include "Log.h"
#include "Platform.h"

void LogReportIfDue(ThrottledReport& report, double now, const char* sourceFile, int sourceLine, const char* what) {
    if (!report.Due(now)) return;
    const ThrottledReport::Summary s = report.Take(now);
    in_addr address;
    address.s_addr = s.address;
    if (s.reason[0] != '\0') {
        LogFormat(sourceFile, sourceLine, "%s: %d, the last from %s:%d (%s)", what, s.count, inet_ntoa(address),
                  ntohs(s.port), s.reason);
    } else {
        LogFormat(sourceFile, sourceLine, "%s: %d, the last from %s:%d", what, s.count, inet_ntoa(address),
                  ntohs(s.port));
    }
}
