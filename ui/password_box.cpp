#include "ui/password_box.h"

#include <QAction>
#include <QIcon>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

// An eye, drawn rather than carried: an outline and a pupil in the text colour, struck
// through while the text is hidden.
QIcon EyeIcon(const QColor& colour, bool struck) {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(colour, 2.5));
    QPainterPath outline;
    outline.moveTo(3, 16);
    outline.quadTo(16, 2, 29, 16);
    outline.quadTo(16, 30, 3, 16);
    painter.drawPath(outline);
    painter.setBrush(colour);
    painter.drawEllipse(QPointF(16, 16), 4.5, 4.5);
    if (struck) {
        painter.drawLine(QPointF(6, 27), QPointF(26, 5));
    }
    return QIcon(pixmap);
}

} // namespace

void MakePasswordBox(QLineEdit* box) {
    box->setEchoMode(QLineEdit::Password);
    const QColor colour = box->palette().color(QPalette::Text);
    auto* show = new QAction(EyeIcon(colour, true), "显示密码", box);
    show->setObjectName("show_password");
    show->setCheckable(true);
    box->addAction(show, QLineEdit::TrailingPosition);
    QObject::connect(show, &QAction::toggled, box, [box, show, colour](bool shown) {
        box->setEchoMode(shown ? QLineEdit::Normal : QLineEdit::Password);
        show->setIcon(EyeIcon(colour, !shown));
        show->setText(shown ? "隐藏密码" : "显示密码");
    });
}
