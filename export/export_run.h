// The export of the ticked recordings, as the worker runs it: progress
// positions, one export per file, and the tally of files that could not be
// saved. Plain C++; the progress dialog supplies the steps.
#pragma once
#include <atomic>
#include <string>
#include <vector>

namespace exporting {

// What the completion question reports.
struct Outcome {
    int total = 0;
    int failed = 0;
    std::wstring firstFailed;  // name of the first file that could not be saved
};

class Steps {
public:
    virtual ~Steps() = default;
    // Overall bar 0..files, activity bar 0..3.
    virtual void SetRanges(int files) = 0;
    virtual void SetPositions(int overall, int activity) = 0;
    // Exports one file; false when it could not be saved.
    virtual bool ExportOne(const std::wstring& name) = 0;
    // The short pause after each file.
    virtual void Pause() = 0;
};

// Runs every file in order: before file i the overall bar shows i and the
// activity bar (i + 1) mod 3; after the last one n and 3. A stop request ends
// the run before the next file (the files not tried are not counted).
Outcome Run(const std::vector<std::wstring>& files, Steps& steps, const std::atomic<bool>* stop = nullptr);

// A name that holds "jpg" (exactly so, anywhere) is a photo.
bool IsPhotoName(const std::wstring& name);

// The folder as the completion question shows it: its first 18 characters,
// "..", its last 8 characters (they overlap for short folders).
std::wstring ShortFolder(const std::wstring& folder);

// The completion question's text. Without failures the question as it always
// was; otherwise how many of how many files could not be saved and the first
// of them.
std::wstring CompletionText(const std::wstring& folder, const Outcome& outcome);

// Whether a photo extract of `length` bytes from a buffer of `capacity` bytes
// can be written: 0 bytes, or more than the buffer holds, is a failed extract.
bool PhotoLengthUsable(unsigned long long length, unsigned long long capacity);

}  // namespace exporting
