#pragma once

// The program's command line, read and run without the toolkit, so that main() handles the
// exports and the help before it makes an application (there may be no display at all):
//
//   sornafex [JOURNAL.csv]
//   sornafex --export edf JOURNAL OUT.edf
//   sornafex --export bids JOURNAL FOLDER [--subject LABEL] [--task LABEL]
//   sornafex --help
//
// res::kCommandHelp is what --help prints.

#include "export/bids_export.h"

#include <ostream>
#include <string>
#include <vector>

namespace sornafex {

struct TCommandLine {
    enum class TAction {
        Window,     // the main window; journal: the one to open in it, or empty
        Help,       // print the help
        ExportEdf,  // journal to the EDF+ file output
        ExportBids, // journal into the BIDS folder output, under labels
        Refused,    // error: why the command line is not one of these
    };
    TAction action = TAction::Window;
    std::string journal;
    std::string output;
    // The subject defaults to the journal's name (BidsSubjectOf), the task to
    // res::kBidsDefaultTask; both are checked here.
    TBidsLabels labels;
    std::string error;
};

// Reads the arguments that follow the program's name.
TCommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// Runs a command line that needs no window (any action but Window, which is main()'s and gives
// 1 here): the help on out, the exports, and every failure on err ("sornafex : " and the French
// reason, naming the file it concerns: a journal that cannot be read with the same words as
// "Ouvrir..."). Returns the program's exit status: 0 when done, 1 after a failure.
int RunCommandLine(const TCommandLine& command, std::ostream& out, std::ostream& err);

} // namespace sornafex
