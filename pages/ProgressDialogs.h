#pragma once
// "Connecting..." (modal, cancellable) and the two wait banners the worker
// asks for while a status query or the storing of settings runs.

#include <QDialog>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

class QMovie;

namespace norva {

// A looping animation: the resource clip when it loads, a drawn spinner
// otherwise, so the dialog never looks frozen.
class CAnimationWidget : public QWidget {
    Q_OBJECT
public:
    explicit CAnimationWidget(QWidget* parent = nullptr);
    void Play();
    void Stop();
    bool Playing() const;
    bool UsesClip() const { return m_movie != nullptr; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QMovie* m_movie = nullptr;
    QLabel* m_clipLabel = nullptr;
    QTimer m_spinTimer;
    int m_nFrame = 0;
};

class CConnectingDlg : public QDialog {
    Q_OBJECT
public:
    // Cancel, Esc and the close box all end the dialog with this code.
    static constexpr int kCancelled = -1;

    explicit CConnectingDlg(QWidget* parent = nullptr);

    // Runs modally; -1 Cancel, or the code given to EndDialog.
    int DoModal();
    // Ends a running dialog from outside (1 connected, 2 timed out, 3 failed).
    void EndDialog(int code);
    // True while its modal run is under way.
    bool IsOpen() const { return m_bOpen && isVisible(); }

    QPushButton* m_cancelButton = nullptr; // 1012
    CAnimationWidget* m_animate = nullptr; // 1013

public slots:
    void reject() override;

protected:
    void OnInitDialog();
    void OnDestroy();

private:
    bool m_bOpen = false;
};

// A frameless, centred banner with one line of text. Always created and
// destroyed on the UI thread, which keeps painting it while the worker waits.
class CWaitDlg : public QWidget {
    Q_OBJECT
public:
    // `owner` null: centred on the screen and kept above other windows.
    CWaitDlg(const QString& text, int widthDlu, int heightDlu, QWidget* owner);
    QString Text() const { return m_label->text(); }

private:
    QLabel* m_label;
};

} // namespace norva
