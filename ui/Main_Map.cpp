// The map dock: the open challenge seen from above beside the block list, its View menu, and
// the selection going both ways between the map and the list; the window's settings file,
// which remembers the map shown or hidden, the window's size and whether saves pack.
#include "ui/Main.h"

#include "ui/Block_List_Model.h"
#include "ui/Map_View.h"

#include <QAction>
#include <QDockWidget>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QSettings>
#include <QStatusBar>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>
#include <memory>

namespace plotvane {

namespace {

// Whether the player wants the map beside the list; it is, until they hide it.
const QString Map_Shown_Key = QStringLiteral("Map/Shown");
// The window's size and place when it last closed.
const QString Window_Geometry_Key = QStringLiteral("Window/Geometry");
// Whether Save and Save As pack the body.
const QString Pack_When_Saving_Key = QStringLiteral("Save/Pack");

// An INI file in the user's settings folder on every system (on Windows too, rather than the
// registry), which tests and benchmarks move with QSettings::setPath.
std::unique_ptr<QSettings> Window_Settings()
{
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                       QStringLiteral("Plotvane"), QStringLiteral("Plotvane"));
}

} // namespace

bool Map_Wanted()
{
    return Window_Settings()->value(Map_Shown_Key, true).toBool();
}

void Remember_Map_Wanted(bool wanted)
{
    Window_Settings()->setValue(Map_Shown_Key, wanted);
}

QByteArray Remembered_Window_Geometry()
{
    return Window_Settings()->value(Window_Geometry_Key).toByteArray();
}

void Remember_Window_Geometry(const QByteArray& geometry)
{
    Window_Settings()->setValue(Window_Geometry_Key, geometry);
}

bool Pack_When_Saving_Wanted()
{
    return Window_Settings()->value(Pack_When_Saving_Key, false).toBool();
}

void Remember_Pack_When_Saving(bool wanted)
{
    Window_Settings()->setValue(Pack_When_Saving_Key, wanted);
}

