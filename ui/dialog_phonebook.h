#pragma once

#include "platform/installation.h"

#include <QMainWindow>

// The main window: the paged contact list and every command of the program.
class TCDialog_PhoneBook : public QMainWindow {
    Q_OBJECT
public:
    explicit TCDialog_PhoneBook(const Installation& installation, QWidget* parent = nullptr);

private:
    Installation installation_;
};
