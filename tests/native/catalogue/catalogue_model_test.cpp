#include "catalogue_model.h"
#include <gtest/gtest.h>
#include <climits>
#include <cstring>

using namespace catalogue;

namespace {

// A device library over fixed names per library type, with ways to misbehave.
class FakeSource : public EntrySource {
public:
    std::vector<std::string> names[4];
    std::vector<int> calls;  // types asked by GetFileList, in order
    int countCalls = 0, flagCalls = 0;
    int countBonus = 0;          // GetFileCnt reports this many more than there are
    int listBonus = 0;           // GetFileList claims this many more than it wrote
    bool listWritesAll = false;  // writes every name even past count (up to the buffer the test allows)
    int fixedCount = -2;         // when not -2, GetFileCnt returns it for every type

    void GetFileFlag() override { ++flagCalls; }
    int GetFileCnt(uint8_t type) override {
        ++countCalls;
        if (fixedCount != -2) return fixedCount;
        return static_cast<int>(names[type].size()) + countBonus;
    }
    int GetFileList(uint8_t type, int count, unsigned char* records, int32_t* a, int32_t* b) override {
        calls.push_back(type);
        int n = std::min<int>(count, static_cast<int>(names[type].size()));
        for (int i = 0; i < n; ++i) {
            memset(records + i * kRecordSize, 0, kRecordSize);
            memcpy(records + i * kRecordSize, names[type][i].data(), std::min(names[type][i].size(), kRecordSize));
            a[i] = i;
            b[i] = -i;
        }
        return n + listBonus;
    }
};

constexpr uint64_t kSmallFree = 64ull << 20;

std::vector<std::string> Dates(const ListContents& l) { return l.dates; }
std::vector<std::string> FileNames(const ListContents& l) {
    std::vector<std::string> v;
    for (const auto& f : l.files) v.push_back(f.name);
    return v;
}
std::vector<std::string> EventNames(const ListContents& l) {
    std::vector<std::string> v;
    for (const auto& e : l.events) v.push_back(e.name);
    return v;
}

EntryTable TableOf(const std::vector<std::string>& names) {
    EntryTable t;
    t.SetNames(names);
    return t;
}

}  // namespace

TEST(EntryNames, TypeLettersAndTextsInBothCases) {
    const std::pair<char, const char*> table[] = {{'N', "Normal"}, {'r', "Normal"}, {'I', "Normal"}, {'e', "Event"},
                                                  {'P', "Park"},   {'m', "Park"},   {'U', "Photo"},  {'j', "Photo"},
                                                  {'F', "F"},      {'x', "F"},      {'0', "F"},      {'\0', "F"}};
    for (const auto& [letter, text] : table) EXPECT_STREQ(text, TypeText(TypeOfLetter(letter))) << letter;
}

TEST(EntryNames, DerivedTextsComeFromFixedPositions) {
    unsigned char rec[kRecordSize] = {};
    memcpy(rec, "R_240612_071314_J0.jpg", 22);
    Entry e = ReadEntry(rec);
    ASSERT_TRUE(e.valid);
    EXPECT_EQ(RecType::Photo, e.type);
    EXPECT_EQ(240612071314ull, e.stamp);
    EXPECT_EQ("2024-06-12", e.DateText());
    EXPECT_EQ("07", e.HourText());
    EXPECT_EQ("13:14", e.MinSecText());
    EXPECT_EQ("2024-06-12 07:13:14", e.DateTimeText());
}

TEST(EntryNames, MalformedNamesAreNeverListed) {
    // Too short, non-digits in the date or the time, a record with no NUL.
    unsigned char full[kRecordSize];
    memset(full, '1', sizeof full);
    full[16] = 'N';
    EXPECT_EQ(39u, ReadEntry(full).name.size());
    EXPECT_TRUE(ReadEntry(full).valid);
    EXPECT_EQ(RecType::Normal, ReadEntry(full).type);

    EntryTable t = TableOf({"R_240612_0713_N", "", "R_2406x2_071314_N1", "R_240612_07131a_E1", "R_240612_071314",
                            "R_240612_071314_Q1", "R_240612_080000_E1"});
    for (size_t i = 0; i + 1 < t.Entries().size(); ++i) EXPECT_EQ(RecType::Other, t.Entries()[i].type) << i;
    ListContents l = BuildLists(t, kFilterAll, 0, 0);
    EXPECT_EQ(std::vector<std::string>{"2024-06-12"}, l.dates);
    EXPECT_EQ(std::vector<std::string>{"08"}, l.hours);
    EXPECT_EQ(std::vector<std::string>{"R_240612_080000_E1"}, FileNames(l));
    EXPECT_EQ(std::vector<std::string>{"R_240612_080000_E1"}, EventNames(l));
    for (const auto& f : l.files) EXPECT_NE("F", f.typeText);
}

