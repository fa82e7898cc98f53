// Shared fixture of the S.M.A.R.T. dialogs' tests: the headless backend with
// the product's resource library, a settings block, an owner window that
// records the commands it is sent, and a scripted S.M.A.R.T. client that
// records the self-test requests.
#pragma once

#include <atomic>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "Settings.h"
#include "smart/CSmart.h"
#include "ui/framework_wnd.h"
#include "ui_test_support.h"

namespace dlgtest {

// A CSmart whose self-test requests are recorded and whose reads answer
// from a script (the last answer repeats; a read fails while none is set).
class ScriptedSmart : public CSmart {
public:
    struct Read {
        bool ok = true;
        DWORD seconds = 0;
        BYTE raw = 0;
    };

    SmartDevice* GetDevices() override { return nullptr; }
    bool EnableSmart(SmartDevice*) override { return false; }
    bool DisableSmart(SmartDevice*) override { return false; }
    bool ReadCapabilities(SmartDevice*) override { return false; }
    bool ReadAttributes(SmartDevice*) override { return false; }
    bool ReadStatus(SmartDevice*) override { return false; }
    bool EnableAutosave(SmartDevice*) override { return false; }
    bool DisableAutosave(SmartDevice*) override { return false; }
    bool EnableAutoOffline(SmartDevice*) override { return false; }
    bool DisableAutoOffline(SmartDevice*) override { return false; }
    bool ReadLog(SmartDevice*, DWORD, BYTE**) override { return false; }
    bool ExecuteSelfTest(SmartDevice* device, DWORD type) override;
    bool ReadSelfTestData(SmartDevice* device, DWORD* seconds, BYTE* status) override;
    bool AbortSelfTest(SmartDevice* device) override;

    void Script(std::vector<Read> reads);
    int Reads() const { return m_reads; }
    int Aborts() const { return m_aborts; }
    // "start <type>", "abort", as sent, with the record each went to.
    std::vector<std::pair<std::string, const SmartDevice*>> Requests() const;

    bool startResult = true;

private:
    mutable std::mutex m_lock;
    std::deque<Read> m_script;
    Read m_last{false, 0, 0};
    std::vector<std::pair<std::string, const SmartDevice*>> m_requests;
    std::atomic<int> m_reads{0};
    std::atomic<int> m_aborts{0};
};

// A plain window standing in for the LED window: records WM_COMMAND ids.
class OwnerWindow : public CWnd {
public:
    OwnerWindow();
    ~OwnerWindow() override;
    std::vector<UINT> commands;
    BOOL OnCommand(WPARAM wp, LPARAM lp) override;
};

class DialogTest : public uitest::UiTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Pixel (0x00RRGGBB) of what a window shows at a client point.
    std::uint32_t Shown(HWND window, int x, int y);

    GuiSettings m_settings;
    HMODULE m_library = nullptr;
};

}  // namespace dlgtest
