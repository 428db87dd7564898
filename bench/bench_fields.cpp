// SPDX-License-Identifier: GPL-3.0-or-later
// The date taken of 10,000 photos (JPEG with EXIF, of three sizes), read by the field reader,
// against what does the same work in the same run, printed as ratios:
//   exiftool -DateTimeOriginal -d FMT over the same files / field reader    goal >= 20
//   field reader / a loop that opens each file and reads its first 64 KiB   goal <= 2.0
//   the field reader on 4 threads / on one                                   for scale
//   exiftool / a Scan with {taken} in the prefix (the whole walk, rows and all) goal >= 20
//   that Scan with one call at a time (--jobs 1) / with the default            for scale
// The files are read from the page cache (each timing is the best of three, after one read of
// everything). The photos are three pictures made once with ImageMagick, copied with an EXIF
// block of their own (a different date and camera each) written here.
// ZR_BENCH_PHOTOS changes the count; ZR_BENCH_DIR chooses where the photos go.
#include <fcntl.h>
#include <spawn.h>
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
#include <thread>
#include <vector>

#include "collector_view.h"
#include "metadata/field_reader.h"
#include "platform/clock.h"
#include "rename/renamer.h"
#include "run_program.h"
#include "support/sample_files.h"
#include "tree_builder.h"

namespace {

using namespace zr;
using SteadyClock = std::chrono::steady_clock;

std::size_t envSize(const char* name, std::size_t fallback) {
    const char* value = std::getenv(name);
    return value && *value ? std::strtoull(value, nullptr, 10) : fallback;
}

double bestOfThree(const std::function<void()>& work) {
    double best = 1e300;
    for (int i = 0; i < 3; ++i) {
        const auto start = SteadyClock::now();
        work();
        best = std::min(best, std::chrono::duration<double>(SteadyClock::now() - start).count());
    }
    return best;
}

// Runs a program to its end with its output thrown away; false when it failed.
bool run(const std::vector<std::string>& args) {
    return bench::runProgram(args, false) == 0;
}

std::string readWhole(const std::string& path) {
    std::string bytes;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    char buffer[1 << 16];
    for (ssize_t n; fd >= 0 && (n = read(fd, buffer, sizeof buffer)) > 0;)
        bytes.append(buffer, static_cast<std::size_t>(n));
    if (fd >= 0)
        close(fd);
    return bytes;
}

void writeWhole(const std::string& path, const std::string& bytes) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0 || write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
        std::perror(path.c_str());
        std::exit(1);
    }
    close(fd);
}

std::vector<std::string> makePhotos(const std::string& folder, std::size_t count) {
    // Three pictures of different sizes: small, a phone's, a camera's.
    const char* const sizes[] = {"640x480", "1600x1200", "3000x2000"};
    std::vector<std::string> bases;
    for (int i = 0; i < 3; ++i) {
        const std::string path = folder + "/base" + std::to_string(i) + ".jpg";
        if (!run({"convert", "-size", sizes[i], "plasma:fractal", "-quality", "90", path})) {
            std::fprintf(stderr, "ImageMagick's convert is needed to make the photos\n");
            std::exit(1);
        }
        bases.push_back(readWhole(path));
        unlink(path.c_str());
        std::printf("photos of %s: %zu KiB\n", sizes[i], bases.back().size() / 1024);
    }
    std::vector<std::string> names;
    for (std::size_t i = 0; i < count; ++i) {
        // Half small, four in ten a phone's, one in ten a camera's.
        const std::string& base = bases[i % 10 < 5 ? 0 : i % 10 < 9 ? 1 : 2];
        char date[32];
        std::snprintf(date, sizeof date, "20%02zu:%02zu:%02zu %02zu:%02zu:%02zu", 10 + i % 15,
                      1 + i % 12, 1 + i % 28, i % 24, i % 60, (i / 60) % 60);
        const std::string name = "IMG_" + std::to_string(10000 + i) + ".jpg";
        writeWhole(folder + "/" + name,
                   base.substr(0, 2) + test::exifSegment(date, "Camera " + std::to_string(i % 7)) +
                       base.substr(2));
        names.push_back(name);
    }
    return names;
}

