#include "ui/framework_file_dialog.h"

#include <algorithm>

#include "ui/dialog.h"

CFileDialog::CFileDialog(BOOL open, LPCWSTR default_ext, LPCWSTR file_name, DWORD flags, LPCWSTR filter,
                         CWnd* parent)
    : m_open(open),
      m_defaultExt(default_ext ? default_ext : u""),
      m_filter(filter ? FilterFromFramework(filter) : std::u16string()) {
    if (file_name) {
        const std::u16string_view name(file_name);
        std::copy_n(name.begin(), std::min(name.size(), std::size(m_file) - 1), m_file);
    }
    m_ofn.hwndOwner = parent ? parent->m_hWnd : nullptr;
    m_ofn.lpstrFilter = m_filter.empty() ? nullptr : m_filter.c_str();
    m_ofn.nFilterIndex = 1;
    m_ofn.lpstrFile = m_file;
    m_ofn.nMaxFile = DWORD(std::size(m_file));
    m_ofn.lpstrDefExt = m_defaultExt.empty() ? nullptr : m_defaultExt.c_str();
    m_ofn.Flags = flags;
}

std::u16string CFileDialog::FilterFromFramework(std::u16string_view filter) {
    std::u16string out(filter);
    if (out.find(u'|') == std::u16string::npos) return out.empty() ? out : out + u'\0' + u'\0';
    std::replace(out.begin(), out.end(), u'|', u'\0');
    // The list ends with an empty string: "||" in the framework's form.
    while (out.size() < 2 || out[out.size() - 1] != 0 || out[out.size() - 2] != 0) out.push_back(0);
    return out;
}

INT_PTR CFileDialog::DoModal() {
    if (m_open) return -1;
    if (!GetSaveFileNameW(&m_ofn)) return IDCANCEL;
    m_path = m_file;
    return IDOK;
}

std::u16string CFileDialog::GetFileName() const { return m_path.substr(std::min<std::size_t>(m_ofn.nFileOffset, m_path.size())); }
