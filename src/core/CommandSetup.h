#pragma once

#include <QSqlDatabase>

class AppContext;
class QTextStream;

// What the command-line subcommands that work on an install folder do first, with their messages
// on `err`: the folder must exist and hold its settings file, from which the connection strings are
// built; then the interface database is opened on one of the quiet slots (1 to 4).
namespace CommandSetup {

bool loadInstall(AppContext& context, QTextStream& err);
// The open connection, or a closed one after its reason was written.
QSqlDatabase openInterface(AppContext& context, int quietSlot, QTextStream& err);

} // namespace CommandSetup
