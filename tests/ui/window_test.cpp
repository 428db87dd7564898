// SPDX-License-Identifier: GPL-3.0-or-later
// The window's own behaviour: its components, layout and fonts, the enabling rules and exclusive
// pairs, the busy state, the start directory field, the folder browser, the status-bar link,
// the failure-log viewer, the popup menu and the boxes the real dialogs build.
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QTest>

#include "ui/window_arguments.h"
#include "window_fixture.h"

using namespace zr;
using namespace zr::test;

namespace {

const char* const kFollowerBoxes[][4] = {
    // box, its followers, the one that takes the focus first
    {"CheckBox2", "Edit2", nullptr, nullptr},
    {"CheckBox3", "Edit4", "CheckBox8", nullptr},
    {"CheckBox4", "ComboBox1", "CheckBox6", "CheckBox7"},
    {"CheckBox5", "Edit5", nullptr, nullptr},
    {"CheckBox9", "Edit6", "Edit7", nullptr},
    {"CheckBox10", "Edit8", nullptr, nullptr},
    {"CheckBox16", "Edit9", "Edit10", nullptr},
};

// The design's tab sequence of the controls that take the focus.
const QStringList kTabOrder = {
    "Edit1",      "Button2",    "Edit3",      "CheckBox11", "CheckBox12", "CheckBox5", "Edit5",
    "CheckBox10", "Edit8",      "CheckBox4",  "ComboBox1",  "CheckBox6",  "CheckBox7", "CheckBox2",
    "Edit2",      "CheckBox3",  "Edit4",      "CheckBox8",  "CheckBox9",  "Edit6",     "Edit7",
    "CheckBox1",  "CheckBox13", "CheckBox15", "Button1",    "Button3",    "ListView1", "CheckBox16",
    "Edit9",      "Edit10",     "Button5",    "CheckBox17", "CheckBox14"};

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<WindowFixture> f;

    QWidget* focused() const { return QApplication::focusWidget(); }
    Option option(const char* name) const { return *RenameSettings::findByControlName(name); }
    void check(const char* name, bool on) { f->window->settings().setChecked(option(name), on); }

private slots:
    void initTestCase() { QApplication::setApplicationName(QStringLiteral("Zentarel Renamer")); }
    void init() { f = std::make_unique<WindowFixture>(); }
    void cleanup() { f.reset(); }

    // What is left of the program's command line once Qt took its own options.
    void commandLineArguments() {
        struct Case {
            std::vector<std::string> args;
            const char* error;  // nullptr: accepted
            std::optional<std::string> folder;
            bool help = false;
        };
        const Case cases[] = {
            {{}, nullptr, std::nullopt},
            {{"/home/ann/Photos"}, nullptr, "/home/ann/Photos"},
            {{"--", "-odd"}, nullptr, "-odd"},
            {{"-"}, nullptr, "-"},
            {{"--bogus"}, "unknown option '--bogus' (see --help)", std::nullopt},
            {{"a", "b"}, "more than one folder: 'b'", "a"},
            // Help is never an error, whatever else the line holds.
            {{"a", "b", "-x", "-h"}, nullptr, "a", true},
            {{"--", "--help"}, nullptr, "--help"},
        };
        for (const Case& c : cases) {
            WindowArguments arguments;
            std::string error;
            QCOMPARE(parseWindowArguments(c.args, arguments, error), c.error == nullptr);
            QCOMPARE(error, std::string(c.error ? c.error : ""));
            QCOMPARE(arguments.folder, c.folder);
            QCOMPARE(arguments.help, c.help);
        }
        QVERIFY(windowVersionText().starts_with(
            std::string("zentarel-renamer (Zentarel Renamer) ") + ZR_VERSION + "\n"));
    }

