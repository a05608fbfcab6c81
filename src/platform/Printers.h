#pragma once

#include <QString>
#include <QStringList>

// The station's printers: the installed ones by device name, the default one, and making one the
// default. On Windows reports go to the default printer, which printing first sets to the report
// printer; elsewhere a job names its printer and the system default is never touched.
class Printers
{
public:
    virtual ~Printers() = default;
    // Device names of the installed printers, in the system's order.
    virtual QStringList printerNames() const = 0;
    // The device name the system's default-printer entry holds; empty when none is set.
    virtual QString defaultPrinterEntry() const = 0;
    // Whether printing goes through the system default (Windows) rather than a named printer.
    virtual bool printsToDefault() const = 0;
    // Makes `name` the system default; false when the system refuses.
    virtual bool setDefaultPrinter(const QString& name) = 0;
};
