// SPDX-License-Identifier: GPL-3.0-or-later
// A Scan in the real window (offscreen) over a tree of 100,000 files, against the same Scan
// through the Renamer with a plain collector front end, in the same run:
//   window scan / plain scan                               goal <= 1.2
//   longest gap between two batches of handled events      goal <= 100 ms (a Stop click is
//                                                          answered in the next batch)
//   memory the window holds for its rows, per 1,000,000    goal <= 297 MB
// ZR_BENCH_FILES changes the size of the tree (1000000 for the goals); ZR_BENCH_DIR chooses where
// it goes.
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "collector_view.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "rename/renamer.h"
#include "tree_builder.h"
#include "ui/dialogs.h"
#include "ui/unit1.h"

namespace {

using namespace zr;

constexpr int kRounds = 3;

// The memory this process holds now, in bytes.
double residentBytes() {
    long pages = 0;
    long resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE));
}

// Boxes have no one to answer them here: any box is a failed run.
class NoDialogs : public Dialogs {
public:
    bool askYesNo(QWidget*, const QString& question) override { return fail(question); }
    void showMessage(QWidget*, MessageType, const QString& text) override { fail(text); }
    void showError(QWidget*, const QString& text) override { fail(text); }
    std::optional<QString> chooseDirectory(QWidget*, const QString&, const QString&) override {
        return std::nullopt;
    }
    std::optional<QString> chooseFile(QWidget*, const FileDialogRequest&) override {
        return std::nullopt;
    }
    bool openUrl(const QUrl&) override { return false; }

private:
    static bool fail(const QString& text) {
        std::fprintf(stderr, "unexpected box: %s\n", qPrintable(text));
        std::exit(1);
    }
};

// Every upper-case JPEG of the tree, lower-cased.
void scanOptions(RenameSettings& settings, const std::string& root) {
    settings.setText(Option::Edit1, root);
    settings.setText(Option::Edit3, "*.JPG");
    settings.setChecked(Option::CheckBox4, true);
    settings.setItemIndex(kLowerCase);
}

double plainScan(const std::string& root, std::size_t& rows) {
    auto fileSystem = makePosixFileSystem();
    auto clock = makeSystemClock();
    RenameSettings settings;
    scanOptions(settings, root);
    bench::CollectorView view;
    Renamer renamer(settings, *fileSystem, *clock, view);
    QElapsedTimer timer;
    timer.start();
    renamer.Button5Click();
    rows = view.rows.size();
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

struct WindowRun {
    double seconds = 0;
    qint64 longestGapMs = 0;
    int batches = 0;
    int rows = 0;
};

WindowRun windowScan(Tmain& window, QPushButton& scan) {
    // A zero timer fires once each time the window handles its events.
    WindowRun run;
    QElapsedTimer timer;
    QElapsedTimer sinceBatch;
    QTimer ticker;
    ticker.setInterval(0);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        run.longestGapMs = std::max(run.longestGapMs, sinceBatch.restart());
        ++run.batches;
    });
    ticker.start();
    timer.start();
    sinceBatch.start();
    scan.click();
    run.longestGapMs = std::max(run.longestGapMs, sinceBatch.elapsed());
    run.seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    ticker.stop();
    run.rows = window.findChild<QTableView*>(QStringLiteral("ListView1"))->model()->rowCount();
    return run;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    const char* sizeText = std::getenv("ZR_BENCH_FILES");
    const std::size_t files = sizeText && *sizeText ? std::strtoull(sizeText, nullptr, 10) : 100000;
    const std::string folder = bench::freshBenchFolder("window-scan");
    const std::string root = folder + "/tree";
    const bench::TreeStats stats = bench::buildTree(root, files);
    std::printf("tree: %zu files in %zu directories, %zu upper-case JPEGs\n", stats.files,
                stats.directories, stats.upperCaseJpegs);

    auto fileSystem = makePosixFileSystem();
    auto clock = makeSystemClock();
    NoDialogs dialogs;
    // A store of its own, so that the user's remembered settings are neither read nor written.
    SettingsStore store(*fileSystem, folder + "/settings.reg");
    Tmain window(*fileSystem, *clock, dialogs, store);
    window.show();
    QApplication::processEvents();
    scanOptions(window.settings(), root);
    auto* scan = window.findChild<QPushButton*>(QStringLiteral("Button5"));

    double bestPlain = 1e9;
    WindowRun best;
    best.seconds = 1e9;
    qint64 longestGap = 0;
    std::size_t plainRows = 0;
    // The first window scan comes before any plain one, so that what the window holds for its
    // rows is measured before the plain scans' freed memory is there to be reused.
    const double before = residentBytes();
    double rowBytes = 0;
    for (int round = 0; round < kRounds; ++round) {
        if (round > 0)
            bestPlain = std::min(bestPlain, plainScan(root, plainRows));
        const WindowRun run = windowScan(window, *scan);
        if (round == 0) {
            rowBytes = residentBytes() - before;
            bestPlain = std::min(bestPlain, plainScan(root, plainRows));
        }
        longestGap = std::max(longestGap, run.longestGapMs);
        if (run.seconds < best.seconds)
            best = run;
    }
    const QString status =
        window.findChild<QStatusBar*>(QStringLiteral("StatusBar1"))->currentMessage();
    std::printf("rows: plain %zu, window %d; window status: %s\n", plainRows, best.rows,
                qPrintable(status));
    std::printf("plain scan (collector)   %8.3f s\n", bestPlain);
    std::printf("window scan (offscreen)  %8.3f s  ratio %5.2f  (goal <= 1.2)\n", best.seconds,
                best.seconds / bestPlain);
    std::printf("memory held for the rows %8.1f MB, %.1f MB per 1,000,000 rows  (goal <= 297)\n",
                rowBytes / 1e6, best.rows > 0 ? rowBytes / best.rows : 0.0);
    std::printf(
        "event batches in the best window scan: %d; longest gap in any scan: %lld ms "
        "(goal <= 100 ms)\n",
        best.batches, static_cast<long long>(longestGap));
    bench::removeTree(folder);
    return plainRows == static_cast<std::size_t>(best.rows) ? 0 : 1;
}
