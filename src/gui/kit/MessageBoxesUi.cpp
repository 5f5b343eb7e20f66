#include "gui/kit/MessageBoxesUi.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>
#include <atomic>

#include "gui/kit/UiThreadAdapter.h"

namespace qvxui {
namespace {

std::atomic<IMessageBoxes*> g_pBoxes{nullptr};

// A No to a file question shows the dialog again; a script that keeps
// answering No must still end.
constexpr int kMaxDialogRounds = 64;

QMessageBox::Icon ToQtIcon(MsgIcon eIcon) {
    switch (eIcon) {
        case MsgIcon::Information:
            return QMessageBox::Information;
        case MsgIcon::Warning:
            return QMessageBox::Warning;
        case MsgIcon::Question:
            return QMessageBox::Question;
        case MsgIcon::Error:
            return QMessageBox::Critical;
        case MsgIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

bool AnswerFits(MsgAnswer eAnswer, MsgButtons eButtons) {
    switch (eButtons) {
        case MsgButtons::Ok:
            return eAnswer == MsgAnswer::Ok;
        case MsgButtons::OkCancel:
            return eAnswer == MsgAnswer::Ok || eAnswer == MsgAnswer::Cancel;
        case MsgButtons::YesNo:
            return eAnswer == MsgAnswer::Yes || eAnswer == MsgAnswer::No;
        case MsgButtons::YesNoCancel:
            return eAnswer != MsgAnswer::Ok;
    }
    return false;
}

MsgAnswer FirstButton(MsgButtons eButtons) {
    return (eButtons == MsgButtons::Ok || eButtons == MsgButtons::OkCancel) ? MsgAnswer::Ok : MsgAnswer::Yes;
}

// The answer a box gives when it is closed without a choice.
MsgAnswer EscapeAnswer(MsgButtons eButtons) {
    switch (eButtons) {
        case MsgButtons::Ok:
            return MsgAnswer::Ok;
        case MsgButtons::YesNo:
            return MsgAnswer::No;
        default:
            return MsgAnswer::Cancel;
    }
}

// Context for marshalling: the parent when there is one, else the application.
QObject* ContextOf(QWidget* pParent) {
    if (pParent) return pParent;
    return QCoreApplication::instance();
}

QString WithDefaultSuffix(const QString& path, const QString& suffix) {
    if (path.isEmpty() || suffix.isEmpty()) return path;
    const QFileInfo info(path);
    if (!info.fileName().contains(QLatin1Char('.'))) return path + QLatin1Char('.') + suffix;
    return path;
}

QFileDialog::Options DialogOptions() {
    // The questions are ours, so that they look alike everywhere and can be scripted.
    return QFileDialog::DontConfirmOverwrite;
}

QString StartPath(const FileDialogOptions& options) {
    if (options.fileName.isEmpty()) return options.startFolder;
    if (QFileInfo(options.fileName).isAbsolute() || options.startFolder.isEmpty()) return options.fileName;
    return QDir(options.startFolder).filePath(options.fileName);
}

bool ChooseFile(QWidget* pParent, const FileDialogOptions& options, bool bSave, QString* pPath) {
    QObject* pContext = ContextOf(pParent);
    for (int nRound = 0; nRound < kMaxDialogRounds; ++nRound) {
        QString path = CallOnUiThread(pContext, [&] {
            IMessageBoxes& boxes = MessageBoxes();
            return bSave ? boxes.ChooseSaveFile(pParent, options) : boxes.ChooseOpenFile(pParent, options);
        });
        if (path.isEmpty()) return false;
        path = WithDefaultSuffix(path, options.defaultSuffix);
        const bool bExists = QFileInfo::exists(path);
        if (bSave && bExists && options.bOverwritePrompt &&
            MessageBox(pParent, OverwriteQuestion(path), MsgIcon::Warning, MsgButtons::YesNo,
                       options.title) != MsgAnswer::Yes)
            continue;
        if (!bExists && options.bCreatePrompt &&
            MessageBox(pParent, CreateQuestion(path), MsgIcon::Question, MsgButtons::YesNo, options.title) !=
                MsgAnswer::Yes)
            continue;
        if (!bSave && !bExists && options.bFileMustExist && !options.bCreatePrompt) continue;
        if (pPath) *pPath = path;
        return true;
    }
    return false;
}

}  // namespace

MsgAnswer CQtMessageBoxes::ShowMessage(QWidget* pParent, const QString& text, MsgIcon eIcon,
                                       MsgButtons eButtons, const QString& caption) {
    QMessageBox box(ToQtIcon(eIcon), caption, text, QMessageBox::NoButton, pParent);
    switch (eButtons) {
        case MsgButtons::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case MsgButtons::OkCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            break;
        case MsgButtons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setEscapeButton(QMessageBox::No);
            break;
        case MsgButtons::YesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            break;
    }
    switch (box.exec()) {
        case QMessageBox::Ok:
            return MsgAnswer::Ok;
        case QMessageBox::Yes:
            return MsgAnswer::Yes;
        case QMessageBox::No:
            return MsgAnswer::No;
        case QMessageBox::Cancel:
            return MsgAnswer::Cancel;
        default:
            return EscapeAnswer(eButtons);
    }
}

QString CQtMessageBoxes::ChooseOpenFile(QWidget* pParent, const FileDialogOptions& options) {
    QFileDialog dialog(pParent, options.title, StartPath(options), ConvertFileFilter(options.filter));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(options.bFileMustExist && !options.bCreatePrompt ? QFileDialog::ExistingFile
                                                                        : QFileDialog::AnyFile);
    dialog.setOptions(DialogOptions());
    dialog.setDefaultSuffix(options.defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return dialog.selectedFiles().constFirst();
}

QString CQtMessageBoxes::ChooseSaveFile(QWidget* pParent, const FileDialogOptions& options) {
    QFileDialog dialog(pParent, options.title, StartPath(options), ConvertFileFilter(options.filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOptions(DialogOptions());
    dialog.setDefaultSuffix(options.defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return dialog.selectedFiles().constFirst();
}

void CScriptedMessageBoxes::QueueAnswer(MsgAnswer eAnswer) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_answers.push_back(eAnswer);
}

void CScriptedMessageBoxes::QueueFileName(const QString& path) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_files.push_back(path);
}

void CScriptedMessageBoxes::SetDefaultAnswer(MsgAnswer eAnswer) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bHasDefault = true;
    m_eDefault = eAnswer;
}

std::vector<CScriptedMessageBoxes::Shown> CScriptedMessageBoxes::History() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_history;
}

int CScriptedMessageBoxes::Count() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_history.size());
}

CScriptedMessageBoxes::Shown CScriptedMessageBoxes::Last() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_history.empty() ? Shown() : m_history.back();
}

