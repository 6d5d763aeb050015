#include "platform/foundation/Calendar.h"

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <limits>
#include <optional>
#include <string>

namespace foundation {
namespace {

// Central European time as a POSIX rule, so the test needs no time-zone database.
class CalendarTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* zone = std::getenv("TZ"))
            previous_ = zone;
        setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
        tzset();
    }
    void TearDown() override {
        if (previous_)
            setenv("TZ", previous_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

    static Date utc(int year, int month, int day, int hour, int minute = 0) {
        std::tm fields{};
        fields.tm_year = year - 1900;
        fields.tm_mon = month - 1;
        fields.tm_mday = day;
        fields.tm_hour = hour;
        fields.tm_min = minute;
        return Date{static_cast<double>(timegm(&fields))};
    }

private:
    std::optional<std::string> previous_;
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
