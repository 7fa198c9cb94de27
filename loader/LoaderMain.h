#pragma once
// The loader program: started by the viewer with its end of a socket pair
// as descriptor 3, it loads what it needs, seals itself and serves.
//   pictavo-loader [--lean] [--memory-limit=BYTES] [--cpu-seconds=N]
#include "loader/LoaderService.h"

int runLoader(int argc, char** argv, const ExtraTasks& extra = {});
