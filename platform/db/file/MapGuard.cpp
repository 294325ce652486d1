// The SIGBUS handler that puts zeros under a mapped table another program cut short.
#include "MapGuard.h"

#include <atomic>
#include <csignal>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

namespace db::mapguard {

namespace {

constexpr int kSlots = 512;

struct Slot
{
    std::atomic<quintptr> start{0};
    std::atomic<quintptr> end{0};
    std::atomic<bool> faulted{false};
};

Slot g_slots[kSlots];
struct sigaction g_previous;
std::atomic<bool> g_installed{false};

void onBus(int sig, siginfo_t *info, void *context)
{
    const auto addr = quintptr(info->si_addr);
    for (Slot &s : g_slots) {
        const quintptr start = s.start.load(std::memory_order_acquire);
        if (start == 0 || addr < start || addr >= s.end.load(std::memory_order_acquire))
            continue;
        const quintptr page = addr & ~quintptr(sysconf(_SC_PAGESIZE) - 1);
        void *p = mmap(reinterpret_cast<void *>(page), size_t(sysconf(_SC_PAGESIZE)), PROT_READ,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
        if (p != MAP_FAILED) {
            s.faulted.store(true, std::memory_order_release);
            return;
        }
        break;
    }
    // Not ours: behave as if we were never here.
    if (g_previous.sa_flags & SA_SIGINFO) {
        if (g_previous.sa_sigaction) {
            g_previous.sa_sigaction(sig, info, context);
            return;
        }
    } else if (g_previous.sa_handler != SIG_DFL && g_previous.sa_handler != SIG_IGN) {
        g_previous.sa_handler(sig);
        return;
    }
    signal(sig, SIG_DFL);
    raise(sig);
}

void install()
{
    bool expected = false;
    if (!g_installed.compare_exchange_strong(expected, true))
        return;
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_sigaction = onBus;
    sa.sa_flags = SA_SIGINFO | SA_NODEFER;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGBUS, &sa, &g_previous);
}

} // namespace

int watch(const void *start, qint64 length)
{
    install();
    for (int i = 0; i < kSlots; ++i) {
        Slot &s = g_slots[i];
        if (s.start.load() != 0)
            continue;
        s.faulted.store(false);
        s.end.store(quintptr(start) + quintptr(length));
        s.start.store(quintptr(start), std::memory_order_release);
        return i;
    }
    return -1;
}

void unwatch(int slot)
{
    if (slot < 0 || slot >= kSlots)
        return;
    g_slots[slot].start.store(0, std::memory_order_release);
    g_slots[slot].end.store(0);
}

bool faulted(int slot)
{
    return slot >= 0 && slot < kSlots && g_slots[slot].faulted.load(std::memory_order_acquire);
}

} // namespace db::mapguard
