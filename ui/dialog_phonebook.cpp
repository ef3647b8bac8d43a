#include "ui/dialog_phonebook.h"

TCDialog_PhoneBook::TCDialog_PhoneBook(const Installation& installation, QWidget* parent)
    : QMainWindow(parent), installation_(installation) {
    setObjectName("CDialog_PhoneBook");
    setWindowTitle("Quillon");
    resize(1150, 656);
}
