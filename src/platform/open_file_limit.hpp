#pragma once

namespace talvero {

// Raises the soft limit on open files to the hard limit, so thousands of units
// can hold TCP connections at once. Gives the new soft limit.
long RaiseOpenFileLimit();

}  // namespace talvero
