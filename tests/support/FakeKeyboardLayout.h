#pragma once

#include "platform/KeyboardLayout.h"

#include <QStringList>

// Records every layout asked for.
class FakeKeyboardLayout final : public KeyboardLayout
{
public:
    void activate(const QString& layout) override { requests.append(layout); }
    QStringList requests;
};