void CScriptedMessageBoxes::Clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_answers.clear();
    m_files.clear();
    m_history.clear();
    m_bHasDefault = false;
}

MsgAnswer CScriptedMessageBoxes::ShowMessage(QWidget*, const QString& text, MsgIcon eIcon,
                                             MsgButtons eButtons, const QString& caption) {
    std::lock_guard<std::mutex> lock(m_mutex);
    MsgAnswer eAnswer = m_bHasDefault ? m_eDefault : FirstButton(eButtons);
    if (!m_answers.empty()) {
        eAnswer = m_answers.front();
        m_answers.pop_front();
    }
    // A scripted answer the box cannot give is what closing the box gives.
    if (!AnswerFits(eAnswer, eButtons)) eAnswer = EscapeAnswer(eButtons);
    Shown shown;
    shown.eKind = Kind::Message;
    shown.text = text;
    shown.caption = caption;
    shown.eIcon = eIcon;
    shown.eButtons = eButtons;
    shown.eAnswer = eAnswer;
    m_history.push_back(shown);
    return eAnswer;
}

QString CScriptedMessageBoxes::NextFile(Kind eKind, const FileDialogOptions& options) {
    std::lock_guard<std::mutex> lock(m_mutex);
    QString path;
    if (!m_files.empty()) {
        path = m_files.front();
        m_files.pop_front();
    }
    Shown shown;
    shown.eKind = eKind;
    shown.caption = options.title;
    shown.options = options;
    shown.fileAnswer = path;
    shown.eAnswer = path.isEmpty() ? MsgAnswer::Cancel : MsgAnswer::Ok;
    m_history.push_back(shown);
    return path;
}

QString CScriptedMessageBoxes::ChooseOpenFile(QWidget*, const FileDialogOptions& options) {
    return NextFile(Kind::OpenFile, options);
}

QString CScriptedMessageBoxes::ChooseSaveFile(QWidget*, const FileDialogOptions& options) {
    return NextFile(Kind::SaveFile, options);
}

IMessageBoxes& MessageBoxes() {
    static CQtMessageBoxes s_qtBoxes;
    IMessageBoxes* pBoxes = g_pBoxes.load();
    return pBoxes ? *pBoxes : s_qtBoxes;
}

void SetMessageBoxes(IMessageBoxes* pBoxes) {
    g_pBoxes.store(pBoxes);
}

MsgAnswer MessageBox(QWidget* pParent, const QString& text, MsgIcon eIcon, MsgButtons eButtons,
                     const QString& caption) {
    const QString title = caption.isEmpty() ? QString::fromLatin1(kMessageCaption) : caption;
    QObject* pContext = ContextOf(pParent);
    if (!pContext) return EscapeAnswer(eButtons);
    return CallOnUiThread(pContext,
                          [&] { return MessageBoxes().ShowMessage(pParent, text, eIcon, eButtons, title); });
}

void ShowInformation(QWidget* pParent, const QString& text) {
    MessageBox(pParent, text, MsgIcon::Information);
}

void ShowWarning(QWidget* pParent, const QString& text) {
    MessageBox(pParent, text, MsgIcon::Warning);
}

void ShowError(QWidget* pParent, const QString& text) {
    MessageBox(pParent, text, MsgIcon::Error);
}

bool AskYesNo(QWidget* pParent, const QString& text) {
    return MessageBox(pParent, text, MsgIcon::Question, MsgButtons::YesNo) == MsgAnswer::Yes;
}

bool GetOpenFileName(QWidget* pParent, const FileDialogOptions& options, QString* pPath) {
    return ChooseFile(pParent, options, false, pPath);
}

bool GetSaveFileName(QWidget* pParent, const FileDialogOptions& options, QString* pPath) {
    return ChooseFile(pParent, options, true, pPath);
}

QString ConvertFileFilter(const QString& filter) {
    if (!filter.contains(QLatin1Char('|'))) return filter;
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& p : patterns) p = p.trimmed();
        patterns.removeAll(QString());
        if (description.isEmpty() && patterns.isEmpty()) continue;
        if (patterns.isEmpty()) patterns << QStringLiteral("*");
        filters << (description.isEmpty() ? patterns.join(QLatin1Char(' ')) : description) +
                       QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return filters.join(QStringLiteral(";;"));
}

QString OverwriteQuestion(const QString& path) {
    return QStringLiteral("%1 already exists.\nDo you want to replace it?").arg(path);
}

QString CreateQuestion(const QString& path) {
    return QStringLiteral("%1\nThis file does not exist.\nDo you want to create the file?").arg(path);
}

}  // namespace qvxui
