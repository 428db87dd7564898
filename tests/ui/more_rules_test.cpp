// SPDX-License-Identifier: GPL-3.0-or-later
// The "More rules" dialog and the main window's sign of its rules: opened by the menu and the
// shortcut, bound to the options both ways, kept in settings files and across a restart,
// disabled while a command runs, reachable by keyboard and screen reader, refusing a bad
// pattern where it is typed, and its rules reaching a Scan.
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTest>

#include "window_fixture.h"

using namespace zr;
using namespace zr::test;

namespace {

using O = ExtendedOption;

// Each option of the dialog set to a value other than its default, as a user sets it.
struct Setting {
    ExtendedOption option;
    const char* control;  // for the range: the box that sets it
    std::int32_t value;
    const char* text;  // a Text option's
};

const Setting kSettings[] = {
    {O::PatternReplace, "PatternReplace", 1, nullptr},
    {O::Pattern, "Pattern", 0, "^IMG_(\\d+)"},
    {O::Replacement, "Replacement", 0, "Holiday {n:3} $1"},
    {O::PatternIgnoreCase, "PatternIgnoreCase", 1, nullptr},
    {O::PatternAll, "PatternAll", 1, nullptr},
    {O::PatternRange, "PatternOnlyExtension", int(PatternRange::Extension), nullptr},
    {O::Fields, "Fields", 1, nullptr},
    {O::NumberStart, "NumberStart", 7, nullptr},
    {O::NumberStep, "NumberStep", -2, nullptr},
    {O::NumberOrder, "NumberOrder", int(NumberOrder::Modified), nullptr},
    {O::NumberScope, "NumberScope", int(NumberScope::Run), nullptr},
    {O::Unique, "Unique", 1, nullptr},
    {O::ExcludeMasks, "ExcludeMasks", 0, "*.tmp;.git"},
    {O::SkipHidden, "SkipHidden", 1, nullptr},
    {O::ScriptFormat, "ScriptFormat", int(ScriptFormat::Sh), nullptr},
};

// The dialog's tab sequence, with the pattern's options enabled.
// clang-format off
const QStringList kTabOrder = {
    "PatternReplace", "Pattern", "Replacement", "InsertField", "PatternIgnoreCase", "PatternAll",
    "PatternInclusiveExtension", "PatternOnlyExtension",
    "Fields", "NumberStart", "NumberStep", "NumberOrder", "NumberScope",
    "Unique", "ExcludeMasks", "SkipHidden", "ScriptFormat",
    "Close"};
// clang-format on

QString expected(const Setting& s) {
    return s.text ? QString::fromUtf8(s.text) : QString::number(s.value);
}

}  // namespace

class MoreRulesTest : public QObject {
    Q_OBJECT

    std::unique_ptr<WindowFixture> f;

