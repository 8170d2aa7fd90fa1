// The prefetch's play file maker over the device library wrapper: the
// library's folder, make and stop entry points, and the platform's file calls.
#pragma once

#include <string>

#include "prefetch.h"

class KrvLibrary;

namespace playback {

class CKrvPlayFileMaker : public IPlayFileMaker {
public:
    explicit CKrvPlayFileMaker(KrvLibrary& library) : m_library(library) {}

    void SetPcFolder(const std::string& folder) override;
    // The library's own result is not relied on: the file is made when it is
    // there with a size above zero.
    bool MakePlayFile(const std::string& name, uint8_t* gsensor, uint8_t* gps) override;
    void StopMakePlayFile() override;
    void RemoveFile(const std::string& path) override;

private:
    KrvLibrary& m_library;
    std::string m_folder;  // of the make under way (one thread makes at a time)
};

}  // namespace playback
