#include "ui/pages/TRecipePage.h"

#include "ui/Fonts.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

TRecipePage::TRecipePage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Panel4"));
    auto* title = new QLabel(QStringLiteral("Recipe"), this);
    title->setObjectName(QStringLiteral("LbRecipe"));
    title->setFont(fonts::sans(24, true));
    title->setGeometry(16, 8, 200, 34);

    static const char* const letters = "ABC";
    for (int m = 1; m <= 3; ++m) {
        auto* group = new QGroupBox(QStringLiteral("Monitor-%1").arg(m), this);
        group->setObjectName(QStringLiteral("GrpRecipe%1").arg(QLatin1Char(letters[m - 1])));
        group->setGeometry(8, 52 + (m - 1) * 128, 770, 120);
        for (int s = 1; s <= 10; ++s) {
            // The sixth heading of Monitor 2 has always read "SV06".
            const QString heading = m == 2 && s == 6
                                        ? QStringLiteral("SV06")
                                        : QStringLiteral("SV %1").arg(s, 2, 10, QLatin1Char('0'));
            auto* label = new QLabel(heading, group);
            label->setGeometry(10 + (s - 1) * 75, 22, 70, 18);
            label->setAlignment(Qt::AlignCenter);
            auto* edit = new QLineEdit(QStringLiteral("100"), group);
            edit->setObjectName(
                QStringLiteral("TxtRecipe%1%2").arg(QLatin1Char(letters[m - 1])).arg(s));
            edit->setGeometry(10 + (s - 1) * 75, 44, 70, 24);
            m_edits[size_t(m - 1)][size_t(s - 1)] = edit;
        }
    }
}

QLineEdit* TRecipePage::recipeEdit(int monitor, int slot) const
{
    return m_edits[size_t(monitor - 1)][size_t(slot - 1)];
}
