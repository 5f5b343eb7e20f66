// qvxguide: prints the two user guides with pictures of the program's own
// dialogs. It runs at build time on the offscreen platform:
//
//   qvxguide --source SOURCE_DIR --program BUILT_PROGRAM_DIR --out DIR [--shots DIR]
//
// SOURCE_DIR holds docs/guide/{en,de}.html and samples/; BUILT_PROGRAM_DIR is
// the built program folder (language.ini, mappings/, libqvxdevice.so). The
// guides are written to DIR; --shots also keeps the pictures there as PNG.
#include <stdlib.h>

#include <QApplication>
#include <QDir>
#include <QStringList>
#include <cstdio>
#include <cstring>

#include "DialogShots.h"
#include "GuidePdf.h"
#include "GuideScene.h"
#include "support/Log.h"

QVX_DEFINE_LOG_FILE(g_logFile);

namespace {

struct Guide {
    const char* pszLanguage;  // section of language.ini
    const char* pszSource;    // under docs/guide
    const char* pszFile;      // the name the help button opens
    const char* pszTitle;
};

const Guide kGuides[] = {
    {"English", "en.html", "Quorvex User Guide.pdf", "Quorvex User Guide"},
    {"Deutsch", "de.html", "Quorvex Benutzerdokumentation.pdf", "Quorvex Benutzerdokumentation"},
};

// The offscreen platform's notes about window features it lacks say nothing
// about the guides; everything else is passed on.
QtMessageHandler g_defaultHandler = nullptr;
void FilterMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.contains(QLatin1String("propagateSizeHints")) ||
        message.contains(QLatin1String("XDG_RUNTIME_DIR")))
        return;
    if (g_defaultHandler) g_defaultHandler(type, context, message);
}

int Usage() {
    std::fputs("usage: qvxguide --source SOURCE_DIR --program BUILT_PROGRAM_DIR --out DIR [--shots DIR]\n",
               stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    // No display is needed; pictures are drawn at twice the size for print.
    if (!getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (!getenv("QT_SCALE_FACTOR")) setenv("QT_SCALE_FACTOR", "2", 1);
    g_defaultHandler = qInstallMessageHandler(FilterMessages);
    QApplication application(argc, argv);

    QString source, program, out, shotsDir;
    const QStringList args = QCoreApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (i + 1 >= args.size()) return Usage();
        if (a == "--source") {
            source = args[++i];
        } else if (a == "--program") {
            program = args[++i];
        } else if (a == "--out") {
            out = args[++i];
        } else if (a == "--shots") {
            shotsDir = args[++i];
        } else {
            return Usage();
        }
    }
    if (source.isEmpty() || program.isEmpty() || out.isEmpty()) return Usage();

    if (!QDir().mkpath(out)) {
        std::fprintf(stderr, "qvxguide: cannot create %s\n", out.toUtf8().constData());
        return 1;
    }
    qvxguide::GuideScene scene;
    QString error;
    const bool bStage = scene.Prepare(source, program, &error);
    if (!bStage) std::fprintf(stderr, "qvxguide: no pictures: %s\n", error.toUtf8().constData());

    int nResult = 0;
    for (const Guide& guide : kGuides) {
        std::map<QString, QImage> shots;
        if (bStage && scene.UseLanguage(guide.pszLanguage)) {
            shots = qvxguide::TakeDialogShots(scene);
        } else if (bStage) {
            std::fprintf(stderr, "qvxguide: language.ini has no section %s\n", guide.pszLanguage);
        }
        if (!shotsDir.isEmpty()) {
            QDir().mkpath(shotsDir);
            for (const auto& [name, image] : shots)
                image.save(shotsDir + "/" + name + "-" + QString::fromLatin1(guide.pszSource).left(2) +
                           ".png");
        }
        const QString pdf = out + "/" + QString::fromUtf8(guide.pszFile);
        if (!qvxguide::PrintGuide(source + "/docs/guide/" + guide.pszSource, shots, pdf,
                                  QString::fromUtf8(guide.pszTitle), &error)) {
            std::fprintf(stderr, "qvxguide: %s\n", error.toUtf8().constData());
            nResult = 1;
        }
    }
    return nResult;
}
