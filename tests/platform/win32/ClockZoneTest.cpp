// The local date and time with the zone's offset, in the zones the Windows C
// library reads from TZ (its own notation, not the zone database's names).

#include "platform/system/Clock.h"

#include <QByteArray>
#include <QtGlobal>
#include <ctime>
#include <gtest/gtest.h>
#include <utility>
#include <vector>

TEST(ClockZones, LocalIsoDateTimeCarriesTheZonesOffset) {
    using namespace std::chrono;
    // 2026-12-08 06:03:07.123456 UTC.
    const system_clock::time_point moment{seconds{1796709787} + microseconds{123456}};
    const bool zoneSet = qEnvironmentVariableIsSet("TZ");
    const QByteArray zone = qgetenv("TZ");
    // The C library counts hours west of UTC as positive.
    for (const auto& [name, text] : std::vector<std::pair<const char*, const char*>>{
             {"IST-5:30", "2026-12-08T11:33:07.123456+05:30"},
             {"EST5", "2026-12-08T01:03:07.123456-05:00"},
             {"UTC0", "2026-12-08T06:03:07.123456+00:00"}}) {
        qputenv("TZ", name);
        ::_tzset();
        EXPECT_EQ(LocalIsoDateTime(moment), text) << name;
    }
    // The Windows C library knows no local time before 1970.
    EXPECT_EQ(LocalIsoDateTime(system_clock::time_point{-microseconds{1}}), "");
    if (zoneSet) {
        qputenv("TZ", zone);
    } else {
        qunsetenv("TZ");
    }
    ::_tzset();
}
