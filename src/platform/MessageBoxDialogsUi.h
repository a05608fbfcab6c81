#pragma once

#include "platform/Dialogs.h"

class QWidget;

// Qt message boxes laid out right to left, text aligned to the right.
class MessageBoxDialogs final : public Dialogs
{
public:
    explicit MessageBoxDialogs(QWidget* parent = nullptr) : m_parent(parent) {}
    DialogAnswer show(const DialogRequest& request) override;

private:
    QWidget* m_parent;
};