    RenameSettings& settings() { return f->window->settings(); }
    QDialog* dialog() const { return f->find<QDialog>("MoreRules"); }
    QWidget* control(const char* name) const {
        return dialog()->findChild<QWidget*>(QString::fromLatin1(name));
    }
    QDialog* open() {
        f->action("MoreRules1")->trigger();
        QDialog* d = dialog();
        if (d && !QTest::qWaitForWindowExposed(d))
            qWarning("the dialog was not shown");
        return d;
    }
    QString recorded(const Setting& s) {
        return s.text ? QString::fromStdString(settings().text(s.option))
                      : QString::number(settings().value(s.option));
    }
    // What the dialog shows for the option.
    QString shown(const Setting& s) const {
        if (s.option == O::PatternRange) {
            const bool all =
                qobject_cast<QCheckBox*>(control("PatternInclusiveExtension"))->isChecked();
            const bool only =
                qobject_cast<QCheckBox*>(control("PatternOnlyExtension"))->isChecked();
            return QString::number(all    ? int(PatternRange::All)
                                   : only ? int(PatternRange::Extension)
                                          : int(PatternRange::Name));
        }
        QWidget* w = control(s.control);
        if (auto* box = qobject_cast<QCheckBox*>(w))
            return QString::number(box->isChecked() ? 1 : 0);
        if (auto* edit = qobject_cast<QLineEdit*>(w))
            return edit->text();
        if (auto* spin = qobject_cast<QSpinBox*>(w))
            return QString::number(spin->value());
        return QString::number(qobject_cast<QComboBox*>(w)->currentIndex());
    }
    void type(QWidget* w, const QString& text) {
        w->setFocus();
        QTest::keyClick(w, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(w, text);
    }
    // Sets the option in the dialog as a user does: a click, typing, a choice.
    void enter(const Setting& s) {
        QWidget* w = control(s.control);
        if (auto* box = qobject_cast<QCheckBox*>(w)) {
            if (box->isChecked() != (s.value != 0))
                click(box);
        } else if (qobject_cast<QLineEdit*>(w) || qobject_cast<QSpinBox*>(w)) {
            type(w, expected(s));
        } else {
            qobject_cast<QComboBox*>(w)->setCurrentIndex(s.value);
        }
    }
    void verifyShowsTheSettings() {
        for (const Setting& s : kSettings)
            QVERIFY2(shown(s) == expected(s), s.control);
    }

private slots:
    void initTestCase() { QApplication::setApplicationName(QStringLiteral("Zentarel Renamer")); }
    void init() { f = std::make_unique<WindowFixture>(); }
    void cleanup() { f.reset(); }

    void opensByItsShortcutAndFromTheMenu() {
        QCOMPARE(f->action("MoreRules1")->text(), "&More rules...");
        QCOMPARE(f->find<QMenu>("PopupMenu1")->actions().last(), f->action("MoreRules1"));
        QVERIFY(!dialog());  // made when it is first needed
        // The shortcut, with the focus in a field of the window.
        f->edit("Edit1")->setFocus();
        QTest::keyClick(f->edit("Edit1"), Qt::Key_M, Qt::ControlModifier);
        QDialog* d = dialog();
        QVERIFY(d && d->isVisible());
        QCOMPARE(f->edit("Edit1")->text(), "/tmp/");
        QCOMPARE(d->windowTitle(), "More rules");
        QVERIFY(!d->isModal());
        // Enter in a field leaves it open.
        QTest::keyClick(control("ExcludeMasks"), Qt::Key_Return);
        QVERIFY(d->isVisible());
        d->close();
        QCOMPARE(open(), d);
        QVERIFY(d->isVisible());
    }

    // Laid out for the desktop's font, whatever its size: every caption fits its control.
    void followsTheDesktopFont_data() {
        QTest::addColumn<int>("pixels");
        QTest::newRow("usual") << 12;
        QTest::newRow("twice the usual") << 24;
    }

    void followsTheDesktopFont() {
        QFETCH(int, pixels);
        const QFont desktop = QApplication::font();
        QFont font = desktop;
        font.setPixelSize(pixels);
        QApplication::setFont(font);
        f = std::make_unique<WindowFixture>();
        QDialog* d = open();
        QApplication::setFont(desktop);
        QCOMPARE(QFontInfo(d->font()).pixelSize(), pixels);
        // As a window system that honours its size hints shows it (the test's screen is small).
        d->resize(d->sizeHint());
        QCoreApplication::processEvents();
        for (QWidget* w : d->findChildren<QWidget*>()) {
            if (!w->isVisible() || w->objectName() == "Help")
                continue;
            if (qobject_cast<QCheckBox*>(w) || qobject_cast<QLabel*>(w) ||
                qobject_cast<QPushButton*>(w))
                QVERIFY2(
                    w->sizeHint().width() <= w->width() && w->sizeHint().height() <= w->height(),
                    qPrintable(w->objectName()));
        }
        QVERIFY(d->width() >= 25 * pixels);
    }

    void dialogAndRecordStayInStep() {
        open();
        for (const Setting& s : kSettings) {
            enter(s);
            QVERIFY2(recorded(s) == expected(s), s.control);
        }
        // The range's boxes are an exclusive pair, and neither is the name without extension.
        click(qobject_cast<QCheckBox*>(control("PatternInclusiveExtension")));
        QCOMPARE(settings().value(O::PatternRange), int(PatternRange::All));
        QVERIFY(!qobject_cast<QCheckBox*>(control("PatternOnlyExtension"))->isChecked());
        click(qobject_cast<QCheckBox*>(control("PatternInclusiveExtension")));
        QCOMPARE(settings().value(O::PatternRange), int(PatternRange::Name));
        // A step of 0 is no step: typed, it is not taken, and the box goes back.
        type(control("NumberStep"), "0");
        QCOMPARE(settings().value(O::NumberStep), -2);
        control("Unique")->setFocus();
        QCOMPARE(qobject_cast<QSpinBox*>(control("NumberStep"))->value(), -2);
        // The arrows step over it.
        settings().setValue(O::NumberStep, 1);
        QTest::keyClick(control("NumberStep"), Qt::Key_Down);
        QCOMPARE(settings().value(O::NumberStep), -1);

        // The record's changes show, whoever makes them.
        f->action("Restoredefaults1")->trigger();
        for (const Setting& s : kSettings) {
            const QString value = s.option == O::ScriptFormat ? "1"  // kept, as batch mode is
                                  : s.text                    ? QString()
                                           : QString::number(extendedInfo(s.option).defaultValue);
            QVERIFY2(shown(s) == value, s.control);
        }
        for (const Setting& s : kSettings) {
            if (s.text)
                settings().setText(s.option, s.text);
            else
                settings().setValue(s.option, s.value);
        }
        verifyShowsTheSettings();
    }

    void keptInSettingsFilesAndAcrossARestart() {
        open();
        for (const Setting& s : kSettings)
            enter(s);
        const QString file = QString::fromStdString(f->dir / "rules.rns");
        f->dialogs.chosenFile = file;
        f->action("Savesettings1")->trigger();
        f->action("Restoredefaults1")->trigger();
        settings().setValue(O::ScriptFormat, int(ScriptFormat::Bat));
        f->action("LoadSettings1")->trigger();
        verifyShowsTheSettings();
        QVERIFY(f->restart());
        QVERIFY(!dialog());
        open();
        verifyShowsTheSettings();
        QVERIFY(f->find("MoreRulesSign")->isVisible());
        QCOMPARE(f->dialogs.log, QStringList({"save Choose file ...", "open Choose file ..."}));
    }

    void disabledWhileACommandRuns() {
        QDialog* d = open();
        settings().setChecked(O::PatternReplace, true);
        f->window->busyOn();
        for (const QString& name : kTabOrder) {
            QWidget* w = control(name.toLatin1());
            QVERIFY2(w->isEnabled() == (name == "Close"), qPrintable(name));
        }
        // Opened during the run, it is as disabled.
        QVERIFY(f->action("MoreRules1")->isEnabled());
        d->close();
        f->window->MoreRules1Click();
        QVERIFY(!control("Pattern")->isEnabled());
        f->window->busyOff(false);
        for (const QString& name : kTabOrder)
            QVERIFY2(control(name.toLatin1())->isEnabled(), qPrintable(name));
        // The pattern's options follow its box, also after a run.
        click(qobject_cast<QCheckBox*>(control("PatternReplace")));
        f->window->busyOn();
        f->window->busyOff(false);
        for (const char* name :
             {"Pattern", "Replacement", "InsertField", "PatternAll", "PatternOnlyExtension"})
            QVERIFY2(!control(name)->isEnabled(), name);
        QVERIFY(control("NumberStart")->isEnabled());
    }

    void keyboardAndScreenReaderReachEveryControl() {
        open();
        click(qobject_cast<QCheckBox*>(control("PatternReplace")));
        QCOMPARE(QApplication::focusWidget(), control("Pattern"));
        for (Qt::Key key : {Qt::Key_Tab, Qt::Key_Backtab}) {
            control("PatternReplace")->setFocus();
            QStringList walked;
            for (int i = 0; i < kTabOrder.size(); ++i) {
                walked << QApplication::focusWidget()->objectName();
                QTest::keyClick(QApplication::focusWidget(), key);
            }
            QCOMPARE(QApplication::focusWidget()->objectName(), "PatternReplace");
            QStringList order = kTabOrder;
            if (key == Qt::Key_Backtab)
                std::reverse(order.begin() + 1, order.end());
            QCOMPARE(walked, order);
        }
        const std::map<QString, QString> names = {
            {"Pattern", "Pattern"},          {"Replacement", "Replace with"},
            {"NumberStart", "Number start"}, {"NumberStep", "Number step"},
            {"NumberOrder", "Number order"}, {"NumberScope", "Numbers counted"},
            {"ExcludeMasks", "Exclude"},     {"ScriptFormat", "Script format"},
        };
        for (const QString& name : kTabOrder) {
            QWidget* w = control(name.toLatin1());
            const auto field = names.find(name);
            const QString said =
                field != names.end() ? field->second : w->property("text").toString().remove('&');
            QVERIFY2(!said.isEmpty(), qPrintable(name));
            // Qt on Linux says a combo box's current item; the name set is used where Qt does.
            if (qobject_cast<QComboBox*>(w))
                QCOMPARE(w->accessibleName(), said);
            else
                QCOMPARE(QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name), said);
            if (name != "Close")
                QVERIFY2(!w->toolTip().isEmpty(), qPrintable(name));
        }
        // "Insert field" offers every field in its group, and puts it where the cursor is; each
        // example is one a run takes.
        auto* replacement = qobject_cast<QLineEdit*>(control("Replacement"));
        auto* problem = dialog()->findChild<QLabel*>("Problem");
        QStringList groups;
        QStringList inserted;
        for (QAction* action : dialog()->findChild<QMenu*>("InsertFieldMenu")->actions()) {
            if (action->isSeparator()) {
                groups << action->text();
                continue;
            }
            replacement->setText("Holiday ()");
            replacement->setCursorPosition(9);
            action->trigger();
            const QString field = action->text().section('\t', 0, 0);
            QCOMPARE(QString::fromStdString(settings().text(O::Replacement)),
                     "Holiday (" + field + ")");
            QVERIFY2(problem->text().isEmpty(), qPrintable(problem->text()));
            inserted << field;
        }
        QCOMPARE(groups, (QStringList{"Numbering", "The entry", "Photo", "Music"}));
        QCOMPARE(inserted.size(), 16);
        for (const char* field : {"{taken:%Y-%m-%d %H.%M.%S}", "{taken|modified:%Y%m%d}",
                                  "{artist}", "{track:2}", "{camera}", "{year}"})
            QVERIFY2(inserted.contains(field), field);
        // A field the run would refuse is named where it is typed.
        replacement->setText("{taken:%Y/%m}");
        QCOMPARE(problem->text(), "Invalid replacement at position 10: a name cannot hold '/'");
    }