    void stateAtCreation() {
        const QStringList disabled = {
            "Image1", "Edit2", "Edit4", "ComboBox1", "Edit5", "CheckBox6", "CheckBox7", "CheckBox8",
            "Edit6",  "Edit7", "Edit8", "Button3",   "Edit9", "Edit10",    "CheckBox17"};
        const QStringList checked = {"CheckBox1", "CheckBox6", "CheckBox12", "CheckBox15"};
        for (const ComponentInfo& c : RenameSettings::components()) {
            if (QByteArray(c.name).endsWith("Dialog1"))
                continue;  // the settings file dialogs are made when they are needed
            QObject* object = f->window->findChild<QObject*>(QString::fromLatin1(c.name));
            QVERIFY2(object, c.name);
            // The kind each persisted key names.
            if (c.kind == ControlKind::CheckBox) {
                QVERIFY2(qobject_cast<QCheckBox*>(object), c.name);
                QCOMPARE(static_cast<QCheckBox*>(object)->isChecked(), checked.contains(c.name));
            }
            if (c.kind == ControlKind::Edit)
                QVERIFY2(qobject_cast<QLineEdit*>(object)->maxLength() > 1000000, c.name);
            if (c.kind == ControlKind::ComboBox)
                QVERIFY2(qobject_cast<QComboBox*>(object), c.name);
            if (auto* w = qobject_cast<QWidget*>(object))
                QVERIFY2(w->isEnabled() != disabled.contains(c.name), c.name);
        }
        // The check boxes on the panel, in client coordinates.
        QCOMPARE(clientRect(f->find("CheckBox13")), QRect(74, 422, 207, 17));
        QCOMPARE(clientRect(f->find("CheckBox17")), QRect(74, 438, 191, 17));
        QCOMPARE(clientRect(f->find("CheckBox15")), QRect(74, 455, 207, 17));
        QCOMPARE(clientRect(f->find("Image1")), QRect(3, 475, 32, 32));
        QCOMPARE(f->window->windowTitle(), "Zentarel Renamer v0.3 by Vornik");
        QCOMPARE(f->status(), QString::fromLatin1(Tmain::kHomePage));
        // Hints as they are, typos included; none on the list.
        QCOMPARE(f->find("Edit3")->toolTip(),
                 "on waht files apply rename, wildcards allowed, more filters separate with ';'");
        QCOMPARE(f->find("CheckBox7")->toolTip(),
                 "if checked case convertion is done only in extension (after last dot)");
        QVERIFY(f->find("ListView1")->toolTip().isEmpty());
    }

    // Tab and Shift+Tab reach every control in the design's order, the list with rows included;
    // arrow keys move inside the list.
    void keyboardReachesEveryControlBothWays() {
        for (const auto& entry : kFollowerBoxes)
            check(entry[0], true);
        for (const char* name : {"a", "b"})
            f->window->addPreviewRow({name, name});
        // The end of a run shows its rows and enables "&Undo" and "auto rescan on changes".
        f->window->busyOn();
        f->window->busyOff(true);
        QCOMPARE(f->rowCount(), 2);

        for (Qt::Key key : {Qt::Key_Tab, Qt::Key_Backtab}) {
            f->edit("Edit1")->setFocus();
            QStringList walked;
            for (int i = 0; i < int(kTabOrder.size()); ++i) {
                walked << focused()->objectName();
                QTest::keyClick(focused(), key);
            }
            QCOMPARE(focused()->objectName(), "Edit1");
            QStringList expected = kTabOrder;
            if (key == Qt::Key_Backtab)
                std::reverse(expected.begin() + 1, expected.end());
            QCOMPARE(walked, expected);
        }
        auto* list = f->find<QTableView>("ListView1");
        list->setFocus();
        list->setCurrentIndex(list->model()->index(0, 0));
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(list->currentIndex().row(), 1);
        QCOMPARE(focused(), list);
    }

