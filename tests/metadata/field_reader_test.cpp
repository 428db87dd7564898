// SPDX-License-Identifier: GPL-3.0-or-later
#include "metadata/field_reader.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <map>
#include <thread>

#include "metadata/field_text.h"
#include "metadata/file_kind.h"
#include "platform/file_system.h"
#include "platform/read_only_file.h"
#include "support/child_process.h"
#include "support/shim_rules.h"
#include "support/temp_dir.h"

namespace zr {
namespace {

using namespace std::string_literals;
using test::TempDir;

constexpr FileFieldSet kAllFields{FileField::taken,  FileField::camera, FileField::width,
                                  FileField::height, FileField::artist, FileField::album,
                                  FileField::title,  FileField::track,  FileField::disc,
                                  FileField::year,   FileField::genre};

using Folder = test::FolderHandle;

// A value as the tests compare it: a date as "%Y-%m-%d %H:%M:%S" (with " %z" when it has a zone
// and `zone` is asked), a number in decimal, "-" for none.
std::string show(const FileFields& values, FileField field, bool zone = true) {
    if (const FieldDate* date = values.date(field)) {
        char text[64];
        const std::tm tm = date->toTm();
        std::strftime(text, sizeof text,
                      zone && date->hasZone() ? "%Y-%m-%d %H:%M:%S %z" : "%Y-%m-%d %H:%M:%S", &tm);
        return text;
    }
    if (const std::string* text = values.text(field))
        return *text;
    if (const auto number = values.number(field))
        return std::to_string(*number);
    return "-";
}

// What a text field must always be, whatever the file held.
bool wellFormedText(const std::string& text) {
    return !text.empty() && text.size() <= kMaxFieldTextBytes && nameText(text) == text;
}

// exiftool's JSON output (-j): a list of flat objects of strings and numbers.
std::vector<std::map<std::string, std::string>> parseExiftoolJson(const std::string& json) {
    std::vector<std::map<std::string, std::string>> objects;
    std::size_t i = 0;
    const auto skip = [&] {
        while (i < json.size() && std::isspace(static_cast<unsigned char>(json[i])))
            ++i;
    };
    const auto string = [&] {
        std::string out;
        for (++i; i < json.size() && json[i] != '"'; ++i) {
            if (json[i] != '\\') {
                out += json[i];
                continue;
            }
            const char c = json[++i];
            if (c == 'u') {
                const char32_t code = std::stoul(json.substr(i + 1, 4), nullptr, 16);
                i += 4;
                if (code < 0x80) {
                    out += static_cast<char>(code);
                } else if (code < 0x800) {
                    out += static_cast<char>(0xC0 | (code >> 6));
                    out += static_cast<char>(0x80 | (code & 0x3F));
                } else {
                    out += static_cast<char>(0xE0 | (code >> 12));
                    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
                    out += static_cast<char>(0x80 | (code & 0x3F));
                }
            } else {
                out += c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
            }
        }
        ++i;
        return out;
    };
    for (; i < json.size(); ++i) {
        if (json[i] != '{')
            continue;
        std::map<std::string, std::string> object;
        for (++i, skip(); i < json.size() && json[i] == '"'; skip()) {
            const std::string key = string();
            skip();
            ++i;  // ':'
            skip();
            std::string value;
            if (json[i] == '"') {
                value = string();
            } else {
                while (i < json.size() && json[i] != ',' && json[i] != '}' && json[i] != '\n')
                    value += json[i++];
            }
            object[key] = value;
            skip();
            if (json[i] == ',')
                ++i;
        }
        objects.push_back(std::move(object));
    }
    return objects;
}

// The corpus, made once for all the tests by tests/metadata/make_corpus.sh.
class Corpus {
public:
    static Corpus& get() {
        static Corpus corpus;
        return corpus;
    }
    const std::string& path() const { return m_dir.path(); }
    std::vector<std::string> files() const { return test::listNames(m_dir.path()); }
    std::string operator/(std::string_view name) const { return m_dir / name; }
    // exiftool's programs must not have the fault shim (nor a sanitizer runtime) preloaded.
    static test::ProcessOptions toolOptions() {
        test::ProcessOptions options;
        options.env = {"LD_PRELOAD=", "TZ=UTC"};
        return options;
    }

private:
    Corpus() {
        test::ChildProcess make("/bin/sh", {ZR_CORPUS_SCRIPT, m_dir.path()}, toolOptions());
        const test::ProcessResult result = make.wait();
        if (result.status != 0)
            throw std::runtime_error("the corpus could not be made: " + result.err);
    }
    TempDir m_dir;
};

FileFields readAll(const std::string& folder, const std::string& name,
                   FileFieldSet wanted = kAllFields) {
    const Folder dir(folder);
    return FieldReader(wanted).read(dir.fd(), name);
}

FileKind kindOf(const std::string& path) {
    ReadOnlyFile file;
    const Folder dir(std::string(directoryOfPath(path)));
    return ReadOnlyFile::open(dir.fd(), std::string(nameOfPath(path)), file) == 0
               ? sniffFileKind(file)
               : FileKind::unknown;
}

// The tags exiftool gives each field under, in the order it is looked for; the first present
// counts.
const std::map<FileField, std::vector<std::string>> kExiftoolTags = {
    {FileField::taken, {"DateTimeOriginal", "CreateDate"}},
    {FileField::camera, {"Model"}},
    {FileField::width, {"ImageWidth"}},
    {FileField::height, {"ImageHeight"}},
    {FileField::artist, {"Artist"}},
    {FileField::album, {"Album", "Product"}},
    {FileField::title, {"Title"}},
    {FileField::track, {"Track", "TrackNumber"}},
    {FileField::disc, {"PartOfSet", "Discnumber", "DiscNumber", "DiskNumber"}},
    {FileField::year, {"Year", "RecordingTime", "Date", "DateCreated", "ContentCreateDate"}},
    {FileField::genre, {"Genre"}},
};

// What exiftool read, as the reader should give it.
std::string expectedFromExiftool(const std::map<std::string, std::string>& tags, FileField field) {
    for (const std::string& tag : kExiftoolTags.at(field)) {
        const auto it = tags.find(tag);
        if (it == tags.end())
            continue;
        switch (fileFieldKind(field)) {
            case FileFieldKind::date:
                // A movie without a time holds 0: 1904-01-01 00:00:00 UTC.
                return it->second.starts_with("0000:00:00") || it->second == "1904-01-01 00:00:00"
                           ? "-"
                           : it->second;
            case FileFieldKind::text: {
                const std::string text = nameText(it->second);
                return text.empty() ? "-" : text;
            }
            case FileFieldKind::number: {
                const auto n = leadingNumber(it->second);
                return n && *n != 0 ? std::to_string(*n) : "-";
            }
        }
    }
    return "-";
}

// Where the libraries read otherwise than exiftool, and what they give instead.
const struct KnownDifference {
    const char* file;
    FileField field;
    const char* value;
} kKnownDifferences[] = {
    // Exiv2 0.27 finds a HEIF item's data only where the item locations have no base offset,
    // which exiftool writes: the EXIF it added is not found.
    {"photo.heic", FileField::taken, "-"},
    {"photo.heic", FileField::camera, "-"},
    {"photo.avif", FileField::taken, "-"},
    {"photo.avif", FileField::camera, "-"},
    // Exiv2 takes the largest of a HEIF file's picture sizes: here the coded tile (64x64), larger
    // than the picture it is cut to (64x48).
    {"photo.heic", FileField::height, "64"},
    // TagLib reads a WAV file's track number from its INFO "IPRT", which exiftool does not know.
    {"song.wav", FileField::track, "3"},
};

const char* knownDifference(const std::string& file, FileField field) {
    for (const KnownDifference& d : kKnownDifferences) {
        if (file == d.file && field == d.field)
            return d.value;
    }
    return nullptr;
}

TEST(FieldReaderCorpus, EveryFieldEqualsWhatExiftoolReads) {
    const Corpus& corpus = Corpus::get();
    std::vector<std::string> args = {"-j", "-api", "QuickTimeUTC", "-d", "%Y-%m-%d %H:%M:%S"};
    for (const auto& [field, tags] : kExiftoolTags) {
        for (const std::string& tag : tags)
            args.push_back("-" + tag);
    }
    for (const std::string& name : corpus.files())
        args.push_back(corpus / name);
    test::ChildProcess exiftool("exiftool", args, Corpus::toolOptions());
    const test::ProcessResult result = exiftool.wait();
    ASSERT_EQ(result.status, 0) << result.err;
    const auto objects = parseExiftoolJson(result.out);
    ASSERT_EQ(objects.size(), corpus.files().size());
    std::string verified;
    for (const auto& tags : objects) {
        const std::string path = tags.at("SourceFile");
        const std::string name(nameOfPath(path));
        SCOPED_TRACE(name);
        const FileFields values = readAll(corpus.path(), name);
        EXPECT_EQ(values.error, 0);
        int compared = 0;
        int present = 0;
        for (std::size_t i = 0; i < kFileFieldCount; ++i) {
            const auto field = static_cast<FileField>(i);
            if (!fieldsOfKind(kindOf(path)).contains(field))
                continue;
            SCOPED_TRACE(fileFieldName(field));
            const char* known = knownDifference(name, field);
            const std::string expected = known ? known : expectedFromExiftool(tags, field);
            EXPECT_EQ(show(values, field, false), expected);
            ++compared;
            present += !known && expected != "-";
        }
        EXPECT_GT(compared, 0) << "a file of no kind the reader knows";
        verified +=
            " " + name + " (" + std::to_string(present) + "/" + std::to_string(compared) + ")";
    }
    std::cout << "verified against exiftool (fields present/compared):" << verified << "\n";
}

TEST(FieldReaderCorpus, ReadsWhatTheFilesHold) {
    const Corpus& corpus = Corpus::get();
    const struct {
        const char* file;
        FileField field;
        std::string value;
    } rows[] = {
        {"photo.jpg", FileField::taken, "2021-06-15 10:20:30 +0200"},  // with its offset time
        {"photo.jpg", FileField::camera, "Nikon D-7000"},
        {"photo.tif", FileField::width, "33"},
        {"digitized.jpg", FileField::taken, "2019-12-31 23:59:59"},  // the create date
        {"xmp.jpg", FileField::taken, "2020-02-29 12:00:00 +0530"},  // only in XMP
        {"xmp.jpg", FileField::camera, "Pixel 7"},
        {"plain.jpg", FileField::taken, "-"},
        {"plain.jpg", FileField::camera, "-"},
        {"plain.jpg", FileField::height, "61"},
        {"song.mp3", FileField::artist, "Art-ist"},
        {"song.mp3", FileField::track, "3"},
        {"song.m4a", FileField::disc, "1"},
        {"song.opus", FileField::year, "2019"},
        {"id3v23.mp3", FileField::artist, "Zo\xC3\xAB \xC3\x9Crban"},
        {"id3v23.mp3", FileField::title,
         "\xC3\x87"
         "a-va bien"},
        {"id3v23.mp3", FileField::year, "1987"},
        {"control.flac", FileField::title, "AC-DC live[31m"},
        {"id3v1.mp3", FileField::title, "Caf\xC3\xA9-Ol\xC3\xA9"},  // ISO 8859-1 in the tag
        {"id3v1.mp3", FileField::genre, "Blues"},
        {"clip.mov", FileField::taken, "2018-03-04 05:06:07 +0000"},  // UTC, shown in TZ=UTC
        {"notime.mp4", FileField::taken, "-"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file + " "s + std::string(fileFieldName(row.field)));
        EXPECT_EQ(show(readAll(corpus.path(), row.file), row.field), row.value);
    }
}

TEST(FieldReaderCorpus, AFileGoesOnlyWhereItsBytesSayAndOnlyForWantedFields) {
    const Corpus& corpus = Corpus::get();
    TempDir dir;
    std::filesystem::copy_file(corpus / "photo.jpg", dir / "photo.mp3");
    std::filesystem::copy_file(corpus / "song.mp3", dir / "song.jpg");
    test::writeFile(dir / "text.jpg", "not a picture at all");
    EXPECT_EQ(show(readAll(dir.path(), "photo.mp3"), FileField::taken),
              "2021-06-15 10:20:30 +0200");
    EXPECT_EQ(show(readAll(dir.path(), "song.jpg"), FileField::title), "Tit");
    EXPECT_EQ(show(readAll(dir.path(), "song.jpg"), FileField::taken), "-");
    const FileFields text = readAll(dir.path(), "text.jpg");
    for (std::size_t i = 0; i < kFileFieldCount; ++i)
        EXPECT_FALSE(text.has(static_cast<FileField>(i)));
    // Only what was asked for.
    const FileFields artistOnly = readAll(corpus.path(), "song.flac", {FileField::artist});
    EXPECT_EQ(show(artistOnly, FileField::artist), "Art-ist");
    EXPECT_FALSE(artistOnly.has(FileField::title));
    EXPECT_FALSE(readAll(corpus.path(), "photo.jpg", {FileField::artist}).has(FileField::taken));
    // Nothing asked: nothing is opened, not even a name that names nothing.
    EXPECT_EQ(readAll(corpus.path(), "missing.jpg", {}).error, 0);
    EXPECT_EQ(readAll(corpus.path(), "missing.jpg").error, ENOENT);
}

// What is written to the standard error while it lives.
class ErrorOutput {
public:
    explicit ErrorOutput(const std::string& path) : m_path(path), m_saved(dup(STDERR_FILENO)) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fd, STDERR_FILENO);
        ::close(fd);
    }
    ~ErrorOutput() { restore(); }
    std::string text() {
        restore();
        return test::readFile(m_path);
    }

private:
    void restore() {
        if (m_saved < 0)
            return;
        std::fflush(stderr);
        dup2(m_saved, STDERR_FILENO);
        ::close(m_saved);
        m_saved = -1;
    }
    std::string m_path;
    int m_saved;
};

