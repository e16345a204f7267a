#pragma once

#include "challenge/Gbx_Challenge_Structure.h"
#include "platform/Scripted_Gui_Services.h"
#include "tests/support/Challenge_Builder.h"
#include "tests/support/Gbx_Test_Files.h"
#include "tests/ui/Game_Folder.h"
#include "ui/Main.h"

#include <QString>

#include <memory>
#include <string>
#include <vector>

namespace plotvane::test {

// A window over a game folder with the profile "fixture_player" (the fixture builder's author),
// a block name list folder of its own, and scripted services.
class TEditor_Fixture {
public:
    explicit TEditor_Fixture(const std::vector<std::string>& logins = {"fixture_player"});

    TMainForm& Form() { return *form_; }
    TScripted_Gui_Services& Services() { return services_; }
    const TTest_Game_Folder& Game() const { return game_; }
    const std::string& Lists_Folder() const { return lists_folder_; }

    // Writes a challenge into the Challenges folder and returns its path.
    std::string Write_Challenge(const std::string& name, const TChallenge_Description& description);
    // Open through the dialog, answered with `path`.
    void Open(const std::string& path);
    // Makes `row` the list's current line, as a click or the arrow keys do.
    void Select(int row);
    QString Line(int row) const;
    int Line_Count() const;
    // The texts of the boxes shown so far, and forgets them.
    std::vector<QString> Take_Box_Texts();

private:
    TTest_Game_Folder game_;
    TScratch_Folder lists_;
    std::string lists_folder_;
    TScripted_Gui_Services services_;
    std::unique_ptr<TMainForm> form_;
};

// Checks that the file is the image saved: the header but for the compressed-size field, and a
// body that liblzo2 expands to the image's body. Returns the blocks that the core's walk reads
// from the file (empty on a failed check).
std::vector<TFile_Block> Saved_Blocks(const std::string& path, const TFlexible_Byte_Array& image,
                                      TMemory_Mask mask);
} // namespace plotvane::test
