#include "pages/ProgressDialogs.h"

#include "pages/MessageService.h"
#include "pages/PageCommon.h"

#include <QFile>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMovie>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>
#include <cmath>

namespace norva {
namespace {

constexpr int kSpinnerDots = 12;
constexpr int kSpinnerStepMs = 80;

QString FindClip() {
    const QString path = QString::fromLatin1(kConnectingAnimationPath);
    return QFile::exists(path) ? path : QString();
}

} // namespace

CAnimationWidget::CAnimationWidget(QWidget* parent) : QWidget(parent) {
    InitResources();
    const QString clip = FindClip();
    if (!clip.isEmpty()) {
        auto* movie = new QMovie(clip, QByteArray(), this);
        if (movie->isValid()) {
            m_movie = movie;
            m_clipLabel = new QLabel(this);
            m_clipLabel->setAlignment(Qt::AlignCenter);
            m_clipLabel->setMovie(m_movie);
            auto* layout = new QHBoxLayout(this);
            layout->setContentsMargins(0, 0, 0, 0);
            layout->addWidget(m_clipLabel);
        } else {
            delete movie;
        }
    }
    m_spinTimer.setInterval(kSpinnerStepMs);
    connect(&m_spinTimer, &QTimer::timeout, this, [this] {
        m_nFrame = (m_nFrame + 1) % kSpinnerDots;
        update();
    });
}

void CAnimationWidget::Play() {
    if (m_movie != nullptr) {
        // The clip repeats by itself when it says so; make sure it never ends.
        connect(m_movie, &QMovie::finished, m_movie, &QMovie::start, Qt::UniqueConnection);
        m_movie->jumpToFrame(0);
        m_movie->start();
    } else {
        m_nFrame = 0;
        m_spinTimer.start();
    }
}

void CAnimationWidget::Stop() {
    if (m_movie != nullptr) {
        disconnect(m_movie, &QMovie::finished, m_movie, &QMovie::start);
        m_movie->stop();
    }
    m_spinTimer.stop();
}

bool CAnimationWidget::Playing() const {
    if (m_movie != nullptr) {
        return m_movie->state() == QMovie::Running;
    }
    return m_spinTimer.isActive();
}

QSize CAnimationWidget::sizeHint() const {
    if (m_movie != nullptr) {
        const QSize frame = m_movie->currentImage().size();
        if (frame.isValid()) {
            return frame;
        }
    }
    return {64, 48};
}

void CAnimationWidget::paintEvent(QPaintEvent* event) {
    if (m_movie != nullptr) {
        QWidget::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre = QRectF(rect()).center();
    const double radius = std::min(width(), height()) * 0.35;
    const double dot = std::max(2.0, radius * 0.18);
    for (int i = 0; i < kSpinnerDots; ++i) {
        const double angle = 2.0 * M_PI * i / kSpinnerDots;
        const int age = (m_nFrame - i + kSpinnerDots) % kSpinnerDots;
        QColor colour = palette().color(QPalette::WindowText);
        colour.setAlphaF(1.0 - 0.75 * age / kSpinnerDots);
        painter.setBrush(colour);
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(centre + QPointF(radius * std::cos(angle), radius * std::sin(angle)),
                            dot, dot);
    }
}

CConnectingDlg::CConnectingDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Connecting..."));
    setModal(true);
    m_animate = new CAnimationWidget(this);
    m_animate->setObjectName(QStringLiteral("connectingAnimation"));
    SetControlId(m_animate, 1013);
    m_animate->setMinimumSize(m_animate->sizeHint());
    auto* text = new QLabel(QStringLiteral("Connecting to target device"), this);
    text->setAlignment(Qt::AlignCenter);
    m_cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
    SetControlId(m_cancelButton, 1012);
    m_cancelButton->setAutoDefault(false);
    connect(m_cancelButton, &QPushButton::clicked, this, [this] { done(kCancelled); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_animate, 1, Qt::AlignCenter);
    layout->addWidget(text);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cancelButton);
    buttons->addStretch();
    layout->addLayout(buttons);
}

int CConnectingDlg::DoModal() {
    if (m_bOpen) {
        // A second modal run of the same dialog cannot be shown.
        return kCancelled;
    }
    m_bOpen = true;
    setResult(kCancelled);
    OnInitDialog();
    const int code = exec();
    OnDestroy();
    m_bOpen = false;
    return code;
}

void CConnectingDlg::EndDialog(int code) {
    if (m_bOpen) {
        done(code);
    }
}

void CConnectingDlg::reject() {
    // Esc and the close box are the Cancel button: the attempt is aborted
    // rather than left running under a closed dialog.
    done(kCancelled);
}

void CConnectingDlg::OnInitDialog() {
    m_animate->Play();
}

void CConnectingDlg::OnDestroy() {
    m_animate->Stop();
}

CWaitDlg::CWaitDlg(const QString& text, int widthDlu, int heightDlu, QWidget* owner)
    : QWidget(owner, Qt::Dialog | Qt::FramelessWindowHint |
                         (owner == nullptr ? Qt::WindowStaysOnTopHint : Qt::WindowFlags())) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setObjectName(QStringLiteral("CWaitDlg"));
    m_label = new QLabel(text, this);
    m_label->setAlignment(Qt::AlignCenter);
    // A frame in place of the missing title bar keeps the banner apart from
    // the sheet behind it.
    m_label->setFrameStyle(QFrame::Box | QFrame::Plain);
    m_label->setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_label);

    const QFontMetrics metrics(font());
    const int width = std::max(widthDlu * metrics.averageCharWidth() / 4,
                               metrics.horizontalAdvance(text) + 2 * metrics.averageCharWidth());
    const int height = std::max(heightDlu * metrics.height() / 8, 2 * metrics.height());
    setFixedSize(width, height);

    QRect area;
    if (owner != nullptr && owner->isVisible()) {
        area = owner->frameGeometry();
    } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
        area = screen->availableGeometry();
    }
    if (area.isValid()) {
        move(area.center() - QPoint(width / 2, height / 2));
    }
}

} // namespace norva
