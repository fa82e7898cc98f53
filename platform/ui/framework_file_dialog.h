// The framework's save dialog: GetSaveFileNameW (save_file_dialog.h) behind
// an object. The filter is given in the framework's form, each description
// and pattern list ended by '|' and the whole by "||" ("Text files
// (*.txt)|*.txt|All files (*.*)|*.*||"); a filter without '|' is one
// description without patterns. Only saving is provided (an open dialog
// fails with -1 from DoModal).
#pragma once

#include <string>

#include "ui/framework_wnd.h"
#include "ui/save_file_dialog.h"

class CFileDialog {
public:
    CFileDialog(BOOL open, LPCWSTR default_ext = nullptr, LPCWSTR file_name = nullptr,
                DWORD flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, LPCWSTR filter = nullptr, CWnd* parent = nullptr);

    // IDOK with the chosen path, IDCANCEL when the user cancelled or no
    // chooser could be shown (CommDlgExtendedError tells which).
    INT_PTR DoModal();
    std::u16string GetPathName() const { return m_path; }
    std::u16string GetFileName() const;

    OPENFILENAMEW m_ofn;

    // The Windows form of a framework filter: '|' becomes the terminator.
    static std::u16string FilterFromFramework(std::u16string_view filter);

private:
    BOOL m_open;
    std::u16string m_defaultExt;
    std::u16string m_filter;
    std::u16string m_path;
    WCHAR m_file[1024] = {};
};
