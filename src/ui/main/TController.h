#pragma once

#include <QFrame>
#include <QPixmap>
#include <QString>
#include <array>
#include <optional>

class QFrame;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

// One controller slot on a Monitor page: unit title, PV and SV boxes, link picture, the four
// status lamps, the output bar, the station ID box and the SET button. The main window places
// thirty of these and feeds them; a tile never reads the station model itself.
class TController : public QFrame
{
    Q_OBJECT

public:
    static constexpr int NormalWidth = 141;
    static constexpr int WideWidth = 145; // slots 5 and 10
    static constexpr int TileHeight = 182;

    // Status bits of parameter code 136 that have a lamp; bit 2 and the higher bits have none.
    static constexpr int LampBitOut1 = 0x01;
    static constexpr int LampBitOut2 = 0x02;
    static constexpr int LampBitAl1 = 0x08;
    static constexpr int LampBitAl2 = 0x10;

    explicit TController(int tileWidth = NormalWidth, QWidget* parent = nullptr);

    QString titleText() const;
    void setTitleText(const QString& text);

    QString idText() const;
    void setIdText(const QString& text);
    // The ID box as a station ID: a plain decimal integer 0..2147483647, else nothing (the
    // refresh then keeps the slot's previous ID).
    std::optional<int> stationId() const;

    // "01".."10" in the hidden `STxtNO`.
    void setSlotNumber(int slot);
    QString slotNumberText() const;

    // One refresh tick: PV and SV texts, the link picture (shown while PV holds a value) and
    // the output bar. Unchanged values are not set again, so a tick over thirty tiles stays
    // cheap.
    void showValues(const QString& pv, const QString& sv, const QString& out);
    // Output bar from the raw output text: empty or not an integer gives 0, otherwise the
    // value limited to 0..1000.
    void setOutputText(const QString& out);
    // The four lamps from the status bits; every lamp also takes the engine's 30 x 15 size.
    void setLamps(int bits);

    // The operator lock: ID box and SET button go out of reach together.
    void setLocked(bool locked);

signals:
    // A mouse button was released on `BtnSET` while it is enabled.
    void setReleased();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildTitleAndValues();
    void buildLampsAndOutput();
    void buildIdRow();
    void paintLamp(int index, bool on);
    void onIdTextChanged(const QString& text);

    QLineEdit* m_title = nullptr;
    QFrame* m_bevel = nullptr;
    QLineEdit* m_pv = nullptr;
    QLineEdit* m_sv = nullptr;
    QLabel* m_link = nullptr;
    std::array<QLabel*, 4> m_lamps{};
    std::array<signed char, 4> m_lampOn{}; // -1 unknown, 0 off, 1 on
    QProgressBar* m_out = nullptr;
    QLineEdit* m_id = nullptr;
    QPushButton* m_set = nullptr;
    QLabel* m_slotNo = nullptr;
    QPixmap m_linkPixmap;
    bool m_linkShown = false;
};
