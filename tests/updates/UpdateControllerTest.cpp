#include "updates/UpdateController.h"

#include "platform/foundation/UserDefaults.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>

namespace pulsedeck {
namespace {

TEST(UpdateController, FrequencyIsReadFromItsKeyWithWeeklyAsFallback) {
    testsupport::TemporaryDirectory directory;
    foundation::UserDefaults defaults(directory.path(), "local.dorvettin.Pulsedeck");
    UpdateController updates(defaults);
    EXPECT_EQ(updates.frequency(), UpdateFrequency::weekly);
    defaults.setObject("quarterly", updateCheckFrequencyKey);
    EXPECT_EQ(updates.frequency(), UpdateFrequency::quarterly);
    defaults.setObject("never", updateCheckFrequencyKey);
    EXPECT_EQ(updates.frequency(), UpdateFrequency::never);
    defaults.setObject("daily", updateCheckFrequencyKey);
    EXPECT_EQ(updates.frequency(), UpdateFrequency::weekly);
    defaults.setInteger(1, updateCheckFrequencyKey);
    EXPECT_EQ(updates.frequency(), UpdateFrequency::weekly);
    for (auto frequency : {UpdateFrequency::weekly, UpdateFrequency::monthly,
                           UpdateFrequency::quarterly, UpdateFrequency::never})
        EXPECT_EQ(parseUpdateFrequency(toString(frequency)), frequency);
}

} // namespace
} // namespace pulsedeck
