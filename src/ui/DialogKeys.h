#pragma once

class QDialog;

// Enter in a dialog presses its default button, and Qt hands every dialog one unasked: the
// first push button, or whichever button last had the focus. Enter typed into an edit would
// then write, search or delete with whatever the edits hold. After this call Enter presses
// only the button the dialog chose with setDefault(true), if any, or the button that has the
// focus. Call it once, before the dialog is first shown.
void keepEnterToChosenButtons(QDialog& dialog);
