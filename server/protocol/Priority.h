#pragma once
// Processor priority of the server's own threads. Work that may take long (the lane
// of long requests, the background sort of line orders, the check of the cache
// file) runs with a higher nice value than the short requests, so on a machine with
// few cores a short request of one client gets the processor before another
// client's export or full sort. Linux threads have a nice value of their own.
namespace priority {

// Nice value of the long lane and of the background work.
constexpr int LongWork = 10;
constexpr int Background = 15;

// Sets the calling thread's nice value once (later calls on the same thread do
// nothing); it can only be raised, so a thread is given to one kind of work.
void lowerThisThread(int nice);

} // namespace priority
