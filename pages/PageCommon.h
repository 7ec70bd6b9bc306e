#pragma once
// Small pieces the step pages share: the bold heading font, control ids kept
// on the widgets, and the labelled pictures of the units.

#include <QFont>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QString>

class QFrame;
class QWidget;

namespace norva {

// Resource paths of the pictures (res/norva.qrc).
inline constexpr const char* kModuleIconPath = ":/icons/144.png";    // the module, in colour
inline constexpr const char* kConnectorIconPath = ":/icons/155.png"; // nine-pin connector
inline constexpr const char* kPaleModuleBitmapPath = ":/bitmaps/169.bmp";
inline constexpr const char* kAppIconPath = ":/icons/128.png";
inline constexpr const char* kConnectingAnimationPath = ":/avi/148.gif";

// The dynamic property that carries a control's template id.
inline constexpr const char* kControlIdProperty = "controlId";

void SetControlId(QWidget* widget, int id);
int ControlId(const QWidget* widget);

// The pages' emphasis: the system face, bold, at the size of `base`.
QFont MakeBoldFont(const QFont& base);

// A picture of the program's resources (registered on first use).
QPixmap LoadPicture(const char* path);

// The application icon 128 in every size the resources hold, for the windows'
// title bars and task switchers.
QIcon LoadAppIcon();

// A word-wrapped instruction text.
QLabel* MakeText(const QString& text, const QString& objectName, QWidget* parent);
// A picture from the resources; `accessibleName` names it for screen readers.
QLabel* MakePicture(const char* path, const QString& objectName, const QString& accessibleName,
                    QWidget* parent);
// The gray vertical line between the pictures and the texts.
QFrame* MakeVerticalLine(QWidget* parent);

} // namespace norva
