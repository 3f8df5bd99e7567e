#include "ui/dialogs/TFmChartSetting.h"

#include "core/Conversions.h"
#include "core/QuillmereError.h"
#include "store/SettingsStore.h"
#include "ui/DialogService.h"
#include "ui/Handled.h"
#include "ui/charts/TrendPlot.h"
#include "ui/dialogs/LengthSpinBox.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QTabWidget>

namespace {

constexpr const char* Letters = "ABC";

QString named(const char* prefix, int monitor, bool digit = false)
{
    return QLatin1String(prefix) +
           (digit ? QString::number(monitor) : QString(QLatin1Char(Letters[monitor - 1])));
}

template <class T> T* make(QWidget* parent, const QString& name, const QRect& geometry)
{
    auto* control = new T(parent);
    control->setObjectName(name);
    control->setGeometry(geometry);
    return control;
}

// A bound as the operator would type it, so that it reads back under the same locale rules
// (a decimal comma under de_DE, and no group separator, which a typed number may not have).
// The dialog's locale is the system's; one locale both ways is what matters.
QString numberText(double value, QLocale locale)
{
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(value, 'g', QLocale::FloatingPointShortest);
}

// The sample time as the OK step accepts it.
bool sampleAccepted(const QString& text, const QLocale& locale)
{
    try {
        const double seconds = core::toFloat(text, locale);
        return seconds >= 0 && seconds <= 60;
    } catch (const QuillmereError&) {
        return false;
    }
}

bool rangeAccepted(const QString& min, const QString& max, const QLocale& locale)
{
    try {
        return core::toFloat(min, locale) <= core::toFloat(max, locale);
    } catch (const QuillmereError&) {
        return false;
    }
}

QLabel* label(QWidget* parent, const char* name, const QString& text, const QRect& geometry)
{
    auto* l = make<QLabel>(parent, QLatin1String(name), geometry);
    l->setText(text);
    return l;
}

} // namespace

TFmChartSetting::TFmChartSetting(DialogService& dialogs, std::array<TrendPlot*, 3> charts,
                                 std::function<void(int)> setSampleInterval, QWidget* parent)
    : QDialog(parent), m_dialogs(dialogs), m_charts(charts),
      m_setSampleInterval(std::move(setSampleInterval))
{
    setObjectName(QStringLiteral("FmChartSetting"));
    setWindowTitle(QStringLiteral("Chart Property"));
    setFixedSize(360, 390);
    QFont headingFont = font();
    headingFont.setBold(true);
    headingFont.setPointSizeF(font().pointSizeF() * 1.4);
    label(this, "Label1", QStringLiteral("Chart Property"), {10, 6, 340, 30})->setFont(headingFont);

    auto* pages = make<QTabWidget>(this, QStringLiteral("PageControl1"), {10, 40, 340, 240});
    for (int m = 1; m <= 3; ++m) {
        auto* page = new QWidget(pages);
        page->setObjectName(QStringLiteral("TabSheet%1").arg(m));
        pages->addTab(page, QStringLiteral("Monitor%1").arg(m));
        buildTab(m, page);
    }

    label(this, "LbSampleTime", QStringLiteral("Sample Time"), {14, 294, 90, 24});
    m_sample = make<QLineEdit>(this, QStringLiteral("TxtChtSample"), {104, 294, 60, 24});
    m_sample->setText(QStringLiteral("5"));
    m_confirmedSample = m_sample->text();
    label(this, "LbSec", QStringLiteral("SEC"), {170, 294, 40, 24});
    label(this, "LbSampleRange", QStringLiteral("(Range:1~60)"), {210, 294, 140, 24});

    auto* ok = make<QPushButton>(this, QStringLiteral("BtnChtSetingOk"), {90, 340, 80, 30});
    ok->setText(QStringLiteral("OK"));
    auto* cancel =
        make<QPushButton>(this, QStringLiteral("BtnChtSetingCancel"), {190, 340, 80, 30});
    cancel->setText(QStringLiteral("Cancel"));
    connect(ok, &QPushButton::clicked, this, handled(this, &TFmChartSetting::BtnChtSetingOkClick));
    connect(cancel, &QPushButton::clicked, this,
            handled(this, &TFmChartSetting::BtnChtSetingCancelClick));
}

