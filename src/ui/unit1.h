// SPDX-License-Identifier: GPL-3.0-or-later
// The program's main window Tmain: every option control bound to the RenameSettings record, the
// three command buttons, the preview list, the status bar and the popup menu; it is the front end
// the commands drive (CommandView). Its source is split by concern: unit1.cpp makes the window,
// unit1_reactions.cpp holds the reactions of its controls, unit1_settings.cpp the remembered and
// saved settings, unit1_view.cpp what the commands drive, unit1_input.cpp its input and events.
#pragma once

#include <QElapsedTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/settings_store.h"
#include "rename/journal_keeper.h"
#include "rename/renamer.h"
#include "rules/rename_settings.h"
#include "scan/command_view.h"
#include "settings/remembered_settings.h"
#include "ui/dialogs.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QStatusBar;
class QTableView;

namespace zr {

class MoreRules;
class PreviewModel;

// The window holds the options (settings()) and shows them: a user's edit sets the record, and
// every change of the record, whoever made it, shows in its control; a check box's click
// reaction runs exactly when its state changes. The command buttons hand over to the Renamer,
// which drives the window through CommandView. Every box and dialog goes through `dialogs`.
class Tmain : public QWidget, public CommandView {
    Q_OBJECT
public:
    // The status bar's first text, and the address a click on it opens.
    static constexpr const char* kHomePage = "https://vornik.example/zentarel-renamer";
    // The window frame around the client area that Qt's geometry describes; the layout rules
    // are written in window widths. The sizes are the design's, for the usual desktop font; a
    // larger one scales them (scaled()).
    static constexpr int kFrameWidth = 8;
    static constexpr int kFrameHeight = 27;
    static constexpr int kClientHeight = 538;
    static constexpr int kMinWindowWidth = 600;
    static constexpr int kMaxWindowWidth = 1900;
    // Opens "More rules"; Ctrl with a letter that no caption of the window uses as its access key.
    static constexpr const char* kMoreRulesShortcut = "Ctrl+M";
    // Pending events are handled during a walk at most once in this many milliseconds.
    static constexpr int kEventIntervalMs = 16;
    // Rows found below the visible part of the list are handed to it at most this often: they
    // change no pixel but the scroll bar's, and each hand-over repaints the whole list.
    static constexpr int kHiddenRowsIntervalMs = 250;

    // The window as it was left, from `store`: its geometry now, the options at the first
    // activation.
    Tmain(FileSystem& fileSystem, Clock& clock, Dialogs& dialogs, SettingsStore& store,
          QWidget* parent = nullptr);
    ~Tmain() override;

    RenameSettings& settings() { return m_settings; }
    Renamer& renamer() { return m_renamer; }

    // What the controls and menu items do. While a command runs, only its own button acts (as
    // its Stop); every other reaction that starts or changes something does nothing.
    void Button1Click() { m_renamer.Button1Click(); }
    void Button3Click() { m_renamer.Button3Click(); }
    void Button5Click() { m_renamer.Button5Click(); }
    void SaveUndoasbat1Click() { m_renamer.SaveUndoasbat1Click(); }
    void Button2Click();
    void Edit1Exit();
    void Restoredefaults1Click();
    void Savesettings1Click();
    void LoadSettings1Click();
    void Viewlastfailurelog1Click();
    // Shows the "More rules" dialog (made the first time), also while a command runs.
    void MoreRules1Click();
    void StatusBar1Click();
    void FormResize();
    // Applies the remembered geometry; part of making the window.
    void FormCreate();
    // At the first activation only: applies the remembered options (or restores the defaults)
    // and reports, once, what could not be applied; then the folder of setStartFolder().
    void FormActivate();
    // A folder the program was started on: it becomes "Start dir" at the first activation, after
    // the remembered options, so it wins over the remembered start directory. Relative to the
    // working directory; one that cannot be entered is reported and leaves "Start dir" alone.
    void setStartFolder(std::string folder) { m_startFolder = std::move(folder); }
    // Whether the window may close now; writes the remembered settings when it may.
    bool FormClose();

    // CommandView
    void setStatusText(std::string_view text) override;
    std::string statusText() const override;
    // The scripts' paths after the counts; the log's path at the end, where a click opens it.
    void setClosingStatus(std::string_view text, const RunFiles& files) override;
    void setCaption(Control control, std::string_view caption) override;
    void setEnabled(Control control, bool enabled) override;
    void showNow() override;
    void busyOn() override;
    void busyOff(bool undoDataPresent) override;
    bool askYesNo(std::string_view question) override;
    void showMessage(MessageType type, std::string_view text) override;
    void showError(std::string_view message) override;
    void processPendingEvents() override;
    void clearPreview() override;
    void addPreviewRow(PreviewRow row) override;
    void settlePreviewRows(std::string_view folder, std::span<const RowOutcome> outcomes) override;

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Runs a reaction of the window; an exception it throws ends it with the error box.
    void guard(const std::function<void()>& reaction);
    // A press of a command button however it came (a click, an access key, Return). A disabled
    // button never acts, whenever the press is delivered; a press right after a run the user
    // stopped is the rest of that Stop, not a new run; and what the user did while the command
    // could not listen (its renames) is dropped when it ends.
    void commandPressed(QPushButton* button, void (Tmain::*handler)());
    // Handles what is pending, dropping all input from the keyboard and the mouse.
    void dropPendingInput();
    // Watches every event of the program, for held keys, access keys and input to drop.
    void installInputGate();
    // At start-up: the undo data that a window which ended without discarding it left behind
    // becomes this window's.
    void adoptInterruptedRun();

