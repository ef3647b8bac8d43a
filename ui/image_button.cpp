#include "ui/image_button.h"

#include <QPixmap>

ImageButton::ImageButton(const QString& objectName, const QString& image, const QString& text,
                         QWidget* parent)
    : QPushButton(parent) {
    setObjectName(objectName);
    setAccessibleName(text);
    setToolTip(text);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    const QString base = ":/images/" + image;
    setFixedSize(QPixmap(base + ".png").size());
    setStyleSheet(QString("QPushButton#%1 { border: none; border-image: url(%2.png); }"
                          "QPushButton#%1:hover { border-image: url(%2_hover.png); }"
                          "QPushButton#%1:pressed { border-image: url(%2_pressed.png); }"
                          "QPushButton#%1:disabled { border-image: url(%2_disabled.png); }")
                      .arg(objectName, base));
}
