// The LED window's tests against the real blinkor driver: a simulated
// machine with the driver loaded, built in this process from a scenario, and
// the kernel host's listener on a private socket, so the code under test
// reaches the driver through "\\.\Blinkor" exactly as lumex does. Machine
// commands ("hold C: read 2") script the activity.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "KernelHostSupport.h"

namespace ledtest {

// A scenario with the usual file systems (Ntfs, Cdfs and, with `network`,
// the redirector, whose catch-all record then shows as a network row) and
// the given storage array and links object (JSON text without the outer
// brackets and braces).
std::string Scenario(const std::string& storage, const std::string& links, bool network = false);
// A disk volume \Device\HarddiskVolumeK on disk `disk`, partition
// `partition` (-1: the request for numbers fails), `free_percent` free of
// 10 GiB.
std::string DiskVolume(int k, int disk, long long partition, const std::string& label = "", int free_percent = 50,
                       bool removable = false);

class LedKernelTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Builds the machine (blinkor loaded unless `with_driver` is false) and
    // starts serving it.
    void Build(const std::string& scenario, bool with_driver = true);
    // Runs a machine command; fails the test when the machine refuses it.
    void Run(const std::string& command);
    // Stops serving: every client's connection breaks.
    void StopHost();
    // The GUI log's lines so far (the log is written to a private file at
    // level 5 during each test).
    std::vector<std::string> LogLines() const;
    bool Logged(const std::string& text) const;

    std::string m_dir;
    std::unique_ptr<kerneltest::TestKernelHost> m_host;
    std::string m_logPath;
};

}  // namespace ledtest
