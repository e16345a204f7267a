// The file commands: Open and Reload, which load a challenge of the player's own, and Save
// and Save As, which write the open one with a backup copy first.
#include "ui/Main.h"

#include "challenge/Gbx_Challenge_Read.h"
#include "challenge/TMF_Base_Tools.h"
#include "gbx/Gbx_IO.h"
#include "gbx/Gbx_Memory_Tools.h"
#include "platform/File_System.h"
#include "platform/Gui_Services.h"
#include "platform/File_Lock.h"
#include "ui/Block_List_Model.h"
#include "ui/Byte_Text.h"
#include "ui/Map_View.h"
#include "ui/Path_Text.h"

#include <QScrollBar>
#include <QStatusBar>
#include <QTableView>
#include <QUndoStack>

namespace plotvane {

namespace {

// Most logins a refusal names; the rest are counted.
constexpr std::size_t Logins_Named_At_Most = 10;

const QString Challenge_Filter = QStringLiteral("Challenge files|*.Challenge.Gbx");
// Added to a typed name without a suffix, so that it stays visible to the Open filter.
const QString Challenge_Suffix = QStringLiteral("Challenge.Gbx");

// The text with its first letter made upper case and a full stop at its end.
QString Sentence(const std::string& text)
{
    QString sentence = QString::fromStdString(text);
    if (!sentence.isEmpty()) {
        sentence[0] = sentence[0].toUpper();
    }
    return sentence + QLatin1Char('.');
}

QString Logins_Text(const std::vector<std::string>& logins)
{
    QStringList named;
    for (std::size_t i = 0; i < logins.size() && i < Logins_Named_At_Most; ++i) {
        named.append(From_Bytes(logins[i]));
    }
    QString text = named.join(QStringLiteral(", "));
    if (logins.size() > Logins_Named_At_Most) {
        text += QStringLiteral(" and %1 more").arg(logins.size() - Logins_Named_At_Most);
    }
    return text;
}

} // namespace

void TMainForm::ChallengeOpen_ActionExecute()
{
    if (!Settle_Panel_Edits() || !Confirm_Discarding_Block_Changes()) {
        return;
    }
    const std::optional<QString> chosen = gui_services_.Open_File_Name(
        this, {Challenge_Filter, From_Path(Challenge_Folder), QString(), Challenge_Suffix});
    if (chosen) {
        Load_Challenge(To_Path(*chosen), true);
    }
}

void TMainForm::ChallengeReload_ActionExecute()
{
    if (Current_File_Name.empty() || !Settle_Panel_Edits() ||
        !Confirm_Discarding_Block_Changes()) {
        return;
    }
    // The same file again: the player stays at the block and the part of the list they were at.
    const int row = List_Block_ListBox->currentIndex().row();
    const int scrolled = List_Block_ListBox->verticalScrollBar()->value();
    if (!Load_Challenge(Current_File_Name, false) || row < 0 ||
        row >= Block_List_Model->rowCount()) {
        return;
    }
    List_Block_ListBox->setCurrentIndex(Block_List_Model->index(row));
    List_Block_ListBox->verticalScrollBar()->setValue(scrolled);
}

std::optional<QString> TMainForm::Refusal_Of(const std::string& file_name,
                                             const TFlexible_Byte_Array& image) const
{
    const QString shown_name = From_Path(File_Part(file_name));
    const QString open_instead =
        QStringLiteral("\nOpen a challenge file (*.Challenge.Gbx) instead.");
    switch (Gbx_Get_Type(image, Memory_Mask)) {
    case Gbx_Kind_Challenge:
        break;
    case Gbx_Kind_Replay:
        return QStringLiteral("\"%1\" is a replay, not a challenge.").arg(shown_name) +
               open_instead;
    case Gbx_Kind_Profile:
        return QStringLiteral("\"%1\" is a player profile, not a challenge.").arg(shown_name) +
               open_instead;
    default:
        return QStringLiteral("\"%1\" is not a challenge.").arg(shown_name) + open_instead;
    }
    const std::vector<std::string> logins = Profile_Logins();
    if (Challenge_Author_Is_Listed(image, logins, Memory_Mask)) {
        return std::nullopt;
    }
    std::string author;
    Challenge_Read_Author(image, Memory_Mask, author);
    const QString who =
        author.empty()
            ? QString::fromLatin1(No_Author_Text)
            : QStringLiteral("Challenge creator (") + From_Bytes(author) +
                  QStringLiteral(") not corresponding with listed profiles");
    return who + QStringLiteral("\nThe profiles searched, in %1: %2.\nOnly challenges made by "
                                "one of your own profiles can be edited.")
                     .arg(From_Path(Get_TrackMania_Folder() + Separator + "Profiles"),
                          Logins_Text(logins));
}

bool TMainForm::Load_Challenge(const std::string& file_name, bool takes_new_name)
{
    // Loaded beside the open challenge, which stays as it is unless this one is accepted.
    TFlexible_Byte_Array image;
    // Taken before the read: a change made while it reads shows at the next Save.
    const std::optional<TFile_Stamp> stamp = File_Stamp(file_name);
    std::uint32_t status = Status_Ok;
    try {
        status = Gbx_Load_File(file_name, image, Memory_Mask);
    } catch (const EInOutError& error) {
        Show_Application_Error(From_Core_Message(error.what()));
        return false;
    }
    std::optional<QString> refusal;
    if (status != Status_Ok) {
        refusal = QStringLiteral("Error (%1) loading file\n").arg(status) +
                  Sentence(Status_Meaning(status));
    } else {
        refusal = Refusal_Of(file_name, image);
    }
    if (refusal) {
        Show_Message(gui_services_, this, TMessage_Kind::Error, *refusal, TMessage_Buttons::Ok);
    } else {
        if (takes_new_name) {
            Current_File_Name = file_name;
            Challenge_Folder = Folder_Part(file_name);
        }
        Close_Challenge();
        session_ = std::make_unique<TChallenge_Edit_Session>(std::move(image), Memory_Mask);
        loaded_stamp_ = stamp;
        Set_Packed_Offset_Delta();
        // A packed body makes the file shorter than the image as one literal run.
        loaded_packed_ = stamp && stamp->Size < Expanded_Image().size() +
                                                    static_cast<std::uint32_t>(Packed_Offset_Delta);
        if (ChallengeRead_Item->isChecked()) {
            List_Block_BitBtnClick();
            Block_Panel->Forget();
            if (takes_new_name) {
                Map_Canvas->Fit();
            }
        } else {
            Forget_Block_List();
        }
        Show_Map_As_Wanted();
    }
    FormUpdate();
    return !refusal;
}

namespace {

// The player answered No to saving without a backup.
struct TSave_Declined {};

} // namespace

void TMainForm::ChallengeSave_ActionExecute()
{
    Save_Challenge();
}

bool TMainForm::Save_Challenge()
{
    if (!Settle_Panel_Edits()) {
        return false;
    }
    // Another save would only add a backup identical to the file, pushing a real one out; but
    // a file not yet packed is packed when the player wants it.
    const bool packs_anew = ChallengePackWhenSaving_Item->isChecked() && !loaded_packed_;
    if (!Is_Modified() && !packs_anew && loaded_stamp_ &&
        File_Stamp(Current_File_Name) == loaded_stamp_) {
        Main_StatusBar->showMessage(
            QStringLiteral("Nothing to save: no block changed since the challenge was opened or "
                           "last saved"));
        return true;
    }
    if (!Confirm_Overwriting_Changes_On_Disk()) {
        return false;
    }
    const auto backup_failed = [this](const std::string&, const EInOutError&) {
        if (Show_Message(gui_services_, this, TMessage_Kind::Error,
                         QStringLiteral("Error saving .bak file. Do you want to overwrite "
                                        "original without backup?"),
                         TMessage_Buttons::Yes_No) != TMessage_Answer::Yes) {
            throw TSave_Declined();
        }
        return true;
    };
    try {
        return Save_Image_To(Current_File_Name, TGbx_Backup_Kind::Numbered, backup_failed);
    } catch (const TSave_Declined&) {
        return false; // the player chose to keep the file as it is
    }
}

bool TMainForm::Confirm_Overwriting_Changes_On_Disk()
{
    const std::optional<TFile_Stamp> on_disk = File_Stamp(Current_File_Name);
    return !on_disk || on_disk == loaded_stamp_ ||
           Show_Message(gui_services_, this, TMessage_Kind::Confirmation,
                        QStringLiteral("%1 was changed on disk since it was opened. Do you want "
                                       "to overwrite it?")
                            .arg(From_Path(Current_File_Name)),
                        TMessage_Buttons::Yes_No) == TMessage_Answer::Yes;
}

void TMainForm::ChallengeSaveAs_ActionExecute()
{
    if (!Settle_Panel_Edits()) {
        return;
    }
    const std::optional<QString> chosen = gui_services_.Save_File_Name(
        this, {Challenge_Filter, QString(), From_Path(Current_File_Name), Challenge_Suffix});
    if (!chosen) {
        return;
    }
    const std::string target = To_Path(*chosen);
    if (File_Exists(target) &&
        Show_Message(gui_services_, this, TMessage_Kind::Confirmation,
                     QStringLiteral("OK to overwrite %1").arg(*chosen),
                     TMessage_Buttons::Yes_No) != TMessage_Answer::Yes) {
        return;
    }
    if (Save_Image_To(target, TGbx_Backup_Kind::None)) {
        Current_File_Name = target;
        Challenge_Folder = Folder_Part(target);
        Show_File_Place();
        FormUpdate();
    }
}

bool TMainForm::Save_Image_To(const std::string& file_name, TGbx_Backup_Kind backup,
                              const TGbx_Backup_Failure_Handler& on_backup_failure)
{
    const std::uint32_t method = ChallengePackWhenSaving_Item->isChecked()
                                     ? Gbx_Method_Packed
                                     : Gbx_Method_Literal_Run;
    TGbx_Save_Result saved;
    try {
        // Held while the file is written, so that a plotvane-cli edit of it waits.
        const TFile_Lock lock(file_name);
        saved = Gbx_Save_Over_File(file_name, session_->Image(), backup, Memory_Mask,
                                   on_backup_failure, method);
    } catch (const EInOutError& error) {
        Show_Application_Error(From_Core_Message(error.what()));
        return false;
    } catch (const EFile_In_Use& in_use) {
        Show_Message(gui_services_, this, TMessage_Kind::Error,
                     QStringLiteral("%1 was not saved: %2.")
                         .arg(From_Path(file_name), From_Core_Message(in_use.what())),
                     TMessage_Buttons::Ok);
        return false;
    }
    if (saved.Status != Status_Ok) {
        Show_Message(gui_services_, this, TMessage_Kind::Error,
                     QStringLiteral("Error (%1) saving file").arg(saved.Status),
                     TMessage_Buttons::Ok);
        return false;
    }
    // What is on disk now is what the window holds.
    loaded_stamp_ = File_Stamp(file_name);
    loaded_packed_ = method != Gbx_Method_Literal_Run;
    session_->Mark_Saved();
    Undo_Stack->setClean();
    return true;
}

} // namespace plotvane
