#include "Language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QTranslator>

bool Languages::parse(const QString &name, Language *language)
{
    if (name == QLatin1String("en"))
        *language = Language::English;
    else if (name == QLatin1String("it"))
        *language = Language::Italian;
    else if (name == QLatin1String("source"))
        *language = Language::Source;
    else
        return false;
    return true;
}

Language Languages::ofSystem()
{
    // As gettext does: a C locale for messages asks for the texts as written, whatever the
    // preferred languages say.
    QByteArray messages;
    for (const char *name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        messages = qgetenv(name);
        if (!messages.isEmpty())
            break;
    }
    if (messages == "C" || messages.startsWith("C.") || messages == "POSIX")
        return Language::Source;
    const QLocale first(QLocale::system().uiLanguages().value(0));
    if (first.language() == QLocale::Italian)
        return Language::Italian;
    return first.language() == QLocale::C ? Language::Source : Language::English;
}

bool Languages::install(Language language)
{
    // One language at a time: the one installed before goes.
    static QPointer<QTranslator> own, qt;
    for (QPointer<QTranslator> *t : {&own, &qt}) {
        if (*t)
            QCoreApplication::removeTranslator(*t);
        delete t->data();
    }
    if (language == Language::Source)
        return true;
    const QString code = language == Language::Italian ? QStringLiteral("it") : QStringLiteral("en");
    own = new QTranslator(QCoreApplication::instance());
    if (!own->load(QStringLiteral(":/i18n/gsmstation_") + code)) {
        delete own.data();
        return false;
    }
    QCoreApplication::installTranslator(own);
    // Qt's own buttons ("Yes", "Cancel") follow when the system has Qt's translations.
    qt = new QTranslator(QCoreApplication::instance());
    if (qt->load(QStringLiteral("qtbase_") + code,
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qt);
    else
        delete qt.data();
    return true;
}

bool Languages::apply(const QString &option, QString *error)
{
    Language language = ofSystem();
    if (!option.isEmpty() && !parse(option, &language)) {
        *error = QStringLiteral("--language takes en, it or source, not \"%1\"").arg(option);
        return false;
    }
    if (!install(language)) {
        *error = QStringLiteral("the translations are missing from this build");
        return false;
    }
    return true;
}
