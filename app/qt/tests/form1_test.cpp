// What only the Qt window does: its layout, fonts, tab order and access keys, and the
// events that reach the handlers. The handlers themselves are tested without a toolkit.
#include "form1.h"
#include "mailbox_writer.h"
#include "test_files.h"
#include "message_boxes.h"
#include "module1.h"
#include "sorted_combo.h"
#include "three_state_check_box.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <map>

#include <sched.h>
#include <sys/mount.h>

namespace t = carrowin::testing;
namespace fs = std::filesystem;

namespace {

struct Box {
    QString text;
    MessageBoxes::Kind kind;
    bool windowVisible;
};

// A user's store in a fake Wine prefix, and a place for output.
class Fixture {
public:
    Fixture()
    {
        fs::create_directories(mail());
        fs::create_directories(out());
        fs::create_directories(dir / "wine");
        t::writeFile(dir / "wine/user.reg", "WINE REGISTRY Version 2\n\n[Software\\\\Microsoft\\\\Outlook Express] 1\n"
                                            "\"Store Root\"=\"" + (dir / "store").string() + "\"\n");
        qputenv("WINEPREFIX", QByteArray::fromStdString((dir / "wine").string()));
        MessageBoxes::setAnswerer([this](const QString& text, MessageBoxes::Kind kind) {
            const auto windows = QApplication::topLevelWidgets();
            const bool shown = std::any_of(windows.begin(), windows.end(), [](QWidget* w) {
                return qobject_cast<Form1*>(w) != nullptr && w->isVisible();
            });
            boxes.push_back({text, kind, shown});
            if (onBox)
                onBox();
        });
    }
    ~Fixture() { MessageBoxes::setAnswerer(nullptr); }

    fs::path mail() const { return dir / "store/mail"; }
    fs::path out() const { return dir / "out"; }
    void mailbox(const std::string& name, const std::vector<std::string>& messages)
    {
        t::writeFile(mail() / name, t::mailbox(messages));
    }

