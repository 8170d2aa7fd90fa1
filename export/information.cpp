#include "information.h"
#include <cstdio>
#include "control_ids.h"
#include "bitmap_ids.h"
#include "mem_dc.h"
#include "resource.h"
#include "settings_field.h"

namespace {
constexpr int kWidth = 400, kHeight = 300;
constexpr COLORREF kWhite = RGB(255, 255, 255), kBlack = RGB(0, 0, 0);
constexpr int kBold = 700, kNormal = 400;

void SetUp(CTPStatic& label, const wchar_t* text, int x, int y, int w, int h, COLORREF colour, int weight) {
    label.SetWindowText(text);
    label.SetLabelTextColor(colour);
    label.SetLabelFont(L"Arial", 10);
    label.SetFontWeight(weight);
    label.MoveWindow(x, y, w, h);
}
}  // namespace

CInformation::CInformation(CWnd* parent) : CDialog(IDD_INFORMATION, parent) {}

CInformation::~CInformation() = default;

void CInformation::SetDrivePath(const wchar_t* drivePath) {
    m_cstrSettingPath = CString(drivePath ? drivePath : L"") + L"menu.cfg";
}

void CInformation::BindControls() {
    Bind(IDOK, m_btnOk);
    Bind(IDC_INFO_TITLE, m_title);
    Bind(IDC_INFO_VIEWER, m_viewer);
    Bind(IDC_INFO_FIRMWARE, m_firmware);
    Bind(IDC_INFO_SERIAL, m_serial);
    Bind(IDC_INFO_VIEWER_HEADING, m_viewerHeading);
    Bind(IDC_INFO_FIRMWARE_HEADING, m_firmwareHeading);
    Bind(IDC_INFO_SERIAL_HEADING, m_serialHeading);
}

void CInformation::DeclareMessageMap(MessageMap& map) {
    map.OnCommand(IDOK, [this] { EndDialog(IDOK); });
    map.On(WM_ERASEBKGND, [this](WPARAM wp, LPARAM) { return OnEraseBackground(reinterpret_cast<HDC>(wp)); });
}

BOOL CInformation::OnInitDialog() {
    CDialog::OnInitDialog();
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, kWidth, kHeight, SWP_NOMOVE | SWP_NOZORDER);
    CenterWindow();
    m_btnOk.SetSkinImages(IDB_OK_NORMAL, IDB_OK_PRESSED, IDB_OK_PRESSED, 0, 0, 0, 2, 0, 0);
    m_btnOk.MoveWindow(125, 256, 150, 32);
    SetUp(m_title, L"Information", 10, 5, 300, 25, kWhite, kBold);
    m_title.AddTextFormat(DT_VCENTER | DT_SINGLELINE);
    SetUp(m_viewerHeading, L"1. View version", 25, 65, 250, 18, kBlack, kBold);
    SetUp(m_viewer, L"Date : 2017-12-20\nVersion :1.0.0.0", 45, 85, 250, 38, kBlack, kNormal);
    SetUp(m_firmwareHeading, L"2. Firmware version", 25, 125, 250, 18, kBlack, kBold);
    SetUp(m_firmware, L"A123", 45, 145, 250, 38, kBlack, kNormal);
    SetUp(m_serialHeading, L"3. Serial number", 25, 185, 250, 18, kBlack, kBold);
    SetUp(m_serial, L"B789", 45, 205, 250, 38, kBlack, kNormal);
    ReadFirmwareVersion();
    ReadSerialNumber();
    return TRUE;
}

CString CInformation::ReadField(long offset, size_t length) const {
    // Read as the bytes are (binary): the camera's fields are not text lines.
    std::FILE* f = ::_wfopen(m_cstrSettingPath, L"rb");
    std::string bytes = settings::ReadField(f, offset, length);
    if (f) std::fclose(f);
    return CString::FromAnsi(bytes.c_str());
}

void CInformation::ReadFirmwareVersion() {
    m_firmware.SetWindowText(ReadField(settings::kFirmwareOffset, settings::kFirmwareBytes));
}

void CInformation::ReadSerialNumber() {
    m_serial.SetWindowText(ReadField(settings::kSerialOffset, settings::kSerialBytes));
}

LRESULT CInformation::OnEraseBackground(HDC dc) {
    RECT rc = GetClientRect();
    if (!(m_nBackState & 1) && m_back.IsValid()) {
        ::BitBlt(dc, 0, 0, rc.right, rc.bottom, m_back, 0, 0, SRCCOPY);
        return TRUE;
    }
    {
        QxMemDC mem(dc, &rc, false);
        CBitmap background;
        if (background.LoadBitmap(IDB_INFO_BACKGROUND)) mem.StretchBitmap(background, 0, 0, rc.right, rc.bottom);
        if (m_back.Ensure(dc, rc.right, rc.bottom)) {
            ::BitBlt(m_back, 0, 0, rc.right, rc.bottom, mem, 0, 0, SRCCOPY);
            for (CTPStatic* label :
                 {&m_title, &m_viewer, &m_firmware, &m_serial, &m_viewerHeading, &m_firmwareHeading, &m_serialHeading})
                label->CaptureBackground(m_back);
        }
    }
    if (m_back.IsValid()) ::BitBlt(dc, 0, 0, rc.right, rc.bottom, m_back, 0, 0, SRCCOPY);
    m_nBackState ^= 1;
    return TRUE;
}

void ShowInformation(CWnd* owner, const wchar_t* drivePath) {
    CInformation dlg(owner);
    dlg.SetDrivePath(drivePath);
    dlg.DoModal();
}
