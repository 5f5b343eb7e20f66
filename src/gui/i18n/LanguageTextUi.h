// Texts of the current language (i18n/LanguageTable.h) applied to widgets.
// Each text is read into a buffer of nBufferSize bytes like every caller of
// the language table, so long texts are cut the same way; a missing key
// gives an empty text.
#pragma once

#include <QString>
#include <cstddef>

class QWidget;

namespace qvxui {

inline constexpr size_t kTextBuffer = 261;  // titles, captions, tool tips, labels
inline constexpr size_t kInfoBuffer = 129;  // info texts

QString LanguageText(const char* pszKey, size_t nBufferSize = kTextBuffer);
// The caption of a button, the text of a label, line edit or group box, or
// the title of a window.
void ApplyTextKey(QWidget* pWidget, const char* pszKey, size_t nBufferSize = kTextBuffer);
// The tool tip; for an icon button through its own tool tip.
void ApplyToolTipKey(QWidget* pWidget, const char* pszKey, size_t nBufferSize = kTextBuffer);
void ApplyWindowTitleKey(QWidget* pWidget, const char* pszKey, size_t nBufferSize = kTextBuffer);

// The same for texts already read.
void ApplyText(QWidget* pWidget, const QString& text);
void ApplyToolTip(QWidget* pWidget, const QString& text);

}  // namespace qvxui
