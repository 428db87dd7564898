// SPDX-License-Identifier: GPL-3.0-or-later
// The window while a Scan or Go walks, driven as a hurried user drives it: access keys, clicks,
// held keys and the popup menu during the run. Whatever arrives, a run is the only command until
// it ends, keeps the options it started with, and nothing starts by accident. Every test checks
// the disk afterwards: the start directory lies among look-alike folders that must stay as
// they are.
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "window_fixture.h"

using namespace zr;
using namespace zr::test;
using namespace std::chrono_literals;

namespace {

using Op = FaultyFileSystem::Op;
using Tree = std::map<std::string, std::string>;

constexpr int kFolders = 40;

// Runs `action` once, from the event processing of a walk, after it has left `folders` folders.
// Each folder takes a moment, so that the walk spans several frames and handles events again
// after that.
void duringRun(FaultyFileSystem& fs, int folders, std::function<void()> action) {
    auto left = std::make_shared<int>(0);
    onLeavingFolder(fs, [left, folders, action] {
        std::this_thread::sleep_for(2ms);
        if (++*left == folders)
            QTimer::singleShot(0, qApp, action);
    });
}

void autoRepeatReturn(QWidget* widget) {
    QTest::simulateEvent(widget, true, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"), true);
}

}  // namespace

class BusyWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<WindowFixture> f;
    std::string around;  // the folders around the start directory
    std::string photos;  // the start directory
    Tree aroundBefore;

    RenameSettings& settings() { return f->window->settings(); }

    // Everything around the start directory, which no run may touch.
    Tree outside() const {
        Tree tree;
        for (const auto& [path, content] : snapshotTree(around)) {
            if (!path.starts_with("b/photos"))
                tree[path] = content;
        }
        return tree;
    }

    void waitUntilIdle() {
        QTRY_VERIFY_WITH_TIMEOUT(!f->window->renamer().commandRunning(), 20000);
        // Access keys click their button a moment later: let every pending one arrive.
        QTest::qWait(250);
        QVERIFY(!f->window->renamer().commandRunning());
    }

    // The window at rest: captions and enabled states as after any run.
    void verifyAtRest() {
        const bool undo = f->window->renamer().hasUndoData();
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(f->button("Button1")->text(), "&Go !");
        QCOMPARE(f->button("Button5")->text(), "&Scan");
        for (const char* name : {"Button1", "Button5", "Button2", "Edit1", "CheckBox1"})
            QVERIFY2(f->find(name)->isEnabled(), name);
        QCOMPARE(f->button("Button3")->isEnabled(), undo);
        QCOMPARE(f->action("SaveUndoasbat1")->isEnabled(), undo);
        for (const char* name : {"Savesettings1", "LoadSettings1", "Restoredefaults1"})
            QVERIFY2(f->action(name)->isEnabled(), name);
    }

    // The names of the start directory's tree.
    std::vector<std::string> photoNames() const { return listTree(photos); }

    int count(const std::string& name) const {
        int n = 0;
        for (const std::string& path : photoNames())
            n += path.ends_with("/" + name) ? 1 : 0;
        return n;
    }

    // Clicks an item of the popup menu, as a user does: the menu opened at the list, then a
    // click on the item.
    void chooseFromMenu(const char* item) {
        QWidget* list = f->find("ListView1");
        QContextMenuEvent open(QContextMenuEvent::Mouse, list->rect().center(),
                               list->mapToGlobal(list->rect().center()));
        QApplication::sendEvent(f->window.get(), &open);
        auto* menu = f->find<QMenu>("PopupMenu1");
        QTRY_VERIFY(menu->isVisible());
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(f->action(item)).center());
        menu->hide();
    }

