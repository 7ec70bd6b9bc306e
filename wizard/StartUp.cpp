#include "wizard/StartUp.h"

#include <QLibraryInfo>
#include <QTranslator>

namespace norva {

UiLanguage LanguageForLocale(const QLocale& locale) {
    return locale.language() == QLocale::Korean ? UiLanguage::Korean : UiLanguage::English;
}

bool LoadQtTranslations(const QLocale& locale, QTranslator& translator) {
    return translator.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}

} // namespace norva