    t::TempDir dir;
    std::vector<Box> boxes;
    std::function<void()> onBox;
};

template <typename W = QWidget>
W* control(Form1& form, const char* name)
{
    W* w = form.findChild<W*>(QString::fromLatin1(name));
    if (w == nullptr)
        qFatal("no control %s", name);
    return w;
}

QString text(Form1& f, const char* name)
{
    if (auto* c = f.findChild<QComboBox*>(QString::fromLatin1(name)))
        return c->currentText();
    if (auto* l = f.findChild<QLineEdit*>(QString::fromLatin1(name)))
        return l->text();
    return control<QLabel>(f, name)->text();
}

QStringList strings(std::initializer_list<const char*> list)
{
    QStringList l;
    for (const char* s : list)
        l << QString::fromUtf8(s);
    return l;
}

QStringList items(QComboBox* box)
{
    QStringList l;
    for (int i = 0; i < box->count(); ++i)
        l << box->itemText(i);
    return l;
}

std::vector<std::string> messages(int n, const std::string& subject = "Message")
{
    std::vector<std::string> m;
    for (int i = 0; i < n; ++i)
        m.push_back(t::mail(subject + " " + std::to_string(i)));
    return m;
}

long fileCount(const fs::path& dir)
{
    return static_cast<long>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

void expectIdle(Form1& f)
{
    QVERIFY(!control(f, "Command1")->isVisible());
    QVERIFY(!control(f, "Label1")->isVisible());
    QVERIFY(!control(f, "prog1")->isVisible());
    QVERIFY(control(f, "cmdx1")->isVisible());
    QCOMPARE(f.cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(text(f, "fpref1"), QStringLiteral("File"));
    QVERIFY(!f.handlers().isRunning());
}

} // namespace

class Form1Test : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void stateAfterLoad();
    void loadWithoutStoreReportsFirstAndOpensEmpty();
    void modeSwitching();
    void fullRun();
    void cancelDuringRun();
    void closingDuringRunEndsIt();
    void settingsChangedDuringRunApplyFromNextRecord();
    void geometryFontsAndColours();
    void tabOrderTooltipsAndAccessKeys();
    void mailboxListIsSortedAndInboxChosen();
    void keyStrokeAndFocusLossRebuild();
    void screenshot();
    void accessibilityTree();
    void clicksLandWhereDrawn();
};

void Form1Test::stateAfterLoad()
{
    // What the handlers leave in the real widgets: the sorted box, the exclusive option
    // buttons, the window shown centred.
    Fixture fx;
    fx.mailbox("Sent.mbx", messages(1));
    fx.mailbox("Inbox.mbx", messages(1));
    fx.mailbox("Archive.mbx", messages(1));
    Form1 f;
    f.handlers().Form_Load();
    QVERIFY(fx.boxes.empty());
    QVERIFY(f.isVisible());
    const QString folder = QString::fromStdString((fx.dir / "store").string() + "/mail/");
    QCOMPARE(items(control<QComboBox>(f, "inpth1")), QStringList{folder});
    QCOMPARE(items(control<QComboBox>(f, "infil1")), strings({"Archive.mbx", "Inbox.mbx", "Sent.mbx"}));
    QCOMPARE(text(f, "infil1"), QStringLiteral("Inbox.mbx"));
    QVERIFY(control<QRadioButton>(f, "sopt1")->isChecked());
    QVERIFY(!control<QRadioButton>(f, "sopt2")->isChecked());
    QCOMPARE(control<ThreeStateCheckBox>(f, "Check1")->value(), 1);
    QVERIFY(control(f, "fpref1")->isEnabled());
    QCOMPARE(text(f, "outpth1"), QDir::toNativeSeparators(QDir::currentPath()));
    QVERIFY(control(f, "cmdx1")->isVisible());
    QVERIFY(!control(f, "Command1")->isVisible());
    QVERIFY(!control(f, "prog1")->isVisible());
    QCOMPARE(f.windowTitle(), QStringLiteral("Carrowin -- For OE4 messages--ver. 2.11"));
    const QRect screen = f.screen()->availableGeometry();
    QVERIFY(qAbs(f.geometry().center().x() - screen.center().x()) <= 1);
    QVERIFY(qAbs(f.geometry().center().y() - screen.center().y()) <= 1);
}

void Form1Test::loadWithoutStoreReportsFirstAndOpensEmpty()
{
    Fixture fx;
    qputenv("WINEPREFIX", QByteArray::fromStdString((fx.dir / "no-prefix").string()));
    Form1 f;
    f.handlers().Form_Load();
    QCOMPARE(fx.boxes.size(), std::size_t{1});
    QCOMPARE(fx.boxes[0].text, QStringLiteral("Registry read error 2"));
    QVERIFY(fx.boxes[0].kind == MessageBoxes::Kind::Plain);
    QVERIFY(!fx.boxes[0].windowVisible);
    QVERIFY(f.isVisible());
    QCOMPARE(control<QComboBox>(f, "inpth1")->count(), 0);
    QCOMPARE(text(f, "inpth1"), QString());
    QCOMPARE(control<QComboBox>(f, "infil1")->count(), 0);
    QVERIFY(control(f, "cmdx1")->isVisible());
}

void Form1Test::modeSwitching()
{
    Fixture fx;
    Form1 f;
    f.handlers().Form_Load();
    auto* check = control<ThreeStateCheckBox>(f, "Check1");
    auto* prefix = control<QLineEdit>(f, "fpref1");
    QTest::mouseClick(control(f, "sopt2"), Qt::LeftButton, {}, QPoint(8, 8));
    QCOMPARE(check->value(), 2);
    QVERIFY(prefix->isEnabled());
    QVERIFY(!control<QRadioButton>(f, "sopt1")->isChecked());
    prefix->setText(QStringLiteral("Mine"));
    QTest::mouseClick(control(f, "sopt1"), Qt::LeftButton, {}, QPoint(8, 8));
    QCOMPARE(check->value(), 1);
    QVERIFY(!prefix->isEnabled());
    QCOMPARE(prefix->text(), QStringLiteral("Mine"));
    // The user's choice holds until the next switch, which checks the box again.
    QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(8, 8));
    QCOMPARE(check->value(), 0);
    QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(8, 8));
    QCOMPARE(check->value(), 1);
    QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(8, 8));
    f.handlers().sopt1_Click();
    QCOMPARE(check->value(), 1);
}

