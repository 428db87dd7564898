// SPDX-License-Identifier: GPL-3.0-or-later
// Undo after a crash: a Go killed part-way through its renames leaves its journal in the state
// folder; the next window adopts it and its Undo restores the tree byte for byte, or the command
// line undoes it. A journal that another running window holds is left alone.
#include <signal.h>
#include <unistd.h>

#include <QTest>
#include <chrono>
#include <filesystem>
#include <thread>

#include "support/child_process.h"
#include "window_fixture.h"

using namespace zr;
using namespace zr::test;
using namespace std::chrono_literals;

namespace {

constexpr int kFiles = 30;

std::string env(const char* name) {
    const char* value = std::getenv(name);
    if (!value || !*value)
        qFatal("%s is not set", name);
    return value;
}

}  // namespace

class CrashRecoveryTest : public QObject {
    Q_OBJECT

    std::unique_ptr<WindowFixture> f;
    std::string tree;
    std::string state;
    std::map<std::string, std::string> original;

    // A Go killed with SIGKILL once it has done its tenth rename; with `undo`, a whole Go and then
    // its Undo, killed once that has renamed ten files back.
    void killPartWay(bool undo = false) {
        const std::string pause = f->dir / "pause";
        makeDirectory(pause);
        ProcessOptions options;
        options.cwd = f->dir.path();
        // A sanitizer's runtime ($ZR_PRELOAD_FIRST) must come before every other library.
        const char* first = std::getenv("ZR_PRELOAD_FIRST");
        const std::string preload =
            (first && *first ? std::string(first) + ":" : std::string()) + env("ZR_FAULT_SHIM");
        // The journal is named with one rename; the renames of entries follow.
        const int pauseAt = 1 + (undo ? kFiles : 0) + 11;
        options.env = {"LD_PRELOAD=" + preload,
                       "ZR_FAULTS=rename@" + std::to_string(pauseAt) + "=pause",
                       "ZR_FAULTS_DIR=" + pause};
        std::vector<std::string> args = {state, tree};
        if (undo)
            args.push_back("undo");
        ChildProcess go(env("ZR_GO_DRIVER"), args, options);
        for (int i = 0; i < 3000 && !exists(pause + "/paused") && !go.finished(); ++i)
            std::this_thread::sleep_for(10ms);
        QVERIFY(exists(pause + "/paused"));
        go.signal(SIGKILL);
        QCOMPARE(go.wait().status, 128 + SIGKILL);
        int renamed = 0;
        for (const std::string& name : listNames(tree))
            renamed += name.ends_with(".jpg") ? 1 : 0;
        QCOMPARE(renamed, undo ? kFiles - 10 : 10);
        QCOMPARE(listNames(state), std::vector<std::string>{"undo.journal"});
    }

private slots:
    void init() {
        f = std::make_unique<WindowFixture>(false);
        tree = f->dir / "photos";
        state = f->dir / "state/zentarel-renamer";  // where the fixture's window keeps it
        for (int i = 0; i < kFiles; ++i)
            writeFile(tree + "/IMG_" + std::to_string(i) + ".JPG", "photo " + std::to_string(i));
        original = snapshotTree(tree);
    }

    void cleanup() { f.reset(); }

    void theNextWindowAdoptsTheJournalAndUndoRestoresTheTree() {
        killPartWay();
        f->start();
        // Only what was renamed counts; the renames never carried out are left alone.
        QCOMPARE(f->status(), QString("The undo data of an interrupted run was kept: 10 rename(s) "
                                      "can be undone."));
        QVERIFY(f->button("Button3")->isEnabled());
        QVERIFY(f->action("SaveUndoasbat1")->isEnabled());
        QCOMPARE(f->dialogs.log, QStringList{});
        click(f->button("Button3"));
        QCOMPARE(f->status(), QString("Undo done, 10 file(s) renamed back, 0 failure(s)."));
        QCOMPARE(snapshotTree(tree), original);
        QCOMPARE(listNames(state), std::vector<std::string>{});
        QVERIFY(!f->button("Button3")->isEnabled());
    }

    void aKilledUndoIsTakenUpWhereItEnded() {
        killPartWay(true);
        f->start();
        QCOMPARE(f->status(), QString("The undo data of an interrupted run was kept: %1 rename(s) "
                                      "can be undone.")
                                  .arg(kFiles - 10));
        click(f->button("Button3"));
        QCOMPARE(f->status(),
                 QString("Undo done, %1 file(s) renamed back, 0 failure(s).").arg(kFiles - 10));
        QCOMPARE(snapshotTree(tree), original);
    }