void TMainForm::Create_Map_Dock()
{
    Map_View = new QDockWidget(QStringLiteral("Map"), this);
    Map_View->setObjectName(QStringLiteral("Map_View"));
    auto* contents = new QWidget(Map_View);
    auto* layout = new QVBoxLayout(contents);
    layout->setContentsMargins(0, 0, 0, 0);
    Map_Canvas = new TMap_View(contents);
    Map_Canvas->setObjectName(QStringLiteral("Map_Canvas"));
    Map_Canvas->setMinimumSize(160, 160);
    Map_Legend = new TMap_Legend(contents);
    layout->addWidget(Map_Canvas, 1);
    layout->addWidget(Map_Legend);
    Map_View->setWidget(contents);
    addDockWidget(Qt::RightDockWidgetArea, Map_View);
    // Until a challenge is open, the window is the block list alone.
    Map_View->hide();
    Map_View->installEventFilter(this);

    connect(Map_Canvas, &TMap_View::Map_Built, Map_Legend, &TMap_Legend::Show_Heights);
    connect(Map_Canvas, &TMap_View::Cursor_Moved, this, [this](const QString& text) {
        // What the map said goes with its cursor, but not a message said since.
        if (!text.isEmpty()) {
            Main_StatusBar->showMessage(text);
        } else if (Main_StatusBar->currentMessage() == map_cursor_text_) {
            Main_StatusBar->clearMessage();
        }
        map_cursor_text_ = text;
    });
    connect(Map_Canvas, &TMap_View::Block_Picked, this, [this](std::uint32_t block, bool adding) {
        Run_Command([this, block, adding] { Pick_Block_On_Map(block, adding); });
    });
    connect(Map_Canvas, &TMap_View::Blocks_Picked, this,
            [this](const TBlock_Selection& blocks, bool adding) {
                Run_Command([this, &blocks, adding] { Pick_Blocks_On_Map(blocks, adding); });
            });
    connect(Map_View, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        Update_View_Actions();
        if (visible) {
            Show_Selection_On_Map();
        }
    });

    ViewMap_Action = Map_View->toggleViewAction();
    ViewMap_Action->setText(QStringLiteral("&Map"));
    ViewMap_Action->setObjectName(QStringLiteral("ViewMap_Action"));
    ViewMap_Action->setStatusTip(
        QStringLiteral("Show or hide the map of the challenge seen from above"));
    ViewMap_Action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    connect(ViewMap_Action, &QAction::triggered, this, [this](bool shown) {
        Remember_Map_Wanted(shown);
        Fit_Window_To_Map(shown);
    });
    connect(Map_View, &QDockWidget::topLevelChanged, this, [this] { Fit_Window_To_Map(false); });
    const auto make = [this](const char* name, const QString& caption, const QString& status_text,
                             const QList<QKeySequence>& shortcuts) {
        auto* action = new QAction(caption, this);
        action->setObjectName(QLatin1String(name));
        action->setStatusTip(status_text);
        action->setShortcuts(shortcuts);
        return action;
    };
    ViewZoomIn_Action = make("ViewZoomIn_Action", QStringLiteral("Zoom &in"),
                             QStringLiteral("Show the map larger, around the pointer"),
                             {QKeySequence(Qt::CTRL | Qt::Key_Plus),
                              QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    ViewZoomOut_Action = make("ViewZoomOut_Action", QStringLiteral("Zoom &out"),
                              QStringLiteral("Show the map smaller, around the pointer"),
                              {QKeySequence(Qt::CTRL | Qt::Key_Minus)});
    ViewFitMap_Action = make("ViewFitMap_Action", QStringLiteral("&Fit map"),
                             QStringLiteral("Show the whole grid of the challenge in the map"),
                             {QKeySequence(Qt::CTRL | Qt::Key_0)});
    connect(ViewZoomIn_Action, &QAction::triggered, Map_Canvas, &TMap_View::Zoom_In);
    connect(ViewZoomOut_Action, &QAction::triggered, Map_Canvas, &TMap_View::Zoom_Out);
    connect(ViewFitMap_Action, &QAction::triggered, Map_Canvas, &TMap_View::Fit);
    Update_View_Actions();
}

void TMainForm::Update_View_Actions()
{
    ViewMap_Action->setEnabled(Map_Canvas->Has_Challenge());
    const bool map_in_sight = Map_Canvas->Has_Challenge() && Map_View->isVisible();
    for (QAction* action : {ViewZoomIn_Action, ViewZoomOut_Action, ViewFitMap_Action}) {
        action->setEnabled(map_in_sight);
    }
}

void TMainForm::Show_Map_As_Wanted()
{
    const bool was_shown = !Map_View->isHidden();
    Map_View->setVisible(Map_Canvas->Has_Challenge() && Map_Wanted());
    Fit_Window_To_Map(!was_shown);
    Update_View_Actions();
}

void TMainForm::Show_Selection_On_Map()
{
    // A hidden map is given the selection when it shows.
    if (session_ && !Map_View->isHidden()) {
        Map_Canvas->Show_Selection(
            Selected_Blocks(), Block_List_Model->Block_At(List_Block_ListBox->currentIndex().row()));
    }
}

void TMainForm::Pick_Block_On_Map(std::uint32_t block, bool adding)
{
    // A block the find hides is reached by showing every block again, as Go to block does.
    if (Block_List_Model->Row_Of(block) < 0) {
        Find_Edit->clear();
    }
    const int row = Block_List_Model->Row_Of(block);
    if (adding) {
        const QModelIndex index = Block_List_Model->index(row);
        List_Block_ListBox->selectionModel()->setCurrentIndex(
            index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
        List_Block_ListBox->scrollTo(index);
    } else if (Selected_Blocks() == TBlock_Selection{block}) {
        // The block selected alone already: as a click on its line, the panel shows it again.
        if (Settle_Panel_Edits()) {
            List_Block_ListBoxDblClick();
        }
    } else {
        Go_To_Line(row);
    }
}

void TMainForm::Pick_Blocks_On_Map(const TBlock_Selection& blocks, bool adding)
{
    TBlock_Selection chosen;
    for (const std::uint32_t block : blocks) {
        if (Block_List_Model->Row_Of(block) >= 0) {
            chosen.push_back(block);
        }
    }
    if (chosen.empty()) {
        return;
    }
    if (adding) {
        const TBlock_Selection selected = Selected_Blocks();
        TBlock_Selection both;
        std::set_union(selected.begin(), selected.end(), chosen.begin(), chosen.end(),
                       std::back_inserter(both));
        chosen = std::move(both);
    }
    Select_Blocks_Quietly(chosen);
    List_Block_ListBox->scrollTo(List_Block_ListBox->currentIndex());
    Block_List_Selection_Changed();
}

} // namespace plotvane
