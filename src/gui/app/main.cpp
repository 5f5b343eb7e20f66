// The wizard program: the trace log first, then the Qt application and the
// start-up, which returns when the main dialog (or the PC Suite notice) has
// closed.
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include "gui/app/QVXWizardApp.h"
#include "platform/ProgramPath.h"
#include "support/Log.h"

// Installed, the trace log goes to the user's state folder, not wherever the
// desktop started the program.
QVX_DEFINE_LOG_FILE_AT(g_logFile, qvxplatform::GetTraceLogFile("QVXWizard.l_0").c_str());

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("QVXWizard"));
    // The desktop entry's name, so that the desktop shows the entry's icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("qvxwizard"));
    CQVXWizardApp wizard;
    // "Open with" from a file manager gives the contacts file (Qt's own options are gone by now).
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 1)
        wizard.SetStartFile(QFile::encodeName(QFileInfo(arguments.at(1)).absoluteFilePath()).toStdString());
    wizard.InitInstance();
    return 0;
}
