#pragma once

// Where the program keeps its preferences, finds its readme and starts its file dialogs, by how
// it was put on the machine.
//
// A portable copy keeps everything next to the program: its folder can be written, or a
// preferences file already sits there (that file always wins).
//
// An installed program keeps its preferences in $XDG_CONFIG_HOME/sornafex/ (~/.config/sornafex/
// when that variable is unset or not an absolute path) and starts its dialogs in the home folder.
// It is installed when its folder can't be written, and also when it sits in an install's own
// layout (its readme under ../share/sornafex/, none beside it) even if the folder could be
// written, as root can write /usr/bin: a preferences file root left there would otherwise become
// every account's, read-only to them, and nobody else's preferences would ever be saved.
//
// The readme is the one next to the program when there is one, else the installed one.

#include "base/paths.h"

#include <optional>
#include <string>
#include <string_view>

namespace sornafex {

// The questions the rule asks the system. The base class answers from the real system; tests
// override the answers they need (root can write every folder, so a read-only one is a fake).
class TLocationProbe {
public:
    virtual ~TLocationProbe() = default;

    // An environment variable's value; nullopt when it is not set.
    virtual std::optional<std::string> Environment(const std::string& name) const;
    // The account's home folder from the user database, for when HOME is not set; empty when
    // there is none.
    virtual std::string AccountHome() const;
    // True for a regular file (or a link to one).
    virtual bool IsFile(const std::string& path) const;
    // Whether this account may create files in the folder.
    virtual bool CanWriteFolder(const std::string& folder) const;

    static const TLocationProbe& System();
};

// The program's files for the executable at executablePath. Without a home folder to keep them
// in, an installed program's preferences stay next to it, where the writability test then
// finds it can't write them.
TAppPaths LocateAppFiles(std::string_view executablePath,
                         const TLocationProbe& probe = TLocationProbe::System());

// Creates the folder that will hold the file at path, and every missing folder above it, with
// mode 0700 (a configuration folder is the account's own business); folders that exist are left
// as they are. False when one could not be made; errno then says why.
bool MakeFolderFor(const std::string& path);
// The same for the folder itself.
bool MakeFolder(const std::string& folder);

// The folder of the run journals. configured is the preferences' choice (blank: none): "~/" at
// its start stands for the home folder, and a relative folder is taken from the preferences
// file's folder. Without a choice: $XDG_DATA_HOME/sornafex/journal, or
// ~/.local/share/sornafex/journal when that variable is unset or not an absolute path. Empty
// without any home folder.
std::string LocateJournalFolder(std::string_view configured, std::string_view preferencesPath,
                                const TLocationProbe& probe = TLocationProbe::System());

} // namespace sornafex
