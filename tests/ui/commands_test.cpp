// SPDX-License-Identifier: GPL-3.0-or-later
// The commands driven through the window as a user drives them, by clicks on a temporary tree:
// what the list, the status bar, the buttons and the menu show at each step, Stop clicks while a
// walk runs, the questions answered both ways, and the window after an error.
#include <QApplication>
#include <QHeaderView>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTextDocumentFragment>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <set>
#include <thread>

#include "ui/preview_model.h"
#include "window_fixture.h"

using namespace zr;
using namespace zr::test;
using namespace std::chrono_literals;

namespace {

using Op = FaultyFileSystem::Op;

constexpr int kDeepLevels = 300;

// d/d/d/... kDeepLevels levels below `root`, each holding F.JPG.
void makeDeepTree(const std::string& root) {
    std::string path = root;
    for (int level = 0; level < kDeepLevels; ++level) {
        path += "/d";
        writeFile(path + "/F.JPG", "f");
    }
}

int countFiles(const std::string& root, const std::string& name) {
    int count = 0;
    for (const std::string& path : listTree(root)) {
        if (path == name || path.ends_with("/" + name))
            ++count;
    }
    return count;
}

}  // namespace

class CommandsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<WindowFixture> f;
    std::string tree;

    void setText(Option option, const std::string& text) {
        f->window->settings().setText(option, text);
    }
    QString qs(const std::string& s) const { return QString::fromStdString(s); }
    // The walk visits each directory slowly, so that it runs long enough to be interrupted.
    void slowDown() {
        f->fileSystem.onCall(Op::ListDirectory,
                             [](const std::string&) { std::this_thread::sleep_for(2ms); });
    }
    // Checks that the window is back at rest after a command.
    void verifyIdle() {
        QVERIFY(!f->window->renamer().commandRunning());
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(f->button("Button1")->text(), "&Go !");
        QCOMPARE(f->button("Button5")->text(), "&Scan");
        for (const char* name : {"Button1", "Button5", "Button2", "Edit1", "Edit3", "CheckBox1",
                                 "Label1", "CheckBox17"})
            QVERIFY2(f->find(name)->isEnabled(), name);
    }