// Whatever is left of a file, nothing read from it is wrong: a field is missing or has the
// value of the whole file, and a text is always fit for a name. What the libraries make of such
// files never reaches the terminal.
TEST(FieldReaderCorpus, ACutOrGarbledFileGivesNoWrongValue) {
    const Corpus& corpus = Corpus::get();
    TempDir dir;
    ErrorOutput errors(dir / "stderr");
    unsigned seed = 24;
    for (const std::string& name : corpus.files()) {
        SCOPED_TRACE(name);
        const std::string bytes = test::readFile(corpus / name);
        const FileFields whole = readAll(corpus.path(), name);
        for (const std::size_t length : {bytes.size() / 2, bytes.size() / 5, std::size_t{20}}) {
            test::writeFile(dir / name, bytes.substr(0, length));
            const FileFields cut = readAll(dir.path(), name);
            for (std::size_t i = 0; i < kFileFieldCount; ++i) {
                const auto field = static_cast<FileField>(i);
                if (cut.has(field)) {
                    EXPECT_EQ(show(cut, field), show(whole, field)) << length << " bytes";
                }
            }
        }
        for (int round = 0; round < 8; ++round) {
            std::string garbled = bytes;
            for (std::size_t i = 16; i < garbled.size(); ++i) {
                seed = seed * 1103515245 + 12345;
                if ((seed >> 16) % 4 == 0)
                    garbled[i] = static_cast<char>(seed >> 24);
            }
            test::writeFile(dir / name, garbled);
            const FileFields values = readAll(dir.path(), name);
            for (std::size_t i = 0; i < kFileFieldCount; ++i) {
                if (const std::string* text = values.text(static_cast<FileField>(i))) {
                    EXPECT_TRUE(wellFormedText(*text)) << *text;
                }
            }
        }
        std::filesystem::remove(dir / name);
    }
    EXPECT_EQ(errors.text(), "");
}

