#pragma once

// Runs Windows programs under Wine beside the Linux programs of this build, each in a copy of
// the same player's folder, and compares what they do: the tests of tests/windows share it.

#include "tests/support/Gbx_Test_Files.h"

#include <sys/types.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace plotvane::test {

using TClock = std::chrono::steady_clock;

// A run that takes longer has hung: it is ended, and fails.
constexpr std::chrono::seconds Longest_Run{60};

// A program to start: its command line, its only variables, its current directory.
struct TCommand {
    std::vector<std::string> Line;
    std::vector<std::string> Environment;
    std::string Folder;
};

struct TRun {
    int Exit_Code = -1;
    std::string Out;
    std::string Err;
    TClock::duration Time{};
};

std::string First_Line(const std::string& text);

// A running program, its standard streams on pipes.
class TChild {
public:
    explicit TChild(TCommand command);
    TChild(const TChild&) = delete;
    TChild& operator=(const TChild&) = delete;
    ~TChild();

    // Its next line of standard output, without the line break ("\r\n" from a Windows program).
    std::string Read_Line();

    // Closes its standard input and collects its outputs until it exits. The end is its exit,
    // not the end of the pipes: Wine's services, started by the first run, keep them open.
    // `longest` later it is killed, and its exit code is -1.
    TRun Finish(TClock::duration longest = Longest_Run);

    // Asks it to end (SIGTERM) and waits for it.
    void Stop();

private:
    const TClock::time_point start_ = TClock::now();
    pid_t pid_ = -1;
    int in_ = -1;
    int out_ = -1;
    int err_ = -1;
    bool finished_ = false;
};

TRun Run(const TCommand& command);

// The private Wine prefix of this build (made by the first run) and one wineserver for the
// whole test, so that a run of a Windows program takes tens of milliseconds. Both programs get
// these variables alone (and the test's own): no display, no installer dialog, Wine's messages
// off.
class TWine {
public:
    static const std::string Folder;

    // `variables` go to every program besides Wine's own: DISPLAY for a test of windows, which
    // Wine's desktop takes from the first program that starts in the prefix.
    explicit TWine(const std::vector<std::string>& variables = {});
    ~TWine();
    TWine(const TWine&) = delete;
    TWine& operator=(const TWine&) = delete;

    // A Windows program's command, with `variables` added to the others.
    TCommand Command(std::vector<std::string> line, const std::string& folder,
                     const std::vector<std::string>& variables = {}) const;
    const std::vector<std::string>& Environment() const { return environment_; }
    // The folder that FOLDERID_Documents names in the prefix.
    const std::string& Documents() const { return documents_; }
    std::string Windows_Path(const std::string& path) const { return Converted("-w", path); }

private:
    std::string Converted(const std::string& option, const std::string& path) const;

    std::vector<std::string> environment_;
    std::string documents_;
};

// Expects the same texts; a failure shows where they part, with a little of each.
void Expect_Same_Text(const std::string& what, const std::string& text,
                      const std::string& expected);

// Every file below a folder by its path there, with its bytes.
using TFolder_State = std::map<std::string, TBytes>;
TFolder_State Folder_State(const std::string& folder);

// The files that `state` holds beside `expected`, or holds otherwise, or lacks.
std::string Differences(const TFolder_State& state, const TFolder_State& expected);

enum class TOutcome {
    Listing,    // writes nothing
    Refusal,    // fails and writes nothing
    Edit,       // writes the map, the original kept in MAP.bak1
    Conversion, // writes the map, the original kept in MAP.bak
};

// Where the game user folder comes from, when not from --game-folder.
enum class TDocuments { Argument, Variable, Wine_Prefix };

// What the player's folder holds as the map.
enum class TMap_File { Corpus_Copy, Not_Gbx, Missing };

struct TRow {
    std::vector<std::string> Arguments; // "{map}" stands for the map's name
    std::string Challenge;              // the corpus file copied in as the map
    TOutcome Outcome = TOutcome::Listing;
    std::string Map = "";               // the map's relative name; the challenge's by default
    TDocuments Documents = TDocuments::Argument;
    bool Lock_Held_First = false;       // first run while another Windows process edits the map
    bool Stale_Temporary = false;       // a killed save left its temporary file beside the map
    std::vector<std::string> Logins = {"nadeo"}; // the profiles of the game user folder
    TMap_File Map_File = TMap_File::Corpus_Copy;
    bool Backup_In_The_Way = false;     // a folder named MAP.bak
};

// The programs that a row runs: the Linux one of this build, the Windows one under Wine.
struct TPrograms {
    std::string Linux;
    std::string Windows;
};

// The file of pasted blocks in the player's folder.
extern const std::string Pasted_Blocks;

// Writes TrackMania/Profiles into `folder` with a profile of each login.
void Write_Game_Folder(const std::string& folder,
                       const std::vector<std::string>& logins = {"nadeo"});

// Runs the row's command with the Linux program and with the Windows one under Wine (with
// `windows_variables` besides Wine's), each in a copy of the same player's folder, and expects
// the same exit code, outputs and files.
void Check_Row(TRow row, const TWine& wine, const TPrograms& programs,
               const std::vector<std::string>& windows_variables = {});

} // namespace plotvane::test
