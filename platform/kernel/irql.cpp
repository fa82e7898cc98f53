// Interrupt request levels and bug checks. Each thread has its own IRQL;
// routines state the highest level they may be called at and raise a bug
// check when called above it. NT documents several routines the driver uses
// as PASSIVE_LEVEL-only that the real kernel also runs at APC_LEVEL (under a
// fast mutex); those accept APC_LEVEL here, so what is caught is the real
// failure: a call made at DISPATCH_LEVEL or above.
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "base/format.h"
#include "kernel/kernel.h"

namespace kern {
namespace {

thread_local KIRQL t_irql = PASSIVE_LEVEL;

std::mutex g_handlerLock;
BugCheckHandler g_handler;  // guarded by g_handlerLock; empty: print and abort

}  // namespace

BugCheckHandler SetBugCheckHandler(BugCheckHandler handler) {
    std::lock_guard lock(g_handlerLock);
    std::swap(g_handler, handler);
    return handler;
}

void BugCheck(ULONG code, const std::string& text) {
    BugCheckHandler handler;
    {
        std::lock_guard lock(g_handlerLock);
        handler = g_handler;
    }
    const std::string line = plat::Format("*** STOP: 0x%08lX %s", static_cast<unsigned long>(code), text);
    if (!handler) {
        std::fprintf(stderr, "%s\n", line.c_str());
        std::abort();
    }
    handler(code, line);
    throw BugCheckError(code, line);
}

void RequireIrqlAtMost(KIRQL max, const char* routine) {
    if (t_irql <= max) return;
    BugCheck(IRQL_NOT_LESS_OR_EQUAL,
             plat::Format("IRQL_NOT_LESS_OR_EQUAL: %s called at IRQL %d, allowed up to %d", routine, int(t_irql),
                          int(max)));
}

namespace detail {
void ResetThreadIrql() { t_irql = PASSIVE_LEVEL; }
}  // namespace detail

}  // namespace kern

extern "C" {

KIRQL KeGetCurrentIrql() { return kern::t_irql; }

VOID KeRaiseIrql(KIRQL new_irql, PKIRQL old_irql) {
    if (new_irql < kern::t_irql)
        kern::BugCheck(IRQL_NOT_LESS_OR_EQUAL,
                       plat::Format("KeRaiseIrql to %d from the higher IRQL %d", int(new_irql), int(kern::t_irql)));
    *old_irql = kern::t_irql;
    kern::t_irql = new_irql;
}

VOID KeLowerIrql(KIRQL new_irql) {
    if (new_irql > kern::t_irql)
        kern::BugCheck(IRQL_NOT_LESS_OR_EQUAL,
                       plat::Format("KeLowerIrql to %d from the lower IRQL %d", int(new_irql), int(kern::t_irql)));
    kern::t_irql = new_irql;
}

VOID KeBugCheckEx(ULONG code, ULONG_PTR p1, ULONG_PTR p2, ULONG_PTR p3, ULONG_PTR p4) {
    kern::BugCheck(code, plat::Format("KeBugCheckEx (%p, %p, %p, %p)", reinterpret_cast<void*>(p1),
                                      reinterpret_cast<void*>(p2), reinterpret_cast<void*>(p3),
                                      reinterpret_cast<void*>(p4)));
}

ULONG DbgPrint(const char* format, ...) {
    char line[1024];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(line, sizeof(line), format, args);
    va_end(args);
    std::fputs(line, stderr);
    return n < 0 ? 0 : ULONG(n);
}

}  // extern "C"
