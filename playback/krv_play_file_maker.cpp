#include "krv_play_file_maker.h"

#include <windows.h>

#include "krv_library.h"

namespace playback {

void CKrvPlayFileMaker::SetPcFolder(const std::string& folder) {
    m_folder = folder;
    m_library.SetPcfolder(folder.c_str());
}

bool CKrvPlayFileMaker::MakePlayFile(const std::string& name, uint8_t* gsensor, uint8_t* gps) {
    m_library.MakePlayFile(name.c_str(), gsensor, gps);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    const std::string path = m_folder + name;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return false;
    return !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && (data.nFileSizeHigh || data.nFileSizeLow);
}

void CKrvPlayFileMaker::StopMakePlayFile() { m_library.StopMakePlayFile(); }

void CKrvPlayFileMaker::RemoveFile(const std::string& path) { DeleteFileA(path.c_str()); }

}  // namespace playback