std::size_t readWithReader(int folder, const std::vector<std::string>& names, unsigned threads) {
    static const FieldReader reader({FileField::taken});
    std::atomic<std::size_t> next{0};
    std::atomic<std::size_t> dated{0};
    const auto work = [&] {
        for (std::size_t i; (i = next++) < names.size();)
            dated += reader.read(folder, names[i]).has(FileField::taken) ? 1 : 0;
    };
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < threads; ++t)
        pool.emplace_back(work);
    work();
    for (std::thread& t : pool)
        t.join();
    return dated;
}

std::size_t rawLoop(int folder, const std::vector<std::string>& names) {
    static char buffer[64 * 1024];
    std::size_t bytes = 0;
    for (const std::string& name : names) {
        const int fd = openat(folder, name.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        const ssize_t n = read(fd, buffer, sizeof buffer);
        bytes += n > 0 ? static_cast<std::size_t>(n) : 0;
        close(fd);
    }
    return bytes;
}

// A Scan of the photos with their date taken in the prefix, as the window or the command line
// makes it; the rows that got a date.
std::size_t scanWithTaken(const std::string& folder, int jobs) {
    static const auto fs = makePosixFileSystem();
    static const auto clock = makeSystemClock();
    RenameSettings settings;
    settings.setText(Option::Edit1, folder + "/");
    settings.setText(Option::Edit3, "*.jpg");
    settings.setChecked(Option::CheckBox2, true);
    settings.setText(Option::Edit2, "{taken:%Y-%m-%d %H.%M.%S} ");
    settings.setChecked(ExtendedOption::Fields, true);
    bench::CollectorView view;
    Renamer renamer(settings, *fs, *clock, view);
    renamer.flags().Jobs = jobs;
    renamer.Button5Click();
    return view.rows.size();
}

}  // namespace

int main() {
    const std::size_t count = envSize("ZR_BENCH_PHOTOS", 10000);
    const std::string folder = bench::freshBenchFolder("fields");
    mkdir(folder.c_str(), 0700);
    std::printf("making %zu photos in %s...\n", count, folder.c_str());
    const std::vector<std::string> names = makePhotos(folder, count);
    const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);

    rawLoop(dir, names);  // into the page cache
    std::size_t dated = 0;
    const double reader = bestOfThree([&] { dated = readWithReader(dir, names, 1); });
    const double threaded = bestOfThree([&] { readWithReader(dir, names, 4); });
    const double raw = bestOfThree([&] { rawLoop(dir, names); });
    std::size_t scanned = 0;
    const double scan = bestOfThree([&] { scanned = scanWithTaken(folder, 16); });
    const double scanOne = bestOfThree([&] { scanWithTaken(folder, 1); });
    if (scanned != names.size()) {
        std::fprintf(stderr, "the scan showed %zu rows of %zu\n", scanned, names.size());
        return 1;
    }
    std::printf("%zu of %zu photos with a date taken\n", dated, names.size());
    if (dated != names.size())
        return 1;
    const auto start = SteadyClock::now();
    if (!run({"exiftool", "-q", "-q", "-DateTimeOriginal", "-d", "%Y-%m-%d %H.%M.%S", folder})) {
        std::fprintf(stderr, "exiftool (libimage-exiftool-perl) is needed for the comparison\n");
        return 1;
    }
    const double exiftool = std::chrono::duration<double>(SteadyClock::now() - start).count();

    std::printf("%-34s %8.3f s  vs %-28s %8.3f s  ratio %5.1f  (goal >= 20)\n",
                "exiftool -DateTimeOriginal -d", exiftool, "field reader", reader,
                exiftool / reader);
    std::printf("%-34s %8.3f s  vs %-28s %8.3f s  ratio %5.2f  (goal <= 2.0)\n", "field reader",
                reader, "open + read 64 KiB loop", raw, reader / raw);
    std::printf("%-34s %8.3f s  vs %-28s %8.3f s  ratio %5.2f  (for scale)\n",
                "field reader, 4 threads", threaded, "field reader, 1 thread", reader,
                threaded / reader);
    std::printf("%-34s %8.3f s  vs %-28s %8.3f s  ratio %5.1f  (goal >= 20)\n",
                "exiftool -DateTimeOriginal -d", exiftool, "scan with {taken}", scan,
                exiftool / scan);
    std::printf("%-34s %8.3f s  vs %-28s %8.3f s  ratio %5.2f  (for scale)\n",
                "scan with {taken}, --jobs 1", scanOne, "scan with {taken}", scan, scanOne / scan);
    close(dir);
    bench::removeTree(folder);
    return 0;
}
