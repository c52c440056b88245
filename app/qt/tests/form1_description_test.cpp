// The window is described once, in form1.ui; the Win32 front end lays it out from a table
// of its own (form1_layout.h). This checks the table against the description: names,
// kinds, texts, tooltips, places and sizes, fonts, colours, tab order, what starts
// hidden or disabled, and the rules.
#include "form1_layout.h"
#include "form1_view.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <vector>

namespace {

using namespace carrowin::win32;

struct Described {
    QString cls;
    QRect geometry; // in the window's pixels, frames' offsets added
    QString text;
    QString tip;
    double points = 0;
    std::optional<std::uint32_t> colour;     // of the text
    std::optional<std::uint32_t> background; // of a rule
    bool hidden = false;
    bool disabled = false;
    bool centred = false;
    int tabPosition = -1;
};

std::optional<std::uint32_t> rgbIn(const QString& style, const QString& property)
{
    const QRegularExpression rgb(QStringLiteral("(^|[ ;])") + property
                                 + QStringLiteral(":\\s*rgb\\((\\d+),\\s*(\\d+),\\s*(\\d+)\\)"));
    const QRegularExpressionMatch m = rgb.match(style);
    if (!m.hasMatch())
        return std::nullopt;
    return (m.captured(2).toUInt() << 16) | (m.captured(3).toUInt() << 8) | m.captured(4).toUInt();
}

class Description {
public:
    explicit Description(const QString& path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            qFatal("cannot read %s", qPrintable(path));
        QXmlStreamReader xml(&file);
        while (xml.readNextStartElement()) {
            if (xml.name() == QStringLiteral("ui"))
                continue;
            if (xml.name() == QStringLiteral("widget"))
                readWidget(xml, QPoint(), 0);
            else
                xml.skipCurrentElement();
        }
        if (xml.hasError())
            qFatal("form1.ui: %s", qPrintable(xml.errorString()));
    }
    std::map<QString, Described> widgets;

private:
    // A widget and those inside it; the top one is the window itself, whose place is not
    // a control's.
    void readWidget(QXmlStreamReader& xml, QPoint offset, double inheritedPoints, bool top = true)
    {
        Described d;
        d.cls = xml.attributes().value(QStringLiteral("class")).toString();
        const QString name = xml.attributes().value(QStringLiteral("name")).toString();
        d.points = inheritedPoints;
        while (xml.readNextStartElement()) {
            if (xml.name() == QStringLiteral("property")) {
                readProperty(xml, d);
            } else if (xml.name() == QStringLiteral("widget")) {
                const QPoint at = top ? QPoint() : offset + d.geometry.topLeft();
                readWidget(xml, at, d.points, false);
            } else {
                xml.skipCurrentElement();
            }
        }
        if (top)
            return;
        d.geometry.translate(offset);
        widgets[name] = d;
    }

    static void readProperty(QXmlStreamReader& xml, Described& d)
    {
        const QString property = xml.attributes().value(QStringLiteral("name")).toString();
        while (xml.readNextStartElement()) {
            if (xml.name() == QStringLiteral("rect")) {
                int r[4] = {};
                const char* parts[4] = {"x", "y", "width", "height"};
                while (xml.readNextStartElement())
                    for (int i = 0; i < 4; ++i)
                        if (xml.name() == QLatin1String(parts[i]))
                            r[i] = xml.readElementText().toInt();
                d.geometry = QRect(r[0], r[1], r[2], r[3]);
                continue;
            }
            const QString value = xml.readElementText();
            if (property == QStringLiteral("text") || property == QStringLiteral("title"))
                d.text = value;
            else if (property == QStringLiteral("toolTip"))
                d.tip = value;
            else if (property == QStringLiteral("fontPointSize"))
                d.points = value.toDouble();
            else if (property == QStringLiteral("styleSheet")) {
                d.colour = rgbIn(value, QStringLiteral("color"));
                d.background = rgbIn(value, QStringLiteral("background-color"));
            } else if (property == QStringLiteral("visible"))
                d.hidden = value == QStringLiteral("false");
            else if (property == QStringLiteral("enabled"))
                d.disabled = value == QStringLiteral("false");
            else if (property == QStringLiteral("alignment"))
                d.centred = value.contains(QStringLiteral("AlignHCenter"));
            else if (property == QStringLiteral("tabOrderPosition"))
                d.tabPosition = value.toInt();
        }
    }
};

QString classFor(Kind kind)
{
    switch (kind) {
    case Kind::Label:
    case Kind::Heading: return QStringLiteral("QLabel");
    case Kind::Frame: return QStringLiteral("CaptionedFrame");
    case Kind::Option: return QStringLiteral("OptionButton");
    case Kind::Check: return QStringLiteral("ThreeStateCheckBox");
    case Kind::Edit: return QStringLiteral("QLineEdit");
    case Kind::Combo:
    case Kind::SortedCombo: return QStringLiteral("QComboBox");
    case Kind::Button: return QStringLiteral("QPushButton");
    }
    return {};
}

// Twips at 96 dpi, as the Qt window is drawn: within a pixel of the description.
bool near(int twips, int pixels)
{
    return std::abs(twips / 15.0 - pixels) <= 1.0;
}

} // namespace

