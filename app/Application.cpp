#include "app/Application.h"

#include "forms/ErrorReporter.h"
#include "forms/PictureErrorText.h"

#include <clocale>
#include <exception>

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
    try {
        return QApplication::notify(receiver, event);
    } catch (const PictureError& e) {
        reportError(pictureErrorText(e));
    } catch (const std::exception& e) {
        reportError(QString::fromUtf8(e.what()));
    } catch (...) {
        reportError(unknownErrorText());
    }
    return false;
}

} // namespace lmvo