TEST(FieldReaderCorpus, SeveralThreadsReadAsOne) {
    const Corpus& corpus = Corpus::get();
    const std::vector<std::string> names = corpus.files();
    const FieldReader reader(kAllFields);
    const Folder folder(corpus.path());
    const auto readEvery = [&] {
        std::string seen;
        for (const std::string& name : names) {
            const FileFields values = reader.read(folder.fd(), name);
            for (std::size_t i = 0; i < kFileFieldCount; ++i)
                seen += show(values, static_cast<FileField>(i)) + "|";
            seen += "\n";
        }
        return seen;
    };
    const std::string alone = readEvery();
    std::vector<std::string> seen(4);
    std::vector<std::thread> threads;
    for (std::string& s : seen)
        threads.emplace_back([&] {
            for (int round = 0; round < 3; ++round)
                s += readEvery();
        });
    for (std::thread& t : threads)
        t.join();
    for (const std::string& s : seen)
        EXPECT_EQ(s, alone + alone + alone);
}

// An ID3v2 tag of 200 MB, sparse on the disk: its title comes first, a frame as large as the tag
// after it. The reader takes at most a bounded block of it.
TEST(FieldReader, AHugeTagCostsBoundedMemory) {
    TempDir dir;
    const auto syncsafe = [](std::uint32_t n) {
        return std::string{static_cast<char>((n >> 21) & 0x7F), static_cast<char>((n >> 14) & 0x7F),
                           static_cast<char>((n >> 7) & 0x7F), static_cast<char>(n & 0x7F)};
    };
    const std::uint32_t tagSize = 200u << 20;
    std::string tag = "ID3\x04\x00\x00"s + syncsafe(tagSize);
    tag += "TIT2" + syncsafe(4) + "\0\0\x03"s + "Big";
    tag += "PRIV" + syncsafe(tagSize - 100) + "\0\0"s + "owner";
    test::writeFile(dir / "huge.mp3", tag);
    ASSERT_EQ(truncate((dir / "huge.mp3").c_str(), 10 + tagSize + 4096), 0);
    const std::string path = dir.path();
    const std::string seen = test::runInChild(
        [path] {
            rusage before;
            getrusage(RUSAGE_SELF, &before);
            const FileFields values = readAll(path, "huge.mp3");
            rusage after;
            getrusage(RUSAGE_SELF, &after);
            return show(values, FileField::title) + " " +
                   std::to_string((after.ru_maxrss - before.ru_maxrss) / 1024);
        },
        {});
    const std::size_t space = seen.find(' ');
    EXPECT_EQ(seen.substr(0, space), "Big");
    EXPECT_LT(std::stol(seen.substr(space + 1)), 100) << "MiB more at the peak";
}

