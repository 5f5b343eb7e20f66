// Every message box and file dialog of the program goes through one small
// interface, so that tests can script the answers and see what was shown.
//
//   qvxui::ShowInformation(this, text);                  // caption "Quorvex"
//   if (qvxui::AskYesNo(this, text)) ...                 // question icon, Yes/No
//   qvxui::FileDialogOptions o;  o.filter = "*.map|*.map||";  o.defaultSuffix = "map";
//   QString path;  if (qvxui::GetSaveFileName(this, o, &path)) ...
//
// The free functions may be called from any thread: a box is always shown by
// the thread of its parent (the user-interface thread without a parent), and
// the caller waits for the answer. Tests install a CScriptedMessageBoxes with
// SetMessageBoxes.
#pragma once

#include <QString>
#include <deque>
#include <mutex>
#include <vector>

class QWidget;

namespace qvxui {

inline constexpr const char kMessageCaption[] = "Quorvex";

enum class MsgIcon { None, Information, Warning, Question, Error };
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgAnswer { Ok, Cancel, Yes, No };

struct FileDialogOptions {
    QString title;                 // empty: the platform's own title
    QString filter;                // "*.csv; *.txt|*.csv; *.txt||" (pairs of text|patterns) or a Qt filter
    QString defaultSuffix;         // appended to a chosen name without extension, e.g. "csv"
    QString startFolder;           // the folder the dialog opens in
    QString fileName;              // a proposed file (name or full path)
    bool bOverwritePrompt = true;  // save: ask before replacing an existing file
    bool bCreatePrompt = false;    // ask before choosing a file that does not exist yet
    bool bFileMustExist = true;    // open: only existing files (ignored with bCreatePrompt)
};

class IMessageBoxes {
public:
    virtual ~IMessageBoxes() = default;
    virtual MsgAnswer ShowMessage(QWidget* pParent, const QString& text, MsgIcon eIcon, MsgButtons eButtons,
                                  const QString& caption) = 0;
    // The bare dialogs: the chosen path, or an empty text when cancelled. The
    // overwrite and create questions are asked by GetSaveFileName and
    // GetOpenFileName around them.
    virtual QString ChooseOpenFile(QWidget* pParent, const FileDialogOptions& options) = 0;
    virtual QString ChooseSaveFile(QWidget* pParent, const FileDialogOptions& options) = 0;
};

// QMessageBox and QFileDialog.
class CQtMessageBoxes : public IMessageBoxes {
public:
    MsgAnswer ShowMessage(QWidget* pParent, const QString& text, MsgIcon eIcon, MsgButtons eButtons,
                          const QString& caption) override;
    QString ChooseOpenFile(QWidget* pParent, const FileDialogOptions& options) override;
    QString ChooseSaveFile(QWidget* pParent, const FileDialogOptions& options) override;
};

// Answers from queues and a record of everything shown. A box without a
// queued answer gets its first button (Ok or Yes) unless another default is
// set; a file dialog without a queued name is cancelled.
class CScriptedMessageBoxes : public IMessageBoxes {
public:
    enum class Kind { Message, OpenFile, SaveFile };
    struct Shown {
        Kind eKind = Kind::Message;
        QString text;
        QString caption;
        MsgIcon eIcon = MsgIcon::None;
        MsgButtons eButtons = MsgButtons::Ok;
        FileDialogOptions options;
        MsgAnswer eAnswer = MsgAnswer::Ok;
        QString fileAnswer;
    };

    void QueueAnswer(MsgAnswer eAnswer);
    void QueueFileName(const QString& path);  // an empty path cancels
    void SetDefaultAnswer(MsgAnswer eAnswer);
    std::vector<Shown> History() const;
    int Count() const;
    Shown Last() const;  // a default record when nothing was shown
    void Clear();

    MsgAnswer ShowMessage(QWidget* pParent, const QString& text, MsgIcon eIcon, MsgButtons eButtons,
                          const QString& caption) override;
    QString ChooseOpenFile(QWidget* pParent, const FileDialogOptions& options) override;
    QString ChooseSaveFile(QWidget* pParent, const FileDialogOptions& options) override;

private:
    QString NextFile(Kind eKind, const FileDialogOptions& options);

    mutable std::mutex m_mutex;
    std::deque<MsgAnswer> m_answers;
    std::deque<QString> m_files;
    bool m_bHasDefault = false;
    MsgAnswer m_eDefault = MsgAnswer::Ok;
    std::vector<Shown> m_history;
};

// The process-wide instance; the Qt one unless another was set. The object
// is not owned; pass nullptr to return to the Qt one.
IMessageBoxes& MessageBoxes();
void SetMessageBoxes(IMessageBoxes* pBoxes);

MsgAnswer MessageBox(QWidget* pParent, const QString& text, MsgIcon eIcon = MsgIcon::Information,
                     MsgButtons eButtons = MsgButtons::Ok, const QString& caption = QString());
void ShowInformation(QWidget* pParent, const QString& text);
void ShowWarning(QWidget* pParent, const QString& text);
void ShowError(QWidget* pParent, const QString& text);
// Question icon, Yes and No; true for Yes.
bool AskYesNo(QWidget* pParent, const QString& text);

// The file dialogs with the default suffix, the overwrite and the create
// questions; answering No to a question shows the dialog again. True and the
// full path when a file was chosen.
bool GetOpenFileName(QWidget* pParent, const FileDialogOptions& options, QString* pPath);
bool GetSaveFileName(QWidget* pParent, const FileDialogOptions& options, QString* pPath);

// "*.csv; *.txt|*.csv; *.txt||" -> "*.csv; *.txt (*.csv *.txt)"; a filter
// without '|' is taken as a Qt filter already.
QString ConvertFileFilter(const QString& filter);
// The texts of the two questions, with the path filled in.
QString OverwriteQuestion(const QString& path);
QString CreateQuestion(const QString& path);

}  // namespace qvxui
