#pragma once

#include "platform/Printers.h"

// The station's printers through Qt Print Support (CUPS on Linux, the spooler on Windows). Only
// on Windows does printing go through the system default, which setDefaultPrinter changes there.
class SystemPrintersUi final : public Printers
{
public:
    QStringList printerNames() const override;
    QString defaultPrinterEntry() const override;
    bool printsToDefault() const override;
    bool setDefaultPrinter(const QString& name) override;
};