std::string box(const char* type, const std::string& content) {
    const std::uint32_t size = static_cast<std::uint32_t>(8 + content.size());
    return std::string{static_cast<char>(size >> 24), static_cast<char>(size >> 16),
                       static_cast<char>(size >> 8), static_cast<char>(size)} +
           type + content;
}

std::string bigEndian(std::uint64_t value, int bytes) {
    std::string out;
    for (int i = bytes - 1; i >= 0; --i)
        out += static_cast<char>(value >> (8 * i));
    return out;
}

// A movie header of version 0 (32-bit times) or 1 (64-bit), the rest of it zeros.
std::string movieHeader(std::uint64_t created, int version = 0) {
    const int width = version == 1 ? 8 : 4;
    return box("mvhd", std::string{static_cast<char>(version), 0, 0, 0} +
                           bigEndian(created, width) + std::string(88, '\0'));
}

TEST(FieldReader, FindsTheMovieHeaderWhereverItStands) {
    // 2021-06-15 10:20:30 UTC, in seconds since 1904.
    const std::uint64_t t = 3706597230;
    const std::string ftyp = box("ftyp", "isom\0\0\x02\0isommp41"s);
    const std::string track = box("trak", box("tkhd", std::string(84, '\0')));
    const std::string large = "\0\0\0\x01moov"s + bigEndian(16 + movieHeader(t).size(), 8);
    const struct {
        const char* what;
        std::string bytes;
        const char* taken;
    } rows[] = {
        {"first", ftyp + box("moov", movieHeader(t)), "2021-06-15 10:20:30 +0000"},
        {"after the media",
         ftyp + box("mdat", std::string(5000, 'x')) + box("moov", movieHeader(t)),
         "2021-06-15 10:20:30 +0000"},
        {"after a track", ftyp + box("moov", track + movieHeader(t)), "2021-06-15 10:20:30 +0000"},
        {"version 1", ftyp + box("moov", movieHeader(t, 1)), "2021-06-15 10:20:30 +0000"},
        {"64-bit size", ftyp + large + movieHeader(t), "2021-06-15 10:20:30 +0000"},
        {"runs to the end", ftyp + "\0\0\0\0moov"s + movieHeader(t), "2021-06-15 10:20:30 +0000"},
        {"QuickTime, no ftyp", box("wide", "") + box("moov", movieHeader(t)),
         "2021-06-15 10:20:30 +0000"},
        {"time 0", ftyp + box("moov", movieHeader(0)), "-"},
        {"no movie box", ftyp + box("mdat", "xx"), "-"},
        {"box larger than the file", ftyp + "\0\0\x10\0moov"s + movieHeader(t), "-"},
        {"box smaller than its header", ftyp + "\0\0\0\x04moov"s + movieHeader(t), "-"},
        {"header cut short", ftyp + box("moov", box("mvhd", "\0\0\0\0\x01"s)), "-"},
        {"unknown version", ftyp + box("moov", movieHeader(t, 2)), "-"},
    };
    TempDir dir;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        test::writeFile(dir / "clip.mp4", row.bytes);
        EXPECT_EQ(show(readAll(dir.path(), "clip.mp4", {FileField::taken}), FileField::taken),
                  row.taken);
    }
}

