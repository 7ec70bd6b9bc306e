#include "pages/PortSettingDlg.h"

#include "frontend/UnitSetting.h"
#include "pages/ComboValues.h"
#include "pages/PageCommon.h"
#include "pages/SettingsSearch.h"
#include "pages/ThreadHandoff.h"
#include "platform/ComMap.h"
#include "platform/PortWatcher.h"
#include "res/strings/StringTable.h"
#include "serial/SerialPortList.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>
#include <functional>
#include <utility>

namespace norva {
namespace {

int ComNumberOf(const QString& text) {
    return norva::ReadComNumber(text.toStdString());
}

// Return presses OK, the button drawn as default, wherever the focus is: a
// Return that closed the dialog without storing lost what the user chose.
// Watched on every control, since an editable box would take the key.
class EnterKeyFilter : public QObject {
public:
    EnterKeyFilter(QDialog* dialog, std::function<void()> store)
        : QObject(dialog), m_store(std::move(store)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) {
            return QObject::eventFilter(watched, event);
        }
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key != Qt::Key_Return && key != Qt::Key_Enter) {
            return QObject::eventFilter(watched, event);
        }
        m_store();
        return true;
    }

private:
    std::function<void()> m_store;
};

// The directories NORVAWIZARD_COM<n> variables point into: a link there that
// comes or goes is a port that comes or goes.
std::vector<std::string> OverrideDirs() {
    std::vector<std::string> dirs;
    for (int n = 1; n <= kMaxComPort; ++n) {
        if (!ComOverridden(n)) {
            continue;
        }
        const std::string dir = std::filesystem::path(ComDevicePath(n)).parent_path().string();
        if (!dir.empty() && std::find(dirs.begin(), dirs.end(), dir) == dirs.end()) {
            dirs.push_back(dir);
        }
    }
    return dirs;
}

QString Text(int id, std::initializer_list<std::string> args = {}) {
    return QString::fromStdString(FormatString(id, args));
}

// Qt selects the first item of a filled box by itself; a stored value that
// matches no entry must show as no selection.
void FillValueBox(QComboBox* box, const char* const texts[], const int values[], int count,
                  int current) {
    FillValueCombo(box, texts, values, count, current);
    if (box->findData(current) < 0) {
        box->setCurrentIndex(-1);
    }
}

} // namespace

