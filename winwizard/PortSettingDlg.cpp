#include "winwizard/PortSettingDlg.h"

#include "frontend/UartTables.h"
#include "platform/ComMap.h"
#include "res/strings/StringTable.h"
#include "serial/SerialPortList.h"
#include "winwizard/Text.h"
#include "winwizard/UiQueue.h"
#include "winwizard/ValueLists.h"
#include "winwizard/resource.h"

namespace norva::win {
namespace {

std::string Text(int id, std::initializer_list<std::string> args = {}) {
    return FormatString(id, args);
}

} // namespace

CPortSettingDlg::CPortSettingDlg(CUiQueue& queue, std::function<bool()> releasePort)
    : m_detect([&queue](std::function<void()> call) { queue.Post(std::move(call)); }),
      m_releasePort(std::move(releasePort)) {}

int CPortSettingDlg::DoModal(HWND owner) {
    const INT_PTR result =
        DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PORT_SETTING), owner, Proc,
                        reinterpret_cast<LPARAM>(this));
    m_hWnd = nullptr;
    return static_cast<int>(result);
}

INT_PTR CALLBACK CPortSettingDlg::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<CPortSettingDlg*>(GetWindowLongPtrW(window, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        self = reinterpret_cast<CPortSettingDlg*>(lParam);
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        self->m_hWnd = window;
        self->OnInitDialog();
        SetFocus(self->Item(IDC_BAUD));
        return FALSE;
    case WM_COMMAND:
        if (self == nullptr) {
            return FALSE;
        }
        switch (LOWORD(wParam)) {
        case IDC_OK:
        case IDOK: // Return stores too: closing without storing lost what was chosen
            self->OnOk();
            return TRUE;
        case IDCANCEL:
            self->m_detect.Stop();
            EndDialog(window, IDCANCEL);
            return TRUE;
        case IDC_DETECT:
            self->OnDetect();
            return TRUE;
        case IDC_PORT:
            if (HIWORD(wParam) == CBN_SELCHANGE || HIWORD(wParam) == CBN_EDITCHANGE) {
                self->ShowPortText();
            }
            return TRUE;
        default:
            return FALSE;
        }
    case WM_DESTROY:
        // The search ends and its port is closed before the dialog goes.
        if (self != nullptr) {
            self->m_detect.Stop();
        }
        return FALSE;
    default:
        return FALSE;
    }
}

void CPortSettingDlg::OnInitDialog() {
    SetItemText(m_hWnd, IDC_INTRO, "Config serial option to communicate with Norva-BX.");
    const HWND port = Item(IDC_PORT);
    m_choices.Reset();
    int selected = -1;
    for (const PortItem& item : m_choices.Read()) {
        const LRESULT pos =
            SendMessageW(port, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(item.text).c_str()));
        SendMessageW(port, CB_SETITEMDATA, static_cast<WPARAM>(pos), item.number);
        if (item.number == m_values.port) {
            selected = item.number;
        }
    }
    // The list is sorted: the stored port's place is known only now.
    if (selected < 0 || !SelectValue(port, selected)) {
        SetWindowTextW(port, L"");
    }
    // Friendly names are long: the list may be wider than the box.
    SendMessageW(port, CB_SETDROPPEDWIDTH, 360, 0);
    FillValueList(Item(IDC_BAUD), kBaudTexts, kBaudValues, kBaudCount, m_values.baud);
    FillValueList(Item(IDC_PARITY), kParityTexts, kParityValues, kParityCount, m_values.parity);
    FillValueList(Item(IDC_STOPBITS), kStopBitTexts, kStopBitValues, kStopBitCount,
                  m_values.stopBits);
    ShowDetectIdle({});
    ShowPortText();
}

void CPortSettingDlg::ShowPortText(const std::string& extra) {
    std::string lines;
    auto add = [&lines](const std::string& line) { lines += (lines.empty() ? "" : "\n") + line; };
    for (const std::string& warning : m_choices.Warnings()) {
        add(warning);
    }
    if (SendMessageW(Item(IDC_PORT), CB_GETCOUNT, 0, 0) == 0) {
        add(NoPortsHint());
    }
    if (!extra.empty()) {
        add(extra);
    }
    SetItemText(m_hWnd, IDC_PORT_TEXT, lines);
}

void CPortSettingDlg::OnOk() {
    const int port = ReadComNumber(ItemText(m_hWnd, IDC_PORT));
    if (port <= 0) {
        // Without a port Next could only fail, naming "COM0".
        ShowPortText(Text(IDS_PORT_REQUIRED));
        SetFocus(Item(IDC_PORT));
        return;
    }
    m_detect.Stop();
    m_values.port = port;
    m_values.baud = ListValue(Item(IDC_BAUD), kBaudTexts, kBaudValues, kBaudCount);
    m_values.parity = ListValue(Item(IDC_PARITY), kParityTexts, kParityValues, kParityCount);
    m_values.stopBits = ListValue(Item(IDC_STOPBITS), kStopBitTexts, kStopBitValues, kStopBitCount);
    EndDialog(m_hWnd, IDOK);
}

void CPortSettingDlg::ShowDetectIdle(const std::string& text) {
    SetItemText(m_hWnd, IDC_DETECT, Text(IDS_DETECT_BUTTON));
    EnableWindow(Item(IDC_PORT), TRUE);
    SetItemText(m_hWnd, IDC_DETECT_TEXT, text);
}

void CPortSettingDlg::OnDetect() {
    if (m_detect.Running()) {
        m_detect.Stop();
        ShowDetectIdle(Text(IDS_DETECT_STOPPED));
        return;
    }
    const std::string port = ItemText(m_hWnd, IDC_PORT);
    const std::string path = ComDevicePath(ReadComNumber(port));
    if (path.empty()) {
        ShowDetectIdle(Text(IDS_DETECT_NO_PORT));
        return;
    }
    const std::string name = port.substr(0, port.find(' '));
    if (m_releasePort && !m_releasePort()) {
        ShowDetectIdle(Text(IDS_DETECT_IN_USE, {name}));
        return;
    }
    m_searchPort = name;
    const HWND window = m_hWnd;
    m_detect.Start(
        path,
        [window](int index, int count, const std::string& setting) {
            SetItemText(window, IDC_DETECT_TEXT,
                        FormatString(IDS_DETECT_PROGRESS,
                                     {setting, std::to_string(index), std::to_string(count)}));
        },
        [this](const DetectResult& result) { OnDetectFinished(result); });
    SetItemText(m_hWnd, IDC_DETECT, Text(IDS_DETECT_STOP));
    // The search runs on this port: another choice now would not be searched.
    EnableWindow(Item(IDC_PORT), FALSE);
    SetItemText(m_hWnd, IDC_DETECT_TEXT,
                Text(IDS_DETECT_PROGRESS, {DetectSettingText(DetectOrder().front()), "1",
                                           std::to_string(kDetectSettingCount)}));
}

void CPortSettingDlg::OnDetectFinished(const DetectResult& r) {
    if (r.outcome == DetectResult::Outcome::Found) {
        SelectValue(Item(IDC_BAUD), static_cast<int>(r.setting.BaudRate));
        SelectValue(Item(IDC_PARITY), r.setting.Parity);
        SelectValue(Item(IDC_STOPBITS), r.setting.StopBits);
    }
    ShowDetectIdle(DetectOutcomeText(r, m_searchPort));
}

} // namespace norva::win
