#pragma once

#include "challenge/Challenge_Conversion.h"
#include "challenge/Challenge_Edit_Session.h"
#include "challenge/Gbx_Challenge_Structure.h"
#include "challenge/Gbx_Challenge_Write.h"
#include "gbx/Gbx_IO.h"
#include "memory/Base_Structure.h"
#include "platform/File_System.h"
#include "ui/Block_Panel.h"
#include "ui/Byte_Spin_Edit.h"

#include <QMainWindow>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QComboBox;
class QDockWidget;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QModelIndex;
class QPushButton;
class QSpinBox;
class QStatusBar;
class QTabWidget;
class QTableView;
class QToolBar;
class QToolButton;
class QUndoStack;
class QWidget;

namespace plotvane {

enum class TRecord_Command;
class EInOutError;
class TAboutBox;
class TBlock_List_Model;
class TMap_Legend;
class TMap_View;
class TGui_Services;

// The program's version as its caption and --version show it.
extern const char* const Program_Version;

// Whether the player wants the map beside the block list (until they hide it, they do), as
// the window's settings remember it.
bool Map_Wanted();
void Remember_Map_Wanted(bool wanted);
// The window's size and place as the player left it when it last closed (empty before that),
// in the same settings.
QByteArray Remembered_Window_Geometry();
void Remember_Window_Geometry(const QByteArray& geometry);
// Whether Save and Save As pack the challenge's body (off until the player turns it on), in the
// same settings.
bool Pack_When_Saving_Wanted();
void Remember_Pack_When_Saving(bool wanted);

// A memory mask from 0 to 254 (never 255), drawn uniformly by a generator seeded with `seed`.
TMemory_Mask Draw_Memory_Mask(std::uint64_t seed);

// The editor's main window. It owns every piece of editing state of the run; creating it runs
// FormCreate, which converts the named challenge when exactly one argument is given, and opens
// the one named after --open.
class TMainForm : public QMainWindow {
    Q_OBJECT

public:
    // `arguments` are the program's arguments without its own name, as the system gave them
    // (before Qt took its options out); `gui_services` answers every box and dialog and must
    // outlive the window.
    TMainForm(std::vector<std::string> arguments, TGui_Services& gui_services,
              QWidget* parent = nullptr);
    ~TMainForm() override;

    // The exit code of the conversion when exactly one argument was given, which FormCreate
    // runs as the program's entry does (Convert_From_Command_Line) instead of its other steps.
    // The program itself converts before it makes any window or even a QApplication.
    std::optional<int> Conversion_Exit_Code() const { return conversion_exit_code_; }

    // Enables the commands from two facts: whether a profile was found, whether a challenge
    // is open.
    void FormUpdate();

    // Whether the blocks differ from the challenge as it was loaded or last saved: the undo
    // stack is away from its clean state.
    bool Is_Modified() const;

    // The open challenge's image and walk (empty while none is open).
    const TFlexible_Byte_Array& Expanded_Image() const;
    const TTMF_Challenge_Block_Address_List& Block_Address_List() const;

    // The folders where the block panel looks for the block name list it offers, in order.
    std::vector<std::string> Block_Name_List_Folders;

    // Editing state of the run.
    TMemory_Mask Memory_Mask = 0;
    std::string Challenge_Folder;
    std::string Current_File_Name;
    std::int32_t Packed_Offset_Delta = 0;
    std::int32_t Selected_Block_Index = 0;

    // Commands, each shared by its menu item and tool button.
    QAction* ChallengeNew_Action = nullptr;
    QAction* ChallengeOpen_Action = nullptr;
    QAction* ChallengeReload_Action = nullptr;
    QAction* ChallengeSave_Action = nullptr;
    QAction* ChallengeSaveAs_Action = nullptr;
    QAction* Exit_Action = nullptr;
    QAction* Help_About = nullptr;
    QAction* ChallengeRead_Item = nullptr;
    QAction* ChallengePackWhenSaving_Item = nullptr;
    // The Edit menu: undo and redo of every write, and the batch commands, which apply to the
    // selected blocks.
    QAction* EditUndo_Action = nullptr;
    QAction* EditRedo_Action = nullptr;
    QAction* EditMove_Action = nullptr;
    QAction* EditSet_Action = nullptr;
    QAction* EditRotateClockwise_Action = nullptr;
    QAction* EditRotateCounterClockwise_Action = nullptr;
    QAction* EditReplaceName_Action = nullptr;
    // Blocks added and removed: the selected blocks copied as text, the clipboard's blocks
    // added, the selected blocks added again elsewhere, or removed.
    QAction* EditCopy_Action = nullptr;
    QAction* EditPaste_Action = nullptr;
    QAction* EditDuplicate_Action = nullptr;
    QAction* EditDelete_Action = nullptr;
    // Finding blocks: the find field narrows the list, these move through what it shows.
    QAction* EditFind_Action = nullptr;
    QAction* EditFindNext_Action = nullptr;
    QAction* EditFindPrevious_Action = nullptr;
    QAction* EditGoTo_Action = nullptr;
    // The View menu: the map of the challenge seen from above, and its scale.
    QAction* ViewMap_Action = nullptr;
    QAction* ViewZoomIn_Action = nullptr;
    QAction* ViewZoomOut_Action = nullptr;
    QAction* ViewFitMap_Action = nullptr;

