// plotvane-cli.exe under Wine beside the Linux plotvane-cli.
#include "tests/support/Corpus.h"
#include "tests/windows/Wine_Process.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace plotvane {
namespace {

namespace fs = std::filesystem;
using namespace test;

// A command on a map of Nadeo's, with the game user folder that holds the profile.
std::vector<std::string> Edit(std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin() + 1, {"--game-folder", "TrackMania"});
    return arguments;
}

// The corpus's GBX files by their names below it.
std::vector<std::string> Corpus_Gbx_Files()
{
    std::vector<std::string> names;
    const fs::path corpus = PLOTVANE_CORPUS_DIR;
    for (const fs::path& folder : {corpus, corpus / "campaign"}) {
        for (const auto& entry : fs::directory_iterator(folder)) {
            if (entry.path().extension() == ".Gbx") {
                names.push_back(fs::relative(entry.path(), corpus).string());
            }
        }
    }
    return names;
}

// plotvane-cli.exe under Wine does what plotvane-cli does on Linux, byte for byte: listings of
// every real file, each editing command on a real map with its backup, refused edits that
// leave the folder as it was, the lock of another process's edit, a killed save's temporary
// file, names outside ASCII and past 260 characters, and where the game user folder is found.
TEST(Windows_Cli, Runs_Under_Wine_As_The_Linux_Program_Runs)
{
    PLOTVANE_REQUIRE_CORPUS_FILE(endurance_path, "E02-Endurance.Challenge.Gbx");
    const TWine wine;
    Write_Game_Folder(wine.Documents());
    const TPrograms programs = {PLOTVANE_LINUX_CLI, PLOTVANE_WINDOWS_CLI};
    const std::string endurance = "E02-Endurance.Challenge.Gbx";
    const std::string other_players = "SpeedNotice.Challenge.Gbx";
    std::vector<TRow> rows = {
        {Edit({"set", "{map}", "5", "--rotation", "2"}), endurance, TOutcome::Edit},
        {Edit({"set", "{map}", "--rotation", "1", "--index", "10-19"}), endurance, TOutcome::Edit},
        {Edit({"move", "{map}", "--dx", "1", "--index", "0-99", "--json"}), endurance,
         TOutcome::Edit},
        {Edit({"rotate", "{map}", "--quarter-turns", "1", "--name", "StadiumRoadMain"}),
         endurance, TOutcome::Edit},
        {Edit({"replace", "{map}", "--from", "StadiumRoadMainCheckpoint", "--to",
               "StadiumRoadMainGTCurve2"}),
         endurance, TOutcome::Edit},
        {Edit({"duplicate", "{map}", "--index", "3", "--dz", "1"}), endurance, TOutcome::Edit},
        {Edit({"delete", "{map}", "--index", "7"}), endurance, TOutcome::Edit},
        {Edit({"paste", "{map}", Pasted_Blocks}), endurance, TOutcome::Edit},
        {Edit({"pack", "{map}"}), endurance, TOutcome::Edit},
        {{"convert", "{map}"}, endurance, TOutcome::Conversion, "", TDocuments::Variable},
        {Edit({"set", "{map}", "907", "--rotation", "1"}), endurance, TOutcome::Refusal},
        {Edit({"set", "{map}", "0", "--rotation", "1"}), other_players, TOutcome::Refusal},
        {{"convert", "{map}"}, other_players, TOutcome::Refusal, "", TDocuments::Variable},
        {Edit({"move", "{map}", "--dz", "1", "--index", "0"}), endurance, TOutcome::Edit, "",
         TDocuments::Argument, true},
        {Edit({"set", "{map}", "5", "--rotation", "3"}), endurance, TOutcome::Edit, "",
         TDocuments::Argument, false, true},
        // The variable wins over the prefix's documents folder, which holds a game folder too.
        {{"profiles"}, endurance, TOutcome::Listing, "", TDocuments::Variable},
        {{"profiles"}, endurance, TOutcome::Listing, "", TDocuments::Wine_Prefix},
    };
    const std::string deep_folder = std::string(100, 'd') + "/" + std::string(100, 'e') + "/";
    for (const std::string& map :
         {std::string("Été.Challenge.Gbx"), std::string("日本.Challenge.Gbx"),
          deep_folder + std::string(80, 'f') + ".Challenge.Gbx"}) {
        rows.push_back({{"blocks", "{map}"}, endurance, TOutcome::Listing, map});
        rows.push_back(
            {Edit({"set", "{map}", "5", "--rotation", "2"}), endurance, TOutcome::Edit, map});
    }
    for (const std::string& file : Corpus_Gbx_Files()) {
        for (const std::vector<std::string>& listing :
             {std::vector<std::string>{"info", "{map}"}, {"blocks", "{map}"},
              {"blocks", "--json", "{map}"}}) {
            rows.push_back({listing, file});
        }
    }
    for (const TRow& row : rows) {
        Check_Row(row, wine, programs);
    }
}

} // namespace
} // namespace plotvane
