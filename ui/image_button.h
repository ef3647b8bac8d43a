#pragma once

#include <QPushButton>

// A button drawn entirely by its pictures (normal, hover, pressed, disabled), which read
// the command in Chinese. The same text serves as accessible name and tooltip.
class ImageButton : public QPushButton {
    Q_OBJECT
public:
    // image is the base name under :/images/, e.g. "main_btn_new".
    ImageButton(const QString& objectName, const QString& image, const QString& text,
                QWidget* parent = nullptr);
};
