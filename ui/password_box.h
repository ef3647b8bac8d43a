// A password box: the characters show as dots, and a small eye at its end shows them as
// typed for as long as it is pressed in.
#pragma once

class QLineEdit;

void MakePasswordBox(QLineEdit* box);
