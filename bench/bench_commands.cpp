// SPDX-License-Identifier: GPL-3.0-or-later
// Scan, Go and Undo over a tree of 100,000 files and over one folder of 300,000, each against the
// plain system calls doing the same work in the same run, printed as ratios:
//   scan  / raw walk      (readdir and lstat of every entry)      goal <= 1.0 tree, <= 1.1 folder
//     (a scan works out which renames will fail at Go: also with every file renamed, and with
//     most new names given twice)
//   go    / rename loop   (renameat2 over the same paths)         goal <= 1.2
//   undo  / rename loop back                                      goal <= 1.2
//   go with the window's undo journal / go without it             goal <= 1.05
//   rename loop / find | xargs rename (Debian's rename)           for scale
//   directory-relative rename loop / rename loop                  for scale
//   zentarel-renamer-cli scan --format tsv, whole process / raw walk      goal <= 1.5
//   zentarel-renamer-cli go (and go --journal), whole process / loop      goal <= 1.5
//   zentarel-renamer-cli undo --journal, whole process / loop back        goal <= 1.5
//   on a busy machine (as many CPU-bound processes beside it as there are cores, plus one), the
//   command line's scan, go and undo with the default --jobs / the same with --jobs 1, over the
//   tree and the folder, with the raw walk in the same rounds                goal <= 1.1
//   peak memory of a Go run over 1,000,000 renames / journal text goal <= 2.0
//   scans with pattern replace and numbers / raw walk                      goal <= 1.2, <= 1.3
//   memory per row of a folder's Scan numbered by time / without numbers   goal <= 1.0
// ZR_BENCH_FILES, ZR_BENCH_FLAT_FILES and ZR_BENCH_MEMORY_FILES change the sizes (0 skips the
// folder or the memory run), ZR_BENCH_GO=0 skips the Go and Undo runs, ZR_BENCH_BUSY_ROUNDS the
// rounds on the busy machine (0 skips them); ZR_BENCH_DIR chooses where the trees go.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "collector_view.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "rename/journal_keeper.h"
#include "rename/renamer.h"
#include "run_program.h"
#include "tree_builder.h"

