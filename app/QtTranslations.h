#pragma once

class QCoreApplication;
class QLocale;
class QTranslator;

// Installs Qt's own translations (qtbase, from Qt's translations folder) for `locale`, so
// the file dialogs and message boxes speak the user's language beside the player's Japanese
// texts. Returns the installed translator, owned by `application`; null when Qt has none for
// that locale (English needs none).
QTranslator* InstallQtTranslations(QCoreApplication& application, const QLocale& locale);
