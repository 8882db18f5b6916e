#pragma once
// The cache file is mapped and read where it lies; if it is cut short while it is
// mapped (a truncation by hand, a full disk's repair), a read of a page past its new
// end raises SIGBUS, which would end the server. The guard keeps the ranges of the
// cache mappings; its SIGBUS handler, for a fault inside one of them, maps blank
// pages over the rest of that range (the read then goes on, reading zeros, which
// the readers treat as any damaged content: see "Reading the cache file safely" in
// docs/server.md) and notes the damage, which the service then answers with
// "ZERO" (CorvusService). A fault anywhere else goes to the handler that was there
// before (the default one ends the process as ever).
#include <cstddef>

namespace corvus::mappingguard {

// Guards [data, data + size), a read-only mapping of a file; installs the handler
// on first use. False when every slot is taken (the range is then not guarded).
bool add(const char *data, size_t size);
// Stops guarding the range that starts at data, before it is unmapped.
void remove(const char *data);
// Whether a guarded mapping lost pages since the start (or the last reset()).
bool damaged();
// Forgets the damage: when the damaged file is no longer served (it failed its
// full check and the index is built again).
void reset();

} // namespace corvus::mappingguard
