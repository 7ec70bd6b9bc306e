#pragma once
// The pieces of start-up that depend on the user's locale.

#include "res/strings/StringTable.h"

#include <QLocale>

class QTranslator;

namespace norva {

// Korean for a Korean locale, English for every other.
UiLanguage LanguageForLocale(const QLocale& locale);
// Loads Qt's own texts (standard buttons and the like) for `locale` into
// `translator`; false when the platform has none for it.
bool LoadQtTranslations(const QLocale& locale, QTranslator& translator);

} // namespace norva