    // Controls, named as their objectName.
    QMenu* Challenge_Menu = nullptr;
    QMenu* Edit_Menu = nullptr;
    QMenu* View_Menu = nullptr;
    QMenu* Help_Menu = nullptr;
    QToolBar* Main_ToolBar = nullptr;
    QTabWidget* Main_PageControl = nullptr;
    QWidget* Summary_TabSheet = nullptr;
    QGroupBox* Online_Profiles_GroupBox = nullptr;
    QListWidget* Online_Profiles_ListBox = nullptr;
    QGroupBox* Challenge_Summary_GroupBox = nullptr;
    QWidget* Mapping_TabSheet = nullptr;
    QLineEdit* Find_Edit = nullptr;
    QTableView* List_Block_ListBox = nullptr;
    // The block panel, and its controls under the same names as in the panel.
    TBlock_Panel* Block_Panel = nullptr;
    QComboBox* Block_Name_ComboBox = nullptr;
    QToolButton* Block_Name_Unlock_SpeedButton = nullptr;
    TByte_Spin_Edit* Block_Rotation_SpinEdit = nullptr;
    TByte_Spin_Edit* Block_X_SpinEdit = nullptr;
    TByte_Spin_Edit* Block_Z_SpinEdit = nullptr;
    TByte_Spin_Edit* Block_Y_SpinEdit = nullptr;
    TByte_Spin_Edit* Block_V1_SpinEdit = nullptr;
    TByte_Spin_Edit* Block_V2_SpinEdit = nullptr;
    TByte_Spin_Edit* Block_V3_SpinEdit = nullptr;
    TByte_Spin_Edit* Block_V4_SpinEdit = nullptr;
    QPushButton* Block_Save_BitBtn = nullptr;
    QStatusBar* Main_StatusBar = nullptr;
    // The map dock beside the block list, its grid and its legend.
    QDockWidget* Map_View = nullptr;
    TMap_View* Map_Canvas = nullptr;
    TMap_Legend* Map_Legend = nullptr;
    // The open file's full path and block count, in the status bar while no hint covers it.
    QLabel* File_Status_Label = nullptr;

    TBlock_List_Model* Block_List_Model = nullptr;
    // The open challenge's history, one command per step of the edit session.
    QUndoStack* Undo_Stack = nullptr;
    // The About box, which the program entry creates after the window; Help_AboutExecute shows it.
    TAboutBox* AboutBox = nullptr;

public slots:
    void ChallengeNew_ActionExecute();
    void ChallengeOpen_ActionExecute();
    void ChallengeReload_ActionExecute();
    void ChallengeSave_ActionExecute();
    // Save: true when the challenge on disk is now what the window holds (written, or nothing
    // changed since it was), false when the player cancelled or the save failed.
    bool Save_Challenge();
    void ChallengeSaveAs_ActionExecute();
    void Exit_ActionExecute();
    // Walks the image again and lists its blocks.
    void List_Block_BitBtnClick();
    // Shows the block of the current line in the panel.
    void List_Block_ListBoxDblClick();
    void Block_Save_BitBtnClick();
    void Help_AboutExecute();
    void EditUndo_ActionExecute();
    void EditRedo_ActionExecute();
    void EditMove_ActionExecute();
    void EditSet_ActionExecute();
    void EditRotateClockwise_ActionExecute();
    void EditRotateCounterClockwise_ActionExecute();
    void EditReplaceName_ActionExecute();
    void EditCopy_ActionExecute();
    void EditPaste_ActionExecute();
    void EditDuplicate_ActionExecute();
    void EditDelete_ActionExecute();
    void EditFind_ActionExecute();
    void EditFindNext_ActionExecute();
    void EditFindPrevious_ActionExecute();
    void EditGoTo_ActionExecute();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Create_Actions();
    void Create_Edit_Actions();
    void Create_Find_Actions();
    void Create_Record_Actions();
    // Copy, Paste, Duplicate and Delete answer their keys in the block list and the map only:
    // elsewhere Ctrl+C, Ctrl+V and Delete edit the focused text field.
    void Give_Record_Keys_To_List_And_Map();
    QLineEdit* Create_Find_Edit();
    void Create_Map_Dock();
    void Create_Menus();
    void Create_Tool_Bar();
    void Create_Pages();
    QWidget* Create_Summary_Page();
    QWidget* Create_Mapping_Page();
    QWidget* Create_Block_Panel();
    void Create_Status_Bar();
    void Set_Tab_Order();
    // The smallest size shows the whole block panel; the window opens at the size the player
    // left it at, or else at its first size, within the screen.
    void Set_Window_Sizes();
    QSize First_Window_Size() const;
    // The width the block list wants for a long line whole, with its numbers beside it.
    int Block_List_Width() const;
    // Runs a command of the window; a failure to get memory ends the command, not the program.
    void Run_Command(const std::function<void()>& command);
    void Connect_Command(QAction* action, void (TMainForm::*command)());

