// lumetra-smart against a running sentrak: its output and exit codes.
#include <nlohmann/json.hpp>

#include "SentrakProcess.h"

namespace {

struct ToolRun {
    int exit = -1;
    std::string out;
};

ToolRun RunTool(const sentraktest::SentrakProcess& service, std::vector<std::string> args) {
    args.insert(args.begin(), LUMETRA_SMART_PROGRAM);
    int out = -1;
    const pid_t pid = sentraktest::Spawn(args, service.Env(), out);
    ToolRun run;
    run.out = sentraktest::ReadAll(out);
    run.exit = sentraktest::Wait(pid);
    return run;
}

using LumetraSmart = sentraktest::SharedSentrak;

TEST_F(LumetraSmart, ListsTheDrivesAsJson) {
    const ToolRun run = RunTool(*Service(), {"--json", "list"});
    ASSERT_EQ(run.exit, 0) << run.out;
    const nlohmann::json report = nlohmann::json::parse(run.out);
    ASSERT_GE(report["devices"].size(), 3u);
    EXPECT_EQ(report["devices"][0]["model"], "KORVANE KV7200-500G");
}

TEST_F(LumetraSmart, CommandsAndTheirExitCodes) {
    struct Case {
        std::vector<std::string> args;
        int exit;
        const char* output;  // part of stdout
    };
    const Case cases[] = {
        {{"list"}, 0, "[0] KORVANE KV7200-500G"},
        {{"show", "0"}, 0, "KORVANE KV7200-500G"},
        {{"show", "0"}, 0, "193274708004 (36 C, lowest 18 C, highest 45 C)"},
        {{"health", "0"}, 0, "good"},
        {{"--json", "health", "0"}, 0, "\"healthy\":true"},
        {{"log", "0", "error"}, 3, ""},
        {{"show", "99"}, 2, ""},
        {{"frobnicate"}, 2, ""},
        {{"test", "0", "sideways"}, 2, ""},
        {{"--bogus", "list"}, 2, ""},
        {{"show", "0", "--help"}, 0, "usage: lumetra-smart"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0]);
        const ToolRun run = RunTool(*Service(), c.args);
        EXPECT_EQ(run.exit, c.exit) << run.out;
        EXPECT_NE(run.out.find(c.output), std::string::npos) << run.out;
    }
}

TEST(LumetraSmartAlone, SaysWhenTheServiceIsNotRunning) {
    sentraktest::SentrakProcess unstarted;
    const ToolRun run = RunTool(unstarted, {"list"});
    EXPECT_EQ(run.exit, 1);
    EXPECT_EQ(run.out, "");
}

}  // namespace
