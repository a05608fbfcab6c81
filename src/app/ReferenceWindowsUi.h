#pragma once

class AppContext;
class ProgramUi;

// The reference-data windows on the navigation of every window: Opt_ranges, cmd_FACTORSS and
// cmd_resultopt open the test catalogue, cmd_comments the comment library; the catalogue's own
// cmd_resultopt opens the reference ranges of its test.
void registerReferenceWindows(ProgramUi& ui, AppContext& context);
