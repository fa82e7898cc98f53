#include "ui/builtin_file_chooser.h"

#include <fnmatch.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <system_error>
#include <vector>

#include "base/text.h"
#include "ui/dialog.h"
#include "ui/input.h"
#include "ui/message_box.h"
#include "ui/message_queue.h"
#include "ui/modal_loop.h"
#include "ui/window.h"

namespace plat::ui {
namespace {

namespace fs = std::filesystem;

constexpr int kMargin = 12;
constexpr int kWidth = 440;
constexpr int kLabelWidth = 84;
constexpr int kRowHeight = 24;
constexpr int kButtonWidth = 80;
constexpr int kListTop = 36;
constexpr int kListHeight = 196;

struct Entry {
    std::string name;
    bool folder = false;
};

struct Chooser {
    const SaveRequest* request = nullptr;
    fs::path folder;
    std::vector<Entry> entries;  // in the list's order
    std::size_t filter = 0;
    bool done = false;
    std::optional<std::string> chosen;
};

// Without "." and "..", and without a trailing separator.
fs::path Normal(const fs::path& p) {
    fs::path n = p.lexically_normal();
    if (!n.has_filename() && n.has_relative_path()) n = n.parent_path();
    return n;
}

std::vector<std::string> PatternsOf(const Chooser& c) {
    std::vector<std::string> out;
    if (c.filter >= c.request->filters.size()) return out;
    std::istringstream in(c.request->filters[c.filter].second);
    for (std::string p; in >> p;) out.push_back(p);
    return out;
}

bool Matches(const std::vector<std::string>& patterns, const std::string& name) {
    if (patterns.empty()) return true;
    return std::any_of(patterns.begin(), patterns.end(), [&](const std::string& p) {
        return p == "*" || p == "*.*" || fnmatch(p.c_str(), name.c_str(), FNM_CASEFOLD) == 0;
    });
}

// ".." (unless at the root), then the sub-folders, then the matching files,
// each group sorted by name; nothing when the folder cannot be read.
std::optional<std::vector<Entry>> ListFolder(const fs::path& folder, const std::vector<std::string>& patterns,
                                             std::error_code& ec) {
    std::vector<Entry> folders, files;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.starts_with('.')) continue;
        std::error_code ignored;
        if (it->is_directory(ignored)) folders.push_back({name, true});
        else if (Matches(patterns, name)) files.push_back({name, false});
    }
    if (ec) return std::nullopt;
    auto by_name = [](const Entry& a, const Entry& b) { return a.name < b.name; };
    std::sort(folders.begin(), folders.end(), by_name);
    std::sort(files.begin(), files.end(), by_name);
    std::vector<Entry> out;
    if (folder.has_relative_path()) out.push_back({"..", true});
    out.insert(out.end(), folders.begin(), folders.end());
    out.insert(out.end(), files.begin(), files.end());
    return out;
}

void Show(HWND dialog, const Chooser& c) {
    SetDlgItemTextW(dialog, kChooserFolderId, Utf8ToUtf16(c.folder.string()).c_str());
    HWND list = GetDlgItem(dialog, kChooserListId);
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    for (const Entry& e : c.entries) {
        const std::u16string label = Utf8ToUtf16(e.folder && e.name != ".." ? e.name + "/" : e.name);
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(label.c_str()));
    }
}

int Tell(HWND dialog, const std::string& text, UINT type) {
    return MessageBoxW(dialog, Utf8ToUtf16(text).c_str(), u"Save As", type);
}

// Lists folder and shows it; a folder that cannot be read is reported and
// the current one stays.
void Enter(HWND dialog, Chooser& c, const fs::path& folder) {
    std::error_code ec;
    auto entries = ListFolder(folder, PatternsOf(c), ec);
    if (!entries) {
        Tell(dialog, "The folder \"" + folder.string() + "\" cannot be opened: " + ec.message() + ".",
             MB_OK | MB_ICONERROR);
        return;
    }
    c.folder = folder;
    c.entries = std::move(*entries);
    Show(dialog, c);
}

