// Everything the status view and the JSON snapshot show, at one moment.
#pragma once

#include <string>
#include <vector>

#include "LinkTally.h"
#include "MasterPicture.h"
#include "MasterSubscription.h"

struct LinkSnapshot {
    std::string master;  // "address:port"
    double watchedSeconds = 0.0;
    LinkFigures link;
    IgnoredDatagrams ignored;
    int64_t acknowledgements = 0;
    SimulationFacts simulation;
    std::vector<VesselRow> vessels;
};
