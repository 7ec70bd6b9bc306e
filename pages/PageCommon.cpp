#include "pages/PageCommon.h"

#include "pages/MessageService.h"

#include <QFrame>
#include <QPixmap>
#include <QVariant>

namespace norva {

void SetControlId(QWidget* widget, int id) {
    widget->setProperty(kControlIdProperty, id);
}

int ControlId(const QWidget* widget) {
    const QVariant id = widget->property(kControlIdProperty);
    return id.isValid() ? id.toInt() : 0;
}

QFont MakeBoldFont(const QFont& base) {
    QFont font = base;
    font.setBold(true);
    return font;
}

QPixmap LoadPicture(const char* path) {
    InitResources();
    return QPixmap(QString::fromLatin1(path));
}

QIcon LoadAppIcon() {
    InitResources();
    QIcon icon;
    for (const char* path : {":/icons/128-16.png", ":/icons/128-32.png", ":/icons/128-48.png",
                             kAppIconPath, ":/icons/128-256.png"}) {
        icon.addFile(QString::fromLatin1(path));
    }
    return icon;
}

QLabel* MakeText(const QString& text, const QString& objectName, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(objectName);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QLabel* MakePicture(const char* path, const QString& objectName, const QString& accessibleName,
                    QWidget* parent) {
    auto* picture = new QLabel(parent);
    picture->setObjectName(objectName);
    picture->setPixmap(LoadPicture(path));
    picture->setAccessibleName(accessibleName);
    picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return picture;
}

QFrame* MakeVerticalLine(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setObjectName(QStringLiteral("verticalLine"));
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setAccessibleName(QStringLiteral("Separator"));
    return line;
}

} // namespace norva
