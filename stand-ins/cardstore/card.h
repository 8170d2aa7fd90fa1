// The device library's view of one card: its index, per-type listing, and
// the files made from a recording (play file, AVI conversion, photo).
// Not thread-safe by itself; the library serialises access to a Card and
// runs the long file work on copies of what it needs.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "avi.h"
#include "cardstore.h"

namespace krv {

class Card {
public:
    // Reads the card's index from the volume root. An unreadable index leaves
    // the card empty and returns false.
    bool load(std::string root);
    void clear();
    bool loaded() const { return loaded_; }
    const std::string& root() const { return root_; }
    const std::vector<IndexEntry>& entries() const { return entries_; }

    int count(uint8_t type) const;
    // Writes at most `max` 40-byte records of that type (and, where the arrays
    // are given, the duration in seconds and the data size in KiB of each).
    int list(uint8_t type, int max, uint8_t* records, int32_t* seconds, int32_t* kib) const;
    const IndexEntry* find(const char* name) const;

private:
    std::string root_;
    std::vector<IndexEntry> entries_;
    int counts_[4] = {0, 0, 0, 0};
    bool loaded_ = false;
};

// A name the viewer hands back must be a plain file name.
bool isPlainName(const char* name);

// Deletes a half-written temporary file (by default at once; the library
// hands it to a background thread, as deleting a large file that is still
// being written back can take tens of milliseconds).
using DiscardFn = std::function<void(const std::string& path)>;

// Opens a recording's data file for reading (by default a FileSource); the
// library reads it in large blocks and lends the chunks in place.
using SourceOpener = std::function<std::unique_ptr<ByteSource>(const std::string& path)>;

// Creates the output file (by default a FileSink); the library writes with
// its platform's own calls, without the C library's buffering.
using SinkOpener = std::function<std::unique_ptr<ByteSink>(const std::string& path)>;

// Writes folder + name as an AVI of the recording, through a temporary file
// (name + ".part") that is renamed only when complete; fills the two
// 16384-byte blocks when they are given.
MakeResult makePlayFile(const std::string& root, const IndexEntry& e, const std::string& folder, uint8_t* gsensorBlock,
                        uint8_t* gpsBlock, const StopFn& stopped, const DiscardFn& discard = nullptr,
                        const SourceOpener& open = nullptr, const SinkOpener& create = nullptr);

// Copies a photo's JPEG into buf (capacity cap); *length is 0 on failure.
bool makePicture(const std::string& root, const IndexEntry& e, uint32_t* length, uint8_t* buf, size_t cap);

}  // namespace krv
