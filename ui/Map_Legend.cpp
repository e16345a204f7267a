// The map's legend: what its colours and symbols mean.
#include "ui/Map_View.h"

#include <QApplication>
#include <QBoxLayout>
#include <QLabel>
#include <QPainter>

namespace plotvane {

namespace {

QPixmap Mark_Picture(std::uint8_t marks, int side)
{
    // Drawn in the screen's own pixels, so that it stays sharp on a scaled screen.
    const qreal ratio = qApp->devicePixelRatio();
    QPixmap picture(QSize(side, side) * ratio);
    picture.setDevicePixelRatio(ratio);
    picture.fill(Empty_Cell_Color);
    QPainter painter(&picture);
    Draw_Marks(painter, QRectF(0, 0, side, side), marks);
    return picture;
}

} // namespace

TMap_Legend::TMap_Legend(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Map_Legend"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(2);
    auto* heading = new QLabel(QStringLiteral("Height of the topmost block, the colours spread "
                                              "from the lowest to the highest on this map:"),
                               this);
    heading->setWordWrap(true);
    layout->addWidget(heading);
    auto* heights = new QHBoxLayout;
    lowest_ = new QLabel(this);
    heights->addWidget(lowest_);
    ramp_ = new QLabel(this);
    ramp_->setObjectName(QStringLiteral("Map_Legend_Ramp"));
    heights->addWidget(ramp_);
    highest_ = new QLabel(this);
    heights->addWidget(highest_);
    heights->addStretch();
    layout->addLayout(heights);
    auto* symbols = new QHBoxLayout;
    const int side = fontMetrics().height() * 3 / 2;
    const std::pair<std::uint8_t, const char*> marks[] = {
        {Mark_Start, "Start"}, {Mark_Finish, "Finish"}, {Mark_Checkpoint, "Checkpoint"}};
    for (const auto& [mark, text] : marks) {
        auto* picture = new QLabel(this);
        picture->setPixmap(Mark_Picture(mark, side));
        symbols->addWidget(picture);
        symbols->addWidget(new QLabel(QString::fromLatin1(text), this));
        symbols->addSpacing(side / 2);
    }
    symbols->addStretch();
    layout->addLayout(symbols);
    auto* note = new QLabel(QStringLiteral("A square is a block's own cell: how far a block "
                                           "reaches beyond it is not known."),
                            this);
    note->setWordWrap(true);
    layout->addWidget(note);
    Show_Heights(0, 0);
}

void TMap_Legend::Show_Heights(unsigned lowest, unsigned highest)
{
    // As wide whatever the number of levels: each takes a band of its own, or shares a pixel.
    constexpr int ramp_width = 128;
    const unsigned levels = highest - lowest + 1;
    const int ramp_height = fontMetrics().height();
    const qreal ratio = qApp->devicePixelRatio();
    QPixmap ramp(QSize(ramp_width, ramp_height) * ratio);
    ramp.setDevicePixelRatio(ratio);
    QPainter painter(&ramp);
    for (int x = 0; x < ramp_width; ++x) {
        const unsigned z = lowest + static_cast<unsigned>(x) * levels / ramp_width;
        painter.fillRect(x, 0, 1, ramp_height, Height_Color(z, lowest, highest));
    }
    painter.end();
    ramp_->setPixmap(ramp);
    ramp_->setAccessibleName(QStringLiteral("Heights from Z %1, dark blue, to Z %2, yellow")
                                 .arg(lowest)
                                 .arg(highest));
    lowest_->setText(QStringLiteral("Z %1").arg(lowest));
    highest_->setText(QStringLiteral("Z %1").arg(highest));
}

} // namespace plotvane