    // What a screen reader says for each control: a field the text of its label, a button or box
    // its caption; and the list's marks keep their reasons.
    void everyControlHasAnAccessibleName() {
        const std::map<QString, QString> fields = {
            {"Edit1", "Start dir"},
            {"Button2", "Browse for start dir"},
            {"Edit3", "Filetypes"},
            {"Edit5", "Kill string(s)"},
            {"Edit8", "Kill char(s)"},
            {"Edit9", "Convert string(s)"},
            {"Edit10", "Convert string(s) to"},
            {"Edit6", "Convert char(s)"},
            {"Edit7", "Convert char(s) to"},
            {"Edit2", "Add prefix"},
            {"Edit4", "Append suffix"},
            {"ListView1", "Preview of the renames"},
        };
        auto name = [](QWidget* w) {
            return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
        };
        for (const QString& control : kTabOrder) {
            QWidget* w = f->find(control.toLatin1());
            if (control == "ComboBox1") {
                // Qt on Linux says a combo box's current item as its name; the name set is used
                // where Qt does.
                QCOMPARE(name(w), "lower case");
                QCOMPARE(w->accessibleName(), "Convert case");
                continue;
            }
            const auto field = fields.find(control);
            QCOMPARE(name(w), field != fields.end() ? field->second
                                                    : w->property("text").toString().remove('&'));
        }
        QCOMPARE(name(f->find("Panel1")), "Options");

        PreviewRow row{"A.JPG", "a.jpg"};
        row.fails = Conflict::Taken;
        f->window->addPreviewRow(row);
        f->window->busyOn();
        f->window->busyOff(false);
        QAccessibleInterface* list = QAccessible::queryAccessibleInterface(f->find("ListView1"));
        QAccessibleInterface* cell = list->tableInterface()->cellAt(0, 1);
        QVERIFY(cell);
        QCOMPARE(cell->text(QAccessible::Name), "a.jpg");
        QVERIFY(cell->text(QAccessible::Description).startsWith("This rename will fail: "));
    }

