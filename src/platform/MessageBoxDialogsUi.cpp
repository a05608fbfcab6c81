#include "platform/MessageBoxDialogsUi.h"

#include <QApplication>
#include <QMessageBox>

DialogAnswer MessageBoxDialogs::show(const DialogRequest& request)
{
    QMessageBox box(m_parent ? m_parent : QApplication::activeWindow());
    box.setLayoutDirection(Qt::RightToLeft);
    box.setWindowTitle(request.title);
    box.setText(request.text);
    switch (request.icon) {
    case DialogIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case DialogIcon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case DialogIcon::Error:
        box.setIcon(QMessageBox::Critical);
        break;
    case DialogIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    }
    switch (request.buttons) {
    case DialogButtons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case DialogButtons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case DialogButtons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    case DialogButtons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    }
    // Right-align the text label explicitly: some styles keep it left in a right-to-left box.
    box.setStyleSheet(QStringLiteral("QLabel { qproperty-alignment: 'AlignRight | AlignVCenter'; }"));
    switch (box.exec()) {
    case QMessageBox::Yes:
        return DialogAnswer::Yes;
    case QMessageBox::No:
        return DialogAnswer::No;
    case QMessageBox::Cancel:
        return DialogAnswer::Cancel;
    default:
        return DialogAnswer::Ok;
    }
}
