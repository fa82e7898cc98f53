// Shared pieces of the service manager tests: a private state root with the
// manager open, and a helper that installs a service.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "base/last_error.h"
#include "scoped_root.h"
#include "service/winsvc.h"

class ManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        ASSERT_NE(m_manager, nullptr) << GetLastError();
    }
    void TearDown() override {
        if (m_manager) CloseServiceHandle(m_manager);
    }

    SC_HANDLE Install(const char16_t* name, DWORD start = SERVICE_AUTO_START, const char16_t* account = nullptr,
                      const char16_t* path = u"/usr/sbin/sentrak") {
        return CreateServiceW(m_manager, name, name, SERVICE_ALL_ACCESS,
                              SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS, start, SERVICE_ERROR_NORMAL,
                              path, nullptr, nullptr, nullptr, account, nullptr);
    }

    std::string UnitPath(const std::string& unit) const { return m_root.Dir() + "/systemd/" + unit; }
    std::string LinkPath(const std::string& unit) const {
        return m_root.Dir() + "/systemd/multi-user.target.wants/" + unit;
    }
    std::string ReadUnit(const std::string& unit) const {
        std::ifstream in(UnitPath(unit));
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    ScopedRoot m_root;
    SC_HANDLE m_manager = nullptr;
};
