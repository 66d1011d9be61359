// The rule for requests that reach the shell inside its nested loops.
#include "app/shell_state.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace quillan {
namespace {

TEST(ShellState, ScopesNestAndEndOnEveryWayOut) {
    TShellState state;
    {
        auto outer = state.Enter(TBusy::Paste);
        {
            auto inner = state.Enter(TBusy::Paste);
            EXPECT_TRUE(state.Busy(TBusy::Paste));
        }
        EXPECT_TRUE(state.Busy(TBusy::Paste)) << "the outer paste still runs";
    }
    EXPECT_FALSE(state.Busy(TBusy::Paste));
    try {
        auto menu = state.Enter(TBusy::TemplateMenu);
        throw std::runtime_error("handler failed");
    } catch (const std::runtime_error&) {}
    EXPECT_FALSE(state.Busy(TBusy::TemplateMenu));
    EXPECT_EQ(state.Decide(TRequest::HotKey), TVerdict::Run);
}

TEST(ShellState, MenusAndPastesKeepOtherMenusOut) {
    for (TBusy busy : {TBusy::TemplateMenu, TBusy::TrayMenu, TBusy::Paste}) {
        TShellState state;
        auto scope = state.Enter(busy);
        EXPECT_EQ(state.Decide(TRequest::HotKey), TVerdict::Ignore);
        EXPECT_EQ(state.Decide(TRequest::TrayMenu), TVerdict::Ignore);
        EXPECT_EQ(state.Decide(TRequest::Reinitialise), TVerdict::Run);
        EXPECT_EQ(state.Decide(TRequest::Quit), TVerdict::Run);
    }
    TShellState state;
    auto paste = state.Enter(TBusy::Paste);
    EXPECT_EQ(state.Decide(TRequest::Paste), TVerdict::Ignore);
    EXPECT_EQ(state.Decide(TRequest::Options), TVerdict::Ignore);
    EXPECT_EQ(state.Decide(TRequest::About), TVerdict::Ignore);
}

TEST(ShellState, AnOpenDialogComesToTheFrontAndLeavesTheRestAvailable) {
    TShellState state;
    auto options = state.Enter(TBusy::OptionsDialog);
    EXPECT_EQ(state.Decide(TRequest::Options), TVerdict::BringToFront);
    EXPECT_EQ(state.Decide(TRequest::About), TVerdict::Run);
    EXPECT_EQ(state.Decide(TRequest::HotKey), TVerdict::Run);
    EXPECT_EQ(state.Decide(TRequest::TrayMenu), TVerdict::Run);
    EXPECT_EQ(state.Decide(TRequest::Paste), TVerdict::Run);
    auto about = state.Enter(TBusy::AboutBox);
    EXPECT_EQ(state.Decide(TRequest::About), TVerdict::BringToFront);
}

}  // namespace
}  // namespace quillan
