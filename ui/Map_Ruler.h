#pragma once

#include "ui/Map_View.h"

#include <QWidget>

namespace plotvane {

// A ruler's mark under (or beside) each number, pointing at its cell.
constexpr int Tick_Length = 3;

// A band beside the map that numbers its columns (X, above) or rows (Y, at the left).
class TMap_Ruler : public QWidget {
public:
    TMap_Ruler(TMap_View& view, Qt::Orientation orientation)
        : QWidget(&view), view_(view), orientation_(orientation)
    {
    }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const TMap_View& view_;
    Qt::Orientation orientation_;
};

} // namespace plotvane
