// The recording catalogue without windows: the entry table filled from the
// device library, the reading of an entry's name (date, time, type letter),
// and the contents of the four lists (dates, hours, files of the selected hour,
// events) under a type filter and the selected date and hour.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace catalogue {

constexpr size_t kRecordSize = 40;  // one entry record as the library writes it
constexpr int kNone = -1;           // "no row" for selections and the current entry

// Library type numbers, asked for in this order when filling.
enum LibraryType : uint8_t { kLibEvent = 0, kLibNormal = 1, kLibPark = 2, kLibPhoto = 3 };
constexpr uint8_t kFillOrder[4] = {kLibNormal, kLibEvent, kLibPark, kLibPhoto};

// Recording type read from the name's type letter.
enum class RecType { Normal, Event, Park, Photo, Other };

// Type-filter flags; the set is a combination of these.
enum : unsigned { kFilterNormal = 1, kFilterEvent = 2, kFilterPark = 4, kFilterPhoto = 8, kFilterAll = 15 };

RecType TypeOfLetter(char letter);
// "Normal", "Event", "Park", "Photo", or "F" for anything else.
const char* TypeText(RecType type);
// The filter flag of a type (0 for Other, which no filter lets through).
unsigned FilterFlag(RecType type);
// The filter set after a filter code: 0 sets all four types; 1 toggles Event,
// 2 Normal, 3 Park, 4 Photo; 5, 6 and 7 clear all; other codes change nothing.
unsigned ApplyFilterCode(unsigned set, int code);

// One entry record read: its name and, when the name has the expected shape
// (at least 17 characters, digits at 2-7 and 9-14), its parts.
struct Entry {
    std::string name;    // up to the first NUL of the 40 bytes
    bool valid = false;  // false: never listed
    RecType type = RecType::Other;
    uint64_t stamp = 0;                // YYMMDDhhmmss as one decimal number
    std::string DateText() const;      // "20YY-MM-DD"
    std::string HourText() const;      // "hh"
    std::string MinSecText() const;    // "mm:ss"
    std::string DateTimeText() const;  // "20YY-MM-DD hh:mm:ss"
};
Entry ReadEntry(const unsigned char* record);

// What the catalogue needs from the device library.
class EntrySource {
public:
    virtual ~EntrySource() = default;
    virtual void GetFileFlag() = 0;
    virtual int GetFileCnt(uint8_t type) = 0;
    // Writes at most count records and two integers per record; returns the
    // number of records written.
    virtual int GetFileList(uint8_t type, int count, unsigned char* records, int32_t* a, int32_t* b) = 0;
};

// The entry table: records exactly as the library wrote them, in fill order.
class EntryTable {
public:
    // Above this many entries a card is not believed (the counts are clamped).
    static constexpr size_t kMaxEntries = 1u << 20;

    // Frees everything; capacity and filled count return to 0.
    void Release();
    // Fills from the library: nothing read (success) when the disk number is
    // not above 0; failure for 300 MiB or more free, or no entries.
    bool Fill(EntrySource& source, unsigned diskNumber, uint64_t freeBytes);

    size_t Capacity() const { return m_capacity; }
    size_t Filled() const { return m_filled; }
    const unsigned char* Record(size_t i) const { return m_records.data() + i * kRecordSize; }
    const std::vector<Entry>& Entries() const { return m_entries; }

    // For tests and the stand-in benchmark: the table as if filled with these names.
    void SetNames(const std::vector<std::string>& names);

private:
    void ReadEntries();
    std::vector<unsigned char> m_records;
    std::vector<int32_t> m_a, m_b;
    std::vector<Entry> m_entries;  // one per filled record
    size_t m_capacity = 0, m_filled = 0;
};

struct FileRow {
    std::string minSec, typeText, name;
};
struct EventRow {
    std::string typeText, dateTime, name;
};

struct ListContents {
    std::vector<std::string> dates, hours;
    std::vector<FileRow> files;    // sorted by name
    std::vector<EventRow> events;  // in date-and-time order
    int currentEntry = kNone;      // 0 when the table holds entries
};

// The four lists from the table under a filter set and the selected date and
// hour indices (kNone matches any date or hour; an index that names no row
// matches nothing).
ListContents BuildLists(const EntryTable& table, unsigned filter, int selDate, int selHour);

// What a header check box does: which lists get every row (un)checked and
// which headers show their box (un)ticked.
struct HeaderCascade {
    bool dateRows = false, hourRows = false, fileRows = false, eventRows = false;
    bool hourHeader = false, fileHeader = false;
};
enum class ListId { Date, Hour, File, Event };
HeaderCascade CascadeFor(ListId list, bool dateGroupShown);

}  // namespace catalogue
