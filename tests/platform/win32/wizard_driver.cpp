// Works a property-sheet wizard of another process as a person would, through
// window messages, and reads back what it shows. Commands come one a line on
// standard input; each gets one answer line: "ok ...", "timeout ..." or
// "error ...". Texts in answers and arguments are UTF-8, with backslash
// escapes for newline, return, tab and the backslash itself (\n \r \t \\).
// A control is ID on the active page or dID on the dialog that the last
// wait-dialog found; every wait ends its line with its limit in ms.
//
//   start COMMAND-LINE         run the program (ok PID)
//   desktop                    make sure Wine's desktop is up; while this
//                              process lives, it stays up
//   wait-sheet PAGES MS        until the sheet is up, its PAGES pages made and
//                              the first one active again
//   page                       index of the active page
//   wait-page N MS             until page N is active
//   texts                      title=, the page's visible controls ID=, note=
//   buttons                    the sheet buttons a person could press
//   press next|back|finish|cancel
//   wait-enabled next|back|finish|cancel|ID|dID MS
//   click ID|dID               BM_CLICK on an enabled, visible control
//   set-text ID|dID TEXT
//   combo ID|dID TEXT|#INDEX   select an entry or type into an editable box
//   rows                       list view 1005: rows of cells joined by '|'
//   select-row N
//   wait-dialog KEY MS         KEY: a caption, or a template number
//   dtexts                     caption= and the visible controls of that dialog
//   wait-text ID|dID TEXT MS   until the control shows exactly TEXT
//   wait-no-dialog KEY MS
//   wait-exit MS               the exit code
//   shot PATH                  the sheet, as drawn, into a 24-bit BMP (pictures only)
//   kill

#include <windows.h>

#include <commctrl.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr UINT kSendLimitMs = 5000;
constexpr DWORD kPollMs = 20;
constexpr int kBackId = 0x3023;
constexpr int kNextId = 0x3024;
constexpr int kFinishId = 0x3025;
constexpr int kNoteId = 1046;
constexpr int kListId = 1005;

// A dialog has no template number of its own: each is known by a control that
// only it has.
struct TemplateMark {
    int templateId;
    int controlId;
};
constexpr TemplateMark kTemplateMarks[] = {{140, 1012}, {141, 1020}, {142, 1047},
                                           {143, 1048}, {173, 1050}, {176, 1050}};

PROCESS_INFORMATION g_child{};
HWND g_dialog = nullptr;

std::wstring Wide(const std::string& s) {
    std::wstring w(s.size(), L'\0');
    w.resize(MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(),
                                 static_cast<int>(w.size())));
    return w;
}

std::string Utf8(const std::wstring& w) {
    std::string s(w.size() * 3, '\0');
    s.resize(WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(),
                                 static_cast<int>(s.size()), nullptr, nullptr));
    return s;
}

std::string Escape(const std::string& s) {
    std::string out;
    for (char c : s) {
        const char* escaped = c == '\\'   ? "\\\\"
                              : c == '\n' ? "\\n"
                              : c == '\r' ? "\\r"
                              : c == '\t' ? "\\t"
                                          : nullptr;
        if (escaped != nullptr) {
            out += escaped;
        } else {
            out += c;
        }
    }
    return out;
}

std::string Unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out += s[i];
            continue;
        }
        const char c = s[++i];
        out += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
    }
    return out;
}

// The wizard may be busy: a send that does not come back in time counts as 0.
LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, kSendLimitMs, &result) ==
        0) {
        return 0;
    }
    return static_cast<LRESULT>(result);
}

std::string TextOf(HWND window) {
    const auto length = static_cast<size_t>(Send(window, WM_GETTEXTLENGTH, 0, 0));
    std::wstring text(length + 1, L'\0');
    text.resize(static_cast<size_t>(
        Send(window, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data()))));
    return Utf8(text);
}

