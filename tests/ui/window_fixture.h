// SPDX-License-Identifier: GPL-3.0-or-later
// What the window tests share: a Dialogs that answers from a queue and records what it was
// asked, and a window over a temporary folder, shown and active, with helpers to reach its
// controls by name.
#pragma once

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

#include "support/faulty_file_system.h"
#include "support/recording_view.h"
#include "support/temp_dir.h"
#include "ui/dialogs.h"
#include "ui/unit1.h"

namespace zr::test {

// A click that the window system delivers later, after whatever runs now. It is aimed on the
// window's thread and can be posted from any thread (renames run on threads of their own).
class LaterClick {
public:
    explicit LaterClick(QWidget* widget);
    void post() const;

private:
    QWidget* m_widget;
    QPointF m_at;
    QPointF m_global;
};

// Runs `hook` on the window's thread each time a walk over `fs` leaves a folder, in the walk's
// order (listings are read ahead on other threads, so they cannot mark the walk's progress).
void onLeavingFolder(FaultyFileSystem& fs, std::function<void()> hook);

class FakeDialogs : public Dialogs {
public:
    // One line per call: "ask <question>", "Warning <text>", "Error <text>",
    // "Information <text>", "error <text>", "browse <title>", "open <url>".
    QStringList log;
    // Answers to askYesNo, first first; Yes when empty.
    std::deque<bool> answers;
    // What the folder browser returns; nothing is a cancel.
    std::optional<QString> chosenDirectory;
    // What the settings file dialogs return; nothing is a cancel.
    std::optional<QString> chosenFile;
    // The last settings file dialog asked for.
    FileDialogRequest lastFileDialog;
    bool openSucceeds = true;

    bool askYesNo(QWidget* parent, const QString& question) override;
    void showMessage(QWidget* parent, MessageType type, const QString& text) override;
    void showError(QWidget* parent, const QString& text) override;
    std::optional<QString> chooseDirectory(QWidget* parent, const QString& title,
                                           const QString& startDirectory) override;
    std::optional<QString> chooseFile(QWidget* parent, const FileDialogRequest& request) override;
    bool openUrl(const QUrl& url) override;
};

// A window whose run starts in a temporary folder, over a file system that can be made to fail
// or to be slow, with a fixed clock, and with its settings store in the temporary folder (as
// XDG_CONFIG_HOME names it).
class WindowFixture {
public:
    // `start`: make, show and activate the window now; else start() does it.
    explicit WindowFixture(bool start = true);
    ~WindowFixture();

    void start();
    // Closes the window (it writes the remembered settings) and starts a new one, as quitting and
    // starting the program again does. False when the window refused to close.
    bool restart();

    TempDir dir;
    std::unique_ptr<FileSystem> realFileSystem;
    FaultyFileSystem fileSystem;
    FixedClock clock;
    FakeDialogs dialogs;
    std::string storePath;
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<Tmain> window;
    // The folder the program is started on (its command line), for start().
    std::optional<std::string> startFolder;

    template <class T = QWidget>
    T* find(const char* name) const {
        return window->findChild<T*>(QString::fromLatin1(name));
    }
    QCheckBox* box(const char* name) const { return find<QCheckBox>(name); }
    QPushButton* button(const char* name) const { return find<QPushButton>(name); }
    QLineEdit* edit(const char* name) const { return find<QLineEdit>(name); }
    QAction* action(const char* name) const { return find<QAction>(name); }
    QString status() const { return find<QStatusBar>("StatusBar1")->currentMessage(); }
    int rowCount() const;
    // The text of cell (row, column) of the preview list.
    QString cell(int row, int column) const;
};

// A left click where a user would click: on a check box's indicator, a button's middle.
void click(QAbstractButton* button);
// The widget's geometry in the window's client area.
QRect clientRect(const QWidget* widget);

}  // namespace zr::test
