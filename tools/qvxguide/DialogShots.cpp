#include "DialogShots.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QFile>
#include <QFont>
#include <QFontMetrics>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QThread>
#include <QWidget>
#include <cstdio>
#include <functional>

#include "GuideScene.h"
#include "gui/app/PreviewDlg.h"
#include "gui/app/QVXWizardDlg.h"
#include "gui/database/CreateDBDlg.h"
#include "gui/i18n/InfoDlg.h"
#include "gui/kit/MessageBoxesUi.h"
#include "gui/mapping_editor/MappingDlg.h"
#include "gui/transfer/CopyToPhoneDlg.h"
#include "gui/transfer/PCSuiteDlg.h"
#include "i18n/LanguageTable.h"
#include "i18n/TextKeys.h"
#include "import/ColumnSamples.h"

namespace qvxguide {
namespace {

constexpr int kTimeoutMs = 20000;

// Serves the event loop until the condition holds; false after the time-out.
bool WaitFor(const std::function<bool()>& condition, int nTimeoutMs = kTimeoutMs) {
    QDeadlineTimer deadline(nTimeoutMs);
    while (!condition()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

// Serves the event loop for a while, so that late reports have arrived.
void Settle(int nMs) {
    QDeadlineTimer deadline(nMs);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
}

QImage Complain(const char* pszShot, const char* pszWhat) {
    std::fprintf(stderr, "qvxguide: no picture of the %s: %s\n", pszShot, pszWhat);
    return QImage();
}

// The dialog's client area under a plain title bar with its window title, so
// that the reader recognises the window by its title.
QImage Framed(QWidget* pDialog) {
    if (QWidget* pFocus = QApplication::focusWidget()) pFocus->clearFocus();  // no blinking caret
    const QPixmap client = pDialog->grab();
    const qreal dpr = client.devicePixelRatio();
    const QSize size = client.deviceIndependentSize().toSize();

    QFont titleFont = pDialog->font();
    titleFont.setBold(true);
    const QFontMetrics metrics(titleFont);
    const int nBorder = 1;
    const int nTitle = metrics.height() + 10;

    QImage image(QSize(size.width() + 2 * nBorder, size.height() + nTitle + 2 * nBorder) * dpr,
                 QImage::Format_RGB32);
    image.setDevicePixelRatio(dpr);
    QPainter painter(&image);
    painter.fillRect(QRect(0, 0, image.width(), image.height()), QColor(0x6b, 0x73, 0x7d));
    const QRect title(nBorder, nBorder, size.width(), nTitle);
    QLinearGradient gradient(title.topLeft(), title.bottomLeft());
    gradient.setColorAt(0, QColor(0xe9, 0xec, 0xf0));
    gradient.setColorAt(1, QColor(0xd3, 0xd8, 0xde));
    painter.fillRect(title, gradient);
    painter.setFont(titleFont);
    painter.setPen(QColor(0x22, 0x26, 0x2b));
    const QString text = metrics.elidedText(pDialog->windowTitle(), Qt::ElideRight, title.width() - 16);
    painter.drawText(title.adjusted(8, 0, -8, 0), Qt::AlignVCenter | Qt::AlignLeft, text);
    painter.drawPixmap(QPoint(nBorder, nBorder + nTitle), client);
    painter.end();
    return image;
}

// The shown dialog once it has settled, then hidden.
QImage TakeShot(QWidget* pDialog, int nSettleMs = 100) {
    Settle(nSettleMs);
    QImage image = Framed(pDialog);
    pDialog->hide();
    return image;
}

// The main window ready to complete: the sample file read, its mapping applied.
QImage ShootMainDialog(GuideScene& scene) {
    CQVXWizardDlg dlg;
    dlg.show();
    if (!WaitFor([&] { return dlg.IsAnalysisIdle(); })) return Complain("main window", "it did not open");
    QLineEdit* pCsv = dlg.findChild<QLineEdit*>(QStringLiteral("1003"));
    if (!pCsv) return Complain("main window", "no CSV box");
    pCsv->setText(scene.CsvPath());
    const bool bReady = WaitFor([&] {
        return !dlg.IsBusy() && dlg.IsAnalysisIdle() && dlg.GetCSVState() == 2 && dlg.GetMappingState() == 2;
    });
    if (!bReady) return Complain("main window", "the sample file was not read with its mapping");
    return TakeShot(&dlg);
}

// The editor on the sample mapping, as Edit opens it.
QImage ShootMappingDialog(GuideScene& scene) {
    CMappingDlg dlg;
    dlg.SetDataMap(scene.Table());
    dlg.SetSamples(CollectColumnSamples(*scene.Parser(), *scene.Table()));
    const QByteArray path = QFile::encodeName(scene.MappingPath());
    dlg.SetMappingPath(path.constData(), static_cast<size_t>(path.size()) + 1);
    dlg.show();
    return TakeShot(&dlg, 200);
}

// The preview of the sample file's contacts, as its button opens it.
QImage ShootPreviewDialog(GuideScene& scene) {
    if (scene.Parser()->ParseData(2) != 0) return Complain("preview", "the sample rows could not be read");
    CPreviewDlg dlg(*scene.Table(), scene.Parser()->GetMismatchedCount(),
                    scene.Parser()->GetMismatchedLines());
    dlg.show();
    return TakeShot(&dlg, 200);
}

// The build's progress window as it opens, without the worker that opening
// would start: the picture shows a build under way, not a real one.
class CGuideCreateDBDlg : public CCreateDBDlg {
protected:
    void OnInitProgress() override { UpdateTexts(); }
};

QImage ShootProgressDialog() {
    CGuideCreateDBDlg dlg;
    dlg.show();
    dlg.SetProgressRange(100);
    for (int i = 0; i < 57; ++i) dlg.StepProgress();
    dlg.SetInfoText(GetText(qvxtext::kProgressDlg_Info_Contacts, 129).c_str());
    return TakeShot(&dlg);
}

// The copy window with the simulated phone chosen and its memory checked.
QImage ShootCopyDialog(GuideScene& scene) {
    const bool bGerman = GetCurrentLanguageName() == "Deutsch";
    if (!scene.AttachPhone(bGerman ? QStringLiteral("Annas Telefon") : QStringLiteral("Anna's phone")))
        return Complain("copy window", "the simulated phone could not be attached");
    QImage image;
    {
        CCopyToPhoneDlg dlg;
        dlg.show();
        QListWidget* pList = dlg.findChild<QListWidget*>(QStringLiteral("1027"));
        QWidget* pCopy = dlg.findChild<QWidget*>(QStringLiteral("1031"));
        if (!pList || !pCopy) return Complain("copy window", "controls missing");
        // The service announces the phones it finds at start a moment later.
        if (!WaitFor([&] { return pList->count() == 1; }))
            return Complain("copy window", "the simulated phone was not listed");
        Settle(800);
        pList->setCurrentRow(0);
        if (!WaitFor([&] { return pCopy->isEnabled(); }))
            return Complain("copy window", "the memory check did not pass");
        Settle(100);
        image = Framed(&dlg);
        dlg.reject();  // Back: last.db returns to its place
        WaitFor([&] { return !dlg.isVisible(); });
    }
    return image;
}

QImage ShootInfoDialog() {
    CInfoDlg dlg;
    dlg.show();
    return TakeShot(&dlg);
}

QImage ShootPCSuiteDialog() {
    CPCSuiteDlg dlg;
    dlg.show();
    return TakeShot(&dlg);
}

void Keep(std::map<QString, QImage>& shots, const char* pszName, QImage image) {
    if (!image.isNull()) shots[QString::fromLatin1(pszName)] = std::move(image);
}

}  // namespace

QStringList AvailableShots() {
    QStringList names;
    names << QStringLiteral("main");
    names << QStringLiteral("mapping");
    names << QStringLiteral("preview");
    names << QStringLiteral("progress");
    names << QStringLiteral("copy");
    names << QStringLiteral("info");
    names << QStringLiteral("pcsuite");
    return names;
}

std::map<QString, QImage> TakeDialogShots(GuideScene& scene) {
    // No message box may wait for an answer nobody gives.
    qvxui::CScriptedMessageBoxes boxes;
    boxes.SetDefaultAnswer(qvxui::MsgAnswer::No);
    qvxui::SetMessageBoxes(&boxes);

    std::map<QString, QImage> shots;
    Keep(shots, "main", ShootMainDialog(scene));
    Keep(shots, "mapping", ShootMappingDialog(scene));
    Keep(shots, "preview", ShootPreviewDialog(scene));
    Keep(shots, "progress", ShootProgressDialog());
    Keep(shots, "copy", ShootCopyDialog(scene));
    Keep(shots, "info", ShootInfoDialog());
    Keep(shots, "pcsuite", ShootPCSuiteDialog());
    for (const auto& entry : boxes.History())
        std::fprintf(stderr, "qvxguide: a message box was shown: %s\n", entry.text.toUtf8().constData());
    qvxui::SetMessageBoxes(nullptr);
    return shots;
}

}  // namespace qvxguide
