// velloran.ds driven through the test manager, as an application drives it.
#include <gtest/gtest.h>

#include <cstring>

#include "support/ScopedEnvironment.h"
#include "support/SourceSettings.h"
#include "support/TwainSession.h"

namespace {

using test_support::TestDsm;
using test_support::TwainSession;

class EndToEnd : public ::testing::Test {
 protected:
  test_support::ScopedEnvironment environment;
  std::unique_ptr<SettingsStore> settings = test_support::PrepareSourceSettings();
  TestDsm dsm;
};

TEST_F(EndToEnd, ManagerAcceptsAndListsTheSource) {
  TwainSession app(dsm);
  ASSERT_EQ(app.OpenDsm(), TWRC_SUCCESS);
  TW_IDENTITY listed{};
  ASSERT_EQ(dsm.Entry(&app.App(), nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &listed), TWRC_SUCCESS);
  EXPECT_STREQ(listed.ProductName, "Oskaveld MFP Velloran");
  EXPECT_STREQ(listed.ProductFamily, "Velloran");
  EXPECT_EQ(listed.ProtocolMajor, 1);
  EXPECT_EQ(listed.ProtocolMinor, 9);
  EXPECT_EQ(dsm.Entry(&app.App(), nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETNEXT, &listed), TWRC_ENDOFLIST);
}

TEST_F(EndToEnd, OpensAndClosesTheSourceRepeatedly) {
  TwainSession app(dsm);
  ASSERT_EQ(app.OpenDsm(), TWRC_SUCCESS);
  for (int session = 0; session < 3; ++session) {
    SCOPED_TRACE(session);
    ASSERT_EQ(app.OpenSource(), TWRC_SUCCESS);
    EXPECT_NE(TW_UINT32{app.Source().Id}, 0u);
    TW_IDENTITY identity{};
    ASSERT_EQ(app.Send(DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity), TWRC_SUCCESS);
    EXPECT_EQ(TW_UINT32{identity.Id}, TW_UINT32{app.Source().Id});
    EXPECT_EQ(app.Send(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, &identity), TWRC_FAILURE);
    EXPECT_EQ(app.SourceCondition(), TWCC_BADPROTOCOL);
    ASSERT_EQ(app.CloseSource(), TWRC_SUCCESS);
  }
  // One probe when the manager was opened, then one load per session.
  EXPECT_EQ(dsm.SourceLoadCount(), 1 + 3);
  EXPECT_EQ(app.CloseDsm(), TWRC_SUCCESS);
}

TEST_F(EndToEnd, SecondApplicationIsRefusedAndTheFirstKeepsItsCondition) {
  TwainSession first(dsm, "First");
  TwainSession second(dsm, "Second");
  ASSERT_EQ(first.OpenDsm(), TWRC_SUCCESS);
  ASSERT_EQ(second.OpenDsm(), TWRC_SUCCESS);
  ASSERT_NE(TW_UINT32{first.App().Id}, TW_UINT32{second.App().Id});
  ASSERT_EQ(first.OpenSource(), TWRC_SUCCESS);
  TW_USERINTERFACE ui{TW_FALSE, TW_FALSE, nullptr};
  ASSERT_EQ(first.Send(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDSUIONLY, &ui), TWRC_FAILURE);

  EXPECT_EQ(second.OpenSource(), TWRC_FAILURE);

  EXPECT_EQ(first.SourceCondition(), TWCC_BADPROTOCOL);
  TW_IDENTITY identity{};
  EXPECT_EQ(first.Send(DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity), TWRC_SUCCESS);
  ASSERT_EQ(first.CloseSource(), TWRC_SUCCESS);
  // Free again: the second application gets it now.
  EXPECT_EQ(second.OpenSource(), TWRC_SUCCESS);
}

}  // namespace