CPortSettingDlg::CPortSettingDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Application Setting"));
    setObjectName(QStringLiteral("CPortSettingDlg"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* intro = new QLabel(this);
    intro->setObjectName(QStringLiteral("introText"));
    SetControlId(intro, 1024);
    intro->setAlignment(Qt::AlignCenter);
    intro->setWordWrap(true);

    m_cbBaudRate = new QComboBox(this);
    m_cbBaudRate->setObjectName(QStringLiteral("baudRateBox"));
    SetControlId(m_cbBaudRate, 1000);
    m_cbParity = new QComboBox(this);
    m_cbParity->setObjectName(QStringLiteral("parityBox"));
    SetControlId(m_cbParity, 1001);
    m_cbStopBits = new QComboBox(this);
    m_cbStopBits->setObjectName(QStringLiteral("stopBitsBox"));
    SetControlId(m_cbStopBits, 1002);
    m_okButton = new QPushButton(QStringLiteral("OK"), this);
    m_okButton->setObjectName(QStringLiteral("okButton"));
    SetControlId(m_okButton, 1020);
    m_okButton->setAutoDefault(false);
    m_okButton->setDefault(true);
    m_cbPort = new QComboBox(this);
    m_cbPort->setObjectName(QStringLiteral("portBox"));
    SetControlId(m_cbPort, 1022);
    m_cbPort->setEditable(true);
    // What was typed is what is stored: Qt's completer would match without
    // regard to case and rewrite "COM3" into a listed "COM33" on focus-out.
    m_cbPort->setCompleter(nullptr);
    // The port list is kept sorted, so COM10 comes before COM2.
    m_cbPort->setInsertPolicy(QComboBox::InsertAlphabetically);

    auto* grid = new QGridLayout;
    int row = 0;
    // Each box is labelled by its text, for screen readers as for the eye.
    for (auto [text, box] :
         {std::pair{"Serial Port", m_cbPort}, std::pair{"BaudRate", m_cbBaudRate},
          std::pair{"Parity", m_cbParity}, std::pair{"StopBit", m_cbStopBits}}) {
        auto* label = new QLabel(QString::fromLatin1(text), this);
        label->setBuddy(box);
        box->setAccessibleName(label->text());
        grid->addWidget(label, row, 0);
        grid->addWidget(box, row, 1);
        ++row;
    }
    m_detectButton = new QPushButton(this);
    m_detectButton->setObjectName(QStringLiteral("detectButton"));
    m_detectButton->setAutoDefault(false);
    m_detectButton->setDefault(false);
    m_detectText = new QLabel(this);
    m_detectText->setObjectName(QStringLiteral("detectText"));
    m_detectText->setWordWrap(true);
    grid->addWidget(m_detectButton, row, 1);
    ++row;
    m_portText = new QLabel(this);
    m_portText->setObjectName(QStringLiteral("portText"));
    m_portText->setWordWrap(true);
    m_portText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A line of a port's details can be long: the box need not be.
    m_cbPort->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_cbPort->setMinimumContentsLength(28);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(grid);
    layout->addWidget(m_portText);
    layout->addWidget(m_detectText);
    layout->addWidget(m_okButton, 0, Qt::AlignHCenter);

    m_search = new CSettingsSearch(this);
    connect(m_search, &CSettingsSearch::Progress, this, &CPortSettingDlg::OnDetectProgress);
    connect(m_search, &CSettingsSearch::Finished, this, &CPortSettingDlg::OnDetectFinished);
    connect(m_detectButton, &QPushButton::clicked, this, &CPortSettingDlg::OnDetectButton);

    // Template order: the baud box is the first tab stop, the port box last.
    setTabOrder(m_cbBaudRate, m_cbParity);
    setTabOrder(m_cbParity, m_cbStopBits);
    setTabOrder(m_cbStopBits, m_detectButton);
    setTabOrder(m_detectButton, m_okButton);
    setTabOrder(m_okButton, m_cbPort);

    connect(m_okButton, &QPushButton::clicked, this, &CPortSettingDlg::OnOkButton);

    connect(m_cbPort, &QComboBox::currentTextChanged, this, [this] { ShowPortText(); });
    m_refreshTimer.setSingleShot(true);
    m_refreshTimer.setInterval(300);
    connect(&m_refreshTimer, &QTimer::timeout, this, &CPortSettingDlg::RefreshPorts);

    auto* filter = new EnterKeyFilter(this, [this] { OnOkButton(); });
    installEventFilter(filter);
    for (QWidget* child : findChildren<QWidget*>()) {
        child->installEventFilter(filter);
    }
}

CPortSettingDlg::~CPortSettingDlg() {
    // Its thread asks the timer for readings: it goes first.
    m_watcher.reset();
    m_search->Stop();
}

bool CPortSettingDlg::Detecting() const {
    return m_search->Running();
}

void CPortSettingDlg::done(int result) {
    if (m_search->Running()) {
        m_search->Stop();
        ShowDetectIdle(QString());
    }
    m_watcher.reset();
    m_refreshTimer.stop();
    QDialog::done(result);
}

void CPortSettingDlg::ShowDetectIdle(const QString& text) {
    m_detectButton->setText(Text(IDS_DETECT_BUTTON));
    m_cbPort->setEnabled(true);
    m_detectText->setText(text);
}

void CPortSettingDlg::OnDetectButton() {
    if (m_search->Running()) {
        m_search->Stop();
        ShowDetectIdle(Text(IDS_DETECT_STOPPED));
        return;
    }
    const QString port = m_cbPort->currentText();
    const std::string path = ComDevicePath(ComNumberOf(port));
    if (path.empty()) {
        ShowDetectIdle(Text(IDS_DETECT_NO_PORT));
        return;
    }
    const QString name = port.section(QLatin1Char(' '), 0, 0);
    if (m_releasePort && !m_releasePort()) {
        ShowDetectIdle(Text(IDS_DETECT_IN_USE, {name.toStdString()}));
        return;
    }
    m_searchPort = name;
    m_search->Start(path);
    m_detectButton->setText(Text(IDS_DETECT_STOP));
    // The search runs on this port: another choice now would not be searched.
    m_cbPort->setEnabled(false);
    OnDetectProgress(1, kDetectSettingCount, SettingText(DetectOrder().front()));
}

void CPortSettingDlg::OnDetectProgress(int index, int count, const QString& setting) {
    m_detectText->setText(Text(IDS_DETECT_PROGRESS, {setting.toStdString(), std::to_string(index),
                                                     std::to_string(count)}));
}

void CPortSettingDlg::OnDetectFinished(const DetectResult& r) {
    if (r.outcome == DetectResult::Outcome::Found) {
        for (auto [box, value] : {std::pair{m_cbBaudRate, static_cast<int>(r.setting.BaudRate)},
                                  std::pair{m_cbParity, int{r.setting.Parity}},
                                  std::pair{m_cbStopBits, int{r.setting.StopBits}}}) {
            if (const int i = box->findData(value); i >= 0) {
                box->setCurrentIndex(i);
            }
        }
    }
    ShowDetectIdle(QString::fromStdString(DetectOutcomeText(r, m_searchPort.toStdString())));
}

int CPortSettingDlg::DoModal() {
    OnInitDialog();
    return exec();
}

void CPortSettingDlg::OnInitDialog() {
    if (auto* intro = findChild<QLabel*>(QStringLiteral("introText"))) {
        intro->setText(QStringLiteral("Config serial option to communicate with Norva-BX."));
    }
    ShowDetectIdle(QString());
    m_cbPort->clear();
    m_cbBaudRate->clear();
    m_cbParity->clear();
    m_cbStopBits->clear();

    m_choices.Reset();
    FillPorts();
    const int selected = m_cbPort->findData(m_nPort);
    m_cbPort->setCurrentIndex(selected);
    if (selected < 0) {
        m_cbPort->setEditText(QString());
    }
    ShowPortText();
    // The watcher's thread only asks for a reading; the UI thread reads.
    m_watcher = std::make_unique<PortWatcher>(
        [this] {
            PostUiCall(&m_watcherCalls, [this] {
                // A running timer is left alone: a directory that never rests
                // (/dev/pts while terminals come and go) must not put the
                // reading off for ever.
                if (!m_refreshTimer.isActive()) {
                    m_refreshTimer.start();
                }
            });
        },
        OverrideDirs());

    FillValueBox(m_cbBaudRate, kBaudTexts, kBaudValues, kBaudCount, m_nBaudRate);
    FillValueBox(m_cbParity, kParityTexts, kParityValues, kParityCount, m_nParity);
    FillValueBox(m_cbStopBits, kStopBitTexts, kStopBitValues, kStopBitCount, m_nStopBits);
    m_cbBaudRate->setFocus();
}

void CPortSettingDlg::FillPorts() {
    m_cbPort->clear();
    for (const PortItem& item : m_choices.Read()) {
        const int pos = AddComboItem(m_cbPort, QString::fromStdString(item.text));
        m_cbPort->setItemData(pos, item.number);
        m_cbPort->setItemData(pos, QString::fromStdString(item.details), Qt::ToolTipRole);
        m_cbPort->setItemData(pos, QString::fromStdString(item.byId), Qt::UserRole + 1);
    }
    m_warnings.clear();
    for (const std::string& warning : m_choices.Warnings()) {
        m_warnings << QString::fromStdString(warning);
    }
}

void CPortSettingDlg::RefreshPorts() {
    // Whatever the user chose or typed stays, listed or not.
    const QString typed = m_cbPort->currentText();
    const int number = ComNumberOf(typed);
    FillPorts();
    const int again = number > 0 ? m_cbPort->findData(number) : -1;
    m_cbPort->setCurrentIndex(again);
    if (again < 0) {
        m_cbPort->setEditText(typed);
    }
    ShowPortText();
}

void CPortSettingDlg::ShowPortText() {
    QStringList lines = m_warnings;
    if (m_cbPort->count() == 0) {
        lines << QString::fromStdString(NoPortsHint());
    }
    const int at = m_cbPort->findData(ComNumberOf(m_cbPort->currentText()));
    if (at >= 0) {
        const QString byId = m_cbPort->itemData(at, Qt::UserRole + 1).toString();
        if (!byId.isEmpty()) {
            lines << byId;
        }
    }
    m_portText->setText(lines.join(QLatin1Char('\n')));
    m_portText->setVisible(!lines.isEmpty());
}

void CPortSettingDlg::OnOkButton() {
    if (ComNumberOf(m_cbPort->currentText()) <= 0) {
        // Without a port Next could only fail, naming "COM0".
        m_portText->setText(
            (m_portText->text().isEmpty() ? QString() : m_portText->text() + QLatin1Char('\n')) +
            Text(IDS_PORT_REQUIRED));
        m_portText->setVisible(true);
        m_cbPort->setFocus();
        return;
    }
    m_nPort = ComNumberOf(m_cbPort->currentText());
    m_nBaudRate = GetComboValue(m_cbBaudRate, kBaudTexts, kBaudValues, kBaudCount);
    m_nParity = GetComboValue(m_cbParity, kParityTexts, kParityValues, kParityCount);
    m_nStopBits = GetComboValue(m_cbStopBits, kStopBitTexts, kStopBitValues, kStopBitCount);
    accept();
}

} // namespace norva
