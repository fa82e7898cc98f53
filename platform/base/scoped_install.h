// Replaces a process-wide setting for the lifetime of a guard (tests): the
// install function returns the previous value, which the guard puts back.
#pragma once

#include <utility>

namespace plat {

template <typename Value, Value (*Install)(Value)>
class ScopedInstall {
public:
    explicit ScopedInstall(Value value) : m_previous(Install(std::move(value))) {}
    ~ScopedInstall() { Install(std::move(m_previous)); }
    ScopedInstall(const ScopedInstall&) = delete;
    ScopedInstall& operator=(const ScopedInstall&) = delete;

private:
    Value m_previous;
};

}  // namespace plat
