#include "pages/Connection.h"

#include "frontend/PageRules.h"
#include "frontend/SheetAccess.h"
#include "module/ModuleControl.h"
#include "pages/PageCommon.h"
#include "pages/SheetMessages.h"

#include <QFontDatabase>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace norva {

CConnection::CConnection(QWidget* parent)
    : CPropertyPage(IDD, QStringLiteral("Norva-BX Wizard - Step 5 of 9"), parent),
      m_connectingDlg(this) {
    setObjectName(QStringLiteral("connectionPage"));

    auto* instruction = new QLabel(
        QStringLiteral("To stop to search, press Cancel Search. \nPlease select Norva-BX01, by its "
                       "BD address, in the list below, and press CONNECT button."),
        this);
    instruction->setObjectName(QStringLiteral("instructionText"));
    instruction->setWordWrap(true);
    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    m_list = new QTableWidget(0, 3, this);
    m_list->setObjectName(QStringLiteral("deviceList"));
    m_list->setAccessibleName(QStringLiteral("Devices found"));
    SetControlId(m_list, 1005);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->verticalHeader()->setVisible(false);
    m_list->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_list->horizontalHeader()->setStretchLastSection(false);
    m_list->setWordWrap(false);

    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("searchProgress"));
    SetControlId(m_progress, 1008);
    m_progress->setTextVisible(false);

    m_btnSearch = new QPushButton(QStringLiteral("Cancel Search"), this);
    m_btnSearch->setObjectName(QStringLiteral("searchButton"));
    SetControlId(m_btnSearch, 1011);
    m_btnSearch->setAutoDefault(false);
    m_editAddress = new QLineEdit(this);
    m_editAddress->setObjectName(QStringLiteral("addressEdit"));
    m_editAddress->setAccessibleName(QStringLiteral("Device Address"));
    m_editAddress->setPlaceholderText(QStringLiteral("BD address"));
    SetControlId(m_editAddress, 1014);
    m_btnConnect = new QPushButton(QStringLiteral("Connect"), this);
    m_btnConnect->setObjectName(QStringLiteral("connectButton"));
    SetControlId(m_btnConnect, 1006);
    m_btnConnect->setAutoDefault(false);

    auto* row = new QHBoxLayout;
    row->addWidget(m_btnSearch);
    row->addStretch(1);
    row->addWidget(m_editAddress, 2);
    row->addStretch(1);
    row->addWidget(m_btnConnect);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(instruction);
    layout->addWidget(line);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_progress);
    layout->addLayout(row);

    m_searchTimer.setInterval(kSearchTimerMs);
    connect(&m_searchTimer, &QTimer::timeout, this, [this] { OnTimer(kSearchTimerId); });
    connect(m_list, &QTableWidget::itemSelectionChanged, this, &CConnection::OnItemChanged);
    connect(m_btnSearch, &QPushButton::clicked, this, &CConnection::OnSearchButton);
    connect(m_btnConnect, &QPushButton::clicked, this, &CConnection::OnConnectButton);
}

bool CConnection::OnInitDialog() {
    m_font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    m_font.setStyleHint(QFont::Monospace);
    m_font.setFixedPitch(true);
    m_font.setPointSizeF(9.5);
    m_list->setFont(m_font);
    for (int i = 0; i < 3; ++i) {
        m_list->setHorizontalHeaderItem(
            i, new QTableWidgetItem(QString::fromLatin1(pages::kDeviceColumns[i].heading)));
        m_list->setColumnWidth(i, pages::kDeviceColumns[i].width);
    }
    // Grid lines and full-row selection.
    m_list->setShowGrid(true);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_progress->setRange(0, kProgressRange);
    m_progress->setValue(0);
    m_nProgress = 0;
    m_bSearching = 0;
    m_btnConnect->setEnabled(false);
    return true;
}

void CConnection::BeginSearchDisplay() {
    m_btnConnect->setEnabled(false);
    m_progress->setValue(0);
    m_nProgress = 0;
    m_list->setRowCount(0);
    m_btnSearch->setText(QStringLiteral("Cancel Search"));
    m_searchTimer.start();
    m_bSearching = 1;
    PostWizButtons(0);
}

void CConnection::EndSearchDisplay() {
    m_btnConnect->setEnabled(true);
    m_btnSearch->setText(QStringLiteral("Search"));
    m_progress->setValue(0);
    m_nProgress = 0;
    m_searchTimer.stop();
    m_bSearching = 0;
    PostWizButtons(PSWIZB_BACK);
}

void CConnection::EnableConnectButtons() {
    m_btnConnect->setEnabled(true);
    m_btnSearch->setEnabled(true);
}

void CConnection::OnConnected() {
    m_btnSearch->setEnabled(false);
    m_btnConnect->setEnabled(false);
    m_connectingDlg.EndDialog(1);
}

void CConnection::EnableSearchButton(bool enable) {
    m_btnSearch->setEnabled(enable);
}

void CConnection::AddDeviceRow(const QString& address, const QString& name,
                               const QString& classOfDevice) {
    const int row = m_list->rowCount();
    m_list->insertRow(row);
    m_list->setItem(row, 0, new QTableWidgetItem(address));
    m_list->setItem(row, 1, new QTableWidgetItem(name));
    m_list->setItem(row, 2, new QTableWidgetItem(classOfDevice));
    // Unit 1 is what the search is for: its row is chosen the moment it
    // appears, unless the user has chosen one already.
    const ISheetAccess* sheet = Sheet();
    if (sheet != nullptr &&
        pages::ChooseFoundRow(address.toStdString(), sheet->Unit1Address(),
                              !m_list->selectionModel()->selectedRows().isEmpty())) {
        m_list->selectRow(row);
    }
}

void CConnection::OnTimer(int timerId) {
    if (timerId != kSearchTimerId) {
        return;
    }
    m_nProgress = pages::NextProgress(m_nProgress);
    m_progress->setValue(m_nProgress);
}

void CConnection::OnItemChanged() {
    const QModelIndexList rows = m_list->selectionModel()->selectedRows(0);
    if (rows.isEmpty()) {
        return;
    }
    const QTableWidgetItem* item = m_list->item(rows.first().row(), 0);
    m_strAddress = item != nullptr ? item->text() : QString();
    m_editAddress->setText(m_strAddress);
}

void CConnection::OnSearchButton() {
    m_btnSearch->setEnabled(false);
    const bool start = m_bSearching == 0;
    if (start) {
        // Before the request: when the port cannot be reopened, the Back that
        // the sheet posts in its answer must be the last word.
        PostWizButtons(0);
    }
    SendSheetMessage(SheetWindow(), WM_SEARCH_CONTROL, start ? 1 : 0,
                     reinterpret_cast<qintptr>(static_cast<CPropertyPage*>(this)));
    if (!start) {
        // Every button off until the end of the search is dispatched.
        PostWizButtons(0);
    }
}

void CConnection::OnConnectButton() {
    m_strAddress = m_editAddress->text().trimmed();
    ISheetAccess* sheet = Sheet();
    if (sheet != nullptr) {
        sheet->SetConnectTarget(m_strAddress.toStdString());
    }
    m_btnSearch->setEnabled(false);
    const auto self = reinterpret_cast<qintptr>(static_cast<CPropertyPage*>(this));
    PostSheetMessage(SheetWindow(), WM_CONNECT_CONTROL, 1, self);
    // The posted message is handled inside the modal run and starts the job.
    if (m_connectingDlg.DoModal() == CConnectingDlg::kCancelled) {
        SendSheetMessage(SheetWindow(), WM_CONNECT_CONTROL, 0, self);
    }
}

} // namespace norva
