// Dialogs built from dialog templates in the resources, run modally (with the
// application's message filter in the loop) or modelessly.
#pragma once
#include "fw_wnd.h"

class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr) : m_templateId(templateId), m_parent(parent) {}

    // Runs the dialog modally; returns the value given to EndDialog, or -1
    // when the dialog cannot be created.
    INT_PTR DoModal();
    // Creates the dialog as a modeless window.
    bool Create(UINT templateId, CWnd* parent = nullptr);
    void EndDialog(INT_PTR result);
    bool IsModalRunning() const { return m_modal && !m_done; }

    // Key messages for the dialog's windows: a hosted ActiveX control on the
    // way to the dialog takes its accelerators first, then the dialog manager
    // handles the rest. A child dialog leaves its keys to its top-level window.
    BOOL PreTranslateMessage(MSG* msg) override;

protected:
    // Default initialisation binds the controls; returns TRUE to let the
    // platform set the focus.
    virtual BOOL OnInitDialog();
    // Attaches the template's controls to their member objects.
    virtual void BindControls() {}
    // Escape/Enter via the dialog manager (IDCANCEL / IDOK) end the dialog.
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;
    void Bind(UINT id, CWnd& control) { control.SubclassDlgItem(id, this); }

    UINT m_templateId;
    CWnd* m_parent;

private:
    HWND CreateFromTemplate(HWND parent);
    static INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM);
    bool m_modal = false;
    bool m_done = false;
    INT_PTR m_result = -1;
};
