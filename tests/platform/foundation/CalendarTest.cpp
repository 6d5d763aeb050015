#include "platform/foundation/Calendar.h"

#include "support/ScopedTimeZone.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace foundation {
namespace {

class CalendarTest : public ::testing::Test {
protected:
    static Date utc(int year, int month, int day, int hour) {
        return Date{testsupport::utcSeconds(year, month, day, hour)};
    }

private:
    testsupport::ScopedTimeZone zone_{testsupport::centralEuropeanTime};
};

TEST_F(CalendarTest, AWeekKeepsTheTimeOfDayAcrossDaylightSavingChanges) {
    // 10:00 on the Monday before each change, in local time.
    EXPECT_EQ(dateByAdding(7, 0, utc(2024, 3, 25, 9)), utc(2024, 4, 1, 8));
    EXPECT_EQ(dateByAdding(7, 0, utc(2024, 10, 21, 8)), utc(2024, 10, 28, 9));
    EXPECT_EQ(dateByAdding(7, 0, utc(2024, 6, 3, 8)), utc(2024, 6, 10, 8));
}

TEST_F(CalendarTest, MonthsStopAtTheLastDayOfAShorterMonth) {
    EXPECT_EQ(dateByAdding(0, 1, utc(2024, 1, 31, 11)), utc(2024, 2, 29, 11));
    EXPECT_EQ(dateByAdding(0, 1, utc(2023, 1, 31, 11)), utc(2023, 2, 28, 11));
    EXPECT_EQ(dateByAdding(0, 1, utc(2100, 1, 31, 11)), utc(2100, 2, 28, 11));
    EXPECT_EQ(dateByAdding(0, 3, utc(2023, 11, 30, 11)), utc(2024, 2, 29, 11));
    EXPECT_EQ(dateByAdding(0, 1, utc(2024, 10, 31, 11)), utc(2024, 11, 30, 11));
    EXPECT_EQ(dateByAdding(0, 3, utc(2023, 12, 31, 11)), utc(2024, 3, 31, 10));
    EXPECT_EQ(dateByAdding(0, 1, utc(2023, 12, 15, 11)), utc(2024, 1, 15, 11));
    EXPECT_EQ(dateByAdding(0, -1, utc(2024, 3, 31, 10)), utc(2024, 2, 29, 11));
}

TEST_F(CalendarTest, FractionsSurviveAndUnrepresentableDatesGiveNothing) {
    Date date = utc(2024, 6, 3, 8);
    date.timeIntervalSince1970 += 0.25;
    const auto later = dateByAdding(7, 0, date);
    ASSERT_TRUE(later);
    EXPECT_DOUBLE_EQ(later->timeIntervalSince1970,
                     utc(2024, 6, 10, 8).timeIntervalSince1970 + 0.25);
    EXPECT_FALSE(dateByAdding(7, 0, Date{std::nan("")}));
    EXPECT_FALSE(dateByAdding(7, 0, Date{std::numeric_limits<double>::infinity()}));
    EXPECT_FALSE(dateByAdding(0, 1, Date{-1e300}));
}

} // namespace
} // namespace foundation
