#pragma once

class QLineEdit;

// A box that gets the focus selects all its text, so that typing replaces it.
void selectAllOnFocus(QLineEdit* edit);