private slots:
    void init() {
        f = std::make_unique<WindowFixture>();
        tree = f->dir / "tree";
        writeFile(tree + "/A.JPG", "aaaa");
        writeFile(tree + "/b.txt", "b");
        writeFile(tree + "/sub/C.JPG", "cc");
        setText(Option::Edit1, tree);
        setText(Option::Edit3, "*.jpg");
        f->window->settings().setChecked(Option::CheckBox4, true);  // lower case, whole name
    }
    void cleanup() { f.reset(); }

    void scanThenGoThenUndo() {
        QVERIFY(!f->find("CheckBox17")->isEnabled());
        click(f->button("Button5"));
        QCOMPARE(f->status(), "Scanning done, found 2 file(s) to be renamed.");
        QCOMPARE(f->rowCount(), 2);
        std::set<QString> rows;
        for (int r = 0; r < 2; ++r) {
            rows.insert(f->cell(r, 0) + "|" + f->cell(r, 1) + "|" + f->cell(r, 2));
            QVERIFY(QRegularExpression("^\\d{4}-\\d\\d-\\d\\d$").match(f->cell(r, 3)).hasMatch());
            QVERIFY(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d$").match(f->cell(r, 4)).hasMatch());
        }
        QCOMPARE(rows, (std::set<QString>{"A.JPG|a.jpg|4", "C.JPG|c.jpg|2"}));
        verifyIdle();
        QCOMPARE(f->edit("Edit1")->text(), qs(tree) + "/");
        QVERIFY(!f->find("Button3")->isEnabled());
        QVERIFY(!f->action("SaveUndoasbat1")->isEnabled());
        QCOMPARE(QApplication::focusWidget(), f->find("ComboBox1"));  // "Convert case" is on

        click(f->button("Button1"));
        QCOMPARE(f->status(), "Done, 2 file(s) renamed, 0 failure(s).");
        QCOMPARE(listTree(tree), (std::vector<std::string>{"a.jpg", "b.txt", "sub/", "sub/c.jpg"}));
        verifyIdle();
        QVERIFY(f->find("Button3")->isEnabled());
        QVERIFY(f->action("SaveUndoasbat1")->isEnabled());
        QVERIFY(!f->action("Viewlastfailurelog1")->isEnabled());
        QCOMPARE(f->rowCount(), 2);  // Go leaves the preview alone

        // A scan keeps the undo data and with it "&Undo".
        click(f->button("Button5"));
        QCOMPARE(f->status(), "Scanning done, found 0 file(s) to be renamed.");
        QCOMPARE(f->rowCount(), 0);
        QVERIFY(f->find("Button3")->isEnabled());

        click(f->button("Button3"));
        QCOMPARE(f->status(), "Undo done, 2 file(s) renamed back, 0 failure(s).");
        QCOMPARE(listTree(tree), (std::vector<std::string>{"A.JPG", "b.txt", "sub/", "sub/C.JPG"}));
        verifyIdle();
        QVERIFY(!f->find("Button3")->isEnabled());
        QVERIFY(!f->action("SaveUndoasbat1")->isEnabled());
        QVERIFY(f->dialogs.log.isEmpty());
    }

    void discardQuestionAnsweredNoKeepsTheUndoData() {
        click(f->button("Button1"));
        f->dialogs.answers = {false};
        click(f->button("Button1"));
        QCOMPARE(f->dialogs.log,
                 QStringList{"ask Are you sure to discard undo data within new rename ?"});
        QCOMPARE(f->status(), "Done, 2 file(s) renamed, 0 failure(s).");
        verifyIdle();
        QVERIFY(f->window->renamer().hasUndoData());
        QVERIFY(f->find("Button3")->isEnabled());
        click(f->button("Button3"));
        QCOMPARE(listTree(tree), (std::vector<std::string>{"A.JPG", "b.txt", "sub/", "sub/C.JPG"}));
    }

    void discardQuestionAnsweredYesStartsANewRun() {
        click(f->button("Button1"));
        f->dialogs.answers = {true};
        click(f->button("Button1"));
        QCOMPARE(f->dialogs.log,
                 QStringList{"ask Are you sure to discard undo data within new rename ?"});
        QCOMPARE(f->status(), "Done, 0 file(s) renamed, 0 failure(s).");
        verifyIdle();
        QVERIFY(!f->window->renamer().hasUndoData());
        QVERIFY(!f->find("Button3")->isEnabled());
        QVERIFY(!f->action("SaveUndoasbat1")->isEnabled());
    }

    void enterInAFieldPressesGo() {
        f->edit("Edit3")->setFocus();
        QTest::keyClick(f->edit("Edit3"), Qt::Key_Return);
        QCOMPARE(f->status(), "Done, 2 file(s) renamed, 0 failure(s).");
    }

    void stopClickDuringAScanOfADeepTree() {
        const std::string deep = f->dir / "deep";
        makeDeepTree(deep);
        setText(Option::Edit1, deep);
        slowDown();
        QString captionDuring;
        bool goEnabledDuring = true;
        int rowsDuring = -1;
        int listWidthDuring = 0;
        bool closedDuring = true;
        QTimer::singleShot(60, f->window.get(), [&] {
            captionDuring = f->button("Button5")->text();
            goEnabledDuring = f->button("Button1")->isEnabled();
            rowsDuring = f->rowCount();
            // The window stays live: it resizes, and refuses to close.
            f->window->resize(992, Tmain::kClientHeight);
            listWidthDuring = f->find("ListView1")->width();
            closedDuring = f->window->close();
            click(f->button("Button5"));
        });
        click(f->button("Button5"));

        QCOMPARE(captionDuring, "&Stop !");
        QVERIFY(!goEnabledDuring);
        QVERIFY(rowsDuring > 0);  // rows appear while the walk runs
        QCOMPARE(listWidthDuring, 1000 - 310);
        QVERIFY(!closedDuring);
        const int found = f->rowCount();
        QVERIFY2(found >= rowsDuring && found < kDeepLevels, qPrintable(QString::number(found)));
        QCOMPARE(f->status(), QString("Scanning done, found %1 file(s) to be renamed.").arg(found));
        QVERIFY(f->fileSystem.calls(Op::ListDirectory) < kDeepLevels);
        verifyIdle();
        QVERIFY(f->window->isVisible());
    }

    void stopClickDuringGo() {
        const std::string deep = f->dir / "deep";
        makeDeepTree(deep);
        setText(Option::Edit1, deep);
        slowDown();
        QString captionDuring;
        bool scanEnabledDuring = true;
        QTimer::singleShot(60, f->window.get(), [&] {
            captionDuring = f->button("Button1")->text();
            scanEnabledDuring = f->button("Button5")->isEnabled();
            click(f->button("Button1"));
        });
        click(f->button("Button1"));

        QCOMPARE(captionDuring, "&Stop !");
        QVERIFY(!scanEnabledDuring);
        const int renamed = countFiles(deep, "f.jpg");
        QVERIFY2(renamed > 0 && renamed < kDeepLevels, qPrintable(QString::number(renamed)));
        QCOMPARE(countFiles(deep, "F.JPG"), kDeepLevels - renamed);
        QCOMPARE(f->status(), QString("Done, %1 file(s) renamed, 0 failure(s).").arg(renamed));
        verifyIdle();
        QVERIFY(f->find("Button3")->isEnabled());
    }

    void eventsAreHandledOnceAFrameDuringAWalk() {
        const std::string deep = f->dir / "deep";
        makeDeepTree(deep);
        setText(Option::Edit1, deep);
        slowDown();
        // A zero timer fires once each time the window handles its events.
        int batches = 0;
        QTimer ticker;
        ticker.setInterval(0);
        connect(&ticker, &QTimer::timeout, [&] { ++batches; });
        ticker.start();
        QElapsedTimer elapsed;
        elapsed.start();
        click(f->button("Button5"));
        const qint64 ms = elapsed.elapsed();
        ticker.stop();

        QCOMPARE(f->rowCount(), kDeepLevels);
        // Two entries per level and one batch at most a frame, not one per entry.
        QVERIFY2(batches >= 2, qPrintable(QString::number(batches)));
        QVERIFY2(batches <= ms / Tmain::kEventIntervalMs + 2,
                 qPrintable(QString("%1 batches in %2 ms").arg(batches).arg(ms)));
    }

    void rowsAppearWhileTheWalkRuns() {
        const std::string deep = f->dir / "deep";
        makeDeepTree(deep);
        setText(Option::Edit1, deep);
        slowDown();  // about 0.6 s for the whole walk
        auto* list = f->find<QTableView>("ListView1");
        const int visibleRows =
            list->viewport()->height() / list->verticalHeader()->defaultSectionSize();
        // What the list holds each time the window handles its events during the walk.
        std::vector<int> shown;
        QTimer sampler;
        sampler.setInterval(0);
        connect(&sampler, &QTimer::timeout, [&] { shown.push_back(f->rowCount()); });
        sampler.start();
        click(f->button("Button5"));
        sampler.stop();
        QVERIFY(!shown.empty());
        QCOMPARE(f->rowCount(), kDeepLevels);
        // While the list has room, the rows found show at once (a frame later at most) ...
        QVERIFY(std::find_if(shown.begin(), shown.end(), [](int n) { return n > 0; }) !=
                shown.end());
        // ... and the ones below its visible part still reach it during the walk, for the
        // scroll bar.
        QVERIFY2(
            shown.back() > visibleRows,
            qPrintable(QString("%1 rows shown, %2 visible").arg(shown.back()).arg(visibleRows)));
    }

    void invalidMaskShowsTheErrorBoxAndLeavesTheWindowIdle() {
        setText(Option::Edit3, "*.[jpg");
        click(f->button("Button5"));
        QCOMPARE(f->dialogs.log, QStringList{"error '*.[jpg' is an invalid mask at (7)"});
        verifyIdle();

        f->dialogs.log.clear();
        click(f->button("Button1"));
        QCOMPARE(f->dialogs.log, QStringList{"error '*.[jpg' is an invalid mask at (7)"});
        verifyIdle();
        QVERIFY(!f->find("Button3")->isEnabled());
        QCOMPARE(listTree(tree), (std::vector<std::string>{"A.JPG", "b.txt", "sub/", "sub/C.JPG"}));

        // The window is fully usable again.
        f->edit("Edit3")->setText("*.jpg");
        click(f->button("Button5"));
        QCOMPARE(f->status(), "Scanning done, found 2 file(s) to be renamed.");
        QCOMPARE(f->rowCount(), 2);
    }

    // The status names the log; a click on it opens the log, as the menu item does.
    void failedRenameOffersTheFailureLog() {
        f->fileSystem.fail(Op::Rename, "/A.JPG", EACCES);
        click(f->button("Button1"));
        const std::string log = f->dir / "renamer_failures.log";
        QCOMPARE(f->status(),
                 qs("Done, 1 file(s) renamed, 1 failure(s).  [see failure log] " + log));
        QVERIFY(exists(log));
        const QString open = "open " + QUrl::fromLocalFile(qs(log)).toString();
        QTest::mouseClick(f->find("StatusBar1"), Qt::LeftButton);
        QCOMPARE(f->dialogs.log, QStringList{open});
        QAction* view = f->action("Viewlastfailurelog1");
        QVERIFY(view->isEnabled());
        view->trigger();
        QCOMPARE(f->dialogs.log, (QStringList{open, open}));
        // Undo's log is named the same way; a status without a log opens nothing.
        f->fileSystem.clear();
        f->fileSystem.fail(Op::Rename, "/c.jpg", EACCES);
        click(f->button("Button3"));
        const std::string undoLog = f->dir / "renamer_failures_1.log";
        QCOMPARE(
            f->status(),
            qs("Undo done, 0 file(s) renamed back, 1 failure(s).  [see failure log] " + undoLog));
        f->fileSystem.clear();
        click(f->button("Button5"));
        QTest::mouseClick(f->find("StatusBar1"), Qt::LeftButton);
        QCOMPARE(f->dialogs.log.size(), 2);
    }

    void batchRunNamesItsScripts() {
        f->window->settings().setChecked(Option::CheckBox13, true);
        click(f->button("Button1"));
        QCOMPARE(f->status(),
                 qs("Done, 2 file(s) placed in batch file.  [scripts: " + (f->dir / "renamer.bat") +
                    ", " + (f->dir / "renamer_undo.bat") + "]"));
        QVERIFY(exists(f->dir / "renamer_undo.bat"));
    }

    // Enter in "Start dir" confirms the folder as leaving the field does; it never starts Go.
    void enterInTheStartDirFieldConfirmsTheFolder() {
        QLineEdit* edit1 = f->edit("Edit1");
        edit1->setFocus();
        edit1->setText(qs(tree));
        QTest::keyClick(edit1, Qt::Key_Return);
        QCOMPARE(edit1->text(), qs(tree + "/"));
        QCOMPARE(QApplication::focusWidget(), edit1);
        QCOMPARE(f->status(), QString::fromLatin1(Tmain::kHomePage));
        QCOMPARE(listTree(tree), (std::vector<std::string>{"A.JPG", "b.txt", "sub/", "sub/C.JPG"}));
        QVERIFY(!f->window->renamer().hasUndoData());
    }

    void rowsThatWillFailAreMarkedInTheNewNameCell() {
        writeFile(tree + "/a.jpg", "taken");  // what A.JPG would become
        click(f->button("Button5"));
        QCOMPARE(f->status(), "Scanning done, found 2 file(s) to be renamed, 1 will fail.");
        const QAbstractItemModel* model = f->find<QTableView>("ListView1")->model();
        for (int r = 0; r < 2; ++r) {
            const bool fails = f->cell(r, 0) == "A.JPG";
            const QModelIndex cell = model->index(r, 1);
            QCOMPARE(model->data(cell, Qt::DecorationRole).value<QIcon>().isNull(), !fails);
            // Words, not only a picture: the tooltip and what a screen reader says.
            const QString why = fails ? "This rename will fail: another entry of this folder has "
                                        "the new name and keeps it; nothing is overwritten."
                                      : QString();
            QCOMPARE(model->data(cell, Qt::AccessibleDescriptionRole).toString(), why);
            QVERIFY(model->data(model->index(r, 0), Qt::DecorationRole).isNull());
            // Every cell tells the whole names and the folder, which the columns cut off.
            const QString folder = qs(fails ? tree : tree + "/sub");
            const QString expected = "current name: " + f->cell(r, 0) +
                                     "\nnew name: " + f->cell(r, 1) + "\nfolder: " + folder +
                                     (fails ? "\n" + why : QString());
            for (int c = 0; c < 5; ++c) {
                const QString tip = model->data(model->index(r, c), Qt::ToolTipRole).toString();
                QCOMPARE(QTextDocumentFragment::fromHtml(tip).toPlainText(), expected);
            }
        }
        click(f->button("Button1"));
        QCOMPARE(f->status(), qs("Done, 1 file(s) renamed, 1 failure(s).  [see failure log] " +
                                 (f->dir / "renamer_failures.log")));
    }

    // An entry the rules give no new name is marked with their reason and counted, and Go logs
    // it among the failures.
    void rowsTheRulesFailSayWhy() {
        RenameSettings& settings = f->window->settings();
        settings.setChecked(Option::CheckBox2, true);
        settings.setText(Option::Edit2, "{taken} ");
        settings.setChecked(ExtendedOption::Fields, true);
        click(f->button("Button5"));
        QCOMPARE(f->status(), "Scanning done, found 2 file(s) to be renamed, 2 will fail.");
        const QAbstractItemModel* model = f->find<QTableView>("ListView1")->model();
        const QModelIndex cell = model->index(0, 1);
        QVERIFY(!model->data(cell, Qt::DecorationRole).value<QIcon>().isNull());
        QCOMPARE(model->data(cell, Qt::AccessibleDescriptionRole).toString(),
                 "This entry will not be renamed: no date taken.");
        click(f->button("Button1"));
        QCOMPARE(f->status(), qs("Done, 0 file(s) renamed, 2 failure(s).  [see failure log] " +
                                 (f->dir / "renamer_failures.log")));
        QCOMPARE(listTree(tree), (std::vector<std::string>{"A.JPG", "b.txt", "sub/", "sub/C.JPG"}));
    }

    void marksReachRowsAlreadyShownAndRowsShownLater() {
        PreviewModel model(f->clock, nullptr);
        PreviewRow row;
        row.currentName = "A";
        row.newName = "b";
        model.append(row);
        model.append(row);
        model.publish();
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        const RowOutcome shown[] = {{0, Conflict::Taken}, {1, Conflict::None}};
        model.settle("/f", shown);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed[0][0].toModelIndex(), model.index(0, 1));
        QCOMPARE(changed[0][1].toModelIndex(), model.index(0, 1));
        model.append(row);
        const RowOutcome waiting[] = {{2, Conflict::SameNewName}};
        model.settle("/f", waiting);
        QCOMPARE(changed.count(), 1);
        model.publish();
        QVERIFY(model.data(model.index(2, 1), Qt::AccessibleDescriptionRole)
                    .toString()
                    .endsWith("same name first."));
        QVERIFY(!model.data(model.index(1, 1), Qt::ToolTipRole).toString().contains("will fail"));
    }

    void emptyStartDirectoryWarnsAndRenamesNothing() {
        // No recursion and a filter that matches nothing: harmless even if "" meant the root.
        f->window->settings().setChecked(Option::CheckBox1, false);
        setText(Option::Edit3, "no-such-name-*");
        f->edit("Edit1")->clear();
        const int listings = f->fileSystem.calls(Op::ListDirectory);
        click(f->button("Button1"));
        QCOMPARE(f->dialogs.log, QStringList{"Warning Cannot find directory "});
        QCOMPARE(f->fileSystem.calls(Op::ListDirectory), listings);
        QCOMPARE(f->edit("Edit1")->text(), "");
        verifyIdle();
        QVERIFY(!f->find("Button3")->isEnabled());
    }

    void undoAfterFailuresLeavesTheFailedEntriesAlone() {
        writeFile(tree + "/a.jpg", "the user's");  // lower-casing A.JPG fails on it
        click(f->button("Button1"));
        QCOMPARE(f->status(), qs("Done, 1 file(s) renamed, 1 failure(s).  [see failure log] " +
                                 (f->dir / "renamer_failures.log")));
        std::filesystem::remove(tree + "/A.JPG");  // the user clears the blocking file away
        click(f->button("Button3"));
        QCOMPARE(f->status(), "Undo done, 1 file(s) renamed back, 0 failure(s).");
        QCOMPARE(readFile(tree + "/a.jpg"), "the user's");
        QVERIFY(exists(tree + "/sub/C.JPG"));
        verifyIdle();
    }

    // Undo and the undo export take no input until they end: meanwhile the window says what runs
    // and for how many renames, as Go's "Renaming" does.
    void undoAndTheExportShowTheyAreRunning() {
        click(f->button("Button1"));
        QStringList seen;
        f->fileSystem.onCall(Op::CreateFile, [&](const std::string&) {
            seen << f->button("Button3")->text() + "|" + f->status();
        });
        click(f->button("Button3"));
        QCOMPARE(seen, QStringList{"Undoing|Undoing 2 rename(s) ..."});
        QCOMPARE(f->button("Button3")->text(), "&Undo");
        QCOMPARE(f->status(), "Undo done, 2 file(s) renamed back, 0 failure(s).");

        click(f->button("Button1"));
        seen.clear();
        f->action("SaveUndoasbat1")->trigger();
        QCOMPARE(seen, QStringList{"&Undo|Writing the undo script of 2 rename(s) ..."});
        // The export changes no status: the run's closing text comes back.
        QCOMPARE(f->status(), "Done, 2 file(s) renamed, 0 failure(s).");
        verifyIdle();
    }

    void undoScriptExportFromTheMenu() {
        click(f->button("Button1"));
        f->action("SaveUndoasbat1")->trigger();
        QCOMPARE(f->dialogs.log,
                 QStringList{"Information Undo file 'renamer_undo.bat' written succesfully."});
        QVERIFY(exists(f->dir / "renamer_undo.bat"));
        QVERIFY(f->find("Button3")->isEnabled());  // the undo data stays
    }
};

QTEST_MAIN(CommandsTest)
#include "commands_test.moc"