namespace {

using namespace zr;
using Clock = std::chrono::steady_clock;
using bench::CollectorView;

std::size_t envSize(const char* name, std::size_t fallback) {
    const char* value = std::getenv(name);
    return value && *value ? std::strtoull(value, nullptr, 10) : fallback;
}

double seconds(const std::function<void()>& work) {
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::size_t rawWalk(int parent, const char* name) {
    const int fd = openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return 0;
    DIR* dir = fdopendir(fd);
    std::size_t entries = 0;
    while (const dirent* d = readdir(dir)) {
        ++entries;
        struct stat st;
        if (fstatat(fd, d->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode) &&
            std::strcmp(d->d_name, ".") != 0 && std::strcmp(d->d_name, "..") != 0)
            entries += rawWalk(fd, d->d_name);
    }
    closedir(dir);
    return entries;
}

// Runs the command-line program to its end with both outputs thrown away; its wall time.
double runCli(const std::vector<std::string>& args) {
    std::vector<std::string> command{ZR_CLI_PATH};
    command.insert(command.end(), args.begin(), args.end());
    int status = 0;
    const double elapsed = seconds([&] { status = bench::runProgram(command, true); });
    if (status != 0) {
        std::fprintf(stderr, "zentarel-renamer-cli %s ... failed\n", args.at(0).c_str());
        std::exit(1);
    }
    return elapsed;
}

void lowerCaseEverything(RenameSettings& settings, const std::string& root,
                         const std::string& filters) {
    settings.setText(Option::Edit1, root);
    settings.setText(Option::Edit3, filters);
    settings.setChecked(Option::CheckBox1, true);
    settings.setChecked(Option::CheckBox4, true);
    settings.setItemIndex(kLowerCase);
    settings.setChecked(Option::CheckBox6, true);
}

void printRatio(const char* what, double ours, double baseline, const char* against,
                const char* goal) {
    std::printf("%-42s %8.3f s  vs %-28s %8.3f s  ratio %5.2f  (goal %s)\n", what, ours, against,
                baseline, ours / baseline, goal);
}

// One scan by the window's core with the options `rules` sets; its time, its rows and how many
// of them will fail.
double timeScan(const std::function<void(RenameSettings&)>& rules, std::size_t& rows,
                std::size_t& failing) {
    static auto fs = makePosixFileSystem();
    static auto clock = makeSystemClock();
    RenameSettings settings;
    rules(settings);
    CollectorView view;
    Renamer renamer(settings, *fs, *clock, view);
    const double elapsed = seconds([&] { renamer.Button5Click(); });
    rows = view.rows.size();
    failing = static_cast<std::size_t>(
        std::count_if(view.rows.begin(), view.rows.end(),
                      [](const PreviewRow& r) { return r.fails != Conflict::None; }));
    return elapsed;
}

// Scans of `root` (`what`: "tree" or "folder") against the raw walk, each the best of `rounds`.
void benchScan(const std::string& root, const char* what, std::size_t files, int rounds,
               const char* goal) {
    // The photos lower-cased; every file lower-cased; every digit removed, so that most files
    // of a folder want one of a few names.
    std::vector<std::function<void(RenameSettings&)>> rules = {
        [&](RenameSettings& s) { lowerCaseEverything(s, root, "*.JPG"); },
        [&](RenameSettings& s) { lowerCaseEverything(s, root, "*"); },
        [&](RenameSettings& s) {
            lowerCaseEverything(s, root, "*");
            s.setChecked(Option::CheckBox4, false);
            s.setChecked(Option::CheckBox10, true);
            s.setText(Option::Edit8, "0123456789");
        },
    };
    // The new rules: a camera's photos renamed and numbered; every file numbered by name and by
    // modification time, which settles each folder's names together.
    const auto numbered = [&](RenameSettings& s, NumberOrder order) {
        lowerCaseEverything(s, root, "*");
        s.setChecked(Option::CheckBox4, false);
        s.setChecked(Option::CheckBox2, true);
        s.setText(Option::Edit2, "{n:3} ");
        s.setChecked(ExtendedOption::Fields, true);
        s.setValue(ExtendedOption::NumberOrder, static_cast<int>(order));
    };
    rules.insert(rules.end(), {[&](RenameSettings& s) {
                                   lowerCaseEverything(s, root, "*");
                                   s.setChecked(Option::CheckBox4, false);
                                   s.setChecked(ExtendedOption::PatternReplace, true);
                                   s.setText(ExtendedOption::Pattern, "^IMG_(\\d+)");
                                   s.setText(ExtendedOption::Replacement, "Holiday $1 {n:3}");
                               },
                               [&](RenameSettings& s) { numbered(s, NumberOrder::Name); },
                               [&](RenameSettings& s) { numbered(s, NumberOrder::Modified); }});
    const char* names[] = {"scan *.JPG lower (rows, marks)",  "scan * lower (every file)",
                           "scan * without digits (clashes)", "scan pattern IMG_ + {n:3}",
                           "scan * numbered by name",         "scan * numbered by modified"};
    const char* goals[] = {goal, goal, goal, "<= 1.2", "<= 1.3", "<= 1.3"};
    const std::size_t kScans = rules.size();
    double bestRaw = 1e9;
    std::vector<double> bestScan(kScans, 1e9);
    double bestCli = 1e9;
    for (int round = 0; round < rounds; ++round) {
        std::size_t entries = 0;
        bestRaw = std::min(bestRaw, seconds([&] { entries = rawWalk(AT_FDCWD, root.c_str()); }));
        for (std::size_t i = 0; i < kScans; ++i) {
            std::size_t rows = 0;
            std::size_t failing = 0;
            bestScan[i] = std::min(bestScan[i], timeScan(rules[i], rows, failing));
            if (round == 0)
                std::printf("%s %s: %zu rows, %zu will fail\n", what, names[i], rows, failing);
        }
        bestCli =
            std::min(bestCli, runCli({"scan", "--format", "tsv", "--filter", "*", "--recursive",
                                      "--case", "lower", "--case-range", "all", root}));
        if (round == 0)
            std::printf("%s: %zu files, %zu entries walked\n", what, files, entries);
    }
    for (std::size_t i = 0; i < kScans; ++i) {
        printRatio((std::string(what) + " " + names[i]).c_str(), bestScan[i], bestRaw,
                   "raw walk (readdir+lstat)", goals[i]);
    }
    printRatio((std::string(what) + " cli scan * (process)").c_str(), bestCli, bestRaw,
               "raw walk (readdir+lstat)", "<= 1.5");
}

struct Pair {
    std::string from;
    std::string to;
};

// Renames `pairs` in the order the renamer carries them out: a run from the last entry queued to
// the first, the way back from the first to the last.
double renameLoop(const std::vector<Pair>& pairs, bool back) {
    return seconds([&] {
        for (std::size_t i = 0; i < pairs.size(); ++i) {
            const Pair& p = back ? pairs[i] : pairs[pairs.size() - 1 - i];
            const std::string& from = back ? p.to : p.from;
            const std::string& to = back ? p.from : p.to;
            if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0) {
                std::perror(from.c_str());
                std::exit(1);
            }
        }
    });
}

// The same renames as renameLoop(), each relative to a handle of its parent directory that is
// opened once for the consecutive entries of one directory.
double renameLoopRelative(const std::vector<Pair>& pairs) {
    return seconds([&] {
        std::string directory;
        int fd = -1;
        for (std::size_t i = pairs.size(); i-- > 0;) {
            const Pair& p = pairs[i];
            const std::size_t slash = p.from.rfind('/');
            if (fd < 0 || p.from.compare(0, slash, directory) != 0 || directory.size() != slash) {
                if (fd >= 0)
                    close(fd);
                directory = p.from.substr(0, slash);
                fd = open(directory.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
            }
            if (renameat2(fd, p.from.c_str() + slash + 1, fd, p.to.c_str() + slash + 1,
                          RENAME_NOREPLACE) != 0) {
                std::perror(p.from.c_str());
                std::exit(1);
            }
        }
        if (fd >= 0)
            close(fd);
    });
}

void benchGoAndUndo(const std::string& root) {
    auto fs = makePosixFileSystem();
    auto clock = makeSystemClock();
    RenameSettings settings;
    lowerCaseEverything(settings, root, "*");
    CollectorView view;
    Renamer renamer(settings, *fs, *clock, view);

    double bestGo = 1e9;
    double bestUndo = 1e9;
    double bestLoop = 1e9;
    double bestLoopBack = 1e9;
    double bestRelative = 1e9;
    double bestJournal = 1e9;
    double bestWithout = 1e9;
    double bestCliGo = 1e9;
    double bestCliGoJournal = 1e9;
    double bestCliUndo = 1e9;
    const std::string journalPath = root + ".journal";
    const std::vector<std::string> cliGo = {"go",    "--filter",     "*",  "--recursive", "--case",
                                            "lower", "--case-range", "all"};
    std::vector<Pair> pairs;
    for (int round = 0; round < 5; ++round) {
        bestGo = std::min(bestGo, seconds([&] { renamer.Button1Click(); }));
        if (round == 0) {
            std::printf("go: %s\n", view.status.c_str());
            const UndoJournal& journal = renamer.flags().Journal;
            for (std::size_t i = 0; i < journal.size(); ++i)
                pairs.push_back({std::string(journal[i].oldFullPath()), journal[i].newFullPath()});
        }
        bestUndo = std::min(bestUndo, seconds([&] { renamer.Button3Click(); }));
        if (round == 0)
            std::printf("undo: %s\n", view.status.c_str());
        bestLoop = std::min(bestLoop, renameLoop(pairs, false));
        bestLoopBack = std::min(bestLoopBack, renameLoop(pairs, true));
        bestRelative = std::min(bestRelative, renameLoopRelative(pairs));
        renameLoop(pairs, true);

        // The window's Go, keeping its undo data in a journal before the first rename, against
        // the same Go in the same round without it.
        StateJournal journal(*fs, root + ".state");
        renamer.setUndoKeeper(&journal);
        bestJournal = std::min(bestJournal, seconds([&] { renamer.Button1Click(); }));
        renamer.Button3Click();
        renamer.setUndoKeeper(nullptr);
        bestWithout = std::min(bestWithout, seconds([&] { renamer.Button1Click(); }));
        renamer.Button3Click();

        std::vector<std::string> args = cliGo;
        args.push_back(root);
        bestCliGo = std::min(bestCliGo, runCli(args));
        renameLoop(pairs, true);
        args.insert(args.end() - 1, {"--journal", journalPath});
        bestCliGoJournal = std::min(bestCliGoJournal, runCli(args));
        bestCliUndo = std::min(bestCliUndo, runCli({"undo", "--journal", journalPath}));
    }
    printRatio("go (walk + renames)", bestGo, bestLoop, "renameat2 loop", "<= 1.2");
    printRatio("undo (renames back)", bestUndo, bestLoopBack, "renameat2 loop back", "<= 1.2");
    printRatio("renameat2 loop, directory-relative", bestRelative, bestLoop, "renameat2 loop",
               "for scale");
    printRatio("go with the undo journal", bestJournal, bestWithout, "the same go without it",
               "<= 1.05");
    printRatio("go with the undo journal", bestJournal, bestLoop, "renameat2 loop", "for scale");
    printRatio("cli go (process)", bestCliGo, bestLoop, "renameat2 loop", "<= 1.5");
    printRatio("cli go --journal (process)", bestCliGoJournal, bestLoop, "renameat2 loop",
               "<= 1.5");
    printRatio("cli undo --journal (process)", bestCliUndo, bestLoopBack, "renameat2 loop back",
               "<= 1.5");

    if (std::system("command -v rename >/dev/null && command -v find >/dev/null") == 0) {
        const std::string command =
            "find '" + root + "' -type f -print0 | xargs -0 rename 's{[^/]+$}{lc $&}e'";
        int status = 0;
        const double external = seconds([&] { status = std::system(command.c_str()); });
        if (status != 0)
            std::printf("(find | xargs rename ended with status %d)\n", status);
        // Put the tree back for whoever runs next.
        renameLoop(pairs, true);
        printRatio("renameat2 loop", bestLoop, external, "find | xargs rename", "for scale");
    } else {
        std::printf("(Debian's rename is not installed: no comparison with find | xargs rename)\n");
    }
}

// As many processes as there are cores, plus one, that keep a processor busy each (as a compile
// does) for as long as the object lives, and not longer than this program.
class CpuHogs {
public:
    CpuHogs() {
        const long cores = sysconf(_SC_NPROCESSORS_ONLN);
        for (long i = 0; i <= std::max(cores, 1L); ++i) {
            const pid_t pid = fork();
            if (pid == 0) {
                prctl(PR_SET_PDEATHSIG, SIGKILL);
                std::atomic<unsigned long> spin{0};
                for (;;)
                    spin.fetch_add(1, std::memory_order_relaxed);
            }
            if (pid > 0)
                m_pids.push_back(pid);
        }
    }
    ~CpuHogs() {
        for (const pid_t pid : m_pids)
            kill(pid, SIGKILL);
        for (const pid_t pid : m_pids)
            waitpid(pid, nullptr, 0);
    }
    CpuHogs(const CpuHogs&) = delete;
    CpuHogs& operator=(const CpuHogs&) = delete;

    std::size_t count() const { return m_pids.size(); }

private:
    std::vector<pid_t> m_pids;
};

// The shortest and longest of some times (or ratios).
struct Range {
    double low = 1e9;
    double high = 0;
    void add(double value) {
        low = std::min(low, value);
        high = std::max(high, value);
    }
};

// The command line's scan, go and undo of `root` with the default --jobs and with --jobs 1, and
// the raw walk, on a machine kept busy by CPU hogs; the two --jobs take turns at going first.
void benchBusy(const std::string& root, const char* what, int rounds) {
    const CpuHogs hogs;
    std::printf("%s on a busy machine: %zu CPU-bound processes beside it, %ld cores, %d rounds\n",
                what, hogs.count(), sysconf(_SC_NPROCESSORS_ONLN), rounds);
    std::fflush(stdout);
    const std::string journal = root + ".busy.journal";
    const char* verbs[] = {"scan", "go", "undo"};
    Range raw;
    Range times[3][2];  // by verb, then --jobs 1 and the default
    Range ratios[3];    // the default / --jobs 1, round by round
    Range scanOverRaw;
    for (int round = 0; round < rounds; ++round) {
        const double walk = seconds([&] { rawWalk(AT_FDCWD, root.c_str()); });
        raw.add(walk);
        double t[3][2] = {};
        for (int turn = 0; turn < 2; ++turn) {
            const int one = (round + turn) % 2 == 0 ? 1 : 0;  // 1: this turn is --jobs 1
            const auto with = [&](std::vector<std::string> args) {
                if (one)
                    args.insert(args.begin() + 1, {"--jobs", "1"});
                return args;
            };
            const std::vector<std::string> rules = {
                "--filter", "*", "--recursive", "--case", "lower", "--case-range", "all"};
            std::vector<std::string> scan = {"scan", "--format", "tsv"};
            scan.insert(scan.end(), rules.begin(), rules.end());
            scan.push_back(root);
            std::vector<std::string> go = {"go", "--journal", journal};
            go.insert(go.end(), rules.begin(), rules.end());
            go.push_back(root);
            const int slot = one ? 0 : 1;
            t[0][slot] = runCli(with(scan));
            unlink(journal.c_str());
            t[1][slot] = runCli(with(go));
            t[2][slot] = runCli(with({"undo", "--journal", journal}));
        }
        for (int v = 0; v < 3; ++v) {
            times[v][0].add(t[v][0]);
            times[v][1].add(t[v][1]);
            ratios[v].add(t[v][1] / t[v][0]);
        }
        scanOverRaw.add(t[0][0] / walk);
    }
    std::printf(
        "%s busy raw walk (readdir+lstat) %.3f..%.3f s; scan --jobs 1 / raw walk %.2f..%.2f\n",
        what, raw.low, raw.high, scanOverRaw.low, scanOverRaw.high);
    for (int v = 0; v < 3; ++v) {
        std::printf(
            "%s busy %-5s --jobs 1 %7.3f..%7.3f s  default %7.3f..%7.3f s  default / --jobs 1: "
            "best %5.2f, by round %5.2f..%5.2f  (goal <= 1.1)\n",
            what, verbs[v], times[v][0].low, times[v][0].high, times[v][1].low, times[v][1].high,
            times[v][1].low / times[v][0].low, ratios[v].low, ratios[v].high);
    }
    std::fflush(stdout);
}

// The peak memory of a fresh process of this program that runs `mode` ("baseline": only makes
// the renamer; "go": a Go run and its Undo) on `root`, in kilobytes, and the bytes of the
// journal's text. A fresh process, so that nothing this one allocated before counts.
long peakKilobytes(const char* mode, const std::string& root, std::size_t& journalBytes) {
    // popen runs a shell, whose /proc/self/exe is the shell: name this program itself.
    char self[4096] = {};
    if (readlink("/proc/self/exe", self, sizeof self - 1) < 0)
        return -1;
    const std::string command =
        std::string(self) + " --memory-child " + std::string(mode) + " '" + root + "'";
    FILE* child = popen(command.c_str(), "r");
    long kilobytes = -1;
    unsigned long long bytes = 0;
    if (!child || std::fscanf(child, "%ld %llu", &kilobytes, &bytes) != 2)
        kilobytes = -1;
    if (child)
        pclose(child);
    journalBytes = bytes;
    return kilobytes;
}

int memoryChild(const std::string& mode, const std::string& root) {
    auto fs = makePosixFileSystem();
    auto clock = makeSystemClock();
    RenameSettings settings;
    lowerCaseEverything(settings, root, "*");
    if (mode == "scan-numbered") {
        settings.setChecked(Option::CheckBox2, true);
        settings.setText(Option::Edit2, "{n:3} ");
        settings.setChecked(ExtendedOption::Fields, true);
        settings.setValue(ExtendedOption::NumberOrder, static_cast<int>(NumberOrder::Modified));
    }
    CollectorView view;
    Renamer renamer(settings, *fs, *clock, view);
    std::size_t bytes = 0;
    if (mode.starts_with("scan")) {
        renamer.Button5Click();
        bytes = view.rows.size();  // rows, for a scan
    }
    if (mode == "go") {
        renamer.Button1Click();
        const UndoJournal& journal = renamer.flags().Journal;
        for (std::size_t i = 0; i < journal.size(); ++i)
            bytes += journal[i].oldFullPath().size() + 1 + journal[i].newName().size();
        renamer.Button3Click();
    }
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%ld %zu\n", usage.ru_maxrss, bytes);
    return 0;
}

void benchMemory(std::size_t files) {
    const std::string folder = bench::freshBenchFolder("memory");
    const std::string root = folder + "/tree";
    std::printf("building %zu files for the memory run...\n", files);
    std::fflush(stdout);
    bench::buildTree(root, files);
    std::size_t ignored = 0;
    std::size_t journalBytes = 0;
    const long baseline = peakKilobytes("baseline", root, ignored);
    const long peak = peakKilobytes("go", root, journalBytes);
    const double used = (peak - baseline) * 1024.0;
    std::printf("%-34s %8.1f MB  vs %-28s %8.1f MB  ratio %5.2f  (goal <= 2.0)\n",
                "go peak memory (rss over baseline)", used / 1e6, "journal text",
                journalBytes / 1e6, used / static_cast<double>(journalBytes));
    bench::removeTree(folder);
}

// The memory per row of a Scan of one folder: lower case alone, and lower case with every entry
// numbered by modification time, which reads the folder whole and settles it before its rows.
void benchFolderMemory(const std::string& folder) {
    std::size_t ignored = 0;
    const long baseline = peakKilobytes("baseline", folder, ignored);
    std::size_t rows[2] = {0, 0};
    double perRow[2] = {0, 0};
    const char* modes[] = {"scan", "scan-numbered"};
    for (int i = 0; i < 2; ++i) {
        const long peak = peakKilobytes(modes[i], folder, rows[i]);
        perRow[i] =
            (peak - baseline) * 1024.0 / static_cast<double>(std::max<std::size_t>(rows[i], 1));
    }
    std::printf("%-34s %8.0f B/row vs %-28s %8.0f B/row ratio %5.2f  (goal <= 1.0; %zu rows)\n",
                "folder scan numbered: peak memory", perRow[1], "scan lower case alone", perRow[0],
                perRow[1] / perRow[0], rows[1]);
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc == 4 && std::string(argv[1]) == "--memory-child")
        return memoryChild(argv[2], argv[3]);
    const std::size_t files = envSize("ZR_BENCH_FILES", 100000);
    const std::size_t flatFiles = envSize("ZR_BENCH_FLAT_FILES", 300000);
    const std::size_t memoryFiles = envSize("ZR_BENCH_MEMORY_FILES", 1000000);
    const int busyRounds = static_cast<int>(envSize("ZR_BENCH_BUSY_ROUNDS", 3));
    const std::string folder = bench::freshBenchFolder("commands");
    const std::string root = folder + "/tree";
    std::printf("building %zu files in %s...\n", files, root.c_str());
    std::fflush(stdout);
    bench::buildTree(root, files);
    benchScan(root, "tree", files, 9, "<= 1.0");
    if (envSize("ZR_BENCH_GO", 1) != 0)
        benchGoAndUndo(root);
    if (busyRounds > 0)
        benchBusy(root, "tree", busyRounds);
    bench::removeTree(root);
    if (flatFiles > 0) {
        const std::string flat = folder + "/folder";
        std::printf("building %zu files in one folder, %s...\n", flatFiles, flat.c_str());
        std::fflush(stdout);
        bench::buildFlatFolder(flat, flatFiles);
        benchScan(flat, "folder", flatFiles, 5, "<= 1.1");
        benchFolderMemory(flat);
        if (busyRounds > 0)
            benchBusy(flat, "folder", busyRounds);
    }
    bench::removeTree(folder);
    if (memoryFiles > 0)
        benchMemory(memoryFiles);
    return 0;
}
