#pragma once

// A decoder's seccomp filter (Linux): built once by the fork server, loaded by
// every decoder it forks, each of which then makes only the calls decoding
// into memory and answering over its socket take. Any other call ends it.
namespace rt::decoding {

// Builds the filter and installs the handler of the calls it traps (a stat of
// an open descriptor is served; one of a path ends the process).
void prepareCallFilter();

// Loads the filter built before, for good; false when it cannot be.
bool installCallFilter();

}  // namespace rt::decoding
