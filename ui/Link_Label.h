#pragma once

#include <QLabel>
#include <QString>

namespace plotvane {

// A label drawn as a web link (blue, underlined) that reports a click; its tooltip is the
// address it stands for. It takes the focus by Tab and is pressed with Space, so the links work
// without a mouse; Enter is left to the dialog, whose default button it presses.
class TLink_Label : public QLabel {
    Q_OBJECT

public:
    TLink_Label(const QString& text, const QString& address, QWidget* parent);

    const QString& Address() const { return Link_Address; }

signals:
    void Clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QString Link_Address;
};

} // namespace plotvane
