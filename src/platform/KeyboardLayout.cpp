#include "platform/KeyboardLayout.h"

#ifdef Q_OS_WIN
#include <windows.h>
#endif

void SystemKeyboardLayout::activate(const QString& layout)
{
    m_last = layout;
#ifdef Q_OS_WIN
    LoadKeyboardLayoutW(reinterpret_cast<LPCWSTR>(layout.utf16()), KLF_ACTIVATE);
#endif
}

void SetKeyboardLayout(KeyboardLayout& keyboard, int kind)
{
    if (kind == 1)
        keyboard.activate(KeyboardLayouts::arabic);
    else if (kind == 2)
        keyboard.activate(KeyboardLayouts::englishUs);
}