std::string NameInEdit(HWND dialog) {
    HWND edit = GetDlgItem(dialog, kChooserNameId);
    std::u16string text(std::size_t(GetWindowTextLengthW(edit)) + 1, u'\0');
    text.resize(std::size_t(GetWindowTextW(edit, text.data(), int(text.size()))));
    return Utf16ToUtf8(text);
}

const Entry* SelectedEntry(HWND dialog, const Chooser& c) {
    const LRESULT index = SendDlgItemMessageW(dialog, kChooserListId, LB_GETCURSEL, 0, 0);
    return index >= 0 && std::size_t(index) < c.entries.size() ? &c.entries[std::size_t(index)] : nullptr;
}

bool ConfirmOverwrite(HWND dialog, const fs::path& path) {
    return Tell(dialog, "\"" + path.filename().string() + "\" already exists.\nDo you want to replace it?",
                MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
}

// Save: the edit's name relative to the current folder.
void Accept(HWND dialog, Chooser& c) {
    const std::string name = NameInEdit(dialog);
    if (name.empty()) return;
    fs::path path = Normal(c.folder / name);  // an absolute name replaces the folder
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        Enter(dialog, c, path);
        SetDlgItemTextW(dialog, kChooserNameId, u"");
        return;
    }
    if (!fs::is_directory(path.parent_path(), ec)) {
        Tell(dialog, "The folder \"" + path.parent_path().string() + "\" does not exist.", MB_OK | MB_ICONERROR);
        return;
    }
    const std::string& extension = c.request->defaultExtension;
    if (!extension.empty() && !path.has_extension()) path += "." + extension;
    if (c.request->overwritePrompt && fs::exists(path, ec) && !ConfirmOverwrite(dialog, path)) return;
    c.chosen = path.string();
    c.done = true;
}

// Enter with a folder selected in the list opens it; otherwise it saves.
void OnSave(HWND dialog, Chooser& c) {
    const Entry* entry = SelectedEntry(dialog, c);
    if (entry && entry->folder && GetFocus() == GetDlgItem(dialog, kChooserListId))
        Enter(dialog, c, Normal(c.folder / entry->name));
    else
        Accept(dialog, c);
}

void OnList(HWND dialog, Chooser& c, WORD code) {
    const Entry* entry = SelectedEntry(dialog, c);
    if (!entry) return;
    if (entry->folder) {
        if (code == LBN_DBLCLK) Enter(dialog, c, Normal(c.folder / entry->name));
        return;
    }
    SetDlgItemTextW(dialog, kChooserNameId, Utf8ToUtf16(entry->name).c_str());
    if (code == LBN_DBLCLK) Accept(dialog, c);
}

void ShowFilter(HWND dialog, const Chooser& c) {
    const auto& filters = c.request->filters;
    const std::string label = c.filter < filters.size() ? filters[c.filter].first : "All files";
    SetDlgItemTextW(dialog, kChooserFilterId, Utf8ToUtf16(label).c_str());
    EnableWindow(GetDlgItem(dialog, kChooserFilterId), filters.size() > 1);
}

void NextFilter(HWND dialog, Chooser& c) {
    c.filter = (c.filter + 1) % std::max<std::size_t>(1, c.request->filters.size());
    ShowFilter(dialog, c);
    Enter(dialog, c, c.folder);
}

INT_PTR ChooserProc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
    auto* c = reinterpret_cast<Chooser*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, lp);
        return TRUE;
    }
    if (message != WM_COMMAND || !c) return FALSE;
    const WORD code = HIWORD(DWORD(wp));
    switch (LOWORD(DWORD(wp))) {
        case IDOK: OnSave(hwnd, *c); return TRUE;
        case IDCANCEL: c->done = true; return TRUE;
        case kChooserFilterId: NextFilter(hwnd, *c); return TRUE;
        case kChooserListId:
            if (code == LBN_SELCHANGE || code == LBN_DBLCLK) OnList(hwnd, *c, code);
            return TRUE;
    }
    return FALSE;
}