bool Exited() {
    return g_child.hProcess != nullptr && WaitForSingleObject(g_child.hProcess, 0) == WAIT_OBJECT_0;
}

// Polls until `done` or the limit; false at the limit or when the program ended.
bool Poll(DWORD limitMs, const std::function<bool()>& done) {
    const ULONGLONG end = GetTickCount64() + limitMs;
    for (;;) {
        if (done()) {
            return true;
        }
        if (Exited() || GetTickCount64() >= end) {
            return false;
        }
        Sleep(kPollMs);
    }
}

std::vector<HWND> ChildDialogs() {
    std::vector<HWND> found;
    EnumWindows(
        [](HWND window, LPARAM list) -> BOOL {
            DWORD pid = 0;
            GetWindowThreadProcessId(window, &pid);
            wchar_t name[16] = {};
            GetClassNameW(window, name, 16);
            if (pid == g_child.dwProcessId && IsWindowVisible(window) &&
                std::wstring(name) == L"#32770") {
                reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

HWND Sheet() {
    for (HWND window : ChildDialogs()) {
        if (GetDlgItem(window, kNextId) != nullptr) {
            return window;
        }
    }
    return nullptr;
}

HWND ActivePage() {
    const HWND sheet = Sheet();
    return sheet == nullptr ? nullptr
                            : reinterpret_cast<HWND>(Send(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
}

int PageIndex() {
    const HWND sheet = Sheet();
    const HWND page = ActivePage();
    return page == nullptr
               ? -1
               : static_cast<int>(Send(sheet, PSM_HWNDTOINDEX, reinterpret_cast<WPARAM>(page), 0));
}

bool IsKey(HWND window, const std::string& key) {
    if (!key.empty() && key.find_first_not_of("0123456789") == std::string::npos) {
        for (const TemplateMark& mark : kTemplateMarks) {
            if (mark.templateId == std::stoi(key)) {
                return GetDlgItem(window, mark.controlId) != nullptr;
            }
        }
        return false;
    }
    return TextOf(window) == key;
}

// The one a person could act on when several match: the enabled one.
HWND FindDialog(const std::string& key) {
    HWND match = nullptr;
    const HWND sheet = Sheet();
    for (HWND window : ChildDialogs()) {
        if (window != sheet && IsKey(window, key) &&
            (match == nullptr || IsWindowEnabled(window))) {
            match = window;
        }
    }
    return match;
}

int ControlId(HWND control) {
    const int id = GetDlgCtrlID(control);
    return id == 0xFFFF ? -1 : id;
}

std::string ChildTexts(HWND parent) {
    std::string out;
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if (IsWindowVisible(child)) {
            out += "\t" + std::to_string(ControlId(child)) + "=" + Escape(TextOf(child));
        }
    }
    return out;
}

// "next" and the like name the sheet's buttons; ID a control of the page,
// dID one of the last dialog found.
HWND Control(const std::string& name) {
    static const std::pair<const char*, int> kButtons[] = {
        {"next", kNextId}, {"back", kBackId}, {"finish", kFinishId}, {"cancel", IDCANCEL}};
    for (const auto& [word, id] : kButtons) {
        if (name == word) {
            return GetDlgItem(Sheet(), id);
        }
    }
    try {
        if (name.size() > 1 && name[0] == 'd') {
            return IsWindow(g_dialog) ? GetDlgItem(g_dialog, std::stoi(name.substr(1))) : nullptr;
        }
        return GetDlgItem(ActivePage(), std::stoi(name));
    } catch (const std::exception&) {
        return nullptr;
    }
}

bool Usable(HWND control) {
    return control != nullptr && IsWindowVisible(control) && IsWindowEnabled(control);
}

// Memory in the wizard's process, for the list view's pointers.
class Remote {
public:
    explicit Remote(size_t size)
        : m_p(VirtualAllocEx(g_child.hProcess, nullptr, size, MEM_COMMIT, PAGE_READWRITE)) {}
    ~Remote() {
        if (m_p != nullptr) {
            VirtualFreeEx(g_child.hProcess, m_p, 0, MEM_RELEASE);
        }
    }
    Remote(const Remote&) = delete;
    Remote& operator=(const Remote&) = delete;
    void* At(size_t offset) const { return static_cast<char*>(m_p) + offset; }
    bool Write(size_t offset, const void* data, size_t size) const {
        return WriteProcessMemory(g_child.hProcess, At(offset), data, size, nullptr) != 0;
    }
    bool Read(size_t offset, void* data, size_t size) const {
        return ReadProcessMemory(g_child.hProcess, At(offset), data, size, nullptr) != 0;
    }
    bool Ok() const { return m_p != nullptr; }

private:
    void* m_p;
};

std::string Rows() {
    const HWND list = GetDlgItem(ActivePage(), kListId);
    if (list == nullptr) {
        return "error no list view";
    }
    constexpr size_t kChars = 512;
    Remote memory(sizeof(LVITEMW) + kChars * sizeof(wchar_t));
    if (!memory.Ok()) {
        return "error VirtualAllocEx " + std::to_string(GetLastError());
    }
    const auto header = reinterpret_cast<HWND>(Send(list, LVM_GETHEADER, 0, 0));
    const auto columns = static_cast<int>(Send(header, HDM_GETITEMCOUNT, 0, 0));
    const auto rows = static_cast<int>(Send(list, LVM_GETITEMCOUNT, 0, 0));
    std::string out = "ok";
    for (int row = 0; row < rows; ++row) {
        out += "\t";
        for (int column = 0; column < columns; ++column) {
            LVITEMW item{};
            item.iSubItem = column;
            item.pszText = static_cast<wchar_t*>(memory.At(sizeof item));
            item.cchTextMax = kChars;
            memory.Write(0, &item, sizeof item);
            const auto length = static_cast<size_t>(
                Send(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(memory.At(0))));
            std::wstring text(length, L'\0');
            memory.Read(sizeof item, text.data(), length * sizeof(wchar_t));
            out += (column > 0 ? "|" : "") + Escape(Utf8(text));
        }
    }
    return out;
}

std::string SelectRow(int row) {
    const HWND list = GetDlgItem(ActivePage(), kListId);
    Remote memory(sizeof(LVITEMW));
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    if (list == nullptr || !memory.Ok() || !memory.Write(0, &item, sizeof item)) {
        return "error no list view";
    }
    return Send(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(memory.At(0)))
               ? "ok"
               : "error row " + std::to_string(row) + " not selected";
}

std::string Combo(HWND box, const std::string& choice) {
    LRESULT index = CB_ERR;
    if (choice.size() > 1 && choice[0] == '#') {
        index = std::stoi(choice.substr(1));
    } else {
        const std::wstring text = Wide(choice);
        for (UINT find : {CB_FINDSTRINGEXACT, CB_FINDSTRING}) {
            if (index == CB_ERR) {
                index = Send(box, find, static_cast<WPARAM>(-1),
                             reinterpret_cast<LPARAM>(text.c_str()));
            }
        }
    }
    const WPARAM command = GetDlgCtrlID(box);
    if (index != CB_ERR && Send(box, CB_SETCURSEL, index, 0) == index) {
        Send(GetParent(box), WM_COMMAND, MAKEWPARAM(command, CBN_SELCHANGE),
             reinterpret_cast<LPARAM>(box));
    } else if ((GetWindowLongW(box, GWL_STYLE) & 3) == CBS_DROPDOWN && choice[0] != '#') {
        const std::wstring text = Wide(choice);
        Send(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
        Send(GetParent(box), WM_COMMAND, MAKEWPARAM(command, CBN_EDITCHANGE),
             reinterpret_cast<LPARAM>(box));
    } else {
        return "error no entry " + choice;
    }
    return "ok " + Escape(TextOf(box));
}

// Wine starts its desktop process at a process's first window call; a window
// made here shows that it is up before the program races it.
bool DesktopReady() {
    const HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                       nullptr, nullptr);
    return probe != nullptr && DestroyWindow(probe);
}

std::string Start(const std::string& commandLine) {
    if (!DesktopReady()) {
        return "error no desktop";
    }
    std::wstring line = Wide(commandLine);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &g_child)) {
        return "error CreateProcess " + std::to_string(GetLastError());
    }
    return "ok " + std::to_string(g_child.dwProcessId);
}

std::string Waited(bool done, const std::string& what) {
    if (done) {
        return "ok";
    }
    return Exited() ? "error the program ended" : "timeout " + what;
}

// The window with its frame as the display shows it now, bottom-up BGR.
std::string Shot(HWND window, const std::string& path) {
    RECT r;
    if (window == nullptr || !GetWindowRect(window, &r)) {
        return "error no sheet";
    }
    const int w = r.right - r.left;
    const int h = r.bottom - r.top;
    const HDC screen = GetDC(nullptr);
    const HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    const DWORD stride = (static_cast<DWORD>(w) * 3 + 3) & ~3u;
    const DWORD size = stride * static_cast<DWORD>(h);
    constexpr auto kHeaders =
        static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER));
    BITMAPFILEHEADER file{0x4D42, kHeaders + size, 0, 0, kHeaders};
    FILE* out = _wfopen(Wide(path).c_str(), L"wb");
    bool written = out != nullptr && std::fwrite(&file, sizeof file, 1, out) == 1 &&
                   std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1 &&
                   std::fwrite(bits, 1, size, out) == size;
    if (out != nullptr) {
        written = std::fclose(out) == 0 && written;
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return written ? "ok" : "error cannot write " + path;
}

std::string Run(const std::string& line) {
    const size_t space = line.find(' ');
    const std::string command = line.substr(0, space);
    const std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
    // Waits end with their limit; what is before it may hold spaces.
    const size_t last = rest.rfind(' ');
    const std::string head = Unescape(last == std::string::npos ? "" : rest.substr(0, last));
    const DWORD ms = static_cast<DWORD>(std::atol(rest.substr(last + 1).c_str()));
    const std::string first = rest.substr(0, rest.find(' '));
    const std::string afterFirst =
        Unescape(rest.find(' ') == std::string::npos ? "" : rest.substr(rest.find(' ') + 1));

    if (command == "start") {
        return Start(rest);
    }
    if (command == "desktop") {
        return DesktopReady() ? "ok" : "error no desktop";
    }
    if (g_child.hProcess == nullptr) {
        return "error nothing started";
    }
    if (command == "wait-sheet") {
        // A wizard that makes every page at its start is ready only once it
        // has come back to the first one.
        const int pages = std::atoi(head.c_str());
        return Waited(Poll(ms,
                           [pages] {
                               const HWND sheet = Sheet();
                               return sheet != nullptr && PageIndex() == 0 &&
                                      Send(sheet, PSM_INDEXTOHWND, pages - 1, 0) != 0;
                           }),
                      "no sheet with " + head + " pages");
    }
    if (command == "page") {
        return "ok " + std::to_string(PageIndex());
    }
    if (command == "wait-page") {
        const int want = std::atoi(head.c_str());
        return Waited(Poll(ms, [want] { return PageIndex() == want; }),
                      "page " + std::to_string(PageIndex()));
    }
    if (command == "texts") {
        const HWND sheet = Sheet();
        const HWND note = GetDlgItem(sheet, kNoteId);
        return sheet == nullptr
                   ? "error no sheet"
                   : "ok\ttitle=" + Escape(TextOf(sheet)) + ChildTexts(ActivePage()) +
                         (IsWindowVisible(note) ? "\tnote=" + Escape(TextOf(note)) : "");
    }
    if (command == "buttons") {
        std::string out = "ok";
        for (const char* name : {"back", "next", "finish", "cancel"}) {
            out += Usable(Control(name)) ? std::string(" ") + name : "";
        }
        return out;
    }
    if (command == "press") {
        static const std::pair<std::string, int> kPress[] = {{"back", PSBTN_BACK},
                                                             {"next", PSBTN_NEXT},
                                                             {"finish", PSBTN_FINISH},
                                                             {"cancel", PSBTN_CANCEL}};
        for (const auto& [name, button] : kPress) {
            if (name == rest) {
                if (!Usable(Control(name))) {
                    return "error " + name + " is not enabled";
                }
                PostMessageW(Sheet(), PSM_PRESSBUTTON, button, 0);
                return "ok";
            }
        }
        return "error no button " + rest;
    }
    if (command == "wait-enabled") {
        return Waited(Poll(ms, [&head] { return Usable(Control(head)); }), head + " not enabled");
    }
    if (command == "click") {
        const HWND control = Control(rest);
        if (!Usable(control)) {
            return "error " + rest + (control == nullptr ? " not found" : " not enabled");
        }
        PostMessageW(control, BM_CLICK, 0, 0);
        return "ok";
    }
    if (command == "set-text" || command == "combo") {
        const HWND control = Control(first);
        if (!Usable(control) || afterFirst.empty()) {
            return "error " + first + " not usable";
        }
        if (command == "combo") {
            return Combo(control, afterFirst);
        }
        const std::wstring text = Wide(afterFirst);
        Send(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
        return "ok";
    }
    if (command == "rows") {
        return Rows();
    }
    if (command == "select-row") {
        return SelectRow(std::atoi(rest.c_str()));
    }
    if (command == "wait-dialog") {
        const bool found = Poll(ms, [&head] { return (g_dialog = FindDialog(head)) != nullptr; });
        return found ? "ok\tcaption=" + Escape(TextOf(g_dialog)) + ChildTexts(g_dialog)
                     : Waited(false, "no dialog " + head);
    }
    if (command == "dtexts") {
        return IsWindow(g_dialog) ? "ok\tcaption=" + Escape(TextOf(g_dialog)) + ChildTexts(g_dialog)
                                  : "error the dialog is gone";
    }
    if (command == "wait-text") {
        const std::string name = head.substr(0, head.find(' '));
        const std::string want =
            head.find(' ') == std::string::npos ? "" : head.substr(head.find(' ') + 1);
        std::string seen;
        const bool done = Poll(ms, [&] {
            seen = TextOf(Control(name));
            return seen == want;
        });
        return Waited(done, name + " shows " + Escape(seen));
    }
    if (command == "wait-no-dialog") {
        return Waited(Poll(ms, [&head] { return FindDialog(head) == nullptr; }),
                      "dialog " + head + " still shown");
    }
    if (command == "wait-exit") {
        if (WaitForSingleObject(g_child.hProcess, ms) != WAIT_OBJECT_0) {
            return "timeout still running";
        }
        DWORD code = 0;
        GetExitCodeProcess(g_child.hProcess, &code);
        return "ok " + std::to_string(code);
    }
    if (command == "kill") {
        TerminateProcess(g_child.hProcess, 1);
        return "ok";
    }
    if (command == "shot") {
        return Shot(Sheet(), rest);
    }
    return "error unknown command " + command;
}

} // namespace

int wmain() {
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    std::string line;
    while (std::getline(std::cin, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty()) {
            continue;
        }
        std::string answer;
        try {
            answer = Run(line);
        } catch (const std::exception& e) {
            answer = std::string("error ") + e.what();
        }
        answer += "\n";
        std::fwrite(answer.data(), 1, answer.size(), stdout);
        std::fflush(stdout);
    }
    // The test has gone: its wizard must not outlive it.
    if (g_child.hProcess != nullptr && !Exited()) {
        TerminateProcess(g_child.hProcess, 1);
    }
    return 0;
}
