#include "catalogue_model.h"
#include <algorithm>
#include <cstring>
#include <new>
#include <numeric>

namespace catalogue {

namespace {
constexpr size_t kMinNameLength = 17;  // up to and including the type letter
constexpr uint64_t kFreeLimitMiB = 300;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The twelve digits at 2-7 and 9-14, or false when one is not a digit.
bool ReadStamp(const std::string& name, uint64_t& stamp) {
    if (name.size() < kMinNameLength) return false;
    uint64_t v = 0;
    for (size_t i : {2, 3, 4, 5, 6, 7, 9, 10, 11, 12, 13, 14}) {
        if (!IsDigit(name[i])) return false;
        v = v * 10 + static_cast<uint64_t>(name[i] - '0');
    }
    stamp = v;
    return true;
}
}  // namespace

RecType TypeOfLetter(char letter) {
    switch (letter) {
        case 'N':
        case 'n':
        case 'R':
        case 'r':
        case 'I':
        case 'i': return RecType::Normal;
        case 'E':
        case 'e': return RecType::Event;
        case 'P':
        case 'p':
        case 'M':
        case 'm': return RecType::Park;
        case 'U':
        case 'u':
        case 'J':
        case 'j': return RecType::Photo;
        default: return RecType::Other;
    }
}

const char* TypeText(RecType type) {
    switch (type) {
        case RecType::Normal: return "Normal";
        case RecType::Event: return "Event";
        case RecType::Park: return "Park";
        case RecType::Photo: return "Photo";
        default: return "F";
    }
}

unsigned FilterFlag(RecType type) {
    switch (type) {
        case RecType::Normal: return kFilterNormal;
        case RecType::Event: return kFilterEvent;
        case RecType::Park: return kFilterPark;
        case RecType::Photo: return kFilterPhoto;
        default: return 0;
    }
}

unsigned ApplyFilterCode(unsigned set, int code) {
    switch (code) {
        case 0: return kFilterAll;
        case 1: return set ^ kFilterEvent;
        case 2: return set ^ kFilterNormal;
        case 3: return set ^ kFilterPark;
        case 4: return set ^ kFilterPhoto;
        case 5:
        case 6:
        case 7: return 0;
        default: return set;
    }
}

std::string Entry::DateText() const {
    if (!valid) return {};
    return "20" + name.substr(2, 2) + "-" + name.substr(4, 2) + "-" + name.substr(6, 2);
}
std::string Entry::HourText() const { return valid ? name.substr(9, 2) : std::string(); }
std::string Entry::MinSecText() const { return valid ? name.substr(11, 2) + ":" + name.substr(13, 2) : std::string(); }
std::string Entry::DateTimeText() const {
    if (!valid) return {};
    return DateText() + " " + name.substr(9, 2) + ":" + name.substr(11, 2) + ":" + name.substr(13, 2);
}

Entry ReadEntry(const unsigned char* record) {
    Entry e;
    const char* s = reinterpret_cast<const char*>(record);
    // At most 39 characters are a name; a record without its NUL is cut there.
    e.name.assign(s, strnlen(s, kRecordSize - 1));
    e.valid = ReadStamp(e.name, e.stamp);
    e.type = e.valid ? TypeOfLetter(e.name[16]) : RecType::Other;
    return e;
}

void EntryTable::Release() {
    std::vector<unsigned char>().swap(m_records);
    std::vector<int32_t>().swap(m_a);
    std::vector<int32_t>().swap(m_b);
    std::vector<Entry>().swap(m_entries);
    m_capacity = m_filled = 0;
}

bool EntryTable::Fill(EntrySource& source, unsigned diskNumber, uint64_t freeBytes) {
    if (diskNumber == 0) return true;  // the first physical disk is never read
    if ((freeBytes >> 20) >= kFreeLimitMiB) return false;
    source.GetFileFlag();
    size_t counts[4] = {};
    size_t total = 0;
    for (int i = 0; i < 4; ++i) {
        int n = source.GetFileCnt(kFillOrder[i]);
        counts[i] = n > 0 ? std::min(static_cast<size_t>(n), kMaxEntries - total) : 0;
        total += counts[i];
    }
    if (total == 0) return false;
    Release();
    try {
        m_records.assign(total * kRecordSize, 0);
        m_a.assign(total, 0);
        m_b.assign(total, 0);
    } catch (const std::bad_alloc&) {
        Release();
        return false;
    }
    m_capacity = total;
    for (int i = 0; i < 4; ++i) {
        // A library whose counts grew since it was asked gets no more room
        // than it announced; one that reports more than it was given is cut.
        const size_t ask = std::min(counts[i], m_capacity - m_filled);
        if (ask == 0) continue;
        int got = source.GetFileList(kFillOrder[i], static_cast<int>(ask), m_records.data() + m_filled * kRecordSize,
                                     m_a.data() + m_filled, m_b.data() + m_filled);
        if (got > 0) m_filled += std::min(static_cast<size_t>(got), ask);
    }
    ReadEntries();
    return true;
}

void EntryTable::SetNames(const std::vector<std::string>& names) {
    Release();
    m_capacity = m_filled = names.size();
    m_records.assign(names.size() * kRecordSize, 0);
    m_a.assign(names.size(), 0);
    m_b.assign(names.size(), 0);
    for (size_t i = 0; i < names.size(); ++i)
        memcpy(m_records.data() + i * kRecordSize, names[i].data(), std::min(names[i].size(), kRecordSize));
    ReadEntries();
}

void EntryTable::ReadEntries() {
    m_entries.clear();
    m_entries.reserve(m_filled);
    for (size_t i = 0; i < m_filled; ++i) m_entries.push_back(ReadEntry(Record(i)));
}

ListContents BuildLists(const EntryTable& table, unsigned filter, int selDate, int selHour) {
    ListContents out;
    const std::vector<Entry>& entries = table.Entries();

    // Entries the filter lets through, ascending by date and time; equal
    // stamps keep table order.
    std::vector<uint32_t> order;
    order.reserve(entries.size());
    for (uint32_t i = 0; i < entries.size(); ++i)
        if (entries[i].valid && (FilterFlag(entries[i].type) & filter)) order.push_back(i);
    std::stable_sort(order.begin(), order.end(),
                     [&](uint32_t a, uint32_t b) { return entries[a].stamp < entries[b].stamp; });

    std::vector<std::string> dateOf(entries.size()), hourOf(entries.size());
    for (uint32_t i : order) {
        dateOf[i] = entries[i].DateText();
        hourOf[i] = entries[i].HourText();
    }
    auto sortedUnique = [](std::vector<std::string>& v) {
        std::sort(v.begin(), v.end());
        v.erase(std::unique(v.begin(), v.end()), v.end());
    };
    // kNone matches anything; an index past the list matches nothing.
    auto matches = [](const std::vector<std::string>& rows, int index, const std::string& text) {
        if (index == kNone) return true;
        return index >= 0 && static_cast<size_t>(index) < rows.size() && rows[static_cast<size_t>(index)] == text;
    };

    for (uint32_t i : order) out.dates.push_back(dateOf[i]);
    sortedUnique(out.dates);
    for (uint32_t i : order)
        if (matches(out.dates, selDate, dateOf[i])) out.hours.push_back(hourOf[i]);
    sortedUnique(out.hours);

    for (uint32_t i : order) {
        const Entry& e = entries[i];
        const char* typeText = TypeText(e.type);
        if (matches(out.dates, selDate, dateOf[i]) && matches(out.hours, selHour, hourOf[i]))
            out.files.push_back({e.MinSecText(), typeText, e.name});
        if (e.type != RecType::Normal) out.events.push_back({typeText, e.DateTimeText(), e.name});
    }
    if (table.Filled() > 0) {
        out.currentEntry = 0;
        std::stable_sort(out.files.begin(), out.files.end(),
                         [](const FileRow& a, const FileRow& b) { return a.name < b.name; });
    }
    return out;
}

HeaderCascade CascadeFor(ListId list, bool dateGroupShown) {
    HeaderCascade c;
    if (!dateGroupShown) {
        c.eventRows = true;
        return c;
    }
    c.dateRows = list == ListId::Date;
    c.hourRows = list == ListId::Date || list == ListId::Hour;
    c.hourHeader = list == ListId::Date;
    c.fileHeader = list == ListId::Date || list == ListId::Hour;
    c.eventRows = list == ListId::Event;
    c.fileRows = true;
    return c;
}

}  // namespace catalogue