TEST(FieldReader, EntriesThatAreNoFileToReadAreLeftAlone) {
    TempDir dir;
    const std::string photo = test::readFile(Corpus::get() / "photo.jpg");
    test::writeFile(dir / "photo.jpg", photo);
    test::writeFile(dir / "secret.jpg", photo);
    test::makeDirectory(dir / "folder.jpg");
    ASSERT_EQ(symlink("photo.jpg", (dir / "link.jpg").c_str()), 0);
    ASSERT_EQ(mkfifo((dir / "x.jpg").c_str(), 0600), 0);
    EXPECT_EQ(readAll(dir.path(), "link.jpg").error, ELOOP);
    EXPECT_FALSE(readAll(dir.path(), "link.jpg").has(FileField::taken));
    EXPECT_EQ(readAll(dir.path(), "folder.jpg").error, kErrorNotRegularFile);
    // A pipe nobody writes to: reading it would wait for ever, so it runs where a hang is ended.
    const std::string path = dir.path();
    test::ChildOptions limited;
    limited.timeout = std::chrono::seconds(30);
    EXPECT_EQ(
        test::runInChild([path] { return std::to_string(readAll(path, "x.jpg").error); }, limited),
        std::to_string(kErrorNotRegularFile));

    test::ShimRules shim;
    if (!shim.loaded())
        GTEST_SKIP() << "the rest needs the fault shim preloaded, as ctest does";
    // No read permission (which root never lacks), and a disk that fails while reading.
    shim.set("open~secret.jpg=EACCES");
    EXPECT_EQ(readAll(dir.path(), "secret.jpg").error, EACCES);
    shim.set("read~secret.jpg@3=EIO");
    const FileFields failed = readAll(dir.path(), "secret.jpg");
    EXPECT_EQ(failed.error, EIO);
    EXPECT_EQ(failed.has(FileField::taken), false);
    // Not the owner: the access time cannot be kept, and the file is read all the same.
    shim.set("open~photo.jpg@1=EPERM");
    EXPECT_EQ(show(readAll(dir.path(), "photo.jpg"), FileField::taken),
              "2021-06-15 10:20:30 +0200");
}

TEST(FieldReader, LeavesTheAccessTimeAlone) {
    TempDir dir;
    test::writeFile(dir / "photo.jpg", test::readFile(Corpus::get() / "photo.jpg"));
    const timespec old[2] = {{1000000000, 0}, {UTIME_OMIT, UTIME_OMIT}};
    const auto accessed = [&] {
        struct stat st;
        stat((dir / "photo.jpg").c_str(), &st);
        return st.st_atime;
    };
    // Only where the file system keeps access times (as relatime does, for an access time older
    // than the last change).
    ASSERT_EQ(utimensat(AT_FDCWD, (dir / "photo.jpg").c_str(), old, 0), 0);
    test::readFile(dir / "photo.jpg");
    if (accessed() == 1000000000)
        GTEST_SKIP() << "the file system here keeps no access times";
    ASSERT_EQ(utimensat(AT_FDCWD, (dir / "photo.jpg").c_str(), old, 0), 0);
    EXPECT_TRUE(readAll(dir.path(), "photo.jpg").has(FileField::taken));
    EXPECT_EQ(accessed(), 1000000000);
}

}  // namespace
}  // namespace zr