TEST(FilterCodes, SetToggleAndClear) {
    EXPECT_EQ(kFilterAll, ApplyFilterCode(0, 0));
    EXPECT_EQ(kFilterAll & ~kFilterEvent, ApplyFilterCode(kFilterAll, 1));
    EXPECT_EQ(kFilterNormal, ApplyFilterCode(0, 2));
    EXPECT_EQ(kFilterAll & ~kFilterPark, ApplyFilterCode(kFilterAll, 3));
    EXPECT_EQ(kFilterPhoto | kFilterEvent, ApplyFilterCode(kFilterEvent, 4));
    for (int code : {5, 6, 7}) EXPECT_EQ(0u, ApplyFilterCode(kFilterAll, code));
    EXPECT_EQ(kFilterPark, ApplyFilterCode(kFilterPark, 8));
}

TEST(BuildLists, OrderTiesDatesAndHours) {
    // Table order is not time order; two entries share one stamp.
    EntryTable t = TableOf({
        "R_240613_090130_N1.avi",  // 0
        "B_240612_121350_E2.avi",  // 1: same stamp as 2, earlier in the table
        "A_240612_121350_P1.avi",  // 2
        "R_240612_071314_J0.jpg",  // 3
        "R_240612_070525_I1.avi",  // 4
        "R_240612_122046_E1.avi",  // 5
    });
    ListContents l = BuildLists(t, kFilterAll, 0, 0);
    EXPECT_EQ((std::vector<std::string>{"2024-06-12", "2024-06-13"}), Dates(l));
    EXPECT_EQ((std::vector<std::string>{"07", "12"}), l.hours);
    // Hour "07" of the first date: sorted by name.
    EXPECT_EQ((std::vector<std::string>{"R_240612_070525_I1.avi", "R_240612_071314_J0.jpg"}), FileNames(l));
    EXPECT_EQ("05:25", l.files[0].minSec);
    EXPECT_EQ("Normal", l.files[0].typeText);
    // Events in time order, ties in table order; Normal never, Photo always.
    EXPECT_EQ((std::vector<std::string>{"R_240612_071314_J0.jpg", "B_240612_121350_E2.avi", "A_240612_121350_P1.avi",
                                        "R_240612_122046_E1.avi"}),
              EventNames(l));
    EXPECT_EQ("Photo", l.events[0].typeText);
    EXPECT_EQ("2024-06-12 12:13:50", l.events[1].dateTime);
    EXPECT_EQ(0, l.currentEntry);

    // Hour 12 holds three rows, sorted by name although B came first in time.
    l = BuildLists(t, kFilterAll, 0, 1);
    EXPECT_EQ((std::vector<std::string>{"A_240612_121350_P1.avi", "B_240612_121350_E2.avi", "R_240612_122046_E1.avi"}),
              FileNames(l));
    // The second date has one hour, listed once.
    l = BuildLists(t, kFilterAll, 1, 0);
    EXPECT_EQ(std::vector<std::string>{"09"}, l.hours);
    EXPECT_EQ(std::vector<std::string>{"R_240613_090130_N1.avi"}, FileNames(l));
}

TEST(BuildLists, FilterAndSelections) {
    EntryTable t = TableOf(
        {"R_240612_070525_N1.avi", "R_240612_070600_n1.avi", "R_240613_090000_E1.avi", "R_240614_100000_U0.jpg"});
    // Empty filter set: empty lists, yet the current entry is 0 (the table holds entries).
    ListContents l = BuildLists(t, 0, 0, 0);
    EXPECT_TRUE(l.dates.empty() && l.hours.empty() && l.files.empty() && l.events.empty());
    EXPECT_EQ(0, l.currentEntry);

    // Normal off: the first date disappears; the date index 0 now names 2024-06-13.
    l = BuildLists(t, kFilterAll & ~kFilterNormal, 0, 0);
    EXPECT_EQ((std::vector<std::string>{"2024-06-13", "2024-06-14"}), l.dates);
    EXPECT_EQ(std::vector<std::string>{"R_240613_090000_E1.avi"}, FileNames(l));

    // A selected date index that no longer names a row matches nothing.
    l = BuildLists(t, kFilterNormal, 2, 0);
    EXPECT_EQ(std::vector<std::string>{"2024-06-12"}, l.dates);
    EXPECT_TRUE(l.hours.empty());
    EXPECT_TRUE(l.files.empty());
    EXPECT_TRUE(l.events.empty());

    // "No selection" matches every date and hour.
    l = BuildLists(t, kFilterAll, kNone, kNone);
    EXPECT_EQ(4u, l.files.size());
    EXPECT_EQ((std::vector<std::string>{"07", "09", "10"}), l.hours);

    // Photo only: listed as a file of its hour and as an event.
    l = BuildLists(t, kFilterPhoto, 0, 0);
    EXPECT_EQ(std::vector<std::string>{"R_240614_100000_U0.jpg"}, FileNames(l));
    EXPECT_EQ(std::vector<std::string>{"R_240614_100000_U0.jpg"}, EventNames(l));

    // An empty table: nothing listed, no current entry.
    EntryTable empty;
    EXPECT_EQ(kNone, BuildLists(empty, kFilterAll, 0, 0).currentEntry);
}

