#pragma once

#include <QWidget>
#include <array>

class QLineEdit;

// The recipe page (`Panel4`): one set value per controller slot in the edits `TxtRecipeA1` ..
// `TxtRecipeC10`, grouped by Monitor. The edits are restored and stored with the settings.
class TRecipePage : public QWidget
{
    Q_OBJECT

public:
    explicit TRecipePage(QWidget* parent = nullptr);

    // RecipeEdits: Monitor 1..3, slot 1..10.
    QLineEdit* recipeEdit(int monitor, int slot) const;

private:
    std::array<std::array<QLineEdit*, 10>, 3> m_edits{};
};
