#pragma once

#include <QIcon>
#include <QList>

class QPushButton;

// Image 0 of the main window's image list `ButtonImage`: the mark of the selected sub-page.
QIcon buttonImageGlyph();

// The pressed button becomes bold with the glyph; its siblings plain, without a glyph.
void markSubPageButton(QPushButton* pressed, const QList<QPushButton*>& siblings);
