// What this folder implements. PlatformServices.h names NTSTATUS without
// including the header that declares it, so that header comes first here.
#pragma once

#include "easyhook_standin.h"
#include "PlatformServices.h"