void TFmChartSetting::buildTab(int m, QWidget* page)
{
    Tab& tab = m_tabs[size_t(m - 1)];
    label(page, "LbXLength", QStringLiteral("X Axis Length"), {10, 12, 100, 24});
    tab.length =
        make<LengthSpinBox>(page, named("Cht", m) + QStringLiteral("Max"), {110, 12, 80, 24});
    label(page, "LbXMax", QStringLiteral("(max:3600)"), {200, 12, 100, 24});

    auto* range = make<QGroupBox>(page, QStringLiteral("GrpYRange"), {10, 46, 310, 110});
    range->setTitle(QStringLiteral("Y Axis Range"));
    tab.automatic = make<QRadioButton>(range, named("RdoAuto", m), {10, 24, 140, 24});
    tab.automatic->setText(QStringLiteral("Auto Scale"));
    tab.limit = make<QRadioButton>(range, named("RdoLimit", m), {10, 52, 140, 24});
    tab.limit->setText(QStringLiteral("Define Range"));
    tab.group = new QButtonGroup(range);
    tab.group->addButton(tab.automatic);
    tab.group->addButton(tab.limit);
    tab.automatic->setChecked(true);
    label(range, "LbMin", QStringLiteral("Min."), {150, 24, 40, 24});
    tab.min = make<QLineEdit>(range, named("TxtYmin", m), {190, 24, 100, 24});
    tab.min->setText(QStringLiteral("0"));
    label(range, "LbMax", QStringLiteral("Max."), {150, 52, 40, 24});
    tab.max = make<QLineEdit>(range, named("TxtYmax", m), {190, 52, 100, 24});
    tab.max->setText(QStringLiteral("600"));
    tab.min->setEnabled(false);
    tab.max->setEnabled(false);
    // Also when the restore sets the buttons: the edits follow the choice however it is made.
    connect(tab.automatic, &QRadioButton::toggled, this, handled([&tab](bool automatic) {
                tab.min->setEnabled(!automatic);
                tab.max->setEnabled(!automatic);
            }));

    tab.view3D = make<QCheckBox>(page, named("Chk3D", m), {10, 166, 140, 24});
    tab.view3D->setText(QStringLiteral("3DView"));
    tab.showSv = make<QCheckBox>(page, named("ChkSV", m, true), {160, 166, 140, 24});
    tab.showSv->setText(QStringLiteral("Display SV"));
}

void TFmChartSetting::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Only when shown from hidden: coming back from minimised (a spontaneous show) must not
    // throw away what the operator has typed.
    if (!event->spontaneous())
        runHandled([this] { FormShow(); });
}

void TFmChartSetting::FormShow()
{
    for (int m = 0; m < 3; ++m) {
        const Tab& tab = m_tabs[size_t(m)];
        const TrendPlot* chart = m_charts[size_t(m)];
        tab.min->setText(numberText(chart->leftMinimum(), locale()));
        tab.max->setText(numberText(chart->leftMaximum(), locale()));
        tab.view3D->setChecked(chart->view3D());
        (chart->leftAxisAutomatic() ? tab.automatic : tab.limit)->setChecked(true);
        tab.showSv->setChecked(chart->isSeriesShown(1));
    }
}

void TFmChartSetting::BtnChtSetingOkClick()
{
    const double seconds = core::toFloat(m_sample->text(), locale());
    if (seconds < 0 || seconds > 60) {
        m_dialogs.message(nullptr, QStringLiteral("訊息"), QStringLiteral("取樣時間超出輸入範圍"),
                          DialogService::Icon::Information);
        m_sample->setText(QStringLiteral("5"));
        return;
    }
    // Chart by chart; an error stops here and leaves what came before it applied.
    for (int m = 0; m < 3; ++m) {
        const Tab& tab = m_tabs[size_t(m)];
        TrendPlot* chart = m_charts[size_t(m)];
        if (tab.automatic->isChecked()) {
            chart->setLeftAxisAutomatic(true);
        } else {
            chart->setLeftAxisAutomatic(false);
            // The pair together: each bound alone against the axis as it stood would refuse
            // any range that does not overlap the one shown.
            const double max = core::toFloat(tab.max->text(), locale());
            chart->setLeftRange(core::toFloat(tab.min->text(), locale()), max);
        }
        chart->setLength(tab.length->value());
    }
    m_setSampleInterval(int(seconds * 1000));
    m_confirmedSample = m_sample->text();
    hide();
    for (int m = 0; m < 3; ++m)
        m_charts[size_t(m)]->setView3D(m_tabs[size_t(m)].view3D->isChecked());
    for (int m = 0; m < 3; ++m)
        m_charts[size_t(m)]->setSvShown(m_tabs[size_t(m)].showSv->isChecked());
}

