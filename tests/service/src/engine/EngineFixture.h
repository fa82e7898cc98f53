// A S.M.A.R.T. engine on simulated drives, with the manual clock installed.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "base/clock.h"
#include "base/text.h"
#include "device/sim_machine.h"
#include "device/smart_ioctl.h"
#include "engine/CSmartFliegendeUntertasse.h"
#include "registry/scoped_root.h"

// Gives tests the engine's protected primitives and node list.
class TestEngine : public CSmartFliegendeUntertasse {
public:
    using CSmartFliegendeUntertasse::CloseDevice;
    using CSmartFliegendeUntertasse::FirstNode;
    using CSmartFliegendeUntertasse::OpenDevice;
    using CSmartFliegendeUntertasse::ReceiveSmartData;
    using CSmartFliegendeUntertasse::ScsiCommand;
    using CSmartFliegendeUntertasse::SendSmartCommand;
};

// One ATA disk at \Device\Harddisk0\DR0 (reached as ...\Partition0) with
// the given members of its "smart" object, further device members and
// further "ata" members.
inline std::string AtaProfile(const std::string& smart, const std::string& device = "",
                              const std::string& ata = "") {
    return R"({"devices": [{"name": "\\Device\\Harddisk0\\DR0", "links": ["\\Device\\Harddisk0\\Partition0"],
        "kind": "ata-disk", "scsi_address": {"port": 0, "path": 0, "target": 0, "lun": 0})" +
           device + R"(, "ata": {"model": "WDC WD800JB", "serial": "WD-1", "firmware": "1.0")" + ata + R"(,
        "smart": {"attributes": [
            {"id": 1, "value": 100, "worst": 100, "raw": 5, "threshold": 51},
            {"id": 9, "value": 90, "worst": 90, "raw": 1234, "threshold": 0},
            {"id": 194, "value": 40, "worst": 30, "raw": "0x002D00000028", "threshold": 0}])" +
           smart + "}}}]}";
}

// One SCSI disk at \Device\ScsiPort0 with the given "scsi" members.
inline std::string ScsiProfile(const std::string& scsi, const std::string& device = "") {
    return R"({"devices": [{"name": "\\Device\\ScsiPort0", "kind": "scsi-disk",
        "scsi_address": {"port": 2, "path": 0, "target": 3, "lun": 0})" +
           device + R"(, "scsi": {"vendor": "ORBELIN", "product": "OX15K", "revision": "R204",
        "serial": "SER1")" + scsi + "}}]}";
}

class EngineTest : public ::testing::Test {
protected:
    ~EngineTest() override { Unload(); }

    // Replaces the machine and the engine. Scoped simulations restore the
    // backend they replaced, so the old one goes before the new one comes.
    void Load(const std::string& profile) {
        Unload();
        m_sim = std::make_unique<plat::device::ScopedSimulation>(profile);
        m_engine = std::make_unique<TestEngine>();
    }
    void LoadDefault() {
        Unload();
        m_sim = std::make_unique<plat::device::ScopedSimulation>();
        m_engine = std::make_unique<TestEngine>();
    }
    void Unload() {
        FreeSmartDeviceList(m_list);
        m_list = nullptr;
        m_engine.reset();
        m_sim.reset();
    }
    SmartDevice* Discover() {
        FreeSmartDeviceList(m_list);
        m_list = m_engine->GetDevices();
        return m_list;
    }
    // The only drive of a one-drive profile, capabilities read.
    SmartDevice* Ready() {
        SmartDevice* d = Discover();
        EXPECT_NE(d, nullptr);
        if (d) {
            EXPECT_TRUE(m_engine->ReadCapabilities(d));
        }
        return d;
    }
    std::vector<plat::device::SimCommand> Commands(const char* device) { return (*m_sim)->Commands(device); }
    // S.M.A.R.T. commands with this feature, or SCSI commands with this
    // operation code, that the drive received.
    std::size_t AtaCount(const char* device, BYTE feature) {
        return Count(device, [&](const auto& c) { return c.AtaCommand() == SMART_CMD && c.AtaFeature() == feature; });
    }
    std::size_t ScsiCount(const char* device, BYTE opcode) {
        return Count(device, [&](const auto& c) { return c.IsScsi() && c.ScsiOpcode() == opcode; });
    }
    template <typename Match>
    std::size_t Count(const char* device, Match match) {
        const auto sent = Commands(device);
        return std::count_if(sent.begin(), sent.end(), match);
    }
    void AdvanceSeconds(std::uint64_t s) { m_clock->Advance(s * 1000); }

    ScopedRoot m_root;  // the engine's history lives in a private store
    plat::ScopedManualClock m_clock;
    std::unique_ptr<plat::device::ScopedSimulation> m_sim;
    std::unique_ptr<TestEngine> m_engine;
    SmartDevice* m_list = nullptr;
};

inline constexpr const char* kAtaDisk = "\\Device\\Harddisk0\\DR0";
inline constexpr const char* kScsiDisk = "\\Device\\ScsiPort0";

inline std::u16string Field(const WCHAR* f, std::size_t n) { return std::u16string(plat::FieldView(f, n)); }
