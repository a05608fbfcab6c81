#include "platform/SystemPrintersUi.h"

#include <QPrinterInfo>

#ifdef Q_OS_WIN
#include <windows.h>
#include <winspool.h>
#endif

QStringList SystemPrintersUi::printerNames() const
{
    return QPrinterInfo::availablePrinterNames();
}

QString SystemPrintersUi::defaultPrinterEntry() const
{
#ifdef Q_OS_WIN
    // The profile entry: "device,driver,port".
    wchar_t entry[255] = {};
    GetProfileStringW(L"windows", L"device", L",,,", entry, 254);
    return QString::fromWCharArray(entry);
#else
    return QPrinterInfo::defaultPrinterName();
#endif
}

bool SystemPrintersUi::printsToDefault() const
{
#ifdef Q_OS_WIN
    return true;
#else
    return false;
#endif
}

bool SystemPrintersUi::setDefaultPrinter(const QString& name)
{
#ifdef Q_OS_WIN
    return SetDefaultPrinterW(reinterpret_cast<LPCWSTR>(name.utf16())) != 0;
#else
    Q_UNUSED(name);
    return false;
#endif
}
