#pragma once

#include <optional>
#include <string>

namespace plotvane::test {

// A fresh folder under the system's temporary folder, removed with all it holds at the end of
// the scope. Path() has no trailing separator.
class TScratch_Folder {
public:
    TScratch_Folder();
    ~TScratch_Folder();
    TScratch_Folder(const TScratch_Folder&) = delete;
    TScratch_Folder& operator=(const TScratch_Folder&) = delete;

    const std::string& Path() const { return path_; }
    // Path() + separator + relative, with the folders on the way created.
    std::string Make_Folder(const std::string& relative) const;

private:
    std::string path_;
};

// Sets (or, with nullopt, unsets) an environment variable for the scope and puts back the
// value it had.
class TScoped_Environment_Variable {
public:
    TScoped_Environment_Variable(std::string name, const std::optional<std::string>& value);
    ~TScoped_Environment_Variable();
    TScoped_Environment_Variable(const TScoped_Environment_Variable&) = delete;
    TScoped_Environment_Variable& operator=(const TScoped_Environment_Variable&) = delete;

private:
    std::string name_;
    std::optional<std::string> previous_;
};

// Makes a folder the current directory for the scope.
class TScoped_Current_Directory {
public:
    explicit TScoped_Current_Directory(const std::string& folder);
    ~TScoped_Current_Directory();
    TScoped_Current_Directory(const TScoped_Current_Directory&) = delete;
    TScoped_Current_Directory& operator=(const TScoped_Current_Directory&) = delete;

private:
    std::string previous_;
};

// A scratch folder as the home folder: HOME points at it, USER is "player", and the other
// variables that steer the search for the documents folder (PLOTVANE_DOCUMENTS,
// XDG_CONFIG_HOME, WINEPREFIX) are unset, all until the end of the scope.
class TFake_Home {
public:
    TFake_Home();

    const std::string& Path() const { return folder_.Path(); }
    std::string Make_Folder(const std::string& relative) const
    {
        return folder_.Make_Folder(relative);
    }

private:
    TScratch_Folder folder_;
    TScoped_Environment_Variable home_;
    TScoped_Environment_Variable user_;
    TScoped_Environment_Variable documents_;
    TScoped_Environment_Variable xdg_config_home_;
    TScoped_Environment_Variable wine_prefix_;
};

} // namespace plotvane::test
