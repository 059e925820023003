#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "text/date_time_text.h"
#include "text/display_settings.h"
#include "ntfs/timestamps.h"

namespace verandol {
namespace {

constexpr std::uint64_t kUnixEpochTicks = 116'444'736'000'000'000ULL;  // 1970-01-01 in NTFS time
constexpr std::uint64_t kTicksPerSecond = 10'000'000ULL;

std::uint64_t NtfsFromUnix(std::int64_t seconds, std::uint64_t extra_ticks = 0) {
    return static_cast<std::uint64_t>(static_cast<std::int64_t>(kUnixEpochTicks) +
                                      seconds * static_cast<std::int64_t>(kTicksPerSecond)) +
           extra_ticks;
}

// Pins TZ for the lifetime of the object and puts the previous value back.
class ScopedTimeZone {
  public:
    explicit ScopedTimeZone(const char* rule) {
        if (const char* old = std::getenv("TZ")) saved_ = old;
        setenv("TZ", rule, 1);
        tzset();
    }
    ~ScopedTimeZone() {
        if (saved_)
            setenv("TZ", saved_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

  private:
    std::optional<std::string> saved_;
};

void ExpectDateTime(std::optional<LocalDateTime> got, int year, int month, int day, int hour,
                    int minute, int second, int millisecond) {
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(got->year, year);
    EXPECT_EQ(got->month, month);
    EXPECT_EQ(got->day, day);
    EXPECT_EQ(got->hour, hour);
    EXPECT_EQ(got->minute, minute);
    EXPECT_EQ(got->second, second);
    EXPECT_EQ(got->millisecond, millisecond);
}

TEST(FileTimeToLocalDateTime, IsExactAtTheEdgesOfTheRange) {
    ScopedTimeZone utc("UTC0");
    ExpectDateTime(FileTimeToLocalDateTime(0), 1601, 1, 1, 0, 0, 0, 0);
    ExpectDateTime(FileTimeToLocalDateTime(kUnixEpochTicks), 1970, 1, 1, 0, 0, 0, 0);
    // 9999-12-31 23:59:59 is the last second with a four-digit year.
    ExpectDateTime(FileTimeToLocalDateTime(NtfsFromUnix(253'402'300'799)), 9999, 12, 31, 23, 59, 59,
                   0);
    EXPECT_FALSE(FileTimeToLocalDateTime(NtfsFromUnix(253'402'300'800)).has_value());
    EXPECT_FALSE(FileTimeToLocalDateTime(std::uint64_t{1} << 63).has_value());
    EXPECT_FALSE(FileTimeToLocalDateTime(~std::uint64_t{0}).has_value());
}

TEST(FileTimeToLocalDateTime, DropsSubMillisecondTicksEvenBefore1970) {
    ScopedTimeZone utc("UTC0");
    // 2021-05-04 13:07:09.9999999: rounding would carry into the next second.
    ExpectDateTime(FileTimeToLocalDateTime(NtfsFromUnix(1'620'133'629, 9'999'999)), 2021, 5, 4, 13,
                   7, 9, 999);
    ExpectDateTime(FileTimeToLocalDateTime(NtfsFromUnix(1'620'133'629, 9'999)), 2021, 5, 4, 13, 7,
                   9, 0);
    // One tick before 1970 belongs to the last millisecond of 1969, not to
    // 1970-01-01 00:00:00 as truncating division towards zero would give.
    ExpectDateTime(FileTimeToLocalDateTime(kUnixEpochTicks - 1), 1969, 12, 31, 23, 59, 59, 999);
    ExpectDateTime(FileTimeToLocalDateTime(kUnixEpochTicks - 5'000'001), 1969, 12, 31, 23, 59, 59,
                   499);
}

TEST(FileTimeToLocalDateTime, UsesTheOffsetInForceAtThatMoment) {
    ScopedTimeZone cet("CET-1CEST,M3.5.0,M10.5.0/3");
    // 2021-07-01 12:00 UTC is summer time, 2021-01-15 12:00 UTC is not.
    ExpectDateTime(FileTimeToLocalDateTime(NtfsFromUnix(1'625'140'800)), 2021, 7, 1, 14, 0, 0, 0);
    ExpectDateTime(FileTimeToLocalDateTime(NtfsFromUnix(1'610'712'000)), 2021, 1, 15, 13, 0, 0, 0);
    // A positive offset may push the last UTC second of 9999 into year 10000.
    EXPECT_FALSE(FileTimeToLocalDateTime(NtfsFromUnix(253'402'300'799)).has_value());
}

TEST(FileTimeToUtcIso8601, WritesCalendarDatesAcrossLeapRules) {
    EXPECT_EQ(FileTimeToUtcIso8601(NtfsFromUnix(1'620'133'629, 9'999'999)), "2021-05-04T13:07:09Z");
    EXPECT_EQ(FileTimeToUtcIso8601(0), "1601-01-01T00:00:00Z");
    EXPECT_EQ(FileTimeToUtcIso8601(kUnixEpochTicks - 1), "1969-12-31T23:59:59Z");
    EXPECT_EQ(FileTimeToUtcIso8601(NtfsFromUnix(951'782'400)), "2000-02-29T00:00:00Z");
    EXPECT_EQ(FileTimeToUtcIso8601(NtfsFromUnix(-2'203'891'200)), "1900-03-01T00:00:00Z");
    EXPECT_EQ(FileTimeToUtcIso8601(NtfsFromUnix(253'402'300'799)), "9999-12-31T23:59:59Z");
    EXPECT_FALSE(FileTimeToUtcIso8601(NtfsFromUnix(253'402'300'800)).has_value());
    EXPECT_FALSE(FileTimeToUtcIso8601(std::uint64_t{1} << 63).has_value());
}

TEST(FileTimeToUtcIso8601, AgreesWithTheCLibraryInUtc) {
    // The ISO text has its own calendar arithmetic; check it against
    // localtime_r over a spread of values from 1601 to 9999.
    ScopedTimeZone utc("UTC0");
    std::uint64_t state = 0x9E3779B97F4A7C15ULL;
    const std::uint64_t last = NtfsFromUnix(253'402'300'799);
    for (int i = 0; i < 20'000; ++i) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        const std::uint64_t ticks = (state >> 1) % last;
        const auto local = FileTimeToLocalDateTime(ticks);
        ASSERT_TRUE(local.has_value()) << ticks;
        char expected[32];
        std::snprintf(expected, sizeof expected, "%04d-%02d-%02dT%02d:%02d:%02dZ", local->year,
                      local->month, local->day, local->hour, local->minute, local->second);
        ASSERT_EQ(FileTimeToUtcIso8601(ticks), std::string(expected)) << ticks;
    }
}

LanginfoTexts Langinfo(std::string d_fmt, std::string t_fmt, std::string t_fmt_ampm, std::string am,
                       std::string pm) {
    LanginfoTexts texts;
    texts.d_fmt = std::move(d_fmt);
    texts.t_fmt = std::move(t_fmt);
    texts.t_fmt_ampm = std::move(t_fmt_ampm);
    texts.am_str = std::move(am);
    texts.pm_str = std::move(pm);
    return texts;
}

void ExpectSettings(const DisplaySettings& got, const std::string& date_pattern,
                    const std::string& date_separator, bool clock_24h, bool leading_zero,
                    const std::string& time_separator, bool marker_before) {
    EXPECT_EQ(got.short_date_pattern, date_pattern);
    EXPECT_EQ(got.date_separator, date_separator);
    EXPECT_EQ(got.clock_24h, clock_24h);
    EXPECT_EQ(got.leading_zero_hours, leading_zero);
    EXPECT_EQ(got.time_separator, time_separator);
    EXPECT_EQ(got.marker_before_time, marker_before);
}

TEST(SettingsFromLanginfo, MapsCommonLocales) {
    const DisplaySettings c =
        SettingsFromLanginfo(Langinfo("%m/%d/%y", "%H:%M:%S", "%I:%M:%S %p", "AM", "PM"));
    ExpectSettings(c, "mm/dd/yy", "/", true, true, ":", false);
    EXPECT_EQ(c.am_designator, "AM");
    EXPECT_EQ(c.pm_designator, "PM");
    EXPECT_EQ(c.long_time_pattern(), "hh:mm:ss");

    const DisplaySettings de = SettingsFromLanginfo(Langinfo("%d.%m.%Y", "%T", "", "", ""));
    ExpectSettings(de, "dd/mm/yyyy", ".", true, true, ":", false);
    EXPECT_EQ(de.am_designator, "");

    const DisplaySettings us =
        SettingsFromLanginfo(Langinfo("%m/%d/%Y", "%r", "%I:%M:%S %p", "AM", "PM"));
    ExpectSettings(us, "mm/dd/yyyy", "/", false, true, ":", false);
    EXPECT_EQ(us.long_time_pattern(), "hh:mm:ss AMPM");

    // The first gap "년 " is no single separator, so the wording stays; the
    // time keeps only clock, padding and marker place.
    const DisplaySettings ko = SettingsFromLanginfo(
        Langinfo("%Y년 %m월 %d일", "%p %I시 %M분 %S초", "%p %I시 %M분 %S초", "오전", "오후"));
    ExpectSettings(ko, "yyyy년 mm월 dd일", "/", false, true, ":", true);
    EXPECT_EQ(FormatDateTimeC({2021, 5, 4, 15, 7, 9, 0}, ko), "2021년 05월 04일 오후 03:07:09");
}

TEST(SettingsFromLanginfo, ReadsHourFieldsAndSeparators) {
    ExpectSettings(SettingsFromLanginfo(Langinfo("%F", "%k.%M", "", "", "")), "yyyy/mm/dd", "-",
                   true, false, ".", false);
    ExpectSettings(SettingsFromLanginfo(Langinfo("%D", "%-I:%M:%S %p", "", "a", "p")), "mm/dd/yy",
                   "/", false, false, ":", false);
    ExpectSettings(SettingsFromLanginfo(Langinfo("%e.%-m.%y", "%l%M", "%p%l%M", "", "")), "d/m/yy",
                   ".", false, false, "", true);
    ExpectSettings(SettingsFromLanginfo(Langinfo("%Y%m%d", "%-H:%M", "", "", "")), "yyyy/mm/dd", "",
                   true, false, ":", false);
    // A CJK character between fields is wording, not a separator.
    ExpectSettings(SettingsFromLanginfo(Langinfo("%Y年%m月%d日", "%H時%M分", "", "", "")),
                   "yyyy年mm月dd日", "/", true, true, ":", false);
    // Nothing usable: the struct's own defaults.
    ExpectSettings(SettingsFromLanginfo(Langinfo("", "", "", "am", "pm")), "m/d/yy", "/", false,
                   false, ":", false);
    ExpectSettings(SettingsFromLanginfo(Langinfo("%j", "%H h %M", "", "", "")), "m/d/yy", "/", true,
                   true, ":", false);
}

TEST(SettingsFromLanginfo, DatePatternWritesWhatStrftimeWrites) {
    // Whatever quoting the mapping needs, formatting the pattern must give
    // the locale's own text (English names in both, the C locale for strftime).
    std::tm tm{};
    tm.tm_year = 121, tm.tm_mon = 4, tm.tm_mday = 4, tm.tm_wday = 2;
    const LocalDateTime when{2021, 5, 4, 0, 0, 0, 0};
    for (const char* format : {"%d.%m-%Y", "%Y: %a%d", "%A, %d %B %Y", "%Y-%m-%d at %b",
                               "\"%d/%m\"", "%d'%m'%y", "%Y年%m月%d日", "%B%b %-d %%"}) {
        char expected[128];
        ASSERT_GT(std::strftime(expected, sizeof expected, format, &tm), 0u) << format;
        const DisplaySettings settings = SettingsFromLanginfo(Langinfo(format, "", "", "", ""));
        EXPECT_EQ(FormatPattern(settings.short_date_pattern, when, settings), expected)
            << format << " -> " << settings.short_date_pattern;
    }
}

// Pins the process-wide settings for one test and puts the old ones back.
class PinnedSettings : public testing::Test {
  protected:
    void SetUp() override { SetCurrentDisplaySettings(DisplaySettings{}); }
    void TearDown() override { SetCurrentDisplaySettings(*saved_); }

  private:
    std::shared_ptr<const DisplaySettings> saved_ = CurrentDisplaySettings();
};

TEST(FormatDateTimeC, ShowsTimeUnlessExactlyMidnight) {
    DisplaySettings s;
    EXPECT_EQ(FormatDateTimeC({2021, 5, 4, 15, 7, 9, 0}, s), "5/4/21 3:07:09 pm");
    EXPECT_EQ(FormatDateTimeC({2000, 1, 1, 0, 0, 0, 0}, s), "1/1/00");
    EXPECT_EQ(FormatDateTimeC({2000, 1, 1, 0, 0, 0, 500}, s), "1/1/00");
    EXPECT_EQ(FormatDateTimeC({2000, 1, 1, 0, 0, 1, 0}, s), "1/1/00 12:00:01 am");
    EXPECT_EQ(FormatDateTimeC({2000, 1, 1, 12, 0, 0, 0}, s), "1/1/00 12:00:00 pm");
    s.marker_before_time = true;
    EXPECT_EQ(FormatDateTimeC({2021, 5, 4, 9, 5, 0, 0}, s), "5/4/21 am 9:05:00");
    s.leading_zero_hours = true;
    EXPECT_EQ(FormatDateTimeC({2021, 5, 4, 9, 5, 0, 0}, s), "5/4/21 am 09:05:00");
    s.clock_24h = true;
    EXPECT_EQ(FormatDateTimeC({2021, 5, 4, 15, 7, 9, 0}, s), "5/4/21 15:07:09");
}

TEST(FormatPattern, WritesEachToken) {
    const DisplaySettings s;
    const LocalDateTime when{2021, 5, 4, 13, 7, 9, 0};  // a Tuesday
    EXPECT_EQ(FormatPattern("dddd, mmmm d, yyyy", when, s), "Tuesday, May 4, 2021");
    EXPECT_EQ(FormatPattern("ddd mmm dd yy|y|yyy|DDDDD|MMMMM", when, s),
              "Tue May 04 21|21|2021|Tuesday|May");
    EXPECT_EQ(FormatPattern("yyyy yy", {5, 1, 1, 0, 0, 0, 0}, s), "0005 05");
    EXPECT_EQ(FormatPattern("dddd", {1, 1, 1, 0, 0, 0, 0}, s), "Monday");
    EXPECT_EQ(FormatPattern("dddd", {2000, 2, 29, 0, 0, 0, 0}, s), "Tuesday");
    // m after h means minutes; quoted text between does not interrupt that.
    EXPECT_EQ(FormatPattern("H:M hh mm m/s ss", when, s), "13:7 13 07 5/9 09");
    EXPECT_EQ(FormatPattern("h\" h \"mm", when, s), "13 h 07");
    EXPECT_EQ(FormatPattern("hh ampm", {2021, 5, 4, 0, 0, 0, 0}, s), "12 am");
    EXPECT_EQ(FormatPattern("AMPM h", when, s), "pm 1");
    EXPECT_EQ(FormatPattern("'d/m:' \"'\" d 'open", when, s), "d/m: ' 4 open");
    EXPECT_EQ(FormatPattern("yyyy年m月d日 x", when, s), "2021年5月4日 x");
    DisplaySettings dots = s;
    dots.date_separator = "";
    dots.time_separator = ".";
    EXPECT_EQ(FormatPattern("d/m/yy h:mm", when, dots), "4521 13.07");
}

TEST_F(PinnedSettings, NtfsTimeTextUsesCurrentSettings) {
    ScopedTimeZone utc("UTC0");
    EXPECT_EQ(NtfsTimeText(NtfsFromUnix(1'620'133'629, 9'999'999)), "5/4/21 1:07:09 pm");
    EXPECT_EQ(NtfsTimeText(std::uint64_t{1} << 63), "");
    DisplaySettings iso;
    iso.short_date_pattern = "yyyy-mm-dd";
    iso.clock_24h = true;
    SetCurrentDisplaySettings(iso);
    EXPECT_EQ(NtfsTimeText(NtfsFromUnix(1'620'133'629)), "2021-05-04 13:07:09");
}

TEST_F(PinnedSettings, ReadersSeeWholeSettingsWhileTheyAreReplaced) {
    DisplaySettings other;
    other.short_date_pattern = "yyyy-mm-dd";
    other.time_separator = '.';
    other.clock_24h = true;
    const LocalDateTime when{2021, 5, 4, 15, 7, 9, 0};
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < 2'000; ++i)
            SetCurrentDisplaySettings(i % 2 != 0 ? other : DisplaySettings{});
        done = true;
    });
    while (!done) {
        const std::string text = FormatDateTimeC(when, *CurrentDisplaySettings());
        ASSERT_TRUE(text == "5/4/21 3:07:09 pm" || text == "2021-05-04 15.07.09") << text;
    }
    writer.join();
}

}  // namespace
}  // namespace verandol
