// SPDX-License-Identifier: GPL-3.0-or-later
// A monkey at the window: random clicks, access keys, held keys and popup-menu choices delivered
// while Scan, Go and Undo run, seed after seed. After each run nothing outside the start
// directory has changed, the run's outcome is exactly what the same run gives when nobody
// touches the window, the options are as they were, and the window is at rest. A failure names
// its seed; ZR_MONKEY_SEEDS and ZR_MONKEY_FIRST_SEED choose the runs.
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <random>
#include <thread>

#include "rename/rename_executor.h"
#include "rename/renamer.h"
#include "window_fixture.h"

using namespace zr;
using namespace zr::test;
using namespace std::chrono_literals;

namespace {

using Op = FaultyFileSystem::Op;
using Tree = std::map<std::string, std::string>;

enum class Command { Scan, Go, Batch, GoThenUndo };

const char* commandName(Command c) {
    switch (c) {
        case Command::Scan:
            return "scan";
        case Command::Go:
            return "go";
        case Command::Batch:
            return "go in batch mode";
        case Command::GoThenUndo:
            return "go, then undo";
    }
    return "";
}

int envNumber(const char* name, int fallback) {
    const char* value = std::getenv(name);
    return value && *value ? std::atoi(value) : fallback;
}

// The tree of one seed: a few folders of files whose names the rules change, some of them
// colliding, so that failures and the failure log take part too.
void buildTree(const std::string& root, std::mt19937& rng) {
    const int folders = 6 + static_cast<int>(rng() % 6);
    for (int i = 0; i < folders; ++i) {
        const std::string folder = root + "/Dir" + std::to_string(i);
        writeFile(folder + "/IMG" + std::to_string(i) + ".JPG", "photo");
        writeFile(folder + "/Other.JPG", "other");
        if (rng() % 3 == 0)
            writeFile(folder + "/other.jpg", "taken");  // Other.JPG cannot become it
    }
}

// The options of one seed.
void chooseOptions(RenameSettings& settings, const std::string& start, Command command,
                   std::mt19937& rng) {
    settings.setText(Option::Edit1, start + "/");  // as a run leaves it
    settings.setText(Option::Edit3, "*.jpg");
    settings.setChecked(Option::CheckBox1, true);
    settings.setChecked(Option::CheckBox4, true);
    settings.setItemIndex(rng() % 2 == 0 ? kLowerCase : kUpperCase);
    settings.setChecked(Option::CheckBox6, true);
    const bool prefix = rng() % 2 == 0;
    settings.setChecked(Option::CheckBox2, prefix);
    settings.setText(Option::Edit2, prefix ? "p_" : "");
    settings.setChecked(Option::CheckBox14, rng() % 4 == 0);
    settings.setChecked(Option::CheckBox13, command == Command::Batch);
}

std::vector<std::string> optionValues(const RenameSettings& settings) {
    std::vector<std::string> values;
    for (const OptionInfo& o : RenameSettings::all()) {
        values.push_back(o.kind == ControlKind::CheckBox ? (settings.checked(o.option) ? "1" : "0")
                         : o.kind == ControlKind::Edit   ? settings.text(o.option)
                                                         : std::to_string(settings.itemIndex()));
    }
    return values;
}

}  // namespace

class MonkeyTest : public QObject {
    Q_OBJECT

    std::unique_ptr<WindowFixture> f;
    std::mt19937 rng;
    Command command = Command::Go;
    // The button of the command now running: the monkey does not press its Stop, which would
    // change the outcome on purpose.
    const char* runningButton = "Button1";
    int actions = 0;

    QWidget* widget(const char* name) { return f->find(name); }

