// SPDX-License-Identifier: GPL-3.0-or-later
// Undo after a crash: a Go killed part-way through its renames leaves its journal in the state
// folder; the next window adopts it and its Undo restores the tree byte for byte, or the command
// line undoes it. A journal that another running window holds is left alone.
#include <signal.h>

#include <QTest>
#include <chrono>
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

    // A Go killed with SIGKILL once it has done its tenth rename.
    void killAGoPartWay() {
        const std::string pause = f->dir / "pause";
        makeDirectory(pause);
        ProcessOptions options;
        options.cwd = f->dir.path();
        // A sanitizer's runtime ($ZR_PRELOAD_FIRST) must come before every other library.
        const char* first = std::getenv("ZR_PRELOAD_FIRST");
        const std::string preload =
            (first && *first ? std::string(first) + ":" : std::string()) + env("ZR_FAULT_SHIM");
        // The journal is named with one rename; ten renames of entries follow before the pause.
        options.env = {"LD_PRELOAD=" + preload, "ZR_FAULTS=rename@12=pause",
                       "ZR_FAULTS_DIR=" + pause};
        ChildProcess go(env("ZR_GO_DRIVER"), {state, tree}, options);
        for (int i = 0; i < 3000 && !exists(pause + "/paused") && !go.finished(); ++i)
            std::this_thread::sleep_for(10ms);
        QVERIFY(exists(pause + "/paused"));
        go.signal(SIGKILL);
        QCOMPARE(go.wait().status, 128 + SIGKILL);
        int renamed = 0;
        for (const std::string& name : listNames(tree))
            renamed += name.ends_with(".jpg") ? 1 : 0;
        QCOMPARE(renamed, 10);
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
        killAGoPartWay();
        f->start();
        QCOMPARE(f->status(), QString("The undo data of an interrupted run was kept: %1 rename(s) "
                                      "can be undone.")
                                  .arg(kFiles));
        QVERIFY(f->button("Button3")->isEnabled());
        QVERIFY(f->action("SaveUndoasbat1")->isEnabled());
        QCOMPARE(f->dialogs.log, QStringList{});
        click(f->button("Button3"));
        // The renames never carried out fail harmlessly: nothing of that name is there.
        QCOMPARE(f->status(), QString("Undo done, 10 file(s) renamed back, %1 failure(s).  [see "
                                      "failure log] %2")
                                  .arg(kFiles - 10)
                                  .arg(QString::fromStdString(f->dir / "renamer_failures.log")));
        QCOMPARE(snapshotTree(tree), original);
        QCOMPARE(listNames(state), std::vector<std::string>{});
        QVERIFY(!f->button("Button3")->isEnabled());
    }

    void theCommandLineUndoesTheWindowsJournal() {
        killAGoPartWay();
        ProcessOptions options;
        options.cwd = f->dir.path();
        const ProcessResult undo =
            ChildProcess(env("ZR_CLI"), {"undo", "--journal", state + "/undo.journal"}, options)
                .wait();
        QCOMPARE(undo.status, 1);
        QCOMPARE(undo.out.substr(0, undo.out.find('\n')), "Undo done, 10 file(s) renamed back, " +
                                                              std::to_string(kFiles - 10) +
                                                              " failure(s).  [see failure log]");
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

        // Closing with Yes to the question discards it.
        f->dialogs.answers = {true};
        QVERIFY(f->window->close());
        QCOMPARE(listNames(state), std::vector<std::string>{});
    }
};

QTEST_MAIN(CrashRecoveryTest)
#include "crash_recovery_test.moc"
