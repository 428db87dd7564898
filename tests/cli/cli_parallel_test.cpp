// SPDX-License-Identifier: GPL-3.0-or-later
// Many calls in flight, the outcome of one after another: on random trees (collisions, chains of
// names that depend on the order, folders renamed with their contents, names that fail), go and
// undo with --jobs 16 give byte for byte what --jobs 1 gives: the output, the journal, the
// failure log, the scripts and the final tree, and the same exit status; also with a rename
// failing in one of the workers. Scan reads ahead and still shows what it shows reading one
// call at a time.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <random>
#include <regex>
#include <sstream>
#include <thread>

#include "cli_process.h"
#include "support/temp_dir.h"

namespace zr::test {
namespace {

using Lines = std::vector<std::string>;

// The time a header line names differs from run to run: cut it off.
// What differs between two runs over two copies of a tree: the times in headers, and in a journal
// the identities of entries and folders and the run's detour names.
std::string withoutTimes(const std::string& text) {
    static const std::regex identity("^(folder )?([0-9:]+|-) ");
    static const std::regex detour("^detour .*");
    std::string out;
    std::size_t begin = 0;
    while (begin < text.size()) {
        std::size_t end = text.find('\n', begin);
        end = end == std::string::npos ? text.size() : end + 1;
        std::string line = text.substr(begin, end - begin);
        for (const char* header : {"rem Renamer rename file from", "rem Renamer undo file from",
                                   "# Renamer rename file from", "# Renamer undo file from",
                                   "; Renamer failure log from"}) {
            if (line.starts_with(header))
                line = header;
        }
        line = std::regex_replace(line, identity, "$1ID ");
        line = std::regex_replace(line, detour, "detour");
        out += line;
        begin = end;
    }
    return out;
}

// Every occurrence of `from` in `text` replaced by `to`.
std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// A tree whose renames collide and chain: "x" and "p_x" under a prefix "p_" work in one order
// and not in the other; "A.JPG" beside "a.jpg" cannot be lower-cased; folders hold folders.
// Modification times follow from the paths, a few of them equal, the same in every copy.
void buildTree(const std::string& root, std::mt19937& rng) {
    const auto setTime = [&root](const std::string& path) {
        const std::time_t time =
            1700000000 + std::hash<std::string>{}(path.substr(root.size())) % 7 * 60;
        const timespec times[2] = {{time, 0}, {time, 0}};
        utimensat(AT_FDCWD, path.c_str(), times, 0);
    };
    const char* const names[] = {"x",     "p_x",        "p_p_x", "A.JPG", "a.jpg",
                                 "B.JPG", "Tab\tC.JPG", "P_Y",   "y"};
    std::function<void(const std::string&, int)> fill = [&](const std::string& folder, int depth) {
        makeDirectory(folder);
        for (const char* name : names) {
            if (rng() % 3 == 0)
                continue;
            writeFile(folder + "/" + name, folder + "/" + name);
            setTime(folder + "/" + name);
        }
        const int folders = depth < 3 ? static_cast<int>(rng() % 4) : 0;
        for (int i = 0; i < folders; ++i)
            fill(folder + "/" + (rng() % 2 ? "Dir" : "p_Dir") + std::to_string(i), depth + 1);
        setTime(folder);
    };
    fill(root, 0);
}

Lines rulesFor(std::mt19937& rng) {
    Lines rules;
    switch (rng() % 4) {
        case 0:
            rules = {"--filter", "*", "--prefix", "p_"};
            break;
        case 1:
            rules = {"--filter", "*", "--case", "lower", "--case-range", "all"};
            break;
        case 2:
            rules = {"--dirs-only", "--prefix", "p_"};
            break;
        default:
            rules = {"--filter", "*", "--case", "upper", "--case-range", "all", "--batch"};
    }
    // Numbers and unique names, which settle a folder's names together.
    switch (rng() % 4) {
        case 1:
            rules.push_back("--unique");
            break;
        case 2:
            rules.insert(rules.end(), {"--pattern=^", "--replace={n:2}-", "--number-order=modified",
                                       "--unique"});
            break;
        case 3:
            rules.insert(rules.end(), {"--pattern=^", "--replace={n}_", "--number-scope=run",
                                       "--number-order=walk"});
            break;
        default:
            break;
    }
    return rules;
}

struct Outcome {
    int status = 0;
    std::string out;
    std::string err;
    std::map<std::string, std::string> files;  // the tree and the work folder, paths relative
};

class ParallelTest : public ::testing::Test {
protected:
    // Runs `args` in <temp>/<name>/work on <temp>/<name>/tree, with `faults` for the fault shim;
    // everything that names the folder is made relative to it.
    Outcome run(const std::string& name, Lines args, const std::string& faults) {
        const std::string base = temp / name;
        ProcessOptions options;
        options.cwd = base + "/work";
        options.env = faultEnv(faults);
        const CliRun result = runCli(args, options);
        // A run kept in the state folder is named by the time it started.
        static const std::regex keptRun("go-[0-9T.]+Z\\.journal");
        Outcome outcome{
            result.status,
            replaced(result.out, base, "<base>"),
            std::regex_replace(replaced(result.err, base, "<base>"), keptRun, "go-TIME.journal"),
            {}};
        for (const auto& [path, content] : snapshotTree(base))
            outcome.files[path] = withoutTimes(replaced(content, base, "<base>"));
        return outcome;
    }

