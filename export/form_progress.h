// Save: the ticked recordings converted by the device library into a folder
// the user picks (videos as AVI, photos as JPEG), on a worker thread behind a
// small progress dialog; at the end the user may open the folder.
//
// The main window stops playback, hides the surfaces and resets the GPS
// readout, then:
//
//     std::vector<CString> names;   // column 3 of each ticked row of 1066, in list order
//     if (SaveChecked(this, names, &m_krv)) <untick every row of 1066>;
#pragma once
#include <atomic>
#include <vector>
#include "export_run.h"
#include "fw_controls.h"
#include "fw_dialog.h"
#include "fw_gdi.h"
#include "krv_library.h"
#include "tp_static.h"
#include "worker.h"

class CFormProgress : public CDialog {
public:
    // The owner is disabled while the dialog runs; folder ends with a backslash.
    CFormProgress(CWnd* parent, const CString& folder);
    ~CFormProgress() override;

    void AddFile(const CString& name) { m_arrFiles.push_back(name); }
    void ClearFiles() { m_arrFiles.clear(); }
    const exporting::Outcome& Outcome() const { return m_outcome; }

    KrvLibrary* m_pDevice = nullptr;

protected:
    BOOL OnInitDialog() override;
    void BindControls() override;
    void DeclareMessageMap(MessageMap& map) override;
    // The dialog ends only when the export has finished.
    void OnOK() override {}
    void OnCancel() override {}

private:
    class Steps;
    LRESULT OnEraseBackground(HDC dc);
    void OnTimer();
    // Worker thread: every file in order, then the hand-over of the outcome.
    void ExportWorker(HWND wnd, std::vector<CString> files, CString folder, const std::atomic<bool>& stop);
    // Worker thread: one file; false when it could not be saved.
    bool ExportOne(HWND wnd, const CString& name, const CString& folder);

    CBackBuffer m_back;  // the composed background, kept after the first erase
    unsigned m_nBackState = 3;
    CTPStatic m_Label;
    CProgressCtrl m_ProgressAll, m_ProgressStep;
    std::vector<CString> m_arrFiles;
    CString m_strFolder;
    CWorkerThread m_pWorker;
    // Set on the window thread by the worker's last posted call.
    bool m_bDone = false;
    exporting::Outcome m_outcome;
};

// The Save command: messages for nothing ticked and a cancelled folder choice
// (false), else the export and its completion question (true).
bool SaveChecked(CWnd* owner, const std::vector<CString>& names, KrvLibrary* device);