TEST(Fill, ReadsTheFourTypesInOrderIntoOneTable) {
    FakeSource src;
    src.names[kLibEvent] = {"R_240612_121350_E2.avi"};
    src.names[kLibNormal] = {"R_240612_070525_I1.avi", "R_240612_071002_N1.avi"};
    src.names[kLibPark] = {"R_240613_091018_M1.avi"};
    src.names[kLibPhoto] = {"R_240612_071314_J0.jpg"};
    EntryTable t;
    ASSERT_TRUE(t.Fill(src, 1, kSmallFree));
    EXPECT_EQ(1, src.flagCalls);
    EXPECT_EQ((std::vector<int>{1, 0, 2, 3}), src.calls);
    EXPECT_EQ(5u, t.Capacity());
    ASSERT_EQ(5u, t.Filled());
    const char* expected[] = {"R_240612_070525_I1.avi", "R_240612_071002_N1.avi", "R_240612_121350_E2.avi",
                              "R_240613_091018_M1.avi", "R_240612_071314_J0.jpg"};
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(expected[i], t.Entries()[i].name);

    // A second fill starts again from an empty table.
    ASSERT_TRUE(t.Fill(src, 1, kSmallFree));
    EXPECT_EQ(5u, t.Filled());
    t.Release();
    EXPECT_EQ(0u, t.Capacity());
    EXPECT_EQ(0u, t.Filled());
    EXPECT_TRUE(t.Entries().empty());
}

TEST(Fill, DiskFreeSpaceAndEmptyCardRules) {
    FakeSource src;
    src.names[kLibNormal] = {"R_240612_070525_I1.avi"};
    EntryTable t;
    // Disk 0: success with nothing asked.
    EXPECT_TRUE(t.Fill(src, 0, kSmallFree));
    EXPECT_EQ(0, src.countCalls);
    EXPECT_EQ(0u, t.Filled());
    // 300 MiB free is not a recorder card; just below is.
    EXPECT_FALSE(t.Fill(src, 2, 300ull << 20));
    EXPECT_EQ(0, src.countCalls);
    EXPECT_TRUE(t.Fill(src, 2, (300ull << 20) - 1));
    EXPECT_EQ(1u, t.Filled());
    // An empty card fails.
    FakeSource none;
    EntryTable e;
    EXPECT_FALSE(e.Fill(none, 1, kSmallFree));
    EXPECT_EQ(0u, e.Filled());
    EXPECT_EQ(kNone, BuildLists(e, kFilterAll, 0, 0).currentEntry);
}

TEST(Fill, MisbehavingLibraryStaysInsideTheTable) {
    // Claims more records than it was asked for.
    FakeSource liar;
    liar.names[kLibNormal] = {"R_240612_070525_I1.avi", "R_240612_070600_I1.avi"};
    liar.names[kLibEvent] = {"R_240612_121350_E2.avi"};
    liar.listBonus = 1000;
    EntryTable t;
    ASSERT_TRUE(t.Fill(liar, 1, kSmallFree));
    EXPECT_EQ(3u, t.Filled());
    EXPECT_LE(t.Filled(), t.Capacity());
    EXPECT_EQ(3u, BuildLists(t, kFilterAll, kNone, kNone).files.size());

    // Counts that shrink between the count and the list: only what was written counts.
    FakeSource shrink;
    shrink.names[kLibNormal] = {"R_240612_070525_I1.avi"};
    shrink.countBonus = 3;
    ASSERT_TRUE(t.Fill(shrink, 1, kSmallFree));
    EXPECT_EQ(13u, t.Capacity());  // 1 + 3 announced, 3 for each empty type
    EXPECT_EQ(1u, t.Filled());

    // Negative counts are none; an absurd count is capped.
    FakeSource negative;
    negative.fixedCount = -5;
    EXPECT_FALSE(t.Fill(negative, 1, kSmallFree));
    FakeSource huge;
    huge.fixedCount = INT_MAX;
    huge.names[kLibNormal] = {"R_240613_091018_N1.avi"};
    ASSERT_TRUE(t.Fill(huge, 1, kSmallFree));
    EXPECT_EQ(EntryTable::kMaxEntries, t.Capacity());
    EXPECT_EQ(1u, t.Filled());
    // Only the first type got room: the others were asked for nothing.
    EXPECT_EQ(std::vector<int>{1}, huge.calls);
}

TEST(HeaderCascade, DateGroupAndEventList) {
    HeaderCascade c = CascadeFor(ListId::Date, true);
    EXPECT_TRUE(c.dateRows && c.hourRows && c.fileRows && c.hourHeader && c.fileHeader);
    EXPECT_FALSE(c.eventRows);
    c = CascadeFor(ListId::Hour, true);
    EXPECT_TRUE(!c.dateRows && c.hourRows && c.fileRows && !c.hourHeader && c.fileHeader);
    c = CascadeFor(ListId::File, true);
    EXPECT_TRUE(!c.dateRows && !c.hourRows && c.fileRows && !c.hourHeader && !c.fileHeader);
    c = CascadeFor(ListId::Event, false);
    EXPECT_TRUE(c.eventRows && !c.dateRows && !c.hourRows && !c.fileRows);
}
