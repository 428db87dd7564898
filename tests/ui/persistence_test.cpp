// SPDX-License-Identifier: GPL-3.0-or-later
// The window as it was left: remembered geometry and options across a restart, the version rule,
// closing (refused while a command runs, the question about undo data), and settings files saved
// and loaded through the popup menu.
#include <unistd.h>

#include <QComboBox>
#include <QHeaderView>
#include <QScreen>
#include <QTest>

#include "support/store_text.h"
#include "window_fixture.h"

using namespace zr;
using namespace zr::test;

namespace {

using test::kStoreHeader;
using test::kStoreKey;
using test::kStoreParent;

// The value names of the remembered key, in the store's order.
std::vector<std::string> storedNames(SettingsStore& store) {
    bool exists = false;
    if (store.openKey(false, exists) || !exists)
        return {};
    std::vector<std::string> names = store.valueNames();
    store.closeKey();
    return names;
}

}  // namespace

class PersistenceTest : public QObject {
    Q_OBJECT

    std::unique_ptr<WindowFixture> f;

    RenameSettings& settings() { return f->window->settings(); }
    // Starts the program with this store.
    void startWithStore(const std::string& values) {
        f = std::make_unique<WindowFixture>(false);
        writeFile(f->storePath, test::storeWithKey(values));
        f->start();
    }
    QHeaderView* header() { return f->find<QTableView>("ListView1")->horizontalHeader(); }

private slots:
    void initTestCase() { QApplication::setApplicationName(QStringLiteral("Zentarel Renamer")); }
    void cleanup() { f.reset(); }

    void firstStartRestoresTheDefaultsAndTheCloseWritesEverything() {
        f = std::make_unique<WindowFixture>();
        QCOMPARE(f->edit("Edit1")->text(), "/tmp/");
        QCOMPARE(f->edit("Edit3")->text(), "*.jpg;*.gif");
        QCOMPARE(QApplication::focusWidget(), f->button("Button1"));
        QVERIFY(!exists(f->storePath));

        QVERIFY(f->window->close());
        std::vector<std::string> expected = {"ver", "vx",  "vy",  "px",  "py",
                                             "rx0", "rx1", "rx2", "rx3", "rx4"};
        for (const OptionInfo& o : RenameSettings::all())
            expected.push_back(o.key);
        for (const ExtendedOptionInfo& o : allExtended())
            expected.push_back(o.key);
        QCOMPARE(storedNames(*f->store), expected);
        std::int32_t value = 0;
        bool keyExists = false;
        QVERIFY(f->store->openKey(false, keyExists) == std::nullopt);
        QVERIFY(keyExists);
        QCOMPARE(f->store->readInteger("ver", value), std::nullopt);
        QCOMPARE(value, 1005);
        QCOMPARE(f->store->readInteger("vx", value), std::nullopt);
        QCOMPARE(value, 602);
        QCOMPARE(f->store->readInteger("vy", value), std::nullopt);
        QCOMPARE(value, 565);
        QCOMPARE(f->store->readInteger("rx2", value), std::nullopt);
        QCOMPARE(value, 55);
        f->store->closeKey();
        QVERIFY(f->dialogs.log.isEmpty());
    }

    void theNextStartBringsTheWindowBackAsItWasLeft() {
        f = std::make_unique<WindowFixture>();
        settings().setText(Option::Edit1, "/home/ann/Fotky/");
        settings().setChecked(Option::CheckBox5, true);
        settings().setText(Option::Edit5, " copy;;small ");
        settings().setChecked(Option::CheckBox16, true);
        settings().setChecked(Option::CheckBox14, true);
        settings().setChecked(Option::CheckBox7, true);
        settings().setItemIndex(kFirstUpper);
        f->window->resize(900 - Tmain::kFrameWidth, f->window->height());
        f->window->move(150, 70);
        header()->resizeSection(1, 140);
        QVERIFY(f->restart());

        QCOMPARE(f->edit("Edit1")->text(), "/home/ann/Fotky/");
        QCOMPARE(f->edit("Edit5")->text(), " copy;;small ");
        QCOMPARE(f->find<QComboBox>("ComboBox1")->currentIndex(), int(kFirstUpper));
        QVERIFY(f->box("CheckBox7")->isChecked());
        QVERIFY(!f->box("CheckBox6")->isChecked());
        // The click reactions ran: every enabling rule holds.
        QVERIFY(f->edit("Edit5")->isEnabled());
        QVERIFY(f->edit("Edit9")->isEnabled());
        QVERIFY(f->edit("Edit10")->isEnabled());
        QVERIFY(!f->edit("Edit3")->isEnabled());
        QVERIFY(!f->box("CheckBox11")->isEnabled());
        QVERIFY(!f->edit("Edit2")->isEnabled());
        QCOMPARE(f->window->width() + Tmain::kFrameWidth, 900);
        QCOMPARE(f->find("ListView1")->width(), 900 - 310);
        QCOMPARE(f->window->pos(), QPoint(150, 70));
        QCOMPARE(header()->sectionSize(1), 140);
        // Each rule that moved the focus gave way to the focus on "&Go !".
        QCOMPARE(QApplication::focusWidget(), f->button("Button1"));
    }