void TFmChartSetting::BtnChtSetingCancelClick()
{
    hide();
}

void TFmChartSetting::restoreSettings(const SettingsStore& key)
{
    // As stored, even neither button (an old workstation's 0 and 0), which an exclusive group
    // would not let go of.
    for (const Tab& tab : m_tabs)
        tab.group->setExclusive(false);
    for (int m = 1; m <= 3; ++m)
        m_tabs[size_t(m - 1)].automatic->setChecked(key.readBool(named("RdoAuto", m)));
    for (int m = 1; m <= 3; ++m)
        m_tabs[size_t(m - 1)].limit->setChecked(key.readBool(named("RdoLimit", m)));
    for (const Tab& tab : m_tabs)
        tab.group->setExclusive(true);
    for (int m = 1; m <= 3; ++m)
        m_tabs[size_t(m - 1)].min->setText(key.readString(named("TxtYmin", m)));
    for (int m = 1; m <= 3; ++m)
        m_tabs[size_t(m - 1)].max->setText(key.readString(named("TxtYmax", m)));
    for (int m = 1; m <= 3; ++m)
        m_tabs[size_t(m - 1)].view3D->setChecked(key.readBool(named("Chk3D", m)));
    for (int m = 1; m <= 3; ++m)
        m_tabs[size_t(m - 1)].showSv->setChecked(key.readBool(named("ChkSV", m, true)));
    m_sample->setText(key.readString(QStringLiteral("TxtChtSample")));
    for (int m = 1; m <= 3; ++m)
        m_tabs[size_t(m - 1)].length->setText(
            key.readString(named("TxtCht", m) + QStringLiteral("Max")));
}

TFmChartSetting::Scaling TFmChartSetting::scalingToStore(int m) const
{
    const Tab& tab = m_tabs[size_t(m - 1)];
    // Without "Auto Scale" the next start's OK converts both edits.
    if (tab.automatic->isChecked() || rangeAccepted(tab.min->text(), tab.max->text(), locale()))
        return {tab.automatic->isChecked(), tab.limit->isChecked(), tab.min->text(),
                tab.max->text()};
    const TrendPlot* chart = m_charts[size_t(m - 1)];
    return {chart->leftAxisAutomatic(), !chart->leftAxisAutomatic(),
            numberText(chart->leftMinimum(), locale()), numberText(chart->leftMaximum(), locale())};
}

QString TFmChartSetting::sampleToStore() const
{
    return sampleAccepted(m_sample->text(), locale()) ? m_sample->text() : m_confirmedSample;
}

void TFmChartSetting::storeSettings(SettingsStore& key) const
{
    const std::array<Scaling, 3> scaling{scalingToStore(1), scalingToStore(2), scalingToStore(3)};
    for (int m = 1; m <= 3; ++m)
        key.writeBool(named("RdoAuto", m), scaling[size_t(m - 1)].automatic);
    for (int m = 1; m <= 3; ++m)
        key.writeBool(named("RdoLimit", m), scaling[size_t(m - 1)].limit);
    for (int m = 1; m <= 3; ++m)
        key.writeString(named("TxtYmin", m), scaling[size_t(m - 1)].min);
    for (int m = 1; m <= 3; ++m)
        key.writeString(named("TxtYmax", m), scaling[size_t(m - 1)].max);
    for (int m = 1; m <= 3; ++m)
        key.writeBool(named("Chk3D", m), m_tabs[size_t(m - 1)].view3D->isChecked());
    for (int m = 1; m <= 3; ++m)
        key.writeBool(named("ChkSV", m, true), m_tabs[size_t(m - 1)].showSv->isChecked());
    key.writeString(QStringLiteral("TxtChtSample"), sampleToStore());
    for (int m = 1; m <= 3; ++m)
        key.writeString(named("TxtCht", m) + QStringLiteral("Max"),
                        m_tabs[size_t(m - 1)].length->text());
}
