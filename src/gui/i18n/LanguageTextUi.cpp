#include "gui/i18n/LanguageTextUi.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>

#include "gui/controls/HyperlinkLabel.h"
#include "gui/controls/IconButton.h"
#include "gui/kit/DialogUi.h"
#include "i18n/LanguageTable.h"

namespace qvxui {

QString LanguageText(const char* pszKey, size_t nBufferSize) {
    return FromLocalText(GetText(pszKey, nBufferSize));
}

void ApplyText(QWidget* pWidget, const QString& text) {
    if (!pWidget) return;
    if (auto* pButton = qobject_cast<QAbstractButton*>(pWidget)) {
        pButton->setText(text);
    } else if (auto* pLink = qobject_cast<CHyperlinkLabel*>(pWidget)) {
        pLink->setText(text);
        pLink->FitToText();
    } else if (auto* pLabel = qobject_cast<QLabel*>(pWidget)) {
        pLabel->setText(text);
    } else if (auto* pEdit = qobject_cast<QLineEdit*>(pWidget)) {
        pEdit->setText(text);
    } else if (auto* pGroup = qobject_cast<QGroupBox*>(pWidget)) {
        pGroup->setTitle(text);
    } else if (pWidget->isWindow()) {
        pWidget->setWindowTitle(text);
    }
}

void ApplyToolTip(QWidget* pWidget, const QString& text) {
    if (!pWidget) return;
    if (auto* pButton = qobject_cast<CIconButton*>(pWidget))
        pButton->SetButtonTooltip(text);
    else
        pWidget->setToolTip(text);
}

void ApplyTextKey(QWidget* pWidget, const char* pszKey, size_t nBufferSize) {
    ApplyText(pWidget, LanguageText(pszKey, nBufferSize));
}

void ApplyToolTipKey(QWidget* pWidget, const char* pszKey, size_t nBufferSize) {
    ApplyToolTip(pWidget, LanguageText(pszKey, nBufferSize));
}

void ApplyWindowTitleKey(QWidget* pWidget, const char* pszKey, size_t nBufferSize) {
    if (pWidget) pWidget->setWindowTitle(LanguageText(pszKey, nBufferSize));
}

}  // namespace qvxui
