#include "export/command_line.h"

#include "base/errors.h"
#include "base/uRes.h"
#include "export/edf_export.h"
#include "recording/journal_reader.h"

#include <exception>
#include <string_view>

namespace sornafex {

namespace {

using A = TCommandLine::TAction;

constexpr std::string_view kHelp = "--help";
constexpr std::string_view kShortHelp = "-h";
constexpr std::string_view kExport = "--export";
constexpr std::string_view kEdf = "edf";
constexpr std::string_view kBids = "bids";
constexpr std::string_view kSubject = "--subject";
constexpr std::string_view kTask = "--task";

TCommandLine Refused(std::string reason) {
    TCommandLine command;
    command.action = A::Refused;
    command.error = std::move(reason);
    return command;
}

bool IsOption(const std::string& argument) {
    return argument.size() > 1 && argument.front() == '-';
}

// After "--export FORMAT": the journal and the output, and for BIDS the labels' options
// anywhere among them.
TCommandLine ParseExport(const std::vector<std::string>& arguments, bool bids) {
    TCommandLine command;
    command.action = bids ? A::ExportBids : A::ExportEdf;
    std::vector<std::string> files;
    bool subjectGiven = false;
    for (std::size_t i = 2; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == kSubject || argument == kTask) {
            if (!bids)
                return Refused(res::FormatStr(res::kCommandBidsOnlyFormat, argument));
            if (i + 1 == arguments.size())
                return Refused(res::FormatStr(res::kCommandOptionValueFormat, argument));
            const std::string& value = arguments[++i];
            if (!IsBidsLabel(value))
                return Refused(res::FormatStr(res::kBidsLabelFormat, value));
            (argument == kSubject ? command.labels.subject : command.labels.task) = value;
            subjectGiven = subjectGiven || argument == kSubject;
        } else if (IsOption(argument)) {
            return Refused(res::FormatStr(res::kCommandUnknownOptionFormat, argument));
        } else if (files.size() == 2) {
            return Refused(res::FormatStr(res::kCommandExtraArgumentFormat, argument));
        } else {
            files.push_back(argument);
        }
    }
    if (files.size() < 2)
        return Refused(std::string(bids ? res::kCommandBidsArguments : res::kCommandEdfArguments));
    command.journal = files[0];
    command.output = files[1];
    if (bids && !subjectGiven) {
        command.labels.subject = BidsSubjectOf(command.journal);
        if (command.labels.subject.empty())
            return Refused(res::FormatStr(res::kBidsNoSubjectFormat, command.journal));
    }
    if (bids && command.labels.task.empty())
        command.labels.task = res::kBidsDefaultTask;
    return command;
}

// "sornafex : " and the reason, with the error box's full stop.
std::string Failure(std::string_view reason) {
    return res::FormatStr(res::kCommandErrorFormat, ErrorBoxText(reason));
}

std::string FileFailure(std::string_view file, std::string_view reason) {
    return res::FormatStr(res::kCommandFileErrorFormat, file) + ErrorBoxText(reason);
}

} // namespace

TCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    if (arguments.empty())
        return {};
    const std::string& first = arguments.front();
    if (first == kHelp || first == kShortHelp) {
        TCommandLine command;
        command.action = A::Help;
        return command;
    }
    if (first == kExport) {
        if (arguments.size() < 2)
            return Refused(std::string(res::kCommandNoFormat));
        if (arguments[1] != kEdf && arguments[1] != kBids)
            return Refused(res::FormatStr(res::kCommandUnknownFormatFormat, arguments[1]));
        return ParseExport(arguments, arguments[1] == kBids);
    }
    if (IsOption(first))
        return Refused(res::FormatStr(res::kCommandUnknownOptionFormat, first));
    if (arguments.size() > 1)
        return Refused(res::FormatStr(res::kCommandExtraArgumentFormat, arguments[1]));
    TCommandLine command;
    command.journal = first;
    return command;
}

int RunCommandLine(const TCommandLine& command, std::ostream& out, std::ostream& err) {
    switch (command.action) {
    case A::Window:
        return 1;
    case A::Help:
        out << res::kCommandHelp;
        return 0;
    case A::Refused:
        err << Failure(command.error) << "\n" << res::kCommandTryHelp << "\n";
        return 1;
    case A::ExportEdf:
    case A::ExportBids:
        break;
    }
    TJournalSession session;
    try {
        session = ReadJournalSession(command.journal);
    } catch (const std::exception& error) {
        err << FileFailure(command.journal, error.what()) << "\n";
        return 1;
    }
    try {
        if (command.action == A::ExportEdf)
            ExportEdf(session, command.output);
        else
            ExportBids(session, command.output, command.labels);
    } catch (const EExportError& error) {
        err << Failure(error.what()) << "\n";
        return 1;
    } catch (const std::exception& error) {
        err << FileFailure(command.output, error.what()) << "\n";
        return 1;
    }
    return 0;
}

} // namespace sornafex