plat::resource::DialogTemplate ChooserTemplate(const std::string& title) {
    plat::resource::DialogTemplate d;
    d.style = WS_POPUP | WS_CAPTION | WS_VISIBLE;
    d.cx = kWidth;
    const int name_top = kListTop + kListHeight + kMargin;
    const int filter_top = name_top + kRowHeight + 8;
    const int buttons_top = filter_top + kRowHeight + kMargin;
    d.cy = SHORT(buttons_top + kRowHeight + kMargin);
    d.caption = Utf8ToUtf16(title);
    auto add = [&](const char16_t* cls, const char16_t* text, int id, DWORD style, int x, int y, int cx, int cy) {
        d.items.push_back({style | WS_CHILD | WS_VISIBLE, 0, SHORT(x), SHORT(y), SHORT(cx), SHORT(cy), WORD(id), cls,
                           text});
    };
    const int field_left = kMargin + kLabelWidth + 4;
    const int field_width = kWidth - kMargin - field_left;
    add(WC_STATIC, u"", kChooserFolderId, SS_LEFT, kMargin, kMargin, kWidth - 2 * kMargin, 18);
    add(WC_LISTBOX, u"", kChooserListId, WS_BORDER | LBS_NOTIFY | WS_TABSTOP, kMargin, kListTop, kWidth - 2 * kMargin,
        kListHeight);
    add(WC_STATIC, u"File name:", 0xFFFF, SS_LEFT, kMargin, name_top + 4, kLabelWidth, 18);
    add(WC_EDIT, u"", kChooserNameId, WS_BORDER | ES_AUTOHSCROLL | WS_TABSTOP, field_left, name_top, field_width,
        kRowHeight);
    add(WC_STATIC, u"Type:", 0xFFFF, SS_LEFT, kMargin, filter_top + 4, kLabelWidth, 18);
    add(WC_BUTTON, u"", kChooserFilterId, BS_PUSHBUTTON | WS_TABSTOP, field_left, filter_top, field_width, kRowHeight);
    const int cancel_left = kWidth - kMargin - kButtonWidth;
    add(WC_BUTTON, u"Save", IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, cancel_left - 8 - kButtonWidth, buttons_top,
        kButtonWidth, kRowHeight);
    add(WC_BUTTON, u"Cancel", IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP, cancel_left, buttons_top, kButtonWidth,
        kRowHeight);
    return d;
}

// The folder the chooser opens in (the default name's own folder, else the
// initial folder, else the working directory) and the name it proposes.
std::pair<fs::path, std::string> StartingPoint(const SaveRequest& r) {
    const fs::path name = r.defaultName;
    std::error_code ec;
    const fs::path cwd = fs::current_path(ec);
    fs::path folder = name.has_parent_path() ? name.parent_path() : fs::path(r.initialDir);
    folder = Normal(cwd / folder);
    if (!fs::is_directory(folder, ec)) folder = cwd;
    return {folder, name.filename().string()};
}

void Initialise(HWND dialog, Chooser& c) {
    const auto [folder, name] = StartingPoint(*c.request);
    std::error_code ec;
    c.folder = folder;
    c.entries = ListFolder(folder, PatternsOf(c), ec).value_or(std::vector<Entry>{});
    Show(dialog, c);
    ShowFilter(dialog, c);
    HWND edit = GetDlgItem(dialog, kChooserNameId);
    SetWindowTextW(edit, Utf8ToUtf16(name).c_str());
    SetFocus(edit);
    SendMessageW(edit, EM_SETSEL, 0, -1);
}

}  // namespace

ChooserOutcome RunBuiltinFileChooser(const SaveRequest& request) {
    const HWND focus_before = GetFocus();
    Chooser c;
    c.request = &request;
    c.filter = std::min(request.filterIndex, std::max<std::size_t>(1, request.filters.size()) - 1);
    HWND dialog = CreateDialogIndirectParamW(nullptr, ChooserTemplate(request.title), request.owner, &ChooserProc,
                                             reinterpret_cast<LPARAM>(&c));
    if (!dialog) return std::nullopt;
    Initialise(dialog, c);
    RunModalDialog(dialog, request.owner, focus_before, [&] { return c.done; });
    return c.chosen;
}

}  // namespace plat::ui
