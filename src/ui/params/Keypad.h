#pragma once

#include <QWidget>
#include <array>

class KeypadHotSpot;

// The keypad picture under a value edit: four rows of three keys (1 2 3, 4 5 6, 7 8 9,
// 0 . back), drawn by the program, with a hot spot over each key. The keys are named after the
// tab (`L1Key0` .. `L1Key9`, `L1KeyDot`, `L1KeyBack`).
class Keypad : public QWidget
{
    Q_OBJECT

public:
    static constexpr int Columns = 3;
    static constexpr int Rows = 4;

    // `suffix` starts the key names: "L1", "P2".
    explicit Keypad(const QString& suffix, QWidget* parent = nullptr);

    // The key that types `key` ('0'..'9' or '.'); null for any other character.
    KeypadHotSpot* key(QChar key) const;
    KeypadHotSpot* backKey() const { return m_keys.back(); }
    // The characters the keys type, in picture order; the back key has none.
    static QString keyCharacters();

    // Keypad on: the picture shown and its keys enabled; off: hidden and disabled.
    void setOn(bool on);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::array<KeypadHotSpot*, Columns * Rows> m_keys{};
};
