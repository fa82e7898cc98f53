// Who the kernel host serves: the socket file's owner, group and mode
// decide, as the kernel decides for a connect, checked again for every
// client by its credentials.
#include <gtest/gtest.h>

#include "kernel/host/kernel_server.h"

namespace {

TEST(HostAccess, TheSocketsPermissionsAdmitClients) {
    struct Case {
        unsigned mode, uid, gid;
        std::vector<unsigned> groups;
        bool admitted;
        const char* why;
    } cases[] = {
        {0600, 1000, 1000, {}, true, "the owner with write permission"},
        {0400, 1000, 1000, {}, false, "the owner without write permission"},
        {0660, 1001, 50, {}, true, "the socket's group"},
        {0660, 1001, 100, {50}, true, "a supplementary member of the socket's group"},
        {0660, 1001, 100, {}, false, "another user"},
        {0606, 1001, 50, {}, false, "the group's bits decide for a member, not the others' bits"},
        {0666, 1001, 100, {}, true, "everyone may"},
        {0000, 0, 0, {}, true, "root"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(khost::SocketAdmits(c.mode, 1000, 50, c.uid, c.gid, c.groups), c.admitted) << c.why;
    EXPECT_TRUE(khost::IsAdministrator(0));
}

}  // namespace