void Form1Test::fullRun()
{
    Fixture fx;
    fx.mailbox("Inbox.mbx", {t::mail("Re: Lunch"), t::mail("Lunch"), "Newsgroups: alt.x\r\nSubject: News\r\n\r\nx"});
    Form1 f;
    f.handlers().Form_Load();
    control<QLineEdit>(f, "outpth1")->setText(QString::fromStdString(fx.out().string()));
    bool checked = false;
    fx.onBox = [&] {
        // The message comes while the hourglass and the counter are still on.
        QCOMPARE(f.cursor().shape(), Qt::WaitCursor);
        QVERIFY(control(f, "prog1")->isVisible());
        QCOMPARE(text(f, "prog1"), QStringLiteral("File 3"));
        checked = true;
    };
    // From the keyboard; the focus comes back to Extract.
    QVERIFY(QTest::qWaitForWindowActive(&f));
    control(f, "cmdx1")->setFocus();
    QTest::keyClick(control(f, "cmdx1"), Qt::Key_Space);
    QVERIFY(checked);
    QCOMPARE(QApplication::focusWidget(), control(f, "cmdx1"));
    QCOMPARE(fx.boxes.size(), std::size_t{1});
    QCOMPARE(fx.boxes[0].text, QStringLiteral("Extraction Complete"));
    QVERIFY(fx.boxes[0].kind == MessageBoxes::Kind::Plain);
    expectIdle(f);
    QCOMPARE(text(f, "outpth1"), QString::fromStdString(fx.out().string() + "/"));
    QVERIFY(fs::exists(fx.out() / "Lunch.eml"));
    QVERIFY(fs::exists(fx.out() / "Lunch(1).eml"));
    QVERIFY(fs::exists(fx.out() / "News.nws"));
    QCOMPARE(t::readFile(fx.out() / "News.nws").substr(0, 10), std::string("Newsgroups"));
}

void Form1Test::cancelDuringRun()
{
    Fixture fx;
    fx.mailbox("Inbox.mbx", messages(50));
    Form1 f;
    f.handlers().Form_Load();
    control<QLineEdit>(f, "outpth1")->setText(QString::fromStdString(fx.out().string()));
    QTimer::singleShot(0, control<QPushButton>(f, "Command1"), &QPushButton::click);
    QTest::mouseClick(control(f, "cmdx1"), Qt::LeftButton);
    QVERIFY(fx.boxes.empty());
    expectIdle(f);
    QCOMPARE(Module1::CancelRequested, Module1::True);
    const auto written = fileCount(fx.out());
    QVERIFY(written >= 1 && written < 50);
    // The next run starts uncancelled and finishes.
    QTest::mouseClick(control(f, "cmdx1"), Qt::LeftButton);
    QCOMPARE(fx.boxes.size(), std::size_t{1});
    QCOMPARE(fileCount(fx.out()), written + 50);
}

void Form1Test::closingDuringRunEndsIt()
{
    Fixture fx;
    fx.mailbox("Inbox.mbx", messages(50));
    auto f = std::make_unique<Form1>();
    f->handlers().Form_Load();
    control<QLineEdit>(*f, "outpth1")->setText(QString::fromStdString(fx.out().string()));
    QTimer::singleShot(0, f.get(), &QWidget::close);
    QTest::mouseClick(control(*f, "cmdx1"), Qt::LeftButton);
    QVERIFY(fx.boxes.empty());
    QVERIFY(!f->isVisible());
    QVERIFY(!f->handlers().isRunning());
    QVERIFY(Module1::Form1Ref == nullptr);
    QCOMPARE(Module1::CancelRequested, Module1::True);
    const auto written = fileCount(fx.out());
    QVERIFY(written >= 1 && written < 50);
}

void Form1Test::settingsChangedDuringRunApplyFromNextRecord()
{
    Fixture fx;
    fx.mailbox("Inbox.mbx", messages(3, "Subject"));
    Form1 f;
    f.handlers().Form_Load();
    control<QLineEdit>(f, "outpth1")->setText(QString::fromStdString(fx.out().string()));
    QTimer::singleShot(0, &f, [&] {
        QTest::mouseClick(control(f, "sopt2"), Qt::LeftButton, {}, QPoint(8, 8));
        auto* prefix = control<QLineEdit>(f, "fpref1");
        prefix->selectAll();
        QTest::keyClicks(prefix, QStringLiteral("Typed"));
    });
    QTest::mouseClick(control(f, "cmdx1"), Qt::LeftButton);
    QVERIFY(fs::exists(fx.out() / "Subject 0.eml"));
    QVERIFY(fs::exists(fx.out() / "Typed.eml"));
    QVERIFY(fs::exists(fx.out() / "Typed(1).eml"));
    QCOMPARE(text(f, "fpref1"), QStringLiteral("File"));
}

