// Version: the viewer's version and the camera's firmware version and serial
// number (from "menu.cfg" on the camera's drive) in a small skinned dialog.
//
// The main window's Version command:
//
//     ShowInformation(this, m_driveRoot);   // e.g. L"E:\\", empty before a drive is chosen
#pragma once
#include "fw_dialog.h"
#include "fw_gdi.h"
#include "skin_button.h"
#include "tp_static.h"

class CInformation : public CDialog {
public:
    explicit CInformation(CWnd* parent = nullptr);
    ~CInformation() override;

    // The settings file is drive path + "menu.cfg".
    void SetDrivePath(const wchar_t* drivePath);
    const CString& SettingPath() const { return m_cstrSettingPath; }

    // Label 1141 := the firmware version (20 bytes at 100); 1142 := the serial
    // number (16 bytes at 84). Empty when the file does not open.
    void ReadFirmwareVersion();
    void ReadSerialNumber();

protected:
    BOOL OnInitDialog() override;
    void BindControls() override;
    void DeclareMessageMap(MessageMap& map) override;

private:
    LRESULT OnEraseBackground(HDC dc);
    CString ReadField(long offset, size_t length) const;

    CBackBuffer m_back;  // the composed background, kept after the first erase
    unsigned m_nBackState = 3;
    CSkinButton m_btnOk;
    CTPStatic m_title, m_viewer, m_firmware, m_serial, m_viewerHeading, m_firmwareHeading, m_serialHeading;
    CString m_cstrSettingPath;
};

// Runs the dialog for the drive path (owner: the main window).
void ShowInformation(CWnd* owner, const wchar_t* drivePath);
