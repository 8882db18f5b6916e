#include "corpus/MappingGuard.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

namespace corvus::mappingguard {
namespace {

// A handful of mappings live at once (the served file, the full check's own, a
// rebuild's): a fixed table, read by the handler without locks.
constexpr size_t kSlots = 16;
struct Slot {
    std::atomic<uintptr_t> begin{0}, end{0};
};
Slot g_slots[kSlots];
std::atomic<bool> g_damaged{false};
uintptr_t g_pageSize = 4096;
struct sigaction g_previous {};
std::mutex g_addMutex;   // add() and remove(), not the handler
bool g_installed = false;

void onBus(int signal, siginfo_t *info, void *context)
{
    const auto at = uintptr_t(info->si_addr);
    for (Slot &s : g_slots) {
        const uintptr_t begin = s.begin.load(std::memory_order_acquire);
        const uintptr_t end = s.end.load(std::memory_order_acquire);
        if (begin == 0 || at < begin || at >= end)
            continue;
        // Blank pages from the faulting one to the range's end: the file ends
        // before them now, and every page past its end would fault in turn.
        const uintptr_t page = at & ~(g_pageSize - 1);
        void *p = ::mmap(reinterpret_cast<void *>(page), end - page, PROT_READ,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
        if (p != MAP_FAILED) {
            g_damaged.store(true, std::memory_order_release);
            return;   // the read is made again, on the blank page
        }
        break;
    }
    // Not ours: the previous handler takes this fault and any after it.
    if ((g_previous.sa_flags & SA_SIGINFO) && g_previous.sa_sigaction) {
        g_previous.sa_sigaction(signal, info, context);
        return;
    }
    ::sigaction(SIGBUS, &g_previous, nullptr);   // the fault happens again, under it
}

void install()
{
    g_pageSize = uintptr_t(::sysconf(_SC_PAGESIZE));
    struct sigaction sa {};
    sa.sa_sigaction = &onBus;
    sa.sa_flags = SA_SIGINFO | SA_RESTART;
    sigemptyset(&sa.sa_mask);
    g_installed = ::sigaction(SIGBUS, &sa, &g_previous) == 0;
}

} // namespace

bool add(const char *data, size_t size)
{
    const std::lock_guard<std::mutex> lock(g_addMutex);
    if (!g_installed)
        install();
    for (Slot &s : g_slots)
        if (s.begin.load(std::memory_order_relaxed) == 0) {
            s.end.store(uintptr_t(data) + size, std::memory_order_release);
            s.begin.store(uintptr_t(data), std::memory_order_release);
            return true;
        }
    return false;
}

void remove(const char *data)
{
    const std::lock_guard<std::mutex> lock(g_addMutex);
    for (Slot &s : g_slots)
        if (s.begin.load(std::memory_order_relaxed) == uintptr_t(data)) {
            s.begin.store(0, std::memory_order_release);
            s.end.store(0, std::memory_order_release);
        }
}

bool damaged() { return g_damaged.load(std::memory_order_acquire); }

void reset() { g_damaged.store(false, std::memory_order_release); }

} // namespace corvus::mappingguard
