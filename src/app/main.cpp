// The wizard program: the trace log first, then the Qt application and the
// start-up, which returns when the main dialog (or the PC Suite notice) has
// closed.
#include <QApplication>

#include "app/QVXWizardApp.h"
#include "support/Log.h"

QVX_DEFINE_LOG_FILE(g_logFile);

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("QVXWizard"));
    CQVXWizardApp wizard;
    wizard.InitInstance();
    return 0;
}
