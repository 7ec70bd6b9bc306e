#include "pages/MessageService.h"

#include <QCoreApplication>
#include <QMessageBox>
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

CMessageService g_defaultService;
std::atomic<CMessageService*> g_service{nullptr};

} // namespace

void CMessageService::Show(const QString& text, const QString& informative) {
    // The texts keep their Windows line ends; a label wants bare LFs.
    QString body = text;
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(QMessageBox::NoIcon, QCoreApplication::applicationName(), body.trimmed(),
                    QMessageBox::Ok);
    if (!informative.isEmpty()) {
        box.setInformativeText(informative);
    }
    box.exec();
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

void InitResources() {
    static std::once_flag once;
    std::call_once(once, [] { InitNorvaResources(); });
}

} // namespace norva