    void anotherVersionIsDeletedAndLaterActivationsChangeNothing() {
        startWithStore("\"ver\"=dword:000003ec\n\"ed8\"=\"/old/\"\n");
        QCOMPARE(f->edit("Edit1")->text(), "/tmp/");
        QCOMPARE(readFile(f->storePath), kStoreHeader + kStoreParent + "\n");
        settings().setText(Option::Edit1, "/mine/");
        f->window->FormActivate();
        QVERIFY(f->window->isActiveWindow());
        QCOMPARE(f->edit("Edit1")->text(), "/mine/");
    }

    void aStoreWithoutVersionAppliesAsCurrent() {
        startWithStore("\"ed8\"=\"/photos/\"\n\"ch28\"=dword:00000001\n");
        QCOMPARE(f->edit("Edit1")->text(), "/photos/");
        QVERIFY(f->edit("Edit8")->isEnabled());
    }

    void aFolderOnTheCommandLineWinsOverTheRememberedStartDirectory() {
        struct Case {
            const char* folder;  // relative to the program's working directory
            const char* edit1;   // "Start dir" after the first activation; "" the remembered one
            const char* warning;
        };
        for (const Case& c :
             {Case{"photos", "/photos/", nullptr}, Case{"link", "/photos/", nullptr},
              Case{"nowhere", "", "Warning Cannot find directory nowhere"},
              Case{"a file", "", "Warning Cannot find directory a file"}}) {
            f = std::make_unique<WindowFixture>(false);
            makeDirectory(f->dir / "photos");
            QCOMPARE(symlink("photos", (f->dir / "link").c_str()), 0);
            writeFile(f->dir / "a file");
            writeFile(f->storePath,
                      test::storeWithKey("\"ed8\"=\"/remembered/\"\n\"ch28\"=dword:00000001\n"));
            f->startFolder = c.folder;
            f->start();
            const std::string expected = *c.edit1 ? f->dir.path() + c.edit1 : "/remembered/";
            QCOMPARE(f->edit("Edit1")->text().toStdString(), expected);
            // The rest of the remembered options still apply.
            QVERIFY(f->box("CheckBox10")->isChecked());
            QCOMPARE(f->dialogs.log, c.warning ? QStringList{c.warning} : QStringList{});
            // Only the first activation applies it.
            settings().setText(Option::Edit1, "/mine/");
            f->window->FormActivate();
            QCOMPARE(f->edit("Edit1")->text(), "/mine/");
        }
    }

    void geometryAloneRestoresNoDefaults() {
        startWithStore("\"ver\"=dword:000003ed\n\"vx\"=dword:000002bc\n");
        QCOMPARE(f->edit("Edit1")->text(), "");
        QCOMPARE(f->edit("Edit3")->text(), "");
        QCOMPARE(f->window->width() + Tmain::kFrameWidth, 700);
    }

    void rememberUncheckedKeepsTheEarlierOptions() {
        f = std::make_unique<WindowFixture>();
        settings().setText(Option::Edit1, "/first/");
        QVERIFY(f->restart());
        settings().setText(Option::Edit1, "/second/");
        settings().setChecked(Option::CheckBox15, false);
        f->window->resize(1000, f->window->height());
        QVERIFY(f->restart());
        QCOMPARE(f->edit("Edit1")->text(), "/first/");
        QVERIFY(f->box("CheckBox15")->isChecked());
        // The geometry is remembered whatever the box says.
        QCOMPARE(f->window->width(), 1000);
    }

    void aValueOfTheWrongTypeIsReportedOnce() {
        startWithStore("\"ch19\"=\"1\"\n\"ed8\"=\"/photos/\"\n");
        QCOMPARE(f->dialogs.log, QStringList{"error Invalid data type for 'ch19'"});
        QCOMPARE(f->edit("Edit1")->text(), "/photos/");
        f->window->FormActivate();
        QCOMPARE(f->dialogs.log.size(), 1);
    }