    void createControls();
    void createListView();
    void createPopupMenu();
    // The sign of the rules of "More rules" in force, in a free place of the design's layout.
    void createRulesSign();
    // The tab order of the design and the names a screen reader says.
    void orderTabs();
    void fitFont();
    void bindOptions();
    // Shows the record's value of `option` in its control, without echoing it back.
    void showOption(Option option);
    void optionChanged(Option option);
    void extendedChanged(ExtendedOption option);
    // After any change of the options: the sign, and what the dialog says about the rules' texts.
    void rulesChanged();

    void CheckBox2Click();
    void CheckBox3Click();
    void CheckBox4Click();
    void CheckBox5Click();
    void CheckBox6Click();
    void CheckBox7Click();
    void CheckBox9Click();
    void CheckBox10Click();
    void CheckBox11Click();
    void CheckBox12Click();
    void CheckBox14Click();
    void CheckBox16Click();
    // Enables the `followers` of a check box while it is checked, and gives the first of them the
    // focus when it becomes checked.
    void followCheckBox(Option box, std::initializer_list<Option> followers);
    // One box of an exclusive pair: checking it unchecks the other.
    void uncheckPartner(Option box, Option partner);

    // A length or rectangle of the design, scaled for the desktop's font.
    int scaled(int designPixels) const;
    QRect scaled(const QRect& design) const;
    QWidget* optionControl(Option option) const;
    QCheckBox* checkBox(Option option) const;
    QLineEdit* edit(Option option) const;
    QPushButton* button(Control control) const;
    QAction* action(Control control) const;
    // Opens the failure log at `path` (nothing when empty) in the desktop's program for it.
    void openFailureLog(const std::string& path);
    FileDialogRequest settingsFileDialog(bool save) const;
    WindowGeometry geometry() const;
    // Whether the list shows empty room below its last row, where rows not yet handed over
    // would appear.
    bool listHasRoom() const;
    void publishRows();

    RenameSettings m_settings;
    FileSystem& m_fileSystem;
    Dialogs& m_dialogs;
    SettingsStore& m_store;
    Clock& m_clock;
    // What reading the remembered geometry ran into, told at the first activation.
    std::vector<std::string> m_storeProblems;
    std::optional<std::string> m_startFolder;
    Renamer m_renamer;
    // The undo data on disk while the window holds it, for a window started after a crash.
    StateJournal m_stateJournal;

    std::array<QWidget*, kOptionCount> m_optionControls{};
    QComboBox* m_comboBox1 = nullptr;
    QPushButton* m_button1 = nullptr;
    QPushButton* m_button2 = nullptr;
    QPushButton* m_button3 = nullptr;
    QPushButton* m_button5 = nullptr;
    QTableView* m_listView1 = nullptr;
    QStatusBar* m_statusBar1 = nullptr;
    PreviewModel* m_preview = nullptr;
    QMenu* m_popupMenu1 = nullptr;
    QAction* m_savesettings1 = nullptr;
    QAction* m_loadSettings1 = nullptr;
    QAction* m_restoredefaults1 = nullptr;
    QAction* m_saveUndoasbat1 = nullptr;
    QAction* m_viewlastfailurelog1 = nullptr;
    QAction* m_moreRules1 = nullptr;
    MoreRules* m_moreRules = nullptr;
    QLabel* m_rulesSign = nullptr;
    // Keeps held keys and input that arrived during a run away from the window.
    QObject* m_inputGate = nullptr;
    // What the busy state disables and enables again.
    std::vector<QWidget*> m_busyControls;

    // How much larger than the design's the desktop's font is, at least 1.
    double m_scale = 1.0;
    bool m_busy = false;
    bool m_droppingInput = false;
    bool m_stopRequested = false;
    // Since the end of a run that the user stopped.
    QElapsedTimer m_sinceStoppedRun;
    std::string m_statusText;
    // The failure log the status names at its end; a click on the status opens it.
    std::string m_statusLog;
    QElapsedTimer m_sinceEvents;
    QElapsedTimer m_sincePublished;
};

}  // namespace zr
