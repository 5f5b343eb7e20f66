#include "gui/i18n/QtTranslationsUi.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QThread>
#include <QTranslator>

#include "i18n/LanguageTable.h"
#include "support/LogModules.h"

namespace qvxui {
namespace {

// Owned by the application object; replaced on each switch.
QTranslator* g_translator = nullptr;

void OnLanguageChanged(const std::string& language) {
    ApplyQtTranslations(language);
}

}  // namespace

QString QtLocaleCode(const std::string& language) {
    if (language == "Deutsch") return QStringLiteral("de");
    if (language == "English") return QStringLiteral("en");
    return QString();
}

bool ApplyQtTranslations(const std::string& language) {
    QCoreApplication* pApp = QCoreApplication::instance();
    if (pApp == nullptr) return false;
    if (QThread::currentThread() != pApp->thread()) {
        QMetaObject::invokeMethod(
            pApp, [language] { ApplyQtTranslations(language); }, Qt::QueuedConnection);
        return false;
    }
    if (g_translator != nullptr) {
        QCoreApplication::removeTranslator(g_translator);
        delete g_translator;
        g_translator = nullptr;
    }
    const QString code = QtLocaleCode(language);
    QLocale::setDefault(code.isEmpty() ? QLocale(QLocale::English) : QLocale(code));
    // Qt's texts are English as written.
    if (code.isEmpty() || code == QLatin1String("en")) return false;
    auto* pTranslator = new QTranslator(pApp);
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!pTranslator->load(QStringLiteral("qtbase_") + code, folder)) {
        LOG_WARN(qvxlog::WizApp, "Qt translations qtbase_%s not found in %s", code.toUtf8().constData(),
                 folder.toUtf8().constData());
        delete pTranslator;
        return false;
    }
    QCoreApplication::installTranslator(pTranslator);
    g_translator = pTranslator;
    return true;
}

void FollowLanguageWithQtTexts() {
    SetLanguageListener(&OnLanguageChanged);
    ApplyQtTranslations(GetCurrentLanguageName());
}

}  // namespace qvxui