    TempDir temp;
};

TEST_F(ParallelTest, ManyCallsInFlightGiveTheOutcomeOfOneAfterAnother) {
    for (unsigned seed = 1; seed <= 24; ++seed) {
        std::mt19937 rng(seed);
        for (const char* jobs : {"1", "16"}) {
            std::mt19937 same(seed);
            buildTree(temp / (std::string("run") + jobs + "/tree"), same);
            makeDirectory(temp / (std::string("run") + jobs + "/work"));
        }
        buildTree(temp / "scratch", rng);  // keeps both trees' draws out of the rules' draws
        const Lines rules = rulesFor(rng);
        // A rename that fails in whichever worker carries it out; renames that take their time,
        // so that what runs at once really overlaps.
        const std::string faults = std::string(seed % 3 == 0 ? "rename~B.JPG=EACCES," : "") +
                                   (seed % 2 == 0 ? "rename~p_x=sleep3" : "rename~/x=sleep3");
        const std::string what = "seed " + std::to_string(seed);
        for (const Lines& verb : {Lines{"go", "--journal", "undo.journal"},
                                  Lines{"undo", "--journal", "undo.journal"}}) {
            Outcome outcomes[2];
            for (int i = 0; i < 2; ++i) {
                const std::string jobs = i == 0 ? "1" : "16";
                Lines args = verb;
                args.insert(args.end(), {"--jobs", jobs});
                if (verb[0] == "go") {
                    args.insert(args.end(), rules.begin(), rules.end());
                    args.push_back("../tree");
                }
                outcomes[i] = run("run" + jobs, args, faults);
            }
            EXPECT_EQ(outcomes[0].status, outcomes[1].status) << what << " " << verb[0];
            EXPECT_EQ(outcomes[0].out, outcomes[1].out) << what << " " << verb[0];
            EXPECT_EQ(outcomes[0].err, outcomes[1].err) << what << " " << verb[0];
            EXPECT_EQ(outcomes[0].files, outcomes[1].files) << what << " " << verb[0];
            if (verb[0] == "go" && seed == 1) {
                EXPECT_NE(outcomes[0].files.at("work/undo.journal").find('*'), std::string::npos);
            }
        }
        for (const char* folder : {"run1", "run16", "scratch"})
            std::filesystem::remove_all(temp / folder);
    }
}

TEST_F(ParallelTest, ScanReadingAheadShowsWhatOneCallAtATimeShows) {
    for (unsigned seed = 1; seed <= 12; ++seed) {
        std::mt19937 rng(seed);
        buildTree(temp / "run/tree", rng);
        makeDirectory(temp / "run/work");
        Lines rules = rulesFor(rng);
        std::erase(rules, "--batch");
        rules.insert(rules.end(), {"--format", seed % 2 ? "tsv" : "json", "--show-conflicts"});
        // Slow listings, so that they are really read ahead; a folder that cannot be entered,
        // rows whose details cannot be read, entries that come without their type.
        std::string faults = "open~Dir=sleep2";
        if (seed % 3 == 0)
            faults += ",open~^Dir1$=EACCES";
        if (seed % 4 == 1)
            faults += ",stat~^a.jpg$=EIO";
        if (seed % 5 == 2)
            faults += ",readdir=unknown";
        Outcome outcomes[2];
        for (int i = 0; i < 2; ++i) {
            Lines args{"scan", "--jobs", i == 0 ? "1" : "16"};
            args.insert(args.end(), rules.begin(), rules.end());
            args.push_back("../tree");
            outcomes[i] = run("run", args, faults);
        }
        const std::string what = "seed " + std::to_string(seed) + " " + faults;
        EXPECT_EQ(outcomes[0].status, outcomes[1].status) << what;
        EXPECT_EQ(outcomes[0].out, outcomes[1].out) << what;
        EXPECT_EQ(outcomes[0].err, outcomes[1].err) << what;
        if (seed % 3 != 0) {
            EXPECT_FALSE(outcomes[0].out.empty()) << what;
        }
        std::filesystem::remove_all(temp / "run");
    }
}

// Where calls in flight meet errors, the run ends as one call at a time ends it: with the same
// message, nothing aborted, and no more renamed than the calls in flight. (That an error names
// only what the walk itself met: WatchedFileSystemTest.)
TEST_F(ParallelTest, ErrorsEndTheRunAsOneCallAtATimeEndsIt) {
    // The rows of two trees made a moment apart show the same time.
    const auto writePhoto = [](const std::string& path) {
        writeFile(path);
        const timespec times[2] = {{1700000000, 0}, {1700000000, 0}};
        utimensat(AT_FDCWD, path.c_str(), times, 0);
    };
    // Folders of a photo each, entered slowly.
    const auto folders = [&](const std::string& tree) {
        for (int i = 0; i < 40; ++i)
            writePhoto(tree + "/X" + std::to_string(i) + "/P.JPG");
    };
    // One folder of photos whose renames take their time, every other one refused.
    const auto photos = [&](const std::string& tree) {
        for (int i = 0; i < 300; ++i)
            writePhoto(tree + "/IMG_" + std::to_string(i) + (i % 2 ? "_NO.JPG" : ".JPG"));
    };
    const std::string lower = "--case lower --case-range all --filter *";
    struct Case {
        const char* what;
        std::function<void(const std::string&)> build;
        std::string args;
        std::string faults;
        // How many more entries --jobs 16 may rename than --jobs 1: the renames in flight.
        int inFlight;
    };
    const Case cases[] = {
        {"no thread at all", folders, "scan --format tsv " + lower, "open~^X=sleep2,thread=EAGAIN",
         0},
        {"the second thread refused", folders,
         "go --journal undo.journal " + lower + " --prefix p_",
         "open~^X=sleep2,rename=sleep2,thread@2=EAGAIN", 0},
        {"the eighteenth thread refused", folders,
         "go --journal undo.journal " + lower + " --prefix p_",
         "open~^X=sleep2,rename=sleep2,thread@18=EAGAIN", 0},
        {"no thread for the renames", folders, "go --journal undo.journal " + lower,
         "open~^X=sleep2,rename=sleep2,thread=EAGAIN", 0},
        {"the failure log fills up", photos, "go " + lower,
         "rename~_NO=EACCES,rename=sleep10,write~work$@41=ENOSPC", 4},
    };
    static const std::regex done("Done, ([0-9]+) file\\(s\\) renamed, ([0-9]+) failure");
    for (const Case& c : cases) {
        Outcome outcomes[2];
        for (int i = 0; i < 2; ++i) {
            const std::string name = i == 0 ? "one" : "many";
            c.build(temp / (name + "/tree"));
            makeDirectory(temp / (name + "/work"));
            // The verb, --jobs, the rest.
            Lines args;
            std::istringstream words(c.args);
            for (std::string word; words >> word;)
                args.push_back(word);
            args.insert(args.begin() + 1, {"--jobs", i == 0 ? "1" : "16"});
            args.push_back("../tree");
            outcomes[i] = run(name, args, c.faults);
        }
        EXPECT_NE(outcomes[1].status, 128 + SIGABRT) << c.what;
        EXPECT_EQ(outcomes[0].status, outcomes[1].status) << c.what;
        EXPECT_EQ(outcomes[0].err, outcomes[1].err) << c.what;
        if (c.inFlight == 0) {
            EXPECT_EQ(outcomes[0].out, outcomes[1].out) << c.what;
            EXPECT_EQ(outcomes[0].files, outcomes[1].files) << c.what;
        } else {
            std::smatch one;
            std::smatch many;
            ASSERT_TRUE(std::regex_search(outcomes[0].out, one, done)) << outcomes[0].out;
            ASSERT_TRUE(std::regex_search(outcomes[1].out, many, done)) << outcomes[1].out;
            const int more = std::stoi(many[1]) - std::stoi(one[1]);
            EXPECT_GE(more, 0) << c.what;
            EXPECT_LE(more, c.inFlight) << c.what << "\n" << outcomes[1].out;
        }
        for (const char* folder : {"one", "many"})
            std::filesystem::remove_all(temp / folder);
    }
}

// Ctrl-C twice while the renames are in flight ends the program at once: the journal, written
// before the first rename, then undoes exactly what was renamed, and the tree is as before.
TEST_F(ParallelTest, ASecondCtrlCAmongRenamesInFlightLeavesAJournalThatUndoesThem) {
    for (unsigned seed = 1; seed <= 4; ++seed) {
        std::mt19937 rng(seed);
        buildTree(temp / "run/tree", rng);
        makeDirectory(temp / "run/work");
        makeDirectory(temp / "pause");
        const auto before = snapshotTree(temp / "run/tree");
        ProcessOptions options;
        options.cwd = temp / "run/work";
        options.env = faultEnv("renameat2@" + std::to_string(5 + seed * 3) + "=pause,rename=sleep1",
                               temp / "pause");
        const auto child = startCli({"go", "--jobs", "16", "--journal", "undo.journal", "--filter",
                                     "*", "--prefix", "p_", "../tree"},
                                    std::move(options));
        ASSERT_TRUE(waitForPause(temp / "pause", *child)) << child->wait().err;
        child->signal(SIGINT);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        child->signal(SIGINT);
        EXPECT_EQ(child->wait().status, 128 + SIGINT) << "seed " << seed;
        EXPECT_NE(snapshotTree(temp / "run/tree"), before) << "seed " << seed;

        ProcessOptions undoOptions;
        undoOptions.cwd = temp / "run/work";
        const CliRun undo = runCli({"undo", "--journal", "undo.journal"}, std::move(undoOptions));
        EXPECT_FALSE(undo.timedOut);
        EXPECT_EQ(snapshotTree(temp / "run/tree"), before) << "seed " << seed << "\n" << undo.out;
        for (const char* folder : {"run", "pause"})
            std::filesystem::remove_all(temp / folder);
    }
}

}  // namespace
}  // namespace zr::test