    void FormCreate();
    // The logins listed in Online_Profiles_ListBox, which every author check searches.
    std::vector<std::string> Profile_Logins() const;

    // Loads the file as the open challenge when it is one of the player's; Open gives the new
    // name, Reload the open one. True when it was loaded; on a refusal the open challenge stays
    // as it was.
    bool Load_Challenge(const std::string& file_name, bool takes_new_name);
    // Why a loaded file cannot be opened, or nothing when it can.
    std::optional<QString> Refusal_Of(const std::string& file_name,
                                      const TFlexible_Byte_Array& image) const;
    // Writes the image over `file_name` after the backup of `backup` (see Gbx_Save_Over_File);
    // true once it is written and marked saved; false (after telling the user) when it was not.
    bool Save_Image_To(const std::string& file_name, TGbx_Backup_Kind backup,
                       const TGbx_Backup_Failure_Handler& on_backup_failure = {});
    // Asks what to do with unsaved block changes before they would be dropped: Save saves
    // them as the Save command does; false when the player cancelled or the save did not
    // happen, so that the command must not go on.
    bool Confirm_Discarding_Block_Changes();
    // True unless the open file changed on disk since it was loaded or saved and the user
    // does not want it overwritten.
    bool Confirm_Overwriting_Changes_On_Disk();
    // Drops the open challenge, its history and its list.
    void Close_Challenge();
    // The caption (the program's title, then the open file's name) and the status bar.
    void Show_File_Place();
    // How much longer than the image the file Save writes is: file offset = image offset + it.
    void Set_Packed_Offset_Delta();
    // Empties the list and hides the panel, so that nothing reaches the image at old offsets.
    void Forget_Block_List();
    // Shows the block in the panel, with the names its name box offers; the panel stays hidden
    // when the block cannot be read or its names cannot be offered (said in a box).
    void Show_Block(std::uint32_t block_index);
    void Select_Line_Quietly(int row);
    // The list's selected lines changed: one block shows in the panel, several hide it; the
    // panel's values are settled first.
    void Block_List_Selection_Changed();
    // The selected lines as ascending inclusive ranges of rows, apart from each other, and the
    // blocks on them in ascending order.
    std::vector<std::pair<int, int>> Selected_Rows() const;
    TBlock_Selection Selected_Blocks() const;
    void Select_Rows_Quietly(const std::vector<std::pair<int, int>>& rows, int current_row);
    // Selects the lines of those blocks the list shows, the first of them current.
    void Select_Blocks_Quietly(const TBlock_Selection& blocks);
    // Narrows the list to what the find field asks (every block when it is empty or wrong),
    // keeping the selected blocks that stay in sight, and says how many match.
    void Apply_Find();
    // The map shows the open challenge when the player wants it, and hides without one.
    void Show_Map_As_Wanted();
    void Update_View_Actions();
    // The window's smallest size holds the map docked beside the list; when the map has just
    // appeared, the window also grows to give it room.
    void Fit_Window_To_Map(bool map_appeared);
    // The list's selection, outlined on the map.
    void Show_Selection_On_Map();
    // A click on the map: its block selected as a click on its line selects it, or added.
    void Pick_Block_On_Map(std::uint32_t block, bool adding);
    // A rectangle on the map: the blocks in it that the list shows, selected or added.
    void Pick_Blocks_On_Map(const TBlock_Selection& blocks, bool adding);
    // Makes a line current and selected as a click on it does.
    void Go_To_Line(int row);
    // The next (or previous) block line after the current one, round the list.
    void Step_Through_Matches(int step);
    // The panel shows the one block selected, or hides for several.
    void Show_Selection(const TBlock_Selection& blocks);
    void Update_Edit_Actions();
    // Puts the session's last step on the undo stack.
    void Push_Step();
    // After a step, its undo or its redo: the list again, the blocks it touched selected.
    void Show_Step();
    // A batch command's result: a step pushed and shown, a refusal told, or nothing to do.
    void Finish_Batch(const TEdit_Result& result, const QString& from = QString(),
                      const QString& to = QString());
    void Rotate_Selection(int quarter_turns);
    // Whether the challenge lets blocks be added or removed; when not, says why.
    bool Records_Can_Change(TRecord_Command command);
    // Duplicate's or Paste's form for `block_count` blocks, then `add` at the offsets it
    // leaves in copy_offsets_ (asking first when a copy would stand outside the challenge),
    // then the step or the refusal. `block` names a copied block, by its number, in texts.
    void Add_Copies(TRecord_Command command, std::size_t block_count,
                    const std::function<TEdit_Result(bool allow_outside_challenge,
                                                     bool without_skin)>& add,
                    const std::function<QString(std::size_t)>& block);
    // The blocks on the clipboard, when it holds blocks as Copy puts them there, this
    // challenge defines all their names and each is a block name of the collection (or the
    // player wants them all the same); when not, says why.
    std::optional<std::vector<TNew_Block>> Clipboard_Blocks_To_Paste();
    // A record command's result: as Finish_Batch, its refusal worded for the command.
    void Finish_Record_Step(const TEdit_Result& result, TRecord_Command command,
                            const std::function<QString(std::size_t)>& block);
    // Before a write that would put a block outside the challenge's size: the player's Yes.
    // `block` names it to begin a sentence; `verb` begins the question ("Move").
    bool Confirm_Outside_Challenge(const QString& block, const QString& verb);
    // The names the Replace name form offers.
    QStringList Names_Of_Blocks(const TBlock_Selection& blocks) const;
    QStringList Names_To_Offer();
    // A click on the line that was already current runs its selection again.
    void Block_List_Clicked(const QModelIndex& index);
    // Asks what to do with the panel's unsaved values; false when the user cancelled (or the
    // values could not be written), so that the command must not go on.
    bool Settle_Panel_Edits();
    // Writes the panel into the image; true when the block was written (or needed no change).
    bool Apply_Block_Panel();
    // A block name list: its names in the file's order, and the same sorted for lookups.
    struct TBlock_Name_List {
        std::vector<std::string> Names;
        std::vector<std::string> Sorted_Names;
    };
    // The open challenge's collection list (Blocks-<collection>.Lst), read at its first use
    // after a load and kept until the next; nothing, with `error` saying why, when it cannot be
    // read, and then it is tried again at the next use.
    const TBlock_Name_List* Collection_Block_Names(QString& error);
    // Before names are written: true when the collection's list holds each, when the list
    // cannot be read (said once per open challenge), or when the player wants those it lacks
    // written anyway (one question names them all). The game cannot load a challenge with a
    // block name it does not know.
    bool Confirm_Block_Names(const std::vector<std::string>& names);
    // The application's own error box: its title, an error icon, the text with a full stop.
    void Show_Application_Error(const QString& text);

    std::vector<std::string> arguments_;
    TGui_Services& gui_services_;
    std::optional<int> conversion_exit_code_;
    std::unique_ptr<TChallenge_Edit_Session> session_;
    // Both forgotten with the open challenge.
    std::optional<TBlock_Name_List> block_name_list_;
    // Whether the player was told that names are written unchecked for want of the list.
    bool unchecked_names_told_ = false;
    // The list's current line when the mouse button went down on it.
    int row_at_press_ = -1;
    // The window's smallest size without the map.
    QSize list_minimum_size_;
    // What the map's cursor last put in the status bar.
    QString map_cursor_text_;
    // The offsets of the last Move accepted in this run, which the next one offers.
    std::array<int, 3> move_offsets_{};
    // The offsets of the last Duplicate or Paste accepted in this run, which the next offers.
    std::array<int, 3> copy_offsets_{};
    // The open file's stamp when it was loaded or last saved; nothing when it was missing.
    std::optional<TFile_Stamp> loaded_stamp_;
    // Whether the open file's body was packed when it was loaded or last saved, rather than one
    // literal run: Save packs an unchanged file that is not.
    bool loaded_packed_ = false;
};

} // namespace plotvane
