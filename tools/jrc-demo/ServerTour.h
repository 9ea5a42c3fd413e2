#pragma once

#include <iosfwd>

// Starts the configuration server beside the library, talks to it through the
// typed client and shuts it down again. Returns 0 when every step worked.
int RunServerTour(std::ostream& out);