    void captionsFitTheirControls() {
        for (QCheckBox* box : f->window->findChildren<QCheckBox*>())
            QVERIFY2(box->sizeHint().width() <= box->width(), qPrintable(box->objectName()));
        for (QPushButton* b : f->window->findChildren<QPushButton*>()) {
            const int textWidth = b->fontMetrics().horizontalAdvance(b->text().remove('&'));
            QVERIFY2(textWidth <= b->width(), qPrintable(b->objectName()));
        }
        const QList<QWidget*> siblings =
            f->window->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
        for (QLabel* label : f->window->findChildren<QLabel*>()) {
            QVERIFY(label->sizeHint().width() <= label->width());
            for (QWidget* other : siblings) {
                if (other != label && other->isVisible())
                    QVERIFY2(!other->geometry().intersects(label->geometry()),
                             qPrintable(label->objectName() + " " + other->objectName()));
            }
        }
        const QHeaderView* header = f->find<QTableView>("ListView1")->horizontalHeader();
        const int widths[] = {90, 90, 55, 50, 50};
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(header->sectionSize(i), widths[i]);
            const QString caption = header->model()->headerData(i, Qt::Horizontal).toString();
            QVERIFY2(header->fontMetrics().horizontalAdvance(caption) < widths[i],
                     qPrintable(caption));
        }
        // Legible: the fitted font is no smaller than nine pixels.
        QVERIFY(QFontInfo(f->window->font()).pixelSize() >= 9);
    }

    void layoutFollowsWindowWidth_data() {
        QTest::addColumn<int>("requested");
        QTest::addColumn<int>("clientWidth");
        QTest::addColumn<int>("listWidth");
        QTest::addColumn<int>("button1Left");
        QTest::newRow("smallest, 600") << 592 << 592 << 290 << 88;
        QTest::newRow("largest, 1900") << 1892 << 1892 << 1590 << 738;
        QTest::newRow("odd, 1001") << 993 << 993 << 691 << 288;
        QTest::newRow("below the limit") << 300 << 592 << 290 << 88;
        QTest::newRow("above the limit") << 2500 << 1892 << 1590 << 738;
    }

    void layoutFollowsWindowWidth() {
        QFETCH(int, requested);
        QFETCH(int, clientWidth);
        QFETCH(int, listWidth);
        QFETCH(int, button1Left);
        f->window->resize(requested, 700);
        QTRY_COMPARE(f->window->width(), clientWidth);
        QCOMPARE(f->window->height(), Tmain::kClientHeight);
        QCOMPARE(clientRect(f->find("ListView1")), QRect(296, 8, listWidth, 466));
        QCOMPARE(clientRect(f->find("Button1")), QRect(button1Left, 487, 135, 24));
        QCOMPARE(clientRect(f->find("Button3")), QRect(button1Left + 141, 487, 135, 24));
        QCOMPARE(clientRect(f->find("Button5")), QRect(button1Left + 282, 487, 135, 24));
        QCOMPARE(clientRect(f->find("StatusBar1")), QRect(0, 519, clientWidth, 19));
        QCOMPARE(clientRect(f->find("Edit1")), QRect(64, 8, 209, 21));
    }

    // A desktop font twice the usual size: the whole layout doubles, as under QT_SCALE_FACTOR=2,
    // and the text keeps (nearly) the desktop's size rather than shrinking to the design's.
    void layoutScalesWithTheDesktopFont() {
        const QFont desktop = QApplication::font();
        auto windowAt = [&](int pixels) {
            QFont font = desktop;
            font.setPixelSize(pixels);
            QApplication::setFont(font);
            auto fixture = std::make_unique<WindowFixture>();
            QApplication::setFont(desktop);
            return fixture;
        };
        f.reset();
        const auto usual = windowAt(12);
        const auto large = windowAt(24);
        QCOMPARE(large->window->minimumSize(), usual->window->minimumSize() * 2);
        QCOMPARE(large->window->maximumSize(), usual->window->maximumSize() * 2);
        QCOMPARE(large->window->height(), 2 * Tmain::kClientHeight);
        large->window->resize(2 * usual->window->width(), large->window->height());
        QTRY_COMPARE(large->window->width(), 2 * usual->window->width());
        for (QWidget* w : usual->window->findChildren<QWidget*>()) {
            const QByteArray name = w->objectName().toLatin1();
            const auto components = RenameSettings::components();
            if (w->isWindow() ||  // the popup menu
                std::none_of(components.begin(), components.end(),
                             [&](const ComponentInfo& c) { return name == c.name; }))
                continue;
            const QRect at = clientRect(w);
            const QRect scaled = clientRect(large->find(name));
            // Labels are as wide as their text.
            const bool label = qobject_cast<QLabel*>(w);
            QVERIFY2(std::abs(scaled.left() - 2 * at.left()) <= 1 &&
                         std::abs(scaled.top() - 2 * at.top()) <= 1 &&
                         (label || std::abs(scaled.width() - 2 * at.width()) <= 1) &&
                         std::abs(scaled.height() - 2 * at.height()) <= 1,
                     name + " " + QByteArray::number(scaled.x()) + "," +
                         QByteArray::number(scaled.y()) + " " + QByteArray::number(scaled.width()) +
                         "x" + QByteArray::number(scaled.height()));
        }
        const QHeaderView* header = large->find<QTableView>("ListView1")->horizontalHeader();
        QCOMPARE(header->sectionSize(0), 180);
        QVERIFY(QFontInfo(large->window->font()).pixelSize() >= 22);
    }

    void followers_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QStringList>("followers");
        QTest::addColumn<bool>("byClick");
        for (const auto& entry : kFollowerBoxes) {
            QStringList followers;
            for (int i = 1; i < 4 && entry[i]; ++i)
                followers << entry[i];
            for (bool byClick : {true, false}) {
                QTest::addRow("%s %s", entry[0], byClick ? "clicked" : "set in the record")
                    << entry[0] << followers << byClick;
            }
        }
    }

    void followers() {
        QFETCH(QString, box);
        QFETCH(QStringList, followers);
        QFETCH(bool, byClick);
        const QByteArray name = box.toLatin1();
        // Values the reactions must leave alone.
        f->window->settings().setText(Option::Edit2, "pre");
        f->window->settings().setText(Option::Edit9, "a;b");
        auto toggle = [&](bool on) {
            if (byClick)
                click(f->box(name));
            else
                check(name, on);
            QCOMPARE(f->box(name)->isChecked(), on);
            QCOMPARE(f->window->settings().checked(option(name)), on);
        };
        f->edit("Edit1")->setFocus();
        toggle(true);
        for (const QString& follower : followers)
            QVERIFY2(f->find(follower.toLatin1())->isEnabled(), qPrintable(follower));
        QCOMPARE(focused(), f->find(followers.first().toLatin1()));
        toggle(false);
        for (const QString& follower : followers)
            QVERIFY2(!f->find(follower.toLatin1())->isEnabled(), qPrintable(follower));
        QCOMPARE(f->edit("Edit2")->text(), "pre");
        QCOMPARE(f->edit("Edit9")->text(), "a;b");
    }

    void onlyDirectoriesDisablesTheFilters() {
        const char* filters[] = {"Edit3", "CheckBox11", "CheckBox12"};
        click(f->box("CheckBox14"));
        for (const char* name : filters)
            QVERIFY2(!f->find(name)->isEnabled(), name);
        check("CheckBox14", false);
        for (const char* name : filters)
            QVERIFY2(f->find(name)->isEnabled(), name);
        // The state survives a command's busy state.
        check("CheckBox14", true);
        f->window->busyOn();
        f->window->busyOff(false);
        for (const char* name : filters)
            QVERIFY2(!f->find(name)->isEnabled(), name);
    }

    void exclusivePairs() {
        check("CheckBox4", true);
        QVERIFY(f->box("CheckBox6")->isChecked());
        click(f->box("CheckBox7"));
        QVERIFY(!f->box("CheckBox6")->isChecked());
        QVERIFY(!f->window->settings().checked(Option::CheckBox6));
        click(f->box("CheckBox7"));  // unchecking checks nothing
        QVERIFY(!f->box("CheckBox6")->isChecked());
        QVERIFY(!f->box("CheckBox7")->isChecked());
        click(f->box("CheckBox6"));
        check("CheckBox7", true);
        QVERIFY(!f->box("CheckBox6")->isChecked());

        QVERIFY(f->box("CheckBox12")->isChecked());
        check("CheckBox11", true);
        QVERIFY(!f->box("CheckBox12")->isChecked());
        QVERIFY(!f->window->settings().checked(Option::CheckBox12));
        click(f->box("CheckBox12"));
        QVERIFY(!f->box("CheckBox11")->isChecked());
        check("CheckBox12", false);
        QVERIFY(!f->box("CheckBox11")->isChecked());
    }

    void restoringTheDefaultsUnchecksTheRulesAndDisablesTheirFields() {
        for (const auto& entry : kFollowerBoxes)
            click(f->box(entry[0]));
        f->action("Restoredefaults1")->trigger();
        for (const auto& entry : kFollowerBoxes) {
            // "Convert char(s)" keeps its state.
            const bool kept = std::string_view(entry[0]) == "CheckBox9";
            QCOMPARE(f->box(entry[0])->isChecked(), kept);
            for (int i = 1; i < 4 && entry[i]; ++i)
                QVERIFY2(f->find(entry[i])->isEnabled() == kept, entry[i]);
        }
    }

    void reactionRunsOnlyOnChange() {
        check("CheckBox2", true);
        QCOMPARE(focused(), f->find("Edit2"));
        f->edit("Edit1")->setFocus();
        check("CheckBox2", true);
        f->box("CheckBox2")->setChecked(true);
        QCOMPARE(focused(), f->find("Edit1"));
        // Unchecking "Convert case" leaves the fields of "Convert char(s)" alone.
        check("CheckBox9", true);
        check("CheckBox4", true);
        check("CheckBox4", false);
        QVERIFY(f->find("Edit6")->isEnabled());
        QVERIFY(f->find("Edit7")->isEnabled());
    }

    void recordAndControlsStayInStep() {
        RenameSettings& settings = f->window->settings();
        f->edit("Edit3")->clear();
        QCOMPARE(settings.text(Option::Edit3), std::string());
        QTest::keyClicks(f->edit("Edit3"), "*.png");
        QCOMPARE(settings.text(Option::Edit3), std::string("*.png"));
        // Typing inside the text keeps the cursor where it is.
        f->edit("Edit3")->setCursorPosition(1);
        QTest::keyClicks(f->edit("Edit3"), "x");
        QCOMPARE(f->edit("Edit3")->text(), "*x.png");
        QCOMPARE(f->edit("Edit3")->cursorPosition(), 2);

        settings.setText(Option::Edit5, "a;;b");
        QCOMPARE(f->edit("Edit5")->text(), "a;;b");
        settings.setText(Option::Edit2, "caf\xC3\xA9\xFF");
        QCOMPARE(f->edit("Edit2")->text(), QString::fromUtf8("caf\xC3\xA9\xEF\xBF\xBD"));
        QCOMPARE(settings.text(Option::Edit2),
                 std::string("caf\xC3\xA9\xFF"));  // shown, not rewritten

        auto* combo = f->find<QComboBox>("ComboBox1");
        combo->setCurrentIndex(2);
        QCOMPARE(settings.itemIndex(), 2);
        settings.setItemIndex(3);
        QCOMPARE(combo->currentIndex(), 3);
        settings.setItemIndex(9);
        QCOMPARE(combo->currentIndex(), -1);

        f->action("Restoredefaults1")->trigger();
        QCOMPARE(f->edit("Edit1")->text(), "/tmp/");
        QCOMPARE(f->edit("Edit6")->text(), QString::fromUtf8("ěščřžýáíéúůťďĚŠČŘŽÝÁÍÉŮÚŤĎ"));
        QCOMPARE(combo->currentIndex(), 0);
    }

    void startDirectoryFieldOnExit_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("after");
        QTest::newRow("empty names no directory") << ""
                                                  << "";
        QTest::newRow("no delimiter") << "/tmp"
                                      << "/tmp/";
        QTest::newRow("delimiter") << "/tmp/"
                                   << "/tmp/";
        QTest::newRow("relative") << "photos"
                                  << "photos/";
    }

    void startDirectoryFieldOnExit() {
        QFETCH(QString, typed);
        QFETCH(QString, after);
        QLineEdit* edit1 = f->edit("Edit1");
        edit1->setFocus();
        edit1->setText(typed);
        QTest::keyClick(edit1, Qt::Key_Tab);
        QCOMPARE(focused(), f->find("Button2"));
        QCOMPARE(edit1->text(), after);
        QCOMPARE(QString::fromStdString(f->window->settings().text(Option::Edit1)), after);
    }

    void startDirectoryFieldKeptWhenAnotherWindowTakesTheFocus() {
        QLineEdit* edit1 = f->edit("Edit1");
        edit1->setFocus();
        edit1->setText("/tmp");
        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QCOMPARE(edit1->text(), "/tmp");
    }

    void folderBrowser() {
        const QString photos = QString::fromStdString(f->dir / "photos");
        f->dialogs.chosenDirectory = photos;
        click(f->button("Button2"));
        QCOMPARE(f->dialogs.log, QStringList{"browse Please specify a base directory"});
        QCOMPARE(f->edit("Edit1")->text(), photos + "/");

        f->dialogs.chosenDirectory.reset();
        click(f->button("Button2"));
        QCOMPARE(f->edit("Edit1")->text(), photos + "/");

        f->dialogs.chosenDirectory = "/";
        click(f->button("Button2"));
        QCOMPARE(f->edit("Edit1")->text(), "/");
    }

    void busyStateDisablesTheOptionsAndShowsTheBusyPointer() {
        QList<QWidget*> options;
        for (QWidget* w : f->window->findChildren<QWidget*>()) {
            if (qobject_cast<QCheckBox*>(w) || qobject_cast<QLineEdit*>(w) ||
                qobject_cast<QLabel*>(w) || qobject_cast<QComboBox*>(w))
                options << w;
        }
        options << f->find("Button2") << f->find("Button3");
        // The labels: the design's five and the sign of "More rules".
        QCOMPARE(options.size(), 17 + 10 + 6 + 1 + 2);
        f->window->busyOn();
        for (const QWidget* w : options)
            QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
        for (const char* name : {"Button1", "Button5", "ListView1", "StatusBar1"})
            QVERIFY2(f->find(name)->isEnabled(), name);
        // Nothing in the menu may change the options or start anything under a run.
        for (const char* name :
             {"Savesettings1", "LoadSettings1", "Restoredefaults1", "SaveUndoasbat1"})
            QVERIFY2(!f->action(name)->isEnabled(), name);
        QVERIFY(QApplication::overrideCursor());
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::BusyCursor);

        f->window->busyOff(false);
        QVERIFY(!QApplication::overrideCursor());
        for (const char* name : {"Savesettings1", "LoadSettings1", "Restoredefaults1"})
            QVERIFY2(f->action(name)->isEnabled(), name);
        QVERIFY(!f->action("SaveUndoasbat1")->isEnabled());  // no undo data
        for (const char* name : {"Button2", "Label1", "Label2", "CheckBox1", "CheckBox4",
                                 "CheckBox12", "CheckBox17", "Edit1", "Edit3"})
            QVERIFY2(f->find(name)->isEnabled(), name);
        // The rules hold again: these follow unchecked boxes.
        for (const char* name : {"Edit2", "Edit5", "ComboBox1", "CheckBox6", "CheckBox8"})
            QVERIFY2(!f->find(name)->isEnabled(), name);
        QVERIFY(!f->find("Button3")->isEnabled());

        f->window->busyOn();
        f->window->busyOff(true);
        QVERIFY(f->find("Button3")->isEnabled());
    }

    void busyOffMovesTheFocusToTheLastCheckedRule() {
        f->find("ListView1")->setFocus();
        f->window->busyOn();
        f->window->busyOff(false);
        QCOMPARE(focused(), f->find("ListView1"));  // no rule checked: the focus stays

        check("CheckBox5", true);
        check("CheckBox9", true);
        check("CheckBox16", true);
        check("CheckBox14", true);  // moves no focus
        f->find("ListView1")->setFocus();
        f->window->busyOn();
        f->window->busyOff(false);
        QCOMPARE(focused(), f->find("Edit9"));
        for (const char* name : {"Edit5", "Edit6", "Edit7", "Edit9", "Edit10"})
            QVERIFY2(f->find(name)->isEnabled(), name);

        check("CheckBox16", false);
        f->window->busyOn();
        f->window->busyOff(false);
        QCOMPARE(focused(), f->find("Edit6"));
    }

    void optionSetWhileBusyEnablesNothingUntilBusyOff() {
        check("CheckBox14", true);
        f->window->busyOn();
        check("CheckBox5", true);
        check("CheckBox14", false);
        QVERIFY(!f->find("Edit5")->isEnabled());
        QVERIFY(!f->find("Edit3")->isEnabled());
        f->window->busyOff(false);
        QVERIFY(f->find("Edit5")->isEnabled());
        QVERIFY(f->find("Edit3")->isEnabled());
    }

    void statusBarLink() {
        auto* statusBar = f->find<QStatusBar>("StatusBar1");
        QTest::mouseClick(statusBar, Qt::LeftButton);
        QCOMPARE(f->dialogs.log, QStringList{"open https://vornik.example/zentarel-renamer"});
        f->window->setStatusText("Scanning done, found 0 file(s) to be renamed.");
        QCOMPARE(f->status(), "Scanning done, found 0 file(s) to be renamed.");
        QTest::mouseClick(statusBar, Qt::LeftButton);
        QCOMPARE(f->dialogs.log.size(), 1);
    }

    void failureLogViewerReportsAViewerThatCannotStart() {
        QAction* view = f->action("Viewlastfailurelog1");
        f->window->setEnabled(Control::Viewlastfailurelog1, true);
        f->dialogs.openSucceeds = false;
        view->trigger();  // no log: nothing
        QVERIFY(f->dialogs.log.isEmpty());
        const std::string log = f->dir / "renamer_failures.log";
        f->window->renamer().flags().FailureLogPath = log;
        view->trigger();
        QCOMPARE(f->dialogs.log.size(), 2);
        // Where no program opens it, the user learns where it is.
        QCOMPARE(
            f->dialogs.log.last(),
            QString::fromStdString("Error Error executing notepad !\rThe failure log is " + log));
    }

    void closingIsRefusedWhileACommandRuns() {
        RunFlags& flags = f->window->renamer().flags();
        flags.ScanRunning = true;
        QVERIFY(!f->window->close());
        QVERIFY(f->window->isVisible());
        flags.ScanRunning = false;
        flags.GoRunning = true;
        QVERIFY(!f->window->close());
        flags.GoRunning = false;
        QVERIFY(f->window->close());
        QVERIFY(!f->window->isVisible());
    }

    void popupMenu() {
        auto* menu = f->find<QMenu>("PopupMenu1");
        QStringList items;
        for (const QAction* a : menu->actions()) {
            items << a->objectName() + (a->isSeparator() ? QString("|-") : "|" + a->text()) +
                         (a->isEnabled() ? "" : "|disabled");
        }
        QCOMPARE(items, QStringList({"Savesettings1|&Save settings", "LoadSettings1|&Load settings",
                                     "Restoredefaults1|&Restore defaults", "N1|-",
                                     "SaveUndoasbat1|Save &Undo as .bat|disabled", "N2|-",
                                     "Viewlastfailurelog1|&View last failure log|disabled", "N3|-",
                                     "MoreRules1|&More rules..."}));
        // A right click anywhere on the window's background or on a label opens it.
        for (const char* where : {"Label4", "Image1", "Panel1"}) {
            QWidget* target = f->find(where);
            QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2),
                                    target->mapToGlobal(QPoint(2, 2)));
            QApplication::sendEvent(target, &event);
            QTRY_VERIFY2(menu->isVisible(), where);
            menu->hide();
        }
    }

    void realDialogBoxes() {
        auto describe = [](const QMessageBox& box) {
            QStringList buttons;
            for (const QAbstractButton* b : box.buttons())
                buttons << b->text();
            buttons.sort();
            return box.windowTitle() + "|" + QString::number(box.icon()) + "|" + box.text() + "|" +
                   buttons.join(',');
        };
        const auto question = buildQuestionBox(nullptr, "Sure ?");
        QCOMPARE(describe(*question), "Warning|2|Sure ?|&No,&Yes");
        QCOMPARE(question->escapeButton()->text(), "&No");
        // Every question is about throwing undo data away: Return, or a key held down, says No.
        question->show();
        QVERIFY(QTest::qWaitForWindowExposed(question.get()));
        QTest::keyClick(question.get(), Qt::Key_Return);
        QCOMPARE(question->clickedButton()->text(), "&No");
        QCOMPARE(describe(*buildMessageBox(nullptr, MessageType::Warning, "w")), "Warning|2|w|OK");
        QCOMPARE(describe(*buildMessageBox(nullptr, MessageType::Error, "e")), "Error|3|e|OK");
        QCOMPARE(describe(*buildMessageBox(nullptr, MessageType::Information, "i")),
                 "Information|1|i|OK");
        QCOMPARE(describe(*buildErrorBox(nullptr, "File access denied.")),
                 "Zentarel Renamer|3|File access denied.|OK");
    }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
