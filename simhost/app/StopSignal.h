// SIGINT and SIGTERM ask the run to end; the run loop polls for it, so the
// simulation still ends cleanly.
#pragma once

namespace simhost_app {

void InstallStopSignals();
bool StopRequested();

}  // namespace simhost_app
