#include "pages/MessageService.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>
#include <atomic>
#include <mutex>

// Outside the namespace: the macro declares a global function.
static void InitNorvaResources() {
#ifdef NORVA_HAS_RESOURCES
    Q_INIT_RESOURCE(norva);
#endif
}

namespace norva {
namespace {

CActionMessageService g_defaultService;
std::atomic<CMessageService*> g_service{nullptr};
BoxAction g_failureAction;

void RunBox(const QString& text, const QString& informative, const BoxAction* action) {
    // The texts keep their Windows line ends; a label wants bare LFs.
    QString body = text;
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(QMessageBox::NoIcon, QCoreApplication::applicationName(), body.trimmed(),
                    QMessageBox::Ok);
    if (!informative.isEmpty()) {
        box.setInformativeText(informative);
    }
    QPushButton* extra = nullptr;
    if (action != nullptr && action->Valid()) {
        extra = box.addButton(action->label, QMessageBox::ActionRole);
        extra->setObjectName(QStringLiteral("boxActionButton"));
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
    }
    box.exec();
    if (extra != nullptr && box.clickedButton() == extra) {
        // A copy: the action may install another one while it runs.
        const std::function<void()> run = action->run;
        run();
    }
}

} // namespace

void CMessageService::Show(const QString& text, const QString& informative) {
    RunBox(text, informative, nullptr);
}

void CActionMessageService::ShowWithAction(const QString& text, const QString& informative,
                                           const BoxAction& action) {
    RunBox(text, informative, &action);
}

bool CMessageService::Ask(const QString& text) {
    QMessageBox box(QMessageBox::Question, QCoreApplication::applicationName(), text,
                    QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

bool AskYesNo(const QString& text) {
    return MessageService()->Ask(text);
}

CMessageService* MessageService() {
    CMessageService* service = g_service.load();
    return service != nullptr ? service : &g_defaultService;
}

CMessageService* SetMessageService(CMessageService* service) {
    CMessageService* previous = g_service.exchange(service);
    return previous != nullptr ? previous : &g_defaultService;
}

void ShowMessage(const QString& text, const QString& informative) {
    MessageService()->Show(text, informative);
}

void ShowMessage(const std::string& utf8Text) {
    MessageService()->Show(QString::fromStdString(utf8Text), QString());
}

void SetFailureAction(BoxAction action) {
    g_failureAction = std::move(action);
}

void ShowFailure(const QString& text, const QString& informative) {
    auto* service = dynamic_cast<CActionMessageService*>(MessageService());
    if (service == nullptr || !g_failureAction.Valid()) {
        MessageService()->Show(text, informative);
        return;
    }
    const BoxAction action = g_failureAction;
    service->ShowWithAction(text, informative, action);
}

void ShowFailure(const std::string& utf8Text) {
    ShowFailure(QString::fromStdString(utf8Text), QString());
}

void InitResources() {
    static std::once_flag once;
    std::call_once(once, [] { InitNorvaResources(); });
}

} // namespace norva