    void aVersionOfTheWrongTypeShowsTheDefaultsAndClosingWritesThem() {
        startWithStore("\"ver\"=\"1005\"\n\"ed8\"=\"/photos/\"\n\"ed11\"=\"\"\n");
        QCOMPARE(f->dialogs.log, QStringList{"error Invalid data type for 'ver'"});
        QCOMPARE(f->edit("Edit1")->text(), "/tmp/");
        QCOMPARE(f->edit("Edit3")->text(), "*.jpg;*.gif");
        QVERIFY(f->restart());
        QCOMPARE(f->dialogs.log.size(), 1);
        QCOMPARE(f->edit("Edit1")->text(), "/tmp/");
        QCOMPARE(f->edit("Edit3")->text(), "*.jpg;*.gif");
    }

    void aRememberedPlaceOffEveryScreenBringsTheWindowBack() {
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        for (const char* place :
             {"\"px\"=dword:00001388\n\"py\"=dword:00001388\n",
              "\"px\"=dword:fffff448\n\"py\"=dword:00000028\n", "\"py\"=dword:ffffff00\n"}) {
            startWithStore(std::string("\"ver\"=dword:000003ed\n") + place);
            QVERIFY2(screen.contains(f->window->frameGeometry()), place);
        }
        // Each value applies on its own.
        startWithStore("\"ver\"=dword:000003ed\n\"px\"=dword:00000078\n");
        QCOMPARE(f->window->x(), 120);
        startWithStore("\"ver\"=dword:000003ed\n\"py\"=dword:00000014\n");
        QCOMPARE(f->window->y(), 20);
    }

    void aStoreThatCannotBeSavedAtCloseSaysSoAndWhy() {
        f = std::make_unique<WindowFixture>();
        const std::string folder = f->storePath.substr(0, f->storePath.rfind('/'));
        writeFile(folder, "a file where the store's folder goes");
        QVERIFY(f->window->close());
        QCOMPARE(f->dialogs.log.size(), 1);
        QVERIFY2(f->dialogs.log[0].startsWith("error The settings could not be saved: "),
                 qPrintable(f->dialogs.log[0]));
        QVERIFY2(f->dialogs.log[0].contains("Not a directory"), qPrintable(f->dialogs.log[0]));

        f = std::make_unique<WindowFixture>();
        makeDirectory(f->storePath);  // no store can be read or written there
        QVERIFY(f->window->close());
        QCOMPARE(f->dialogs.log,
                 QStringList{QString::fromStdString(
                     "error The settings could not be saved: Unable to read the settings store " +
                     f->storePath + ": it is not a regular file.")});
    }

    void anUnreadableStoreIsReportedAndMovedAside() {
        f = std::make_unique<WindowFixture>(false);
        writeFile(f->storePath, "garbage\n");
        f->start();
        QCOMPARE(f->dialogs.log.size(), 1);
        QVERIFY(f->dialogs.log[0].contains("cannot be read"));
        QVERIFY(f->dialogs.log[0].contains(".unreadable"));
        QCOMPARE(readFile(f->storePath + ".unreadable"), "garbage\n");
        QCOMPARE(f->edit("Edit1")->text(), "/tmp/");
    }

    void closingWhileACommandRunsWritesNothing() {
        f = std::make_unique<WindowFixture>();
        f->window->renamer().flags().ScanRunning = true;
        QVERIFY(!f->window->close());
        QVERIFY(f->dialogs.log.isEmpty());
        QVERIFY(!exists(f->storePath));
        f->window->renamer().flags().ScanRunning = false;
    }

    void closingWithUndoDataAsksFirst() {
        f = std::make_unique<WindowFixture>();
        RunFlags& flags = f->window->renamer().flags();
        flags.Journal.append("/x", "A", "a");
        flags.JournalCount = 1;
        f->dialogs.answers = {false};
        QVERIFY(!f->window->close());
        QCOMPARE(f->dialogs.log,
                 QStringList{"ask Are you sure to discard undo data when closing ?"});
        QVERIFY(f->window->isVisible());
        QVERIFY(!exists(f->storePath));
        f->dialogs.answers = {true};
        QVERIFY(f->window->close());
        QVERIFY(exists(f->storePath));
    }

    void aStoreThatCannotBeWrittenKeepsThePreviousOne() {
        f = std::make_unique<WindowFixture>();
        settings().setText(Option::Edit1, "/kept/");
        QVERIFY(f->restart());
        const std::string before = readFile(f->storePath);
        settings().setText(Option::Edit1, "/lost/");
        f->fileSystem.failWritesAfter(200);  // the disk fills up half-way through the new store
        QVERIFY(f->window->close());
        QCOMPARE(f->dialogs.log,
                 QStringList{QString::fromStdString(
                     "error The settings could not be saved: Failed to set data for 'ver': "
                     "cannot write " +
                     f->storePath + ": No space left on device.")});
        QCOMPARE(readFile(f->storePath), before);
    }

