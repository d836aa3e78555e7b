#include "platform/RelativeDateFormatter.h"

#include <gtest/gtest.h>

using namespace tolvaran;

namespace {

TEST(RelativeDateFormatter, tellsWhenItsTextNextChanges)
{
    const Timestamp now = Timestamp::fromSeconds(1769947200.0);
    // Seconds ago, minutes ago, hours, days, weeks, months, a year; and ahead of now.
    const double offsets[] = {0,          -0.25,     -59.5,        -60,      -61.2,
                              -3599.9,    -7300,     -86400 * 6.5, -86400 * 8,
                              -86400 * 31, -86400 * 364, -86400 * 800, 0.4, 90, 7300};
    for (const double offset : offsets) {
        SCOPED_TRACE(offset);
        const Timestamp date = now.addingSeconds(offset);
        const double wait = relativeDateTextChangesIn(date, now);
        ASSERT_GT(wait, 0.0);
        const QString text = relativeDateText(date, now);
        EXPECT_EQ(relativeDateText(date, now.addingSeconds(wait * 0.999)), text);
        EXPECT_NE(relativeDateText(date, now.addingSeconds(wait + 1e-3)), text);
        if (offset <= 0 && offset > -60) {
            EXPECT_LE(wait, 1.0) << "seconds are redrawn every second";
        } else if (offset <= -60 && offset > -3600) {
            EXPECT_LE(wait, 60.0) << "minutes every minute";
        }
    }
}

} // namespace
