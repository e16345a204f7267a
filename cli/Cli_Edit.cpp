#include "cli/Cli_Edit.h"

#include "challenge/Block_Clipboard.h"
#include "challenge/Gbx_Challenge_Read.h"
#include "challenge/Gbx_Challenge_Write.h"
#include "cli/Cli_Block_Listing.h"
#include "cli/Cli_Failures.h"
#include "cli/Cli_Output.h"
#include "cli/Cli_Own_Challenge.h"
#include "cli/Cli_Structure.h"
#include "gbx/Gbx_IO.h"
#include "gbx/Gbx_Memory_Tools.h"
#include "platform/File_Lock.h"
#include "platform/File_System.h"

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <ostream>
#include <utility>
#include <vector>

namespace plotvane {

namespace {

using TKind = TBatch_Edit::TKind;

TEdit_Result Apply_Edit(TChallenge_Edit_Session& session, const TBlock_Selection& selection,
                        const std::vector<TNew_Block>& pasted, const TBatch_Edit& edit,
                        bool force)
{
    switch (edit.Kind) {
    case TKind::Move:
        return session.Move(selection, edit.Dx, edit.Dz, edit.Dy, force);
    case TKind::Rotate:
        return session.Rotate(selection, edit.Quarter_Turns);
    case TKind::Replace:
        return session.Replace_Name(selection, edit.From, edit.To);
    case TKind::Duplicate:
        return session.Duplicate(selection, edit.Dx, edit.Dz, edit.Dy, force, edit.Without_Skin);
    case TKind::Delete:
        return session.Delete(selection);
    case TKind::Paste:
        return session.Paste(pasted, edit.Dx, edit.Dz, edit.Dy, force, edit.Without_Skin);
    case TKind::Set:
        break;
    }
    return session.Set(selection, edit.Settings, force);
}

// What the report of an edit shows: the blocks it changed, added or deleted.
enum class TReport { Changed, Added, Deleted };

TReport Report_Of(TKind kind)
{
    switch (kind) {
    case TKind::Duplicate:
    case TKind::Paste:
        return TReport::Added;
    case TKind::Delete:
        return TReport::Deleted;
    default:
        return TReport::Changed;
    }
}

// The key of the JSON report that lists the blocks, also when it lists none.
const char* Report_Key(TKind kind)
{
    switch (Report_Of(kind)) {
    case TReport::Added:
        return "added";
    case TReport::Deleted:
        return "deleted";
    case TReport::Changed:
        break;
    }
    return "changed";
}

std::string Position_Text(const std::array<int, 3>& position)
{
    return "x " + std::to_string(position[0]) + ", z " + std::to_string(position[1]) + ", y " +
           std::to_string(position[2]);
}

// Where a refused move would have put the block: "block 4 at x 1, z 2, y 3 would move to
// x 1, z 2, y -1".
std::string Move_Text(const TChallenge_Edit_Session& session, const TBatch_Edit& edit,
                      std::size_t block_number)
{
    const auto block =
        Challenge_Read_Block_View(session.Image(), session.Blocks(), block_number, session.Mask());
    const std::array<int, 3> from = {block->X, block->Z, block->Y};
    return "block " + std::to_string(block_number) + " at " + Position_Text(from) +
           " would move to " +
           Position_Text({from[0] + edit.Dx, from[1] + edit.Dz, from[2] + edit.Dy});
}

// "1 block", "2 blocks".
std::string Count_Text(std::size_t count, const std::string& noun)
{
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

std::string Quoted(const std::string& name)
{
    return "\"" + Printable_Text(name) + "\"";
}

// Why the session refused the edit, naming the first block that refused it.
std::string Refusal_Text(const TEdit_Result& result, const TBatch_Edit& edit,
                         const TChallenge_Edit_Session& session,
                         const std::vector<TNew_Block>& pasted)
{
    const std::string structure_text = Structure_Refusal_Text(result, edit, session, pasted);
    if (!structure_text.empty()) {
        return structure_text;
    }
    const std::string block = "block " + std::to_string(result.Block);
    switch (result.Status) {
    case TEdit_Status::Position_Out_Of_Range:
        return Move_Text(session, edit, result.Block) + ", outside 0 to 255";
    case TEdit_Status::Outside_Challenge: {
        const std::array<std::uint32_t, 3>& size = *session.Blocks().Challenge_Size;
        return Move_Text(session, edit, result.Block) + ", outside the challenge's size " +
               std::to_string(size[0]) + " x " + std::to_string(size[1]) + " x " +
               std::to_string(size[2]) + "; give --force to move it there anyway";
    }
    case TEdit_Status::Changes_Game_Reading:
        return block + ": " + Changes_Game_Reading_Text;
    case TEdit_Status::Name_Not_Defined:
        return "no name " + Quoted(edit.To) + " is defined in the challenge before " + block +
               ", so the block cannot refer to it";
    case TEdit_Status::Shared_In_Place_Name:
        return block + " writes the name " + Quoted(edit.From) + " in place and " +
               Count_Text(result.Unselected_Sharing, "block") +
               " outside the selection refer to it: renaming it there would rename them too; "
               "select them as well";
    case TEdit_Status::Size_Fields_Not_Walked:
        return "the challenge's body sizes could not be read, so the name of " + block +
               ", written in place, cannot change";
    case TEdit_Status::Image_Too_Large:
        return "the new name would make the challenge too large";
    default:
        return block + " could not be read";
    }
}

// Which parts of the selected blocks an edit may change: a run of their eight bytes, and their
// places (where their records lie, their names, which record each number names). A move
// changes the position of every block it selects by the same offsets (X, Z, Y): nothing need
// be kept, each block was where it is less them.
struct TChanged_Parts {
    std::uint8_t First_Byte = 0;
    std::uint8_t Byte_Count = 0;
    bool Places = false;
    std::optional<std::array<int, 3>> Moved_By;
};

TChanged_Parts Parts_Changed_By(const TBatch_Edit_Request& request)
{
    const TBatch_Edit& edit = request.Edit;
    switch (edit.Kind) {
    case TKind::Replace:
        return {0, 0, true, std::nullopt};
    case TKind::Delete:
        return {0, 8, true, std::nullopt};
    case TKind::Duplicate:
    case TKind::Paste:
        return {0, 0, false, std::nullopt}; // the report shows the blocks added
    case TKind::Move:
        return {0, 0, false, std::array<int, 3>{edit.Dx, edit.Dz, edit.Dy}};
    case TKind::Rotate:
        return {0, 1, false, std::nullopt};
    case TKind::Set:
        break;
    }
    const bool variations =
        std::any_of(edit.Settings.Variations.begin(), edit.Settings.Variations.end(),
                    [](const std::optional<std::uint8_t>& value) { return value.has_value(); });
    if (request.Force && variations) {
        // Forced variations may change how the list is read, and so which record a number
        // names: the block of the same number after the edit tells nothing of it.
        return {0, 8, true, std::nullopt};
    }
    // From the rotation or the variations to the last one set.
    const std::uint8_t first = edit.Settings.Rotation ? 0 : 4;
    return {first, static_cast<std::uint8_t>((variations ? 8 : 1) - first), false, std::nullopt};
}

// The text a String_Table entry names; a reference past the table names an empty text.
std::string_view Entry_Text(const TTMF_Challenge_Block_Address_List& list, std::uint32_t entry)
{
    return entry < list.String_Table.size() ? std::string_view(list.String_Table[entry])
                                            : std::string_view();
}

// The selected blocks as they were before the edit, in the order of the selection, as far as
// the edit may change them: a run of their eight bytes, their places (the record's offset and
// its name's String_Table entry), or both. What is not kept is as the edited image has it in
// the block of the same number. At most 8 bytes a block (16 with both), for selections of a
// million blocks.
class TBlocks_Before_Edit {
public:
    TBlocks_Before_Edit(const TChallenge_Edit_Session& session, const TBlock_Selection& selection,
                        TChanged_Parts parts)
        : parts_(parts)
    {
        const TFlexible_Byte_Array& image = session.Image();
        const TTMF_Challenge_Block_Address_List& list = session.Blocks();
        const TMemory_Mask mask = session.Mask();
        const std::size_t count = parts.Byte_Count;
        bytes_.resize(selection.size() * count);
        for (std::size_t place = 0; count != 0 && place < selection.size(); ++place) {
            // The selection comes from a walk of this very image: each block's fields lie in it.
            const std::uint32_t offset =
                *Challenge_Block_Fields_Offset(image, list, selection[place], mask);
            const std::uint8_t* const kept = image.data() + offset + parts.First_Byte;
            for (std::size_t i = 0; i < count; ++i) {
                bytes_[place * count + i] = static_cast<std::uint8_t>(kept[i] ^ mask);
            }
        }
        if (parts.Places) {
            places_.reserve(selection.size());
            for (const std::uint32_t number : selection) {
                const TChallenge_Block_View block =
                    *Challenge_Read_Block_View(image, list, number, mask);
                places_.push_back({list.Block_Offsets[number],
                                   block.Name_Index | (block.Name_In_Place ? In_Place : 0)});
            }
        }
    }

    // Whether block `place` of the selection differs from `now`, the block of the same number
    // in the edited image. `original` is the walk of the image before the edit.
    bool Changed(std::size_t place, const TChallenge_Block_View& now,
                 const TTMF_Challenge_Block_Address_List& original) const
    {
        if (parts_.Moved_By) {
            return true;
        }
        // A few bytes, compared one by one rather than through a call per block.
        const TBlock_Field_Bytes bytes = Field_Bytes_Of(now);
        const std::uint8_t* const kept = bytes_.data() + place * parts_.Byte_Count;
        for (std::size_t i = 0; i < parts_.Byte_Count; ++i) {
            if (bytes[parts_.First_Byte + i] != kept[i]) {
                return true;
            }
        }
        if (!parts_.Places) {
            return false;
        }
        const std::uint32_t entry = places_[place].Name & ~In_Place;
        return now.Name_Index != entry || now.Name != Entry_Text(original, entry);
    }

    // Puts over `block` the parts of block `place` of the selection that are kept, as it read
    // before the edit; `original` is the listing before the edit.
    void Put_Kept_Parts(std::size_t place, const TBlock_Listing& original,
                        TBlock_Before& block) const
    {
        if (parts_.Places) {
            const TPlace& was = places_[place];
            block.Offset = was.Offset + original.File_Offset_Delta;
            block.Block.Name_Index = was.Name & ~In_Place;
            block.Block.Name = Entry_Text(original.List, block.Block.Name_Index);
            block.Block.Name_In_Place = (was.Name & In_Place) != 0;
        }
        if (parts_.Byte_Count != 0) {
            TBlock_Field_Bytes bytes = Field_Bytes_Of(block.Block);
            const std::uint8_t* const kept = bytes_.data() + place * parts_.Byte_Count;
            for (std::size_t i = 0; i < parts_.Byte_Count; ++i) {
                bytes[parts_.First_Byte + i] = kept[i];
            }
            block.Block.Rotation = bytes[0];
            block.Block.X = bytes[1];
            block.Block.Z = bytes[2];
            block.Block.Y = bytes[3];
            block.Block.Variations = {bytes[4], bytes[5], bytes[6], bytes[7]};
        }
        if (parts_.Moved_By) {
            const auto back = [](std::uint8_t now, int offset) {
                return static_cast<std::uint8_t>(now - offset);
            };
            block.Block.X = back(block.Block.X, (*parts_.Moved_By)[0]);
            block.Block.Z = back(block.Block.Z, (*parts_.Moved_By)[1]);
            block.Block.Y = back(block.Block.Y, (*parts_.Moved_By)[2]);
        }
    }

private:
    // Set in a place's Name when the name is written in place.
    static constexpr std::uint32_t In_Place = 1U << 31;
    struct TPlace {
        std::uint32_t Offset = 0;
        std::uint32_t Name = 0;
    };

    TChanged_Parts parts_;
    // Per block, the run of its bytes kept.
    std::vector<std::uint8_t> bytes_;
    std::vector<TPlace> places_;
};

// Finds a block's place in `selection` (ascending). The reports ask for the blocks in
// ascending order, so each is found by moving on from the one before rather than by a search.
class TPlace_Finder {
public:
    explicit TPlace_Finder(const TBlock_Selection& selection) : selection_(selection) {}

    std::size_t Place_Of(std::size_t block)
    {
        if (place_ >= selection_.size() || selection_[place_] > block) {
            place_ = 0; // asked for an earlier block
        }
        while (place_ + 1 < selection_.size() && selection_[place_] < block) {
            ++place_;
        }
        return place_;
    }

private:
    const TBlock_Selection& selection_;
    std::size_t place_ = 0;
};

// How each deleted block of `selection` read before the edit.
TBlocks_Before Deleted_Blocks(const TBlock_Selection& selection,
                              const TBlocks_Before_Edit& before, const TBlock_Listing& original)
{
    return [&before, &original, finder = TPlace_Finder(selection)](std::size_t index) mutable {
        TBlock_Before was;
        before.Put_Kept_Parts(finder.Place_Of(index), original, was);
        return was;
    };
}

// How each block of `selection` that the edit changed read before it, `now` being the
// listing of the edited image.
TBefore_If_Changed Changed_Blocks(const TBlock_Selection& selection,
                                  const TBlocks_Before_Edit& before,
                                  const TBlock_Listing& original, const TListed_Blocks& now)
{
    return [&before, &original, &now, finder = TPlace_Finder(selection)](
               std::size_t index, const TChallenge_Block_View& block,
               TBlock_Before& was) mutable {
        const std::size_t place = finder.Place_Of(index);
        if (!before.Changed(place, block, original.List)) {
            return false;
        }
        was = {now.List.Block_Offsets[index] + now.File_Offset_Delta, block};
        before.Put_Kept_Parts(place, original, was);
        return true;
    };
}

// The shown blocks of `blocks`, each at its offset in the file a save writes.
TBlocks_Before Blocks_Now(const TListed_Blocks& blocks)
{
    return [&blocks](std::size_t index) {
        return TBlock_Before{
            blocks.List.Block_Offsets[index] + blocks.File_Offset_Delta,
            *Challenge_Read_Block_View(blocks.Image, blocks.List, index, blocks.Mask)};
    };
}

// The report of an edit, `now` being the edited image: the changed blocks of `selection` as
// `now` lists them, each after as it was, with a line on `err` when the list of `now` no
// longer reads as the one before did; the added ones (`added`) as `now` lists them; the
// deleted ones as they were.
void Print_Report(const TBatch_Edit_Request& request, const std::optional<std::string>& backup,
                  const TListed_Blocks& now, const TBlock_Selection& selection,
                  const TBlock_Selection& added, const TBlocks_Before_Edit& before_edit,
                  const TBlock_Listing& original, std::ostream& out, std::ostream& err)
{
    const char* const key = Report_Key(request.Edit.Kind);
    switch (Report_Of(request.Edit.Kind)) {
    case TReport::Added:
        Write_Block_Report(out, request.Json, request.Map, backup, key, added, Blocks_Now(now));
        return;
    case TReport::Deleted:
        Write_Block_Report(out, request.Json, request.Map, backup, key, selection,
                           Deleted_Blocks(selection, before_edit, original));
        return;
    case TReport::Changed:
        break;
    }
    if (!selection.empty()) {
        Report_Unreadable_List(err, request.Map, request.Dry_Run ? "would be written" : "written",
                               selection.back(), original.List.Complete, now.List);
    }
    const TBefore_If_Changed before = Changed_Blocks(selection, before_edit, original, now);
    if (request.Json) {
        Write_Edit_Report_Json(out, request.Map, backup, now, selection, before);
    } else {
        Write_Changed_Blocks_Text(out, now, selection, before);
    }
}

void Print_Nothing_Changed(const TBatch_Edit_Request& request, const std::string& why,
                           std::ostream& out)
{
    if (request.Json) {
        Write_Block_Report(out, true, request.Map, std::nullopt, Report_Key(request.Edit.Kind),
                           {}, {});
    } else {
        out << why << "; nothing was written.\n";
    }
}

// The names a walk read, and whether it read the list to its end, without its blocks.
TTMF_Challenge_Block_Address_List Names_Of(const TTMF_Challenge_Block_Address_List& walk)
{
    TTMF_Challenge_Block_Address_List names;
    names.Collection_Name = walk.Collection_Name;
    names.String_Table = walk.String_Table;
    names.Complete = walk.Complete;
    return names;
}

// A rename in place lengthens the image, by as much for each entry that holds the name: room
// for it made before the image goes to the session spares the session a second copy of the
// image while it renames, when it holds the most.
void Make_Room_For_Renames(const TBatch_Edit& edit, TBlock_Listing& challenge)
{
    if (edit.Kind != TKind::Replace || edit.To.size() <= edit.From.size()) {
        return;
    }
    const std::vector<std::string>& table = challenge.List.String_Table;
    const auto entries =
        static_cast<std::size_t>(std::count(table.begin(), table.end(), edit.From));
    const std::size_t growth = edit.To.size() - edit.From.size();
    challenge.Image.reserve(challenge.Image.size() + entries * growth);
}

// Which blocks of the selection were selected, a bit a block, and the selection again from
// them: what is kept of a selection while the edited image is saved and read back.
std::vector<bool> Selected_Flags(const TBlock_Selection& selection)
{
    std::vector<bool> flags(selection.empty() ? 0 : std::size_t{selection.back()} + 1);
    for (const std::uint32_t block : selection) {
        flags[block] = true;
    }
    return flags;
}

TBlock_Selection Selection_Of(const std::vector<bool>& flags)
{
    TBlock_Selection selection;
    for (std::size_t block = 0; block < flags.size(); ++block) {
        if (flags[block]) {
            selection.push_back(static_cast<std::uint32_t>(block));
        }
    }
    return selection;
}

template <typename TValue>
void Release(std::vector<TValue>& values)
{
    values.clear();
    values.shrink_to_fit();
}

// The report of an edit of a challenge of a million blocks holds two images and two walks at
// once unless each is let go as soon as it is of no more use: the image is walked once, by the
// session, the selection's numbers are let go while the image is saved, the edited image once
// it is written (the report reads the written file).
void Edit_Blocks(const TBatch_Edit_Request& request, const TMemory_Mask& mask,
                 std::ostream& out, std::ostream& err)
{
    // Held until the map is written and read back, so that another edit of it waits.
    const TFile_Lock lock(request.Map);
    const bool pastes = request.Edit.Kind == TKind::Paste;
    const std::vector<TNew_Block> pasted =
        pastes ? Read_Pasted_Blocks(request.Edit.Blocks_File) : std::vector<TNew_Block>();
    // The session walks the image: only a rename, which makes room for itself before, needs
    // the names sooner.
    const bool renames = request.Edit.Kind == TKind::Replace;
    TBlock_Listing challenge = Open_Challenge(request.Map, mask, renames);
    Check_Author(challenge, request.Game_Folder, mask);
    if (renames) {
        Make_Room_For_Renames(request.Edit, challenge);
    }
    auto session = std::make_unique<TChallenge_Edit_Session>(std::move(challenge.Image), mask);
    // The report of the blocks as they were reads only the names of the walk before the edit,
    // and whether it read the whole list.
    challenge.List = Names_Of(session->Blocks());
    TBlock_Selection selection =
        pastes ? TBlock_Selection()
               : Select_Blocks(session->Image(), session->Blocks(),
                               request.Selection.Criteria(), mask);
    if (pastes ? pasted.empty() : selection.empty()) {
        Print_Nothing_Changed(request, pastes ? "No block to paste" : "No block is selected",
                              out);
        return;
    }
    const TBlocks_Before_Edit before(*session, selection, Parts_Changed_By(request));
    const TEdit_Result result =
        Apply_Edit(*session, selection, pasted, request.Edit, request.Force);
    if (result.Status == TEdit_Status::Unchanged) {
        Print_Nothing_Changed(request, "No selected block would change", out);
        return;
    }
    if (result.Status != TEdit_Status::Done) {
        throw ECli_Edit_Failure(Refusal_Text(result, request.Edit, *session, pasted));
    }
    const TBlock_Selection added =
        Report_Of(request.Edit.Kind) == TReport::Added ? session->Last_Step_Blocks()
                                                       : TBlock_Selection();
    if (renames || pastes) {
        Check_Block_Names_Listed(request.Map, challenge.List.Collection_Name,
                                 pastes ? Block_Names(pasted)
                                        : std::vector<std::string>{request.Edit.To},
                                 request.Force, err);
    }

    if (request.Dry_Run) {
        std::uint32_t delta = 0;
        Check_Status(Gbx_Packed_Offset_Delta(session->Image(), mask, delta));
        const TListed_Blocks edited = {session->Image(), session->Blocks(), mask, delta};
        Print_Report(request, std::nullopt, edited, selection, added, before, challenge, out,
                     err);
        return;
    }
    const std::vector<bool> selected = Selected_Flags(selection);
    Release(selection);
    const std::optional<std::string> backup =
        Save_Edited_Challenge(request.Map, session->Image(), mask);
    session.reset();

    const TBlock_Listing written = Open_Challenge(request.Map, mask);
    Print_Report(request, backup, Listed_Blocks(written), Selection_Of(selected), added, before,
                 challenge, out, err);
}

CLI::App* Add_Batch_Command(CLI::App& app, const std::string& name, const std::string& what,
                            TBatch_Edit_Request& request, TKind kind)
{
    CLI::App* command = app.add_subcommand(
        name, what + ". Only on a challenge by one of the local online profiles; one edit, the "
                     "file first copied to its next numbered backup, MAP.bak1 to MAP.bak9");
    request.Edit.Kind = kind;
    Add_Batch_Edit_Options(*command, request);
    return command;
}

} // namespace

void Add_Batch_Edit_Options(CLI::App& command, TBatch_Edit_Request& request, bool with_name)
{
    command.add_option("MAP", request.Map, "A challenge file (*.Challenge.Gbx)")->required();
    Add_Selection_Options(command, request.Selection, with_name);
    command.add_flag("--dry-run", request.Dry_Run,
                     "Print what would change and write nothing (no backup either)");
    command.add_option("--game-folder", request.Game_Folder,
                       "The game user folder whose profiles are the local player's, instead of "
                       "looking for one")
        ->check(Existing_Folder());
    const std::string key = Report_Key(request.Edit.Kind);
    command.add_flag("--json", request.Json,
                     "One JSON object: file, backup and " + key + ", the " + key +
                         " blocks as blocks --json has them");
    command.footer("Without --index, --name or --within, every block is selected. Repeats of "
                   "one option add blocks; different options narrow each other. Validation "
                   "times and the checkpoint list are not updated.");
}

CLI::App* Add_Move_Command(CLI::App& app, TBatch_Edit_Request& request)
{
    CLI::App* move = Add_Batch_Command(app, "move", "Move the selected blocks", request,
                                       TKind::Move);
    const auto offset = [&](const char* option, int& value, const char* axis) {
        move->add_option(option, value, std::string("Cells to add to ") + axis + ", -255 to 255")
            ->check(CLI::Range(-255, 255));
    };
    offset("--dx", request.Edit.Dx, "X");
    offset("--dz", request.Edit.Dz, "Z, the height (1 is one level up)");
    offset("--dy", request.Edit.Dy, "Y");
    move->add_flag("--force", request.Force,
                   "Move blocks outside the challenge's size too (never outside 0 to 255)");
    return move;
}

CLI::App* Add_Rotate_Command(CLI::App& app, TBatch_Edit_Request& request)
{
    CLI::App* rotate = Add_Batch_Command(
        app, "rotate", "Turn each selected block where it stands (positions do not turn)",
        request, TKind::Rotate);
    rotate
        ->add_option("--quarter-turns", request.Edit.Quarter_Turns,
                     "Quarter turns clockwise, negative counter-clockwise; the rotation byte is "
                     "taken modulo 4")
        ->required();
    return rotate;
}

CLI::App* Add_Replace_Command(CLI::App& app, TBatch_Edit_Request& request)
{
    CLI::App* replace = Add_Batch_Command(
        app, "replace", "Rename the selected blocks named FROM to TO", request, TKind::Replace);
    replace
        ->add_option("--from", request.Edit.From,
                     "The exact name of the blocks to rename; a name written in place is renamed "
                     "there, which needs every block that refers to it selected")
        ->required();
    replace
        ->add_option("--to", request.Edit.To,
                     "The new name; a block named by reference takes the lowest equal name that "
                     "the challenge defines before it")
        ->required();
    replace->add_flag("--force", request.Force,
                      "Write a name that the collection's block name list does not hold");
    return replace;
}

int Run_Batch_Edit(const TBatch_Edit_Request& request, const TMemory_Mask& mask,
                   std::ostream& out, std::ostream& err)
{
    return Run_Edit_Command(request.Map, err, [&] { Edit_Blocks(request, mask, out, err); });
}

} // namespace plotvane