    void settingsFilesRoundTripAwkwardValues() {
        f = std::make_unique<WindowFixture>();
        const std::string file = f->dir / "my.rns";
        writeFile(file, "[Other]\r\nkeep=this\r\n");
        settings().setText(Option::Edit2, " \"quoted\" a;b = [c] ");
        settings().setText(Option::Edit5, "ä;;ö ");
        settings().setText(Option::Edit1, "/Fotky/Léto 2024/");
        settings().setChecked(Option::CheckBox3, true);
        f->dialogs.chosenFile = QString::fromStdString(file);
        f->action("Savesettings1")->trigger();
        const FileDialogRequest& asked = f->dialogs.lastFileDialog;
        QVERIFY(asked.save);
        QCOMPARE(asked.title, "Choose file ...");
        QCOMPARE(asked.filter, "Renamer saved settings (*.rns);;All files (*)");
        QCOMPARE(asked.defaultSuffix, "rns");
        QCOMPARE(asked.proposedName, "renamer");
        QCOMPARE(asked.directory, QString::fromStdString(f->dir.path()));
        QVERIFY(readFile(file).starts_with("[Other]\r\nkeep=this\r\n"));

        f->action("Restoredefaults1")->trigger();
        settings().setChecked(Option::CheckBox3, false);
        f->action("LoadSettings1")->trigger();
        QVERIFY(!f->dialogs.lastFileDialog.save);
        QCOMPARE(settings().text(Option::Edit2), " \"quoted\" a;b = [c] ");
        QCOMPARE(settings().text(Option::Edit5), "ä;;ö ");
        QCOMPARE(settings().text(Option::Edit1), "/Fotky/Léto 2024/");
        QVERIFY(f->edit("Edit4")->isEnabled());  // CheckBox3's reaction ran
        QCOMPARE(f->dialogs.log, (QStringList{"save Choose file ...", "open Choose file ..."}));
    }

    void loadingAnOldFileTellsSoAndRestoresTheDefaults() {
        f = std::make_unique<WindowFixture>();
        const std::string file = f->dir / "old.rns";
        writeFile(file, "[Renamer Settings]\r\nver=1004\r\ned8=/old/\r\n");
        settings().setText(Option::Edit1, "/mine/");
        f->dialogs.chosenFile = QString::fromStdString(file);
        f->action("LoadSettings1")->trigger();
        QCOMPARE(
            f->dialogs.log,
            (QStringList{"open Choose file ...",
                         "Error Old settings file !\rDo not use it for compatibility purposes."}));
        QCOMPARE(settings().text(Option::Edit1), "/tmp/");
        // A cancelled dialog changes nothing.
        settings().setText(Option::Edit1, "/mine/");
        f->dialogs.chosenFile.reset();
        f->action("LoadSettings1")->trigger();
        QCOMPARE(settings().text(Option::Edit1), "/mine/");
    }

    // A file that holds no settings at all (a photo, a missing file) changes no option.
    void loadingAFileWithoutSettingsChangesNothing() {
        f = std::make_unique<WindowFixture>();
        writeFile(f->dir / "photo.jpg", "\xff\xd8\xff\xe0 JFIF");
        writeFile(f->dir / "other.rns", "[Other]\r\nver=1005\r\ned8=/other/\r\n");
        settings().setText(Option::Edit1, "/mine/");
        settings().setChecked(Option::CheckBox5, true);
        const std::uint64_t revision = settings().revision();
        const QString noSettings =
            "error Not a settings file: it holds no section [Renamer Settings], so no option was "
            "changed.";
        const std::pair<const char*, QString> files[] = {
            {"photo.jpg", noSettings},
            {"other.rns", noSettings},
            {"missing.rns", QString::fromStdString("error Unable to read " +
                                                   (f->dir / "missing.rns") + ": File not found.")},
        };
        for (const auto& [name, said] : files) {
            f->dialogs.chosenFile = QString::fromStdString(f->dir / name);
            f->dialogs.log.clear();
            f->action("LoadSettings1")->trigger();
            QCOMPARE(f->dialogs.log, (QStringList{"open Choose file ...", said}));
            QCOMPARE(settings().revision(), revision);
        }
        QCOMPARE(f->edit("Edit1")->text(), "/mine/");
        QVERIFY(f->edit("Edit5")->isEnabled());
    }

    void aSettingsFileThatCannotBeWrittenIsReported() {
        f = std::make_unique<WindowFixture>();
        const std::string file = f->dir / "s.rns";
        f->dialogs.chosenFile = QString::fromStdString(file);
        f->fileSystem.fail(FaultyFileSystem::Op::ReplaceFile, "s.rns", ENOSPC);
        f->action("Savesettings1")->trigger();
        QCOMPARE(f->dialogs.log.last(), QString::fromStdString("error Unable to write to " + file +
                                                               ": No space left on device."));
    }
};

QTEST_MAIN(PersistenceTest)
#include "persistence_test.moc"