    void aBadPatternOrFieldIsShownWhereItIsTyped_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("replacement");
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QString>("problem");
        // clang-format off
        const char* const rows[][5] = {
            {"unclosed group", "IMG_(\\d+", "$1", "",
             "Invalid pattern at position 8: the parentheses do not match"},
            {"backwards range", "[z-a]x", "", "",
             "Invalid pattern at position 4: a range in [] that runs backwards"},
            {"unknown field", "^IMG", "x{date}", "",
             "Invalid replacement at position 3: unknown field 'date'"},
            {"no such group", "^IMG", "$1", "",
             "Invalid replacement at position 1: the pattern has no group 1"},
            {"field in the prefix", "", "", "{n",
             "Invalid prefix at position 1: '{' without its '}'"},
            {"all well", "^IMG_(?<no>\\d+)", "${no} {{x}}", "{n:2}", ""},
        };
        // clang-format on
        for (const auto& row : rows)
            QTest::newRow(row[0]) << row[1] << row[2] << row[3] << row[4];
    }

    void aBadPatternOrFieldIsShownWhereItIsTyped() {
        QFETCH(QString, pattern);
        QFETCH(QString, replacement);
        QFETCH(QString, prefix);
        QFETCH(QString, problem);
        open();
        auto* shownProblem = qobject_cast<QLabel*>(control("Problem"));
        if (!pattern.isEmpty()) {
            click(qobject_cast<QCheckBox*>(control("PatternReplace")));
            type(control("Pattern"), pattern);
            type(control("Replacement"), replacement);
        } else {
            click(qobject_cast<QCheckBox*>(control("Fields")));
            settings().setChecked(Option::CheckBox2, true);
            type(f->edit("Edit2"), prefix);
        }
        QVERIFY2(problem.isEmpty() ? shownProblem->text().isEmpty()
                                   : shownProblem->text().startsWith(problem),
                 qPrintable(shownProblem->text()));
        QCOMPARE(shownProblem->isVisible(), !problem.isEmpty());
        QCOMPARE(control("Pattern")->accessibleDescription(), shownProblem->text());
        // No box while typing.
        QVERIFY(f->dialogs.log.isEmpty());
        if (problem.isEmpty())
            return;
        // Switched off, the rule refuses nothing.
        settings().setChecked(pattern.isEmpty() ? O::Fields : O::PatternReplace, false);
        QVERIFY(!shownProblem->isVisible());
    }

    // The sign: while any rule of the dialog is on, whatever switched it on.
    void theSignShowsTheRulesInForce_data() {
        QTest::addColumn<int>("option");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("names");
        const auto row = [](const char* name, O option, int value, const char* text,
                            const char* names) {
            QTest::newRow(name) << int(option) << value << text << names;
        };
        row("pattern", O::PatternReplace, 1, "More rules: pattern", "pattern replace");
        row("fields", O::Fields, 1, "More rules: fields", "fields in prefix/suffix");
        row("unique", O::Unique, 1, "More rules: unique", "unique names");
        row("exclude", O::ExcludeMasks, 1, "More rules: exclude", "exclude masks");
        row("hidden", O::SkipHidden, 1, "More rules: no hidden", "skip hidden");
        row("shell scripts", O::ScriptFormat, 1, "More rules: sh", "shell scripts");
        row("numbering alone", O::NumberStart, 5, "", "");
    }

    void theSignShowsTheRulesInForce() {
        QFETCH(int, option);
        QFETCH(int, value);
        QFETCH(QString, text);
        QFETCH(QString, names);
        const auto o = static_cast<ExtendedOption>(option);
        auto* sign = f->find<QLabel>("MoreRulesSign");
        QVERIFY(!sign->isVisible());
        settings().setChecked(Option::CheckBox13, true);  // scripts are written
        if (extendedInfo(o).kind == ExtendedKind::Text)
            settings().setText(o, "*.tmp");
        else
            settings().setValue(o, value);
        QCOMPARE(sign->isVisible(), !text.isEmpty());
        if (text.isEmpty())
            return;
        QCOMPARE(sign->text(), text);
        QCOMPARE(QAccessible::queryAccessibleInterface(sign)->text(QAccessible::Name),
                 "More rules on");
        QCOMPARE(QAccessible::queryAccessibleInterface(sign)->text(QAccessible::Description),
                 names);
        QVERIFY(sign->toolTip().contains(names));
        // In a free place: the design's components keep theirs.
        QVERIFY(sign->sizeHint().width() <= sign->width());
        for (const ComponentInfo& c : RenameSettings::components()) {
            const auto* w = f->window->findChild<QWidget*>(QString::fromLatin1(c.name));
            if (w && !w->isWindow() && w->isVisible())
                QVERIFY2(!clientRect(w).intersects(clientRect(sign)), c.name);
        }
        // Its rule off, it goes; the script format only counts while scripts are written.
        if (o == O::ScriptFormat)
            settings().setChecked(Option::CheckBox13, false);
        else if (extendedInfo(o).kind == ExtendedKind::Text)
            settings().setText(o, "");
        else
            settings().setValue(o, extendedInfo(o).defaultValue);
        QVERIFY(!sign->isVisible());
    }

    void theSignListsEveryRuleAndOpensTheDialog() {
        for (O o : {O::PatternReplace, O::Unique, O::SkipHidden})
            settings().setChecked(o, true);
        auto* sign = f->find<QLabel>("MoreRulesSign");
        QCOMPARE(QAccessible::queryAccessibleInterface(sign)->text(QAccessible::Description),
                 "pattern replace, unique names, skip hidden");
        // Whole rules as far as there is room, and how many more; never drawn over its
        // neighbours.
        QVERIFY2(QRegularExpression("^More rules: pattern(, unique(, no hidden)?)?( \\+[12])?$")
                     .match(sign->text())
                     .hasMatch(),
                 qPrintable(sign->text()));
        QVERIFY(sign->sizeHint().width() <= sign->width());
        QTest::mouseClick(sign, Qt::LeftButton);
        QTRY_VERIFY(dialog() && dialog()->isVisible());
    }

    void aScanUsesThePatternRule() {
        const std::string tree = f->dir / "photos";
        for (const char* name : {"IMG_0042.JPG", "DSC_7.JPG", "notes.txt"})
            writeFile(tree + "/" + name, "x");
        settings().setText(Option::Edit1, tree);
        settings().setText(Option::Edit3, "*.jpg");
        open();
        for (const Setting& s : {kSettings[0], kSettings[1], kSettings[2]})
            enter(s);
        click(f->button("Button5"));
        QCOMPARE(f->status(), "Scanning done, found 1 file(s) to be renamed.");
        QCOMPARE(f->rowCount(), 1);
        QCOMPARE(f->cell(0, 0), "IMG_0042.JPG");
        QCOMPARE(f->cell(0, 1), "Holiday 001 0042.JPG");
    }
};

QTEST_MAIN(MoreRulesTest)
#include "more_rules_test.moc"
