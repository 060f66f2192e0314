#include "app/Application.h"

#include "forms/ErrorReporter.h"

#include <clocale>

namespace lmvo {

namespace {

// The language the user reads: the first of the locale's interface languages, which also
// follow LANGUAGE and LC_MESSAGES.
QLocale::Language readingLanguage(const QLocale& locale)
{
    const QStringList languages = locale.uiLanguages();
    return languages.isEmpty() ? locale.language() : QLocale(languages.front()).language();
}

} // namespace

std::unique_ptr<QTranslator> installTranslation(QCoreApplication& app, const QLocale& locale)
{
    const QLocale::Language language = readingLanguage(locale);
    if (language == QLocale::Chinese || language == QLocale::C || language == QLocale::AnyLanguage)
        return nullptr;
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QStringLiteral(":/i18n/lumivo_en.qm")) || !app.installTranslator(translator.get()))
        return nullptr;
    return translator;
}

LumivoApplication::LumivoApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    std::setlocale(LC_NUMERIC, "C");
    translator_ = installTranslation(*this);
}

bool LumivoApplication::notify(QObject* receiver, QEvent* event)
{
    bool handled = false;
    guarded([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

} // namespace lmvo