void Form1Test::geometryFontsAndColours()
{
    Fixture fx;
    Form1 f;
    struct Place {
        const char* name;
        int left, top, width, height;
    };
    // Twips, as the layout gives them; 15 twips make a pixel at 96 dpi.
    const Place places[] = {
        {"Label2", 468, 36, 804, 372},      {"Frame2", 1044, 432, 3792, 1416}, {"sopt1", 180, 324, 3036, 336},
        {"Check1", 1800, 360, 1695, 255},   {"sopt2", 180, 720, 3360, 264},    {"fpref1", 612, 1008, 3072, 324},
        {"Label3", 468, 1908, 804, 372},    {"Label4", 72, 2304, 696, 264},    {"Label5", 1920, 2340, 2400, 225},
        {"inpth1", 324, 2628, 5664, 288},   {"Label6", 108, 3024, 696, 264},   {"infil1", 324, 3348, 5664, 288},
        {"Label7", 468, 3780, 804, 372},    {"Label8", 72, 4140, 696, 264},    {"outpth1", 324, 4464, 5664, 288},
        {"cmdx1", 3996, 5040, 1596, 480},   {"Label1", 288, 5148, 1560, 300},  {"prog1", 756, 5652, 1848, 408},
        {"Command1", 3996, 5652, 1596, 480}};
    const auto px = [](int twips) { return qRound(twips / 15.0); };
    for (const Place& p : places) {
        const QRect g = control(f, p.name)->geometry();
        QVERIFY2(g == QRect(px(p.left), px(p.top), px(p.width), px(p.height)), p.name);
    }
    QCOMPARE(f.size(), QSize(405, 429));
    QCOMPARE(f.minimumSize(), f.maximumSize());
    QVERIFY(!(f.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(!(f.windowFlags() & Qt::WindowMinimizeButtonHint));
    QVERIFY(f.windowFlags() & Qt::WindowCloseButtonHint);
    QCOMPARE(control(f, "Frame2")->findChildren<QRadioButton*>().size(), 2);
    QCOMPARE(control(f, "Check1")->parentWidget(), control(f, "Frame2"));
    QCOMPARE(control(f, "fpref1")->parentWidget(), control(f, "Frame2"));

    f.ensurePolished();
    for (const char* n : {"cmdx1", "sopt1", "fpref1", "Label4"})
        QCOMPARE(control(f, n)->font().pointSizeF(), 9.75);
    for (const char* n : {"inpth1", "infil1", "outpth1", "Label5"})
        QCOMPARE(control(f, n)->font().pointSizeF(), 8.25);
    for (const char* n : {"Label2", "Label3", "Label7", "prog1"})
        QCOMPARE(control(f, n)->font().pointSizeF(), 12.0);
    QCOMPARE(control(f, "Label2")->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    QCOMPARE(control(f, "Label3")->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    QCOMPARE(control(f, "Label7")->palette().color(QPalette::WindowText), QColor(0, 128, 0));
    QCOMPARE(control(f, "prog1")->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    for (const char* n : {"Line1", "Line2", "Line3", "Line4", "Line5", "Line6"})
        QCOMPARE(control(f, n)->height(), 3);
    QCOMPARE(control(f, "Line1")->geometry(), QRect(89, 13, 309, 3));
    QCOMPARE(control(f, "Line6")->geometry(), QRect(89, 263, 309, 3));
    QCOMPARE(f.windowIcon().availableSizes(), (QList<QSize>{QSize(16, 16), QSize(32, 32)}));
    // Creation state, before Form_Load.
    QVERIFY(control<QRadioButton>(f, "sopt2")->isChecked());
    QCOMPARE(control<ThreeStateCheckBox>(f, "Check1")->value(), 0);
    QVERIFY(!control(f, "fpref1")->isEnabled());
    QVERIFY(control(f, "prog1")->isHidden());
    QVERIFY(!control(f, "Command1")->isHidden());
    // Check1 lies on top of sopt1 where they overlap.
    const QPoint overlap = control(f, "Check1")->geometry().center();
    QCOMPARE(control(f, "Frame2")->childAt(overlap), control(f, "Check1"));
}

void Form1Test::tabOrderTooltipsAndAccessKeys()
{
    Fixture fx;
    fx.mailbox("Inbox.mbx", messages(40));
    Form1 f;
    f.handlers().Form_Load();
    control<QLineEdit>(f, "outpth1")->setText(QString::fromStdString(fx.out().string()));
    QVERIFY(QTest::qWaitForWindowActive(&f));
    QStringList order;
    QWidget* w = control(f, "sopt1");
    for (int i = 0; i < 9; ++i, w = w->nextInFocusChain()) {
        while (w->focusPolicy() == Qt::NoFocus || qobject_cast<QComboBox*>(w->parentWidget()) != nullptr)
            w = w->nextInFocusChain();
        order << w->objectName();
    }
    QCOMPARE(order, strings({"sopt1", "sopt2", "fpref1", "inpth1", "infil1", "outpth1", "cmdx1", "Command1", "Check1"}));

    const std::pair<const char*, const char*> tips[] = {
        {"sopt1", "Select to name Output files by message Subject"},
        {"Check1", "Select to remove Re from replies to same Subject"},
        {"sopt2", "Select to name files by Prefix below"},
        {"fpref1", "Type in value to use for File Prefix"},
        {"inpth1", "Set Directory Path to DBX files"},
        {"infil1", "Select DBX file to Extract"},
        {"outpth1", "Type or Paste in Path for Output files or use current"},
        {"cmdx1", "Click to begin file extraction!"},
        {"Command1", ""}, {"Label2", ""}, {"Label5", ""}, {"Frame2", ""}, {"prog1", ""}};
    for (const auto& [name, tip] : tips)
        QCOMPARE(control(f, name)->toolTip(), QString::fromUtf8(tip));

    // Access keys press their buttons after the button's short press animation. Before
    // Form_Load, Cancel is still shown as created.
    {
        Form1 created;
        created.show();
        QVERIFY(QTest::qWaitForWindowActive(&created));
        Module1::CancelRequested = Module1::False;
        QTest::keyClick(created.windowHandle(), Qt::Key_C, Qt::AltModifier);
        QTRY_COMPARE(Module1::CancelRequested, Module1::True);
        Module1::CancelRequested = Module1::False;
        QTest::keyClick(created.windowHandle(), Qt::Key_Escape);
        QCOMPARE(Module1::CancelRequested, Module1::True);
    }
    f.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&f));
    // Alt+E starts a run, and Esc during it cancels.
    QTimer pressEsc;
    connect(&pressEsc, &QTimer::timeout, &f, [&] {
        if (f.handlers().isRunning()) {
            pressEsc.stop();
            QTest::keyClick(f.windowHandle(), Qt::Key_Escape);
        }
    });
    pressEsc.start(0);
    QTest::keyClick(f.windowHandle(), Qt::Key_E, Qt::AltModifier);
    const auto written = [&] { return fileCount(fx.out()); };
    QTRY_VERIFY(written() > 0 && !f.handlers().isRunning());
    QVERIFY(written() < 40);
    QVERIFY(fx.boxes.empty()); // cancelled, so no message
    expectIdle(f);
}

void Form1Test::mailboxListIsSortedAndInboxChosen()
{
    Fixture fx;
    for (const char* n : {"sent.mbx", "INBOX.MBX", "Archive.mbx", ".Hidden.mbx"})
        fx.mailbox(n, messages(1));
    fs::create_directory(fx.mail() / "Old.mbx");
    Form1 f;
    f.handlers().Form_Load();
    auto* box = control<QComboBox>(f, "infil1");
    QCOMPARE(items(box), strings({"Archive.mbx", "INBOX.MBX", "sent.mbx"}));
    QCOMPARE(text(f, "infil1"), QStringLiteral("INBOX.MBX"));

    fs::remove(fx.mail() / "INBOX.MBX");
    fs::remove(fx.mail() / "Archive.mbx");
    f.handlers().inpth1_Click();
    QCOMPARE(text(f, "infil1"), QStringLiteral("sent.mbx"));
    QVERIFY(control(f, "cmdx1")->isVisible());

    // Entries added in any order take their sorted place.
    box->clear();
    addSortedEntries(box, strings({"Sent.mbx", "Inbox.mbx"}));
    addSortedEntries(box, strings({"Archive.mbx", "drafts.mbx"}));
    QCOMPARE(items(box), strings({"Archive.mbx", "drafts.mbx", "Inbox.mbx", "Sent.mbx"}));
}

void Form1Test::keyStrokeAndFocusLossRebuild()
{
    Fixture fx;
    fx.mailbox("Inbox.mbx", messages(1));
    fx.mailbox("Sent.mbx", messages(1));
    Form1 f;
    f.handlers().Form_Load();
    QVERIFY(QTest::qWaitForWindowActive(&f));
    auto* folder = control<QComboBox>(f, "inpth1");
    auto* box = control<QComboBox>(f, "infil1");
    const QString path = folder->currentText();

    // Typing: each character rebuilds from the partial text (hiding Extract), and the key
    // release rebuilds again once the text names an existing folder.
    folder->setFocus();
    folder->lineEdit()->setText(path.left(path.size() - 2)); // ".../mai"
    QCOMPARE(box->count(), 0);
    QVERIFY(!control(f, "cmdx1")->isVisible());
    folder->lineEdit()->end(false);
    QTest::keyClick(folder->lineEdit(), 'l');
    QTest::keyClick(folder->lineEdit(), '/');
    QCOMPARE(text(f, "inpth1"), path);
    QCOMPARE(text(f, "infil1"), QStringLiteral("Inbox.mbx"));
    QVERIFY(control(f, "cmdx1")->isVisible());

    // A key that changes nothing still rebuilds, resetting the user's choice.
    box->setCurrentIndex(box->findText(QStringLiteral("Sent.mbx")));
    QCOMPARE(text(f, "infil1"), QStringLiteral("Sent.mbx"));
    QTest::keyClick(folder->lineEdit(), Qt::Key_Shift);
    QCOMPARE(text(f, "infil1"), QStringLiteral("Inbox.mbx"));

    // Leaving the folder box rebuilds too.
    box->setCurrentIndex(box->findText(QStringLiteral("Sent.mbx")));
    control(f, "outpth1")->setFocus();
    QCOMPARE(text(f, "infil1"), QStringLiteral("Inbox.mbx"));
    // Picking or typing in infil1 changes only its text, and Extract keeps its visibility.
    box->setEditText(QString());
    QVERIFY(control(f, "cmdx1")->isVisible());
}

// Anna's desktop, where the README's picture is taken (the same scene as the Windows
// window's): her Wine prefix with the mail store (the usual mailboxes and one of her own)
// and a folder in her home for the rescued mail, which the window proposes as the current
// folder. Under a /home of its own, where this process may have one (a mount namespace of
// its own: as root); else, for the test's sake only, under the temporary folder.
class AnnasDesktop {
public:
    AnnasDesktop() : m_cwd(fs::current_path())
    {
        const bool ownHome = ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0
                             && ::mount("tmpfs", "/home", "tmpfs", 0, "mode=0755") == 0;
        m_home = ownHome ? fs::path("/home/anna") : m_scratch.path() / "home" / "anna";
        fs::create_directories(mail());
        fs::create_directories(rescued());
        fs::create_directories(prefix() / "dosdevices");
        fs::create_symlink("../drive_c", prefix() / "dosdevices" / "c:");
        t::writeFile(prefix() / "user.reg", "WINE REGISTRY Version 2\n\n[Software\\\\Microsoft\\\\Outlook Express] 1\n"
                                            "\"Store Root\"=\"C:\\\\users\\\\anna\\\\Outlook Express\"\n");
        for (const char* name : {"Inbox", "Sent Items", "Deleted Items", "Family"})
            t::writeFile(mail() / (std::string(name) + ".mbx"), t::mailbox({t::mail(std::string("In ") + name)}));
        qputenv("WINEPREFIX", QByteArray::fromStdString(prefix().string()));
        fs::current_path(rescued());
    }
    ~AnnasDesktop() { fs::current_path(m_cwd); }
    fs::path prefix() const { return m_home / ".wine"; }
    fs::path mail() const { return prefix() / "drive_c/users/anna/Outlook Express/mail"; }
    fs::path rescued() const { return m_home / "Rescued mail"; }

private:
    t::TempDir m_scratch;
    fs::path m_cwd;
    fs::path m_home;
};

void Form1Test::screenshot()
{
    const AnnasDesktop desktop;
    Form1 f;
    f.handlers().Form_Load();
    // Nothing of the machine that makes the picture is in it: the fields hold the scene's paths.
    QCOMPARE(text(f, "inpth1"), QString::fromStdString(desktop.mail().string() + "/"));
    QCOMPARE(text(f, "outpth1"), QString::fromStdString(desktop.rescued().string()));
    const auto* box = f.findChild<QComboBox*>(QStringLiteral("infil1"));
    QStringList listed;
    for (int i = 0; i < box->count(); ++i)
        listed << box->itemText(i);
    QCOMPARE(listed, (QStringList{QStringLiteral("Deleted Items.mbx"), QStringLiteral("Family.mbx"),
                                  QStringLiteral("Inbox.mbx"), QStringLiteral("Sent Items.mbx")}));
    QCOMPARE(text(f, "infil1"), QStringLiteral("Inbox.mbx"));
    // On a desktop (xcb, with a window manager) the picture is the screen's, with the
    // frame the manager draws; elsewhere the window draws itself.
    QPixmap picture;
    if (QGuiApplication::platformName() == QStringLiteral("xcb") && qEnvironmentVariableIsSet("CARROWIN_WINDOW_MANAGER")) {
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QTRY_VERIFY(f.frameGeometry().top() < f.geometry().top());
        QVERIFY(QTest::qWaitForWindowActive(&f)); // the title bar as the user sees it, active
        picture = f.screen()->grabWindow(0, f.frameGeometry().x(), f.frameGeometry().y(), f.frameGeometry().width(),
                                         f.frameGeometry().height());
        QCOMPARE(picture.size(), f.frameGeometry().size());
    } else {
        picture = f.grab();
    }
    // Into the folder CARROWIN_SCREENSHOT_DIR names (the build's, under ctest), else, or
    // where that cannot be written, the temporary folder.
    QString path = qEnvironmentVariable("CARROWIN_SCREENSHOT_DIR", QDir::tempPath()) + QStringLiteral("/carrowin-window.png");
    QDir().mkpath(QFileInfo(path).path());
    if (!picture.save(path))
        path = QDir::tempPath() + QStringLiteral("/carrowin-window.png");
    QVERIFY(picture.save(path));
    qInfo("window screenshot written to %s", qPrintable(path));
}

// A screen reader finds every control in the window's tree, named by its purpose, with
// the role it plays and the label that names it; the names stay while the contents change.
void Form1Test::accessibilityTree()
{
    Fixture fx;
    fx.mailbox("Inbox.mbx", messages(1));
    Form1 f;
    f.handlers().Form_Load();
    QAccessibleInterface* window = QAccessible::queryAccessibleInterface(&f);
    QCOMPARE(window->role(), QAccessible::Window);
    QCOMPARE(window->text(QAccessible::Name), QString::fromUtf8(carrowin::app::kForm1Caption));

    std::map<QString, QAccessibleInterface*> tree;
    std::function<void(QAccessibleInterface*)> walk = [&](QAccessibleInterface* node) {
        for (int i = 0; i < node->childCount(); ++i) {
            QAccessibleInterface* child = node->child(i);
            if (child->object() != nullptr)
                tree[child->object()->objectName()] = child;
            walk(child);
        }
    };
    walk(window);
    using A = QAccessible;
    struct Expected {
        const char* control;
        A::Role role;
        const char* name;
        const char* labelledBy;
    };
    const Expected expected[] = {
        {"Label2", A::Heading, "Action", nullptr},        {"Line1", A::Separator, "Action", nullptr},
        {"Line2", A::Separator, "Action", nullptr},       {"Frame2", A::Grouping, "Save", nullptr},
        {"sopt1", A::RadioButton, "By Subject", "Frame2"}, {"Check1", A::CheckBox, "Remove Re:", "Frame2"},
        {"sopt2", A::RadioButton, "By Prefix", "Frame2"}, {"fpref1", A::EditableText, "File name prefix", "Frame2"},
        {"Label3", A::Heading, "Input", nullptr},         {"Line3", A::Separator, "Input", nullptr},
        {"Line4", A::Separator, "Input", nullptr},        {"inpth1", A::ComboBox, "Input folder", "Label4"},
        {"infil1", A::ComboBox, "Mailbox file", "Label6"}, {"Label7", A::Heading, "Output", nullptr},
        {"Line5", A::Separator, "Output", nullptr},       {"Line6", A::Separator, "Output", nullptr},
        {"outpth1", A::EditableText, "Output folder", "Label8"}, {"cmdx1", A::Button, "Extract", nullptr},
        {"Command1", A::Button, "Cancel", nullptr},       {"prog1", A::ProgressBar, "Progress", "Label1"},
    };
    for (const Expected& e : expected) {
        const auto it = tree.find(QString::fromLatin1(e.control));
        QVERIFY2(it != tree.end(), e.control);
        QAccessibleInterface* node = it->second;
        QVERIFY2(node->role() == e.role, e.control);
        QCOMPARE(node->text(A::Name), QString::fromUtf8(e.name));
        QStringList labels;
        for (const auto& [label, relation] : node->relations(A::Label))
            labels << label->object()->objectName();
        QCOMPARE(labels, e.labelledBy != nullptr ? QStringList{QString::fromLatin1(e.labelledBy)} : QStringList{});
    }

    // Contents are values, states follow the controls, and the counter reports its count.
    QCOMPARE(tree[QStringLiteral("infil1")]->text(A::Value), QStringLiteral("Inbox.mbx"));
    QCOMPARE(tree[QStringLiteral("outpth1")]->text(A::Value), text(f, "outpth1"));
    control<QComboBox>(f, "infil1")->setEditText(QStringLiteral("Other.mbx"));
    QCOMPARE(tree[QStringLiteral("infil1")]->text(A::Name), QStringLiteral("Mailbox file"));
    QCOMPARE(tree[QStringLiteral("infil1")]->text(A::Value), QStringLiteral("Other.mbx"));
    QVERIFY(tree[QStringLiteral("infil1")]->state().editable);
    QVERIFY(tree[QStringLiteral("sopt1")]->state().checked);
    QVERIFY(tree[QStringLiteral("Check1")]->state().checked);
    f.handlers().sopt2_Click();
    QVERIFY(tree[QStringLiteral("Check1")]->state().checkStateMixed);
    QVERIFY(!tree[QStringLiteral("fpref1")]->state().disabled);
    QVERIFY(tree[QStringLiteral("prog1")]->state().invisible);
    f.setText(carrowin::app::Control::prog1, "File 27");
    QCOMPARE(tree[QStringLiteral("prog1")]->text(A::Value), QStringLiteral("File 27"));
    QCOMPARE(tree[QStringLiteral("prog1")]->valueInterface()->currentValue(), QVariant(27));
}

// The option buttons and the check box take a click anywhere in their rectangles, as
// the native window's do; the frame's caption sits on its border, as the native window
// draws it (its line 6 pixels below the frame's top at 96 dpi, measured under Wine).
void Form1Test::clicksLandWhereDrawn()
{
    Fixture fx;
    Form1 f;
    f.handlers().Form_Load();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    auto* bySubject = control<QRadioButton>(f, "sopt1");
    auto* byPrefix = control<QRadioButton>(f, "sopt2");
    auto* removeRe = control<ThreeStateCheckBox>(f, "Check1");
    // Near each rectangle's right edge, far from the caption; "By Subject" below the
    // check box that lies on top of it.
    const auto click = [&](QWidget* w, QPoint at) {
        const QPoint inWindow = w->mapTo(&f, at);
        QCOMPARE(f.childAt(inWindow), w);
        QTest::mouseClick(f.windowHandle(), Qt::LeftButton, {}, inWindow);
    };
    click(byPrefix, QPoint(byPrefix->width() - 2, byPrefix->height() / 2));
    QVERIFY(byPrefix->isChecked());
    QCOMPARE(removeRe->value(), 2);
    click(bySubject, QPoint(bySubject->width() - 2, bySubject->height() - 2));
    QVERIFY(bySubject->isChecked());
    QCOMPARE(removeRe->value(), 1);
    click(removeRe, QPoint(removeRe->width() - 2, removeRe->height() / 2));
    QCOMPARE(removeRe->value(), 0);

    QWidget* frame = control(f, "Frame2");
    const QImage picture = frame->grab().toImage();
    const QColor background = f.palette().color(QPalette::Window);
    const auto differs = [&](int x, int y) { return picture.pixelColor(x, y) != background; };
    const int right = picture.width() - 20;
    int line = 0;
    while (line < picture.height() && !differs(right, line))
        ++line;
    QVERIFY2(std::abs(line - 6) <= 2, qPrintable(QStringLiteral("the frame's line at %1").arg(line)));
    bool captionAboveLine = false;
    for (int y = 0; y < line; ++y)
        for (int x = 0; x < picture.width() / 2; ++x)
            captionAboveLine = captionAboveLine || differs(x, y);
    QVERIFY(captionAboveLine);
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    Form1Test test;
    return QTest::qExec(&test, argc, argv);
}

#include "form1_test.moc"