    void chooseFromMenu(const char* item) {
        QWidget* list = widget("ListView1");
        QContextMenuEvent open(QContextMenuEvent::Mouse, list->rect().center(),
                               list->mapToGlobal(list->rect().center()));
        QApplication::sendEvent(f->window.get(), &open);
        auto* menu = f->find<QMenu>("PopupMenu1");
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(f->action(item)).center());
        menu->hide();
    }

    // Posts a click that the window receives later, as input that waits while it is busy.
    void postClick(QWidget* target) { LaterClick(target).post(); }

    // One random thing a hurried user does while a command runs.
    void act() {
        // A timer set during a run may come due after it: by then this is ordinary use.
        if (!f->window->renamer().commandRunning())
            return;
        ++actions;
        static const char* const kButtons[] = {"Button1", "Button2", "Button3", "Button5"};
        static const char* const kOthers[] = {"CheckBox1",  "CheckBox4", "CheckBox13",
                                              "CheckBox14", "ListView1", "Edit3"};
        static const char* const kItems[] = {"Savesettings1", "LoadSettings1", "Restoredefaults1",
                                             "SaveUndoasbat1", "Viewlastfailurelog1"};
        static const std::pair<Qt::Key, const char*> kAccessKeys[] = {
            {Qt::Key_G, "Button1"}, {Qt::Key_U, "Button3"}, {Qt::Key_S, "Button5"}};
        QWidget* window = f->window.get();
        const unsigned choice = rng() % 7;
        if (std::getenv("ZR_MONKEY_TRACE"))
            qInfo("monkey: action %u, focus %s, status %s", choice,
                  qPrintable(QApplication::focusWidget() ? QApplication::focusWidget()->objectName()
                                                         : QString()),
                  qPrintable(f->status()));
        switch (choice) {
            case 0: {
                const char* name = kButtons[rng() % 4];
                if (std::string(name) != runningButton)
                    click(f->button(name));
                break;
            }
            case 1: {
                QWidget* w = widget(kOthers[rng() % 6]);
                QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(6, w->height() / 2));
                break;
            }
            case 2: {
                // Not the running command's Stop: its caption "&Stop !" has the access key S.
                const auto& [key, button] = kAccessKeys[rng() % 3];
                if (std::string(button) != runningButton && key != Qt::Key_S)
                    QTest::keyClick(window, key, Qt::AltModifier);
                break;
            }
            case 3: {
                // A key held down: repeats of Return, Space or an access key.
                QWidget* target = rng() % 2 == 0 ? widget(runningButton) : window;
                const auto& [key, button] = kAccessKeys[rng() % 3];
                const bool access = rng() % 2 == 0;
                for (int i = 0; i < 3; ++i)
                    QTest::simulateEvent(target, true, access ? key : Qt::Key_Return,
                                         access ? Qt::AltModifier : Qt::NoModifier,
                                         access ? QString() : QStringLiteral("\r"), true);
                (void)button;
                break;
            }
            case 4:
                chooseFromMenu(kItems[rng() % 5]);
                break;
            case 5:
                QTest::keyClicks(widget("Edit3"), "x");
                break;
            default: {
                // A click that waits in the queue until the window takes events again.
                const char* name = kButtons[rng() % 4];
                if (std::string(name) != runningButton)
                    postClick(f->button(name));
                break;
            }
        }
    }

    // Lets the monkey act now and then while the run walks, renames or writes. Listings are
    // read ahead and renames carried out on other threads: their hooks only wait or post
    // clicks, and draw no numbers, so that a seed still replays the same actions.
    void unleash() {
        onLeavingFolder(f->fileSystem, [this] {
            std::this_thread::sleep_for(4ms);  // a walk that spans several frames
            if (rng() % 3 == 0)
                QTimer::singleShot(0, this, [this] { act(); });
        });
        // Past the walk a run takes no events: clicks wait until it has ended, on its own
        // button too, since nothing can be stopped there any more.
        f->fileSystem.onCall(Op::CreateFile, [this](const std::string&) {
            if (rng() % 3 == 0)
                QTimer::singleShot(0, this, [this] { act(); });
            if (rng() % 4 == 0)
                postClick(f->button(rng() % 2 ? "Button1" : "Button3"));
        });
        auto renames = std::make_shared<std::atomic<int>>(0);
        const auto clicks = std::make_shared<std::vector<LaterClick>>(std::vector<LaterClick>{
            LaterClick(f->button("Button1")), LaterClick(f->button("Button3"))});
        f->fileSystem.onCall(Op::Rename, [renames, clicks](const std::string&) {
            const int n = ++*renames;
            if (n % 4 == 0)
                (*clicks)[(n / 4) % 2].post();
        });
    }

    // What the run gives when nobody touches anything: the same options on a copy of the tree,
    // driven without a window.
    struct Outcome {
        Tree tree;
        std::string status;
        std::size_t rows = 0;
        bool undoData = false;
    };

    Outcome untouched(const RenameSettings& options, const std::string& copy,
                      const std::string& work) {
        std::unique_ptr<FileSystem> fs = makePosixFileSystem();
        FaultyFileSystem base(*fs);
        base.setInitialDirectory(work);
        FixedClock clock;
        RecordingView view;
        RenameSettings settings = options;
        settings.setText(Option::Edit1, copy);
        Renamer renamer(settings, base, clock, view);
        if (command == Command::Scan)
            renamer.Button5Click();
        else
            renamer.Button1Click();
        if (command == Command::GoThenUndo)
            renamer.Button3Click();
        return {snapshotTree(copy), view.status, view.rows.size(), renamer.hasUndoData()};
    }

    void waitUntilIdle() {
        QTRY_VERIFY_WITH_TIMEOUT(!f->window->renamer().commandRunning(), 20000);
        // Access keys click their button a moment later: let every pending one arrive.
        QTest::qWait(120);
        QTRY_VERIFY_WITH_TIMEOUT(!f->window->renamer().commandRunning(), 20000);
    }

    void runSeed(unsigned seed) {
        rng.seed(seed);
        command = static_cast<Command>(rng() % 4);
        f = std::make_unique<WindowFixture>();
        const std::string start = f->dir / "a/photos";
        const std::string copy = f->dir / "untouched/photos";
        buildTree(start, rng);
        makeDirectory(copy);
        std::filesystem::copy(start, copy, std::filesystem::copy_options::recursive);
        // Look-alikes around the start directory, where a run that lost its place would look.
        std::filesystem::copy(start, f->dir / "a", std::filesystem::copy_options::recursive);
        std::filesystem::copy(start, f->dir / "a/photos-lookalike",
                              std::filesystem::copy_options::recursive);
        RenameSettings& settings = f->window->settings();
        chooseOptions(settings, start, command, rng);
        // A settings file the monkey may try to load, that would change any run.
        const std::string other = f->dir / "other.rns";
        writeFile(other, "[Renamer Settings]\nver=1005\nch13=0\nch40=1\nch15=0\ned14=zz_\n");
        f->dialogs.chosenFile = QString::fromStdString(other);
        f->dialogs.chosenDirectory = QString::fromStdString(f->dir / "a");
        const std::vector<std::string> optionsBefore = optionValues(settings);
        auto outsideNow = [&] {
            Tree tree;
            for (const auto& [path, content] : snapshotTree(f->dir / "a"))
                if (!path.starts_with("photos/"))
                    tree[path] = content;
            return tree;
        };
        const Tree outsideBefore = outsideNow();
        const Outcome expected = untouched(settings, copy, f->dir / "untouched");
        const std::string what = "seed " + std::to_string(seed) + " (" + commandName(command) + ")";

        unleash();
        runningButton = command == Command::Scan ? "Button5" : "Button1";
        click(f->button(runningButton));
        waitUntilIdle();
        if (command == Command::GoThenUndo) {
            runningButton = "Button3";
            click(f->button("Button3"));
            waitUntilIdle();
        }
        f->fileSystem.clear();
        QCoreApplication::processEvents();

        QVERIFY2(outsideNow() == outsideBefore, what.c_str());
        const Tree now = snapshotTree(start);
        if (now != expected.tree) {
            std::string difference;
            for (const auto& [path, content] : now)
                if (!expected.tree.count(path))
                    difference += " +" + path;
            for (const auto& [path, content] : expected.tree)
                if (!now.count(path))
                    difference += " -" + path;
            QFAIL((what + ": the tree differs from the untouched run's:" + difference).c_str());
        }
        // The same counts; the window names the files the run left after them, which lie
        // elsewhere for the untouched run.
        const std::string shown = f->status().toStdString();
        std::string counts = expected.status;
        const bool log = counts.ends_with(kSeeFailureLog);
        if (log)
            counts.resize(counts.size() - kSeeFailureLog.size());
        QVERIFY2(
            shown.starts_with(counts) &&
                (shown.size() == counts.size() || shown.compare(counts.size(), 2, "  ") == 0) &&
                (shown.find(kSeeFailureLog) != std::string::npos) == log,
            (what + ": " + shown + " / " + expected.status).c_str());
        if (command == Command::Scan)
            QVERIFY2(static_cast<std::size_t>(f->rowCount()) == expected.rows, what.c_str());
        QVERIFY2(optionValues(settings) == optionsBefore, what.c_str());
        const bool undo = f->window->renamer().hasUndoData();
        QVERIFY2(undo == expected.undoData, what.c_str());
        QVERIFY2(!QApplication::overrideCursor(), what.c_str());
        QVERIFY2(f->button("Button1")->text() == "&Go !" && f->button("Button1")->isEnabled(),
                 what.c_str());
        QVERIFY2(f->button("Button5")->text() == "&Scan" && f->button("Button5")->isEnabled(),
                 what.c_str());
        QVERIFY2(f->button("Button3")->isEnabled() == undo, what.c_str());
        QVERIFY2(f->action("SaveUndoasbat1")->isEnabled() == undo, what.c_str());
        for (const char* name : {"Button2", "Edit1", "CheckBox1", "Savesettings1"})
            QVERIFY2(f->find<QObject>(name)->property("enabled").toBool(),
                     (what + ": " + name).c_str());
        f.reset();
    }

private slots:
    void seededRuns() {
        const int first = envNumber("ZR_MONKEY_FIRST_SEED", 1);
        const int count = envNumber("ZR_MONKEY_SEEDS", 200);
        for (int seed = first; seed < first + count; ++seed) {
            runSeed(static_cast<unsigned>(seed));
            if (QTest::currentTestFailed()) {
                qWarning(
                    "monkey: the run of seed %d failed; ZR_MONKEY_FIRST_SEED=%d "
                    "ZR_MONKEY_SEEDS=1 repeats it",
                    seed, seed);
                return;
            }
        }
        qInfo("monkey: %d seeded runs, %d things done to the window while they ran", count,
              actions);
        QVERIFY(actions > count);  // the monkey really was at work
    }
};

QTEST_MAIN(MonkeyTest)
#include "monkey_test.moc"
