#pragma once
// Step 9's pair check in Qt: the check itself is frontend/VerifyJob.h; its progress and result
// come back to the UI thread by queued invocation, and the result is told in a message box.
// While it runs a window-modal dialog shows it and offers Cancel.

#include "frontend/VerifyJob.h"

#include <QDialog>
#include <QObject>
#include <QPointer>
#include <functional>
#include <vector>

class QLabel;
class QPushButton;

namespace norva {

class CSerialSheet;

// The progress dialog; Esc and the close box cancel like its button.
class CVerifyDialog : public QDialog {
    Q_OBJECT
public:
    explicit CVerifyDialog(QWidget* parent);
    void SetUnit(int unit, flow::VerifyStep step);

    QLabel* m_text = nullptr;
    QPushButton* m_cancelButton = nullptr;

signals:
    void CancelRequested();

public slots:
    void reject() override;
};

class CVerifyRunner : public QObject {
    Q_OBJECT
public:
    // `parent` owns the runner and the dialog.
    explicit CVerifyRunner(QWidget* parent);
    // Cancels a check under way and waits for its thread (bounded: every wait watches the stop).
    ~CVerifyRunner() override;

    // What the wizard stored, as the verifier takes it: both units on two ports, unit 1 alone
    // when both settings name one port.
    static std::vector<flow::UnitToVerify> UnitsOf(const CSerialSheet& sheet);

    // Closes the sheet's port and starts the check; false while one runs.
    bool Start(CSerialSheet& sheet);
    bool Running() const { return m_job.Running(); }
    void Cancel();
    // Cancels a check under way and waits for its thread: before the log it
    // writes to goes.
    void Shutdown();
    CVerifyDialog* Dialog() const { return m_dialog; }
    // The last check's result, per unit.
    const flow::VerifyResult& LastResult() const { return m_job.LastResult(); }

signals:
    // After the result box was dismissed.
    void Finished(bool verified);

protected:
    bool event(QEvent* event) override;

private:
    void OnResult(const flow::VerifyResult& result);

    QWidget* m_parent;
    QPointer<CVerifyDialog> m_dialog;
    VerifyJob m_job;
};

} // namespace norva
