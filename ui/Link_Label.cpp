#include "ui/Link_Label.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>

namespace plotvane {

namespace {

class TLink_Label_Accessible : public QAccessibleWidget {
public:
    explicit TLink_Label_Accessible(TLink_Label* label)
        : QAccessibleWidget(label, QAccessible::Link)
    {
    }

    QStringList actionNames() const override
    {
        return QAccessibleWidget::actionNames() << pressAction();
    }

    void doAction(const QString& action_name) override
    {
        if (action_name == pressAction()) {
            emit static_cast<TLink_Label*>(widget())->Clicked();
        } else {
            QAccessibleWidget::doAction(action_name);
        }
    }
};

QAccessibleInterface* Link_Label_Accessible_Factory(const QString& class_name, QObject* object)
{
    if (class_name == QLatin1String("plotvane::TLink_Label") && object->isWidgetType()) {
        return new TLink_Label_Accessible(static_cast<TLink_Label*>(object));
    }
    return nullptr;
}

} // namespace

TLink_Label::TLink_Label(const QString& text, const QString& address, QWidget* parent)
    : QLabel(text, parent), Link_Address(address)
{
    // Assistive technology sees a link that can be pressed, not a plain text. The factory is in
    // place before the first label announces a change and gets an interface cached for it.
    static const bool factory_installed =
        (QAccessible::installFactory(Link_Label_Accessible_Factory), true);
    (void)factory_installed;
    QFont link_font = font();
    link_font.setUnderline(true);
    setFont(link_font);
    QPalette link_palette = palette();
    link_palette.setColor(QPalette::WindowText, Qt::blue);
    setPalette(link_palette);
    setToolTip(address);
    setAccessibleName(text);
    setAccessibleDescription(address);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
}

void TLink_Label::mouseReleaseEvent(QMouseEvent* event)
{
    // Like a button: the click counts when the mouse is released over the label.
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        emit Clicked();
    }
    QLabel::mouseReleaseEvent(event);
}

void TLink_Label::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier) {
        emit Clicked();
    } else {
        QLabel::keyPressEvent(event);
    }
}

void TLink_Label::paintEvent(QPaintEvent* event)
{
    QLabel::paintEvent(event);
    if (!hasFocus()) {
        return;
    }
    // A label draws no focus mark of its own; without one a keyboard user cannot see where Tab went.
    QPainter painter(this);
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.backgroundColor = palette().color(QPalette::Window);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
}

} // namespace plotvane
