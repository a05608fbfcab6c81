#pragma once

#include <QString>

// Switches the input language when an entry field gets the focus. The real layer asks Windows to
// load and activate the layout; elsewhere there is nothing to switch and it only remembers the
// request. Tests use a fake that records every call.
class KeyboardLayout
{
public:
    virtual ~KeyboardLayout() = default;
    // `layout` is a Windows keyboard layout name such as "00000401".
    virtual void activate(const QString& layout) = 0;
};

namespace KeyboardLayouts {
inline const QString arabic = QStringLiteral("00000401");
inline const QString englishUs = QStringLiteral("00000409");
} // namespace KeyboardLayouts

class SystemKeyboardLayout final : public KeyboardLayout
{
public:
    void activate(const QString& layout) override;
    // The last layout asked for (empty before the first request).
    const QString& lastLayout() const { return m_last; }

private:
    QString m_last;
};

// Kind 1: Arabic, kind 2: English (US); any other kind does nothing.
void SetKeyboardLayout(KeyboardLayout& keyboard, int kind);