    // The disk takes the journal but then refuses the marks of the renames that failed.
    void theWindowSaysAtOnceWhenTheFailedMarksCannotBeWritten() {
        writeFile(tree + "/img_0.jpg", "the user's own");  // lower-casing IMG_0.JPG fails
        f->start();
        f->window->settings().setText(Option::Edit1, tree);
        f->window->settings().setText(Option::Edit3, "*");
        f->window->settings().setChecked(Option::CheckBox4, true);  // lower case
        f->fileSystem.onCall(FaultyFileSystem::Op::Rename, [this](const std::string& path) {
            if (path.ends_with(".undo-being-written"))
                f->fileSystem.fail(FaultyFileSystem::Op::Write, ".undo-being-written", ENOSPC);
        });
        click(f->button("Button1"));
        QCOMPARE(f->dialogs.log.size(), 1);
        QVERIFY2(f->dialogs.log[0].startsWith("Warning ") &&
                     f->dialogs.log[0].contains("No space left on device"),
                 qPrintable(f->dialogs.log[0]));
        f->fileSystem.clear();

        // The window ends without discarding its undo data (a crash), and the user clears up.
        f->window.reset();
        std::filesystem::remove(tree + "/IMG_0.JPG");
        f->start();
        QCOMPARE(f->status(), QString("The undo data of an interrupted run was kept: %1 rename(s) "
                                      "can be undone.")
                                  .arg(kFiles - 1));
        // The file of the rename that failed is gone: its undo fails, and the user's file that
        // holds the new name is left alone.
        click(f->button("Button3"));
        QVERIFY2(f->status().startsWith(
                     QString("Undo done, %1 file(s) renamed back, 1 failure(s).  [see failure log]")
                         .arg(kFiles - 1)),
                 qPrintable(f->status()));
        QCOMPARE(readFile(tree + "/img_0.jpg"), "the user's own");
    }

    void theCommandLineUndoesTheWindowsJournal() {
        killPartWay();
        ProcessOptions options;
        options.cwd = f->dir.path();
        const ProcessResult undo =
            ChildProcess(env("ZR_CLI"), {"undo", "--journal", state + "/undo.journal"}, options)
                .wait();
        QCOMPARE(undo.status, 0);
        QCOMPARE(undo.out, std::string("Undo done, 10 file(s) renamed back, 0 failure(s).\n"));
        QCOMPARE(snapshotTree(tree), original);
        QCOMPARE(listNames(state), std::vector<std::string>{});
    }

    void aJournalThatARunningWindowHoldsIsLeftAlone() {
        f->start();
        QCOMPARE(f->status(), QString::fromLatin1(Tmain::kHomePage));
        f->window->settings().setText(Option::Edit1, tree);
        f->window->settings().setText(Option::Edit3, "*");
        f->window->settings().setChecked(Option::CheckBox4, true);  // lower case
        click(f->button("Button1"));
        QCOMPARE(listNames(state), std::vector<std::string>{"undo.journal"});

        // A second window started meanwhile finds it held, and so does the command line.
        FakeDialogs dialogs;
        Tmain second(f->fileSystem, f->clock, dialogs, *f->store);
        QVERIFY(!second.renamer().hasUndoData());
        ProcessOptions options;
        options.cwd = f->dir.path();
        const ProcessResult undo =
            ChildProcess(env("ZR_CLI"), {"undo", "--journal", state + "/undo.journal"}, options)
                .wait();
        QCOMPARE(undo.status, 2);
        QVERIFY2(undo.err.find("in use") != std::string::npos, undo.err.c_str());
        QCOMPARE(listNames(state), std::vector<std::string>{"undo.journal"});
        // Nor through a symbolic link to it.
        const std::string link = f->dir / "link.journal";
        QCOMPARE(symlink((state + "/undo.journal").c_str(), link.c_str()), 0);
        const ProcessResult linked =
            ChildProcess(env("ZR_CLI"), {"undo", "--journal", link}, options).wait();
        QCOMPARE(linked.status, 2);
        QVERIFY2(linked.err.find("symbolic link") != std::string::npos, linked.err.c_str());
        QCOMPARE(listNames(state), std::vector<std::string>{"undo.journal"});
        QVERIFY(!exists(tree + "/IMG_0.JPG"));

        // Closing with Yes to the question discards it.
        f->dialogs.answers = {true};
        QVERIFY(f->window->close());
        QCOMPARE(listNames(state), std::vector<std::string>{});
    }
};

QTEST_MAIN(CrashRecoveryTest)
#include "crash_recovery_test.moc"
