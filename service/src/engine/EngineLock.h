// Holds the engine's critical section for a scope, so every return path
// releases it.
#pragma once

#include "base/sync.h"

class EngineLock {
public:
    explicit EngineLock(CRITICAL_SECTION& cs) : m_cs(cs) { EnterCriticalSection(&m_cs); }
    ~EngineLock() { LeaveCriticalSection(&m_cs); }
    EngineLock(const EngineLock&) = delete;
    EngineLock& operator=(const EngineLock&) = delete;

private:
    CRITICAL_SECTION& m_cs;
};
