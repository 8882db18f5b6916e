#pragma once
// Stopping the work of a client that has gone. Each connection owns a Flag, set
// when it closes; the dispatcher installs the flag of the request it runs on its
// thread (Scope), and long loops (exports, full sorts, orders of frequent words)
// call check() now and then, which unwinds the request with Cancelled once the flag
// is set. Code that runs outside a request (a background sort) has no flag and is
// never cancelled.
#include <atomic>
#include <memory>

namespace cancel {

class Flag {
public:
    void set() { m_set.store(true, std::memory_order_relaxed); }
    bool isSet() const { return m_set.load(std::memory_order_relaxed); }

private:
    std::atomic<bool> m_set{false};
};

// Thrown by check(): the request has nobody to answer.
struct Cancelled {};

// The flag of the request running on this thread, for the scope's life.
class Scope {
public:
    explicit Scope(const Flag *flag);
    ~Scope();
    Scope(const Scope &) = delete;
    Scope &operator=(const Scope &) = delete;

private:
    const Flag *m_previous;
};

// Whether the client of the request running on this thread has gone.
bool requested();
// Throws Cancelled when requested().
void check();

} // namespace cancel
