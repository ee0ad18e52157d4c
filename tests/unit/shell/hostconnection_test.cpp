#include <gtest/gtest.h>

#include "platform/db.h"
#include "shell/untKQDM_BSJDW.h"
#include "tests/support/fakehost.h"

namespace unitarc {
namespace {

using test::FakeHost;

std::string lookUp(db::Connection& connection, const std::string& sql, const std::string& field) {
    db::Query q(&connection);
    q.open(sql);
    return q.eof() ? std::string() : q.text(field);
}

class HostConnectionTest : public test::FakeHostTest {};

TEST_F(HostConnectionTest, baseConnectionReadsTheProjectTable) {
    auto base = hostBaseConnection();
    ASSERT_NE(base, nullptr);

    EXPECT_EQ(lookUp(*base, "Select PrjName From KQ_PrjInfo Where PrjID = 'P2026001'", "PrjName"),
              FakeHost::kProjectName);
}

TEST_F(HostConnectionTest, projectConnectionReadsTheResources) {
    fake.addResource({.resId = 123, .caption = "审计日记一", .typeName = "DGGL_SJRJ", .fileName = "a.doc"});
    auto project = hostProjectConnection();
    ASSERT_NE(project, nullptr);

    EXPECT_EQ(lookUp(*project, "Select ResCaption From KQ_ResTrv Where ResID = 123", "ResCaption"), "审计日记一");
}

TEST_F(HostConnectionTest, closingTheWrapperLeavesTheHostConnectionOpen) {
    {
        auto base = hostBaseConnection();
        ASSERT_NE(base, nullptr);
        base->close();
    }

    auto again = hostBaseConnection();
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(lookUp(*again, "Select PrjID From KQ_PrjInfo", "PrjID"), FakeHost::kSerial);
}

TEST_F(HostConnectionTest, eachRequestAsksTheHostAfresh) {
    hostBaseConnection();
    hostBaseConnection();
    hostProjectConnection();

    EXPECT_EQ(fake.callsOf("GetBaseDBConnection").size(), 2u);
    EXPECT_EQ(fake.callsOf("GetCurPrjDBConnection").size(), 1u);
}

TEST_F(HostConnectionTest, noConnectionWhenTheHostHasNone) {
    fake.setConnectionsAvailable(false);

    EXPECT_EQ(hostBaseConnection(), nullptr);
    EXPECT_EQ(hostProjectConnection(), nullptr);
}

}  // namespace
}  // namespace unitarc