class Form1DescriptionTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everyControlIsLaidOutAsTheDescriptionHasIt_data()
    {
        QTest::addColumn<int>("place");
        for (std::size_t i = 0; i < kForm1Controls.size(); ++i)
            QTest::newRow(kForm1Controls[i].name) << static_cast<int>(i);
    }

    void everyControlIsLaidOutAsTheDescriptionHasIt()
    {
        QFETCH(int, place);
        const ControlLayout& c = kForm1Controls[static_cast<std::size_t>(place)];
        const Description ui(QStringLiteral(CARROWIN_FORM1_UI));
        const auto it = ui.widgets.find(QString::fromLatin1(c.name));
        QVERIFY2(it != ui.widgets.end(), "not in form1.ui");
        const Described& d = it->second;
        QCOMPARE(d.cls, classFor(c.kind));
        QCOMPARE(d.tabPosition, place);
        QCOMPARE(d.text, QString::fromUtf8(c.text));
        QCOMPARE(d.tip, c.tip ? QString::fromUtf8(c.tip) : QString());
        QVERIFY2(near(c.left, d.geometry.x()) && near(c.top, d.geometry.y()), "the place");
        QVERIFY2(near(c.width, d.geometry.width()) && near(c.height, d.geometry.height()), "the size");
        QCOMPARE(d.points, kFontHundredthsOfPoints[static_cast<std::size_t>(c.font)] / 100.0);
        QCOMPARE(d.colour.value_or(kNoColour), c.colour);
        QCOMPARE(d.hidden, c.hidden);
        QCOMPARE(d.disabled, c.disabled);
        QCOMPARE(d.centred, c.kind == Kind::Heading);
    }

    void theDescriptionHoldsNoControlTheTableLacks()
    {
        const Description ui(QStringLiteral(CARROWIN_FORM1_UI));
        std::size_t controls = 0;
        for (const auto& [name, d] : ui.widgets)
            controls += d.cls != QStringLiteral("QFrame") ? 1 : 0; // the rules are drawn, not controls
        QCOMPARE(controls, kForm1Controls.size());
    }

    void theRulesAreDrawnWhereTheDescriptionHasThem()
    {
        const Description ui(QStringLiteral(CARROWIN_FORM1_UI));
        std::vector<const Described*> lines;
        for (int n = 1; n <= 6; ++n) {
            const auto it = ui.widgets.find(QStringLiteral("Line%1").arg(n));
            QVERIFY(it != ui.widgets.end());
            lines.push_back(&it->second);
        }
        for (const RuleLayout& r : kForm1Rules) {
            const auto same = std::find_if(lines.begin(), lines.end(), [&](const Described* d) {
                return near(r.fromX, d->geometry.left()) && near(r.toX, d->geometry.right() + 1)
                       && near(r.y, d->geometry.top() + 1) && d->geometry.height() == 3 && d->background == r.colour;
            });
            QVERIFY2(same != lines.end(), qPrintable(QStringLiteral("no line for the rule at y %1").arg(r.y)));
            lines.erase(same);
        }
    }

    void theHandlersFindEveryControlByItsName()
    {
        for (std::size_t i = 0; i < carrowin::app::kControlCount; ++i) {
            const char* name = carrowin::app::nameOf(static_cast<carrowin::app::Control>(i));
            QVERIFY2(placeOf(name) >= 0, name);
        }
    }
};

QTEST_APPLESS_MAIN(Form1DescriptionTest)
#include "form1_description_test.moc"