private slots:
    void init() {
        f = std::make_unique<WindowFixture>();
        around = f->dir / "a";
        photos = around + "/b/photos";
        for (int i = 0; i < kFolders; ++i) {
            const std::string folder = "/D" + std::to_string(i);
            writeFile(photos + folder + "/F.JPG", "photo " + std::to_string(i));
            // Look-alikes where a walk that lost its place would look.
            writeFile(around + folder + "/F.JPG", "look-alike");
            writeFile(around + "/b" + folder + "/F.JPG", "look-alike");
        }
        writeFile(around + "/F.JPG", "look-alike");
        writeFile(around + "/b/F.JPG", "look-alike");
        aroundBefore = outside();
        settings().setText(Option::Edit1, photos);
        settings().setText(Option::Edit3, "*.jpg");
        settings().setChecked(Option::CheckBox4, true);  // lower case, whole name
        settings().setChecked(Option::CheckBox6, true);
        // Each folder takes a moment, so that a run spans many rounds of events.
        f->fileSystem.onCall(Op::ListDirectory,
                             [](const std::string&) { std::this_thread::sleep_for(3ms); });
    }

    void cleanup() {
        if (f)
            QCOMPARE(outside(), aroundBefore);
        f.reset();
    }

    void scanByAccessKeyInsideAGoIsNotStarted() {
        QTest::keyClick(f->window.get(), Qt::Key_G, Qt::AltModifier);
        QTest::keyClick(f->window.get(), Qt::Key_S, Qt::AltModifier);
        waitUntilIdle();
        QCOMPARE(count("f.jpg"), kFolders);
        // The Scan came after the Go, not inside it: it finds everything renamed.
        QCOMPARE(f->status(), "Scanning done, found 0 file(s) to be renamed.");
        verifyAtRest();
    }

    void anAccessKeyNeverClicksLaterThanItWasPressed() {
        // During a Go, Alt+S is the access key of "&Stop !": it stops the run, and must not
        // click the button again once it reads "&Go !".
        // Pressed at the last folder, so the run is over well before a tenth of a second.
        duringRun(f->fileSystem, kFolders,
                  [this] { QTest::keyClick(f->window.get(), Qt::Key_S, Qt::AltModifier); });
        click(f->button("Button1"));
        waitUntilIdle();
        const int renamed = count("f.jpg");
        QVERIFY(f->status().startsWith(QString("Done, %1 file(s) renamed").arg(renamed)));
        QCOMPARE(f->dialogs.log, QStringList{});
        verifyAtRest();
    }

    void goByAccessKeyInsideAScanIsNotStarted() {
        click(f->button("Button1"));  // undo data that a Go inside the Scan would throw away
        QCOMPARE(count("f.jpg"), kFolders);
        f->dialogs.log.clear();
        settings().setItemIndex(kUpperCase);
        QTest::keyClick(f->window.get(), Qt::Key_S, Qt::AltModifier);
        QTest::keyClick(f->window.get(), Qt::Key_G, Qt::AltModifier);
        waitUntilIdle();
        // The Go came after the Scan, whole: it asked once and renamed everything.
        QCOMPARE(f->dialogs.log,
                 QStringList{"ask Are you sure to discard undo data within new rename ?"});
        QCOMPARE(f->rowCount(), kFolders);
        QCOMPARE(count("F.JPG"), kFolders);
        QCOMPARE(f->status(), QString("Done, %1 file(s) renamed, 0 failure(s).").arg(kFolders));
        verifyAtRest();
        click(f->button("Button3"));  // its undo data is whole
        QCOMPARE(count("f.jpg"), kFolders);
    }

    void undoByAccessKeyInsideAScanIsNotStarted() {
        click(f->button("Button1"));
        QTest::keyClick(f->window.get(), Qt::Key_S, Qt::AltModifier);
        QTest::keyClick(f->window.get(), Qt::Key_U, Qt::AltModifier);
        waitUntilIdle();
        // The Scan saw the tree as Go left it; the Undo came after it.
        QCOMPARE(f->rowCount(), 0);
        QCOMPARE(count("F.JPG"), kFolders);
        QCOMPARE(f->status(),
                 QString("Undo done, %1 file(s) renamed back, 0 failure(s).").arg(kFolders));
        verifyAtRest();
    }

    void popupMenuCannotChangeARun_data() {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("settingsFile");
        QTest::newRow("restore defaults drops the prefix") << "Restoredefaults1"
                                                           << "";
        QTest::newRow("loading turns batch mode off") << "LoadSettings1"
                                                      << "ch32=0";
        QTest::newRow("loading turns only-directories on") << "LoadSettings1"
                                                           << "ch40=1";
    }

    void popupMenuCannotChangeARun() {
        QFETCH(QString, item);
        QFETCH(QString, settingsFile);
        const bool batch = settingsFile == "ch32=0";
        settings().setChecked(Option::CheckBox2, true);  // a prefix
        settings().setText(Option::Edit2, "p_");
        settings().setChecked(Option::CheckBox13, batch);
        const std::string file = f->dir / "other.rns";
        writeFile(file, "[Renamer Settings]\nver=1005\n" + settingsFile.toStdString() + "\n");
        f->dialogs.chosenFile = QString::fromStdString(file);
        duringRun(f->fileSystem, kFolders / 4,
                  [&] { chooseFromMenu(item.toLatin1().constData()); });
        click(f->button("Button1"));
        waitUntilIdle();
        if (batch) {
            QCOMPARE(count("F.JPG"), kFolders);  // batch mode renames nothing
            QVERIFY(exists(f->dir / "renamer.bat"));
        } else {
            QCOMPARE(count("p_f.jpg"), kFolders);
            QCOMPARE(listNames(photos).front(), "D0");  // no folder was handed to the rules
        }
        QVERIFY(settings().checked(Option::CheckBox2));
        QCOMPARE(settings().checked(Option::CheckBox13), batch);
        QVERIFY(!settings().checked(Option::CheckBox14));
        verifyAtRest();
    }

    void heldReturnOnGoRunsItOnce() {
        QPushButton* go = f->button("Button1");
        go->setFocus();
        duringRun(f->fileSystem, 5, [go] {
            for (int i = 0; i < 5; ++i)
                autoRepeatReturn(go);
        });
        QTest::keyPress(go, Qt::Key_Return);
        for (int i = 0; i < 5; ++i)
            autoRepeatReturn(go);
        QTest::keyRelease(go, Qt::Key_Return);
        waitUntilIdle();
        QCOMPARE(f->dialogs.log, QStringList{});  // no second run asked to discard the undo data
        QCOMPARE(count("f.jpg"), kFolders);       // and the one run was not stopped early
        verifyAtRest();
        click(f->button("Button3"));
        QCOMPARE(count("F.JPG"), kFolders);
    }

    void aDoubleClickOnStopStartsNoNewRun() {
        // The second click of a quick double click on "&Stop !" lands after the run has ended.
        const int interval = QApplication::doubleClickInterval();
        QApplication::setDoubleClickInterval(60000);  // however slow this machine is today
        QPushButton* go = f->button("Button1");
        duringRun(f->fileSystem, 3, [go] { click(go); });
        click(go);
        const int renamed = count("f.jpg");
        QVERIFY(renamed < kFolders);
        click(go);
        QApplication::setDoubleClickInterval(interval);
        QCOMPARE(count("f.jpg"), renamed);
        QCOMPARE(f->dialogs.log, QStringList{});
        verifyAtRest();
        // Once the moment has passed, Go is Go again.
        QTest::qWait(interval + 50);
        f->dialogs.answers = {false};
        click(go);
        QCOMPARE(f->dialogs.log,
                 QStringList{"ask Are you sure to discard undo data within new rename ?"});
    }

    void clicksThatArriveAfterTheWalkStartNothing_data() {
        QTest::addColumn<int>("op");
        QTest::newRow("a second Stop click") << static_cast<int>(Op::CreateFile);
        QTest::newRow("clicks while renaming") << static_cast<int>(Op::Rename);
    }

    void clicksThatArriveAfterTheWalkStartNothing() {
        QFETCH(int, op);
        QPushButton* go = f->button("Button1");
        const bool stopFirst = op == static_cast<int>(Op::CreateFile);
        if (stopFirst)
            duringRun(f->fileSystem, 3, [go] { click(go); });
        // After the walk the window takes no events until the run ends: these wait till then.
        std::atomic<bool> posted = false;
        const LaterClick clicks[] = {LaterClick(go), LaterClick(f->button("Button3"))};
        f->fileSystem.onCall(static_cast<Op>(op), [&](const std::string&) {
            if (!posted.exchange(true)) {
                for (const LaterClick& click : clicks)
                    click.post();
            }
        });
        click(go);
        waitUntilIdle();
        QVERIFY(posted);
        const int renamed = count("f.jpg");
        QVERIFY(stopFirst ? renamed < kFolders : renamed == kFolders);
        QCOMPARE(f->dialogs.log, QStringList{});
        QVERIFY(f->status().startsWith(QString("Done, %1 file(s) renamed").arg(renamed)));
        verifyAtRest();
    }
};

QTEST_MAIN(BusyWindowTest)
#include "busy_window_test.moc"
