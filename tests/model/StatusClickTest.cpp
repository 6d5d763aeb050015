#include "model/StatusClick.h"

#include <gtest/gtest.h>

namespace pulsedeck {
namespace {

using Action = StatusClickOutcome::Action;

TEST(StatusClick, HiddenPopoverOpensAtTheClickedModuleOrNone) {
    EXPECT_EQ(resolveStatusClick(false, ModuleKind::fan, ModuleKind::memory),
              (StatusClickOutcome{Action::open, ModuleKind::memory}));
    EXPECT_EQ(resolveStatusClick(false, std::nullopt, std::nullopt),
              (StatusClickOutcome{Action::open, std::nullopt}));
}

TEST(StatusClick, ShownPopoverRefocusesOnAnotherModule) {
    EXPECT_EQ(resolveStatusClick(true, ModuleKind::fan, ModuleKind::network),
              (StatusClickOutcome{Action::refocus, ModuleKind::network}));
    EXPECT_EQ(resolveStatusClick(true, std::nullopt, ModuleKind::network),
              (StatusClickOutcome{Action::refocus, ModuleKind::network}));
}

TEST(StatusClick, ShownPopoverClosesOnThePrioritisedModuleOrBesideAll) {
    EXPECT_EQ(resolveStatusClick(true, ModuleKind::fan, ModuleKind::fan).action, Action::close);
    EXPECT_EQ(resolveStatusClick(true, ModuleKind::fan, std::nullopt).action, Action::close);
    EXPECT_EQ(resolveStatusClick(true, std::nullopt, std::nullopt).action, Action::close);
}

} // namespace
} // namespace pulsedeck
